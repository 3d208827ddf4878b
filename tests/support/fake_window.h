// Test double of the windowing functions: what the queries answer, and what
// the window functions were given.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

namespace fake {

using WindowProcedure = plat::MessageResult (*)(plat::Window, std::uint32_t, plat::WordParam, plat::LongParam);

struct WindowState {
    // ClientRect's answer for each window; like the system's for a window it does
    // not know, any other window's is empty.
    std::map<plat::Window, plat::Rect> clientRects;
    std::uintptr_t timerResult = 1;         // StartTimer's answer
    plat::MessageResult defaultResult = 0;  // DefaultWindowProc's answer
    plat::Point cursor{0, 0};               // CursorPosition's answer
    plat::Window parent = nullptr;          // ParentOf's answer
    plat::Window liveWindows[4] = {};       // the windows IsLiveWindow accepts
    plat::Window foreground = nullptr;      // ForegroundWindow's answer
    plat::Window found = nullptr;           // FindTopLevelWindow's answer
    plat::Rect desktop{0, 0, 1024, 768};    // DesktopRect's answer
    std::vector<plat::Rect> screens;        // ScreenRects' answer (none: it cannot list them)
    plat::Point clientOrigin{0, 0};         // ClientOrigin's answer
    plat::PowerWatch powerWatch = reinterpret_cast<plat::PowerWatch>(0x9A7C);  // WatchPowerSetting's answer
    const plat::Guid* watchedSetting = nullptr;  // what WatchPowerSetting was given
    void (*threadTick)() = nullptr;              // what StartThreadTimer was given
    bool registerSucceeds = true;
    plat::Window created = nullptr;         // MakeWindow's answer
    plat::WordParam quitCode = 0;           // RunMessageLoop's answer
    int pendingTimers = 0;                  // timer messages RemovePendingTimerMessage can take

    // SendWindowMessage runs this procedure when set, else answers sendResult.
    WindowProcedure sendTarget = nullptr;
    plat::MessageResult sendResult = 0;
    // MakeWindow sends the creation message to this procedure when set.
    WindowProcedure createTarget = nullptr;

    // What the last MakeWindow and RegisterSaverClass were given.
    std::string className, title, registeredClass;
    plat::Window makeParent = nullptr;
    plat::Module makeInstance = nullptr, registeredInstance = nullptr;
};

WindowState& Windows();

}  // namespace fake
