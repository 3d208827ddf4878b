// The X11 platform's own header: a window the animation draws on (the target
// window, its pixel format, and a small image through which the changed parts of
// the 8-bit back buffer reach the screen), the X error handler and the clock. The
// files of this folder and the Linux saver's run (src/hack/) use it.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "platform/pixels/pixel_window.h"
#include "platform/types.h"

namespace plat {

namespace x11 {

// A window the animation draws on: the drawing's window (pixel_window.h) on an
// X window, and the small image through which the pixels it composes reach it.
struct Surface : WindowObject {
    ::Display* display = nullptr;
    ::Window xid = 0;
    ::GC gc = nullptr;
    ::Visual* visual = nullptr;
    int depth = 0;
    ::XImage* image = nullptr;   // describes each piece put from the staging memory
    char* staging = nullptr;     // the image's memory (shared, or the process's own)
    std::int64_t stagingBytes = 0;
    std::int64_t stagingUsed = 0;
    ::XShmSegmentInfo shm{};
    bool usingShm = false;
    bool shmAllowed = true;      // false once the shared-memory path failed
};


// The bits of a pixel that no colour channel uses (alpha on a depth-32 visual).
// Every pixel drawn has them all set, so that the picture is opaque.
std::uint32_t SpareBits(const ::Visual* visual, int depth);

// True for a visual this program can draw on: TrueColor of depth 16, 24 or 32.
bool SupportedVisual(const ::Visual* visual, int depth);

// Makes the surface's staging image (shared memory first) and graphics context
// for a scene of `width` x `height`, and clears the window to black. False (with
// a message on standard error) when no image can be made.
bool OpenSurface(Surface* surface, std::int32_t width, std::int32_t height);

// Frees the image (and its shared memory) and the graphics context.
void CloseSurface(Surface* surface);

// Paints the rectangle (x, y, width, height) of the window black again; the
// next frame draws every sprite on it anew.
void RepaintSurface(Surface* surface, int x, int y, int width, int height);

// Where a bare file name is looked for (null: nowhere, only the built-in pictures).
void SetFileFolder(const char* folder);

// ---- X errors (errors.cpp) ----
// Sets the display's error handler, which prints an unexpected error once per
// kind, with its request. Errors between BeginErrorTrap and EndErrorTrap (which
// syncs) are counted, not printed.
void WatchErrors(::Display* display);
// Errors that name `window` because it is gone (BadWindow, BadDrawable) are not
// printed: XScreenSaver may destroy the window it gave at any moment, and the run
// ends on its DestroyNotify.
void ExpectErrorsOnceGone(::Window window);
void BeginErrorTrap();
int EndErrorTrap(::Display* display);
// True once a shared-memory request failed outside a trap; cleared by the call.
bool TakeSharedMemoryFailure();

// ---- Monitors (monitors.cpp) ----
// Asks RandR, where the display has it, to tell of changes of the monitors.
void WatchMonitors(::Display* display);
// True for an event that says the monitors may have changed (Xlib's idea of the
// screen's size is brought up to date).
bool MonitorsChanged(::XEvent* event);
// The monitors' rectangles on the root window, at most `max`: RandR 1.5's
// monitors, else Xinerama's screens; 0 when the display says neither.
std::int32_t ListMonitors(::Display* display, Rect* monitors, std::int32_t max);
// Each source alone, in the same terms: RandR's monitors (the display must have
// RandR 1.5), Xinerama's screens (0 where it is not active).
std::int32_t ListRandrMonitors(::Display* display, Rect* monitors, std::int32_t max);
std::int32_t ListXineramaScreens(::Display* display, Rect* monitors, std::int32_t max);

// ---- The clock and the wait for the next tick (clock.cpp) ----
// The monotonic clock that paces the ticks and the frame rate, in microseconds.
std::uint64_t NowMicroseconds();

// Waits at most timeoutMs for something to read on the connection fd; a signal
// cuts the wait short. False when the time ran out with nothing there.
bool WaitForInput(int fd, int timeoutMs);

}  // namespace x11
}  // namespace plat
