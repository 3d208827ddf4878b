// Start-up: the command line's switch selects one run mode (configuration,
// password change, preview or full-screen saver), which runs once; its result
// is the process's exit status.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Exit status of a command line that selects nothing usable, and of a saver
// run whose window could not be made.
inline constexpr std::int32_t RESULT_UNUSABLE = -1;

// The two shapes of the saver window.
struct WindowShape {
    const char* title;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int32_t x;  // the window's left and top: in the parent's client area, or on the desktop
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// Preview child as large as the parent's client area, or a full-screen window
// over the whole desktop (every monitor).
WindowShape PreviewShape(plat::Rect parentClient);
WindowShape FullScreenShape(plat::Rect desktop);

inline constexpr std::uint32_t SAVER_CLASS_STYLE = 43;  // vertical and horizontal redraw, double clicks, own DC

// The process entry: never returns.
void SaverMain();

std::int32_t DispatchRunMode(plat::Module instance, const char* tail);
std::int32_t RunConfiguration(plat::Window owner);
std::int32_t RunChangePassword(const char* text);
void ChangeSaverPassword(plat::Window parent);
std::int32_t RunPreview(const char* text);
// A null parent means full screen.
std::int32_t RunSaverWindow(plat::Window parent);

// What the fault guard does before the process ends.
void FaultCleanup();
