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

// Starts the full-screen saver with this tail and waits for its window.
::testing::AssertionResult StartFullScreen(Saver& saver, const std::string& tail = "/s",
                                           const std::string& currentDir = "", HWND* window = nullptr);

// The process ends within the bound with this status.
::testing::AssertionResult ExitsWith(Saver& saver, DWORD status, DWORD ms = EXIT_WAIT_MS);

// The process ends with -1 within the bound and never showed a window.
::testing::AssertionResult RefusesQuietly(const std::string& commandLine, HWND watchedParent = nullptr);

// Frames of the screen taken every stepMs until the check accepts one or ms pass.
bool SomeFrame(const std::function<bool(const Shot&)>& accept, DWORD ms, DWORD stepMs = 100);

}  // namespace e2e
