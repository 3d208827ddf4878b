// Steps that several groups of end-to-end cases share.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver.h"

namespace e2e {

// Every case starts with no settings file, no per-user settings, no mapping of
// them, a cursor in a known place and a
// stand-in log of its own.
class SaverCase : public ::testing::Test {
protected:
    void SetUp() override {
        LockSettingsFile(false);
        SetSettingsMapping(false);
        RemoveUserSettings();
        SetSettingsFile(std::nullopt);
        ResetStandIns(0, 0);
        PlaceCursor(CURSOR_X, CURSOR_Y);
        Pump(50);
    }

    static constexpr int CURSOR_X = 700;
    static constexpr int CURSOR_Y = 500;
};

// Starts the full-screen saver with this tail and waits for its window (see ShownFullScreen).
::testing::AssertionResult StartFullScreen(Saver& saver, const std::string& tail = "/s",
                                           const std::string& currentDir = "", HWND* window = nullptr);
// Waits until the started saver's full-screen window is shown, active and back in
// its message loop: set up, and the one that input goes to. Its first frames come
// later, with its timer: a case that looks at them waits for them.
::testing::AssertionResult ShownFullScreen(Saver& saver, HWND* window = nullptr);

// A window of the saver is found as soon as it is made: it is set up once shown.
// Then it is made the one that input goes to.
::testing::AssertionResult Activate(HWND window);

// Whether the window's thread answered a message sent now within the bound: it
// has done with whatever it was handling and is back in its message loop.
bool Answers(HWND window);

// The process ends within the bound with this status.
::testing::AssertionResult ExitsWith(Saver& saver, DWORD status, DWORD ms = EXIT_WAIT_MS);

// The process ends with -1 within the bound and never showed a window.
::testing::AssertionResult RefusesQuietly(const std::string& commandLine, HWND watchedParent = nullptr);

// Frames of the screen taken every stepMs until the check accepts one or ms pass.
bool SomeFrame(const std::function<bool(const Shot&)>& accept, DWORD ms = WINDOW_WAIT_MS, DWORD stepMs = 100);

// Whether the screen (or the area of it that `before` shows) shows a frame that
// differs from `before` in more than 100 pixels within the bound.
bool MovesFrom(const Shot& before);
bool MovesFrom(const Shot& before, const RECT& area);

}  // namespace e2e
