// The host's one process-wide record of flags and handles.
#pragma once

#include <cstdint>

#include "platform/library.h"
#include "platform/types.h"
#include "platform/window.h"

struct HostState {
    // Set by start-up.
    plat::Module appInstance = nullptr;  // the program's own module
    std::int32_t win95Family = 0;        // 1 on the Windows 95 family
    std::int32_t previewMode = 0;        // 1 when the saver window is a preview child
    plat::Window saverWindow = nullptr;

    // Owned by the saver window's input handling and the password lock.
    std::int32_t closeConfirmed = 0;       // non-zero once the full-screen saver may close
    std::int32_t passwordCheckActive = 0;  // 1 while the verifier runs
    plat::Module passwordModule = nullptr;
    plat::ProcAddress verifyPassword = nullptr;
    plat::Module imeModule = nullptr;
    plat::ProcAddress imeAssociate = nullptr;
    plat::InputContext savedImeContext = nullptr;
    plat::Point lastCursorPos = {0, 0};
    // The desktop that the full-screen window was made to cover (empty: not known).
    plat::Rect coveredDesktop = {0, 0, 0, 0};
    std::int32_t moveClosePending = 0;  // 1 while a movement's close waits to be confirmed
    plat::PowerWatch displayPowerWatch = nullptr;  // the display power notifications, while registered
    // Where the pointer was when the display went off, or where the system moved it since.
    plat::Point pausedCursorPos = {0, 0};
    std::uint32_t lastPromptTick = 0xFFFFFFFFu;  // all ones: never prompted
};

extern HostState hostState;

inline constexpr const char* SAVER_CLASS_NAME = "WindowsScreenSaverClass";
inline constexpr const char* FULL_SCREEN_TITLE = "Screen Saver";
inline constexpr const char* PREVIEW_TITLE = "Preview";
inline constexpr std::uint32_t PROGRAM_ICON_ID = 100;
