// The X11 saver's run: the display, the window it draws on and the event loop
// that ticks the animation. The program's top (src/main/x11.cpp) calls these.
#pragma once

#include <cstdint>

#include "app/saver_options.h"
#include "platform/x11/surface.h"

namespace plat::x11 {

struct Run {
    WindowObject surface;
    bool ownWindow = false;
    ::Atom deleteWindow = 0;
    std::int32_t width = 0;  // of the window when the run starts
    std::int32_t height = 0;
};

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

}  // namespace plat::x11
