// The Linux saver's run: the display, the window it draws on and the event loop
// that ticks the animation. The program's top (src/main/x11.cpp) calls these.
#pragma once

#include <cstdint>

#include "app/animation.h"
#include "app/saver_options.h"
#include "platform/x11/surface.h"

namespace hack {

using WindowObject = plat::x11::Surface;

// XScreenSaver's frame-rate display: frames per second and the share of one
// core the program used, in the window's lower left corner.
struct FpsOverlay {
    bool shown = false;
    ::GC gc = nullptr;
    ::XFontStruct* font = nullptr;
    std::uint64_t periodStartUs = 0;
    double periodStartCpu = 0;
    int frames = 0;
    char lines[2][24] = {"FPS: ...", "Load: ..."};
};

struct Run {
    WindowObject surface;
    bool ownWindow = false;
    bool fullScreen = false;  // its own window, full screen, ended by any input
    plat::Point pointerFrom{};  // where the pointer was first seen over it
    bool pointerSeen = false;
    ::Atom deleteWindow = 0;
    std::int32_t width = 0;  // of the window when the run starts
    std::int32_t height = 0;
    std::uint32_t delayUs = 20000;
    // Where the scene's fields are, one per monitor (none: one over the window).
    plat::Rect areas[MAX_FIELDS]{};
    std::int32_t areaCount = 0;
    FpsOverlay fps;
};

// The overlay of -fps (fps.cpp): made once, drawn after every frame.
void OpenFps(FpsOverlay* fps, WindowObject* surface);
void DrawFps(FpsOverlay* fps, WindowObject* surface, std::uint64_t nowUs);
void CloseFps(FpsOverlay* fps, ::Display* display);

// The scene on the run's window at this size. False, after one line on standard
// error, when memory for it is lacking (the only reason a size cannot be drawn).
bool StartScene(Run* run, std::int32_t width, std::int32_t height);
void StopScene(Run* run);

// SIGTERM and SIGINT end the run with status 0.
void CatchStopSignals();

// Opens the display and the window the options and XSCREENSAVER_WINDOW name (a
// window of its own when none is). False, after one line on standard error, when
// there is no display or no window of a supported visual.
bool OpenRun(Run* run, const SaverOptions& options);

// Sets the animation up on the window and ticks it until a signal, a key, the
// close button or the window's end; the exit status.
int RunSaver(Run* run);

// Destroys the window of its own, if any, and closes the display.
void CloseRun(Run* run);

}  // namespace hack
