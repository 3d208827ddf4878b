// The X11 platform's own header: a window the animation draws on (the target
// window, its pixel format, and a small image through which the changed parts of
// the 8-bit back buffer reach the screen), the X error handler and the clock. The
// files of this folder and the Linux saver's run (src/hack/) use it.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "platform/common/software_dc.h"
#include "platform/drawing.h"
#include "platform/types.h"

namespace plat {

struct PaletteObject {
    PaletteEntry entries[256];
    std::uint32_t count;
    std::uint32_t pixels[256];  // each entry as a pixel value of the surface's format, in its byte order
    std::uint32_t pixelsFormat; // the Surface::format those pixels were made for (0: none yet)
};

// A copy from an 8-bit bitmap to the window, waiting for the end of the frame:
// window pixel (x + i, y + j) comes from column x + i + dx and row y + j + dy,
// counted from the top, of `bits`.
struct PendingCopy {
    std::int32_t x, y, width, height;
    const std::uint8_t* bits;
    std::int64_t stride;
    std::int64_t sourceHeight;
    std::int64_t dx, dy;
};

// Converts `count` 8-bit indices at `in` into pixels at `out` through a palette's table.
using ConvertRowFunction = void (*)(const std::uint32_t* lut, const std::uint8_t* in, char* out, int count);

// A layer picture's pixels converted through its palette into the surface's
// format, all its stored rows (padding included) in the picture's order, and
// the runs of pixels that are not transparent in each row.
struct ConvertedPicture {
    std::uint32_t picture = 0;  // BackBufferLayer::picture; 0: a free place
    std::uint32_t format = 0;   // the surface format they were made for
    char* pixels = nullptr;     // null when there was no memory for them (one block with the runs)
    // Stored row r's runs are runs[firstRun[r] .. firstRun[r + 1]), each the
    // columns [start, end) of the stored row.
    const std::int32_t* firstRun = nullptr;
    const std::int32_t (*runs)[2] = nullptr;
};
// Room for the pictures of a stage per monitor.
inline constexpr int MAX_CONVERTED_PICTURES = 64;
// Larger pictures are converted pixel by pixel as copies show them.
inline constexpr std::int64_t MAX_CONVERTED_PIXELS = 1 << 20;

inline constexpr int MAX_PENDING_COPIES = 256;
// The converted pixels of a frame's copies wait in staging memory of at most this many pixels.
inline constexpr std::int64_t STAGING_PIXELS = 512 * 1024;
// The largest window side X allows, and so the largest back buffer.
inline constexpr std::int32_t MAX_WINDOW_SIDE = 32767;

// A window the animation draws on.
struct WindowObject {
    ::Display* display = nullptr;
    ::Window xid = 0;
    ::GC gc = nullptr;
    ::Visual* visual = nullptr;
    int depth = 0;
    std::int32_t width = 0;  // the size the scene was set up for
    std::int32_t height = 0;
    ::XImage* image = nullptr;   // describes each piece put from the staging memory
    char* staging = nullptr;     // the image's memory (shared, or the process's own)
    std::int64_t stagingBytes = 0;
    std::int64_t stagingUsed = 0;
    ::XShmSegmentInfo shm{};
    bool usingShm = false;
    bool shmAllowed = true;      // false once the shared-memory path failed
    std::uint32_t format = 0;    // changes whenever the pixel format may have changed
    unsigned long blackPixel = 0;
    ConvertRowFunction convertRow = nullptr;
    // Copies of the frame so far, and where the next one goes in the staging image.
    PendingCopy pending[MAX_PENDING_COPIES];
    int pendingCount = 0;
    // The frame's layers over the back buffer `layeredBits` (SetBackBufferLayers),
    // until the window's context is released; copies from it are drawn from them
    // a row at a time in `composedRow` (as wide as the window) and converted from there.
    const std::uint8_t* layeredBits = nullptr;
    const BackBufferLayer* layers = nullptr;
    std::int32_t layerCount = 0;
    std::uint8_t transparent = 0;
    std::uint8_t* composedRow = nullptr;
    bool directPixels = false;   // layers straight into pixels (16 and 32 bits), else through composedRow
    // Pictures of layers already converted; the next place to take, round the
    // ring, and the last one found.
    ConvertedPicture converted[MAX_CONVERTED_PICTURES];
    int nextConverted = 0;
    int lastConverted = 0;
    DeviceContextObject windowDc{this, nullptr, nullptr};
    DeviceContextObject memoryDc{this, nullptr, nullptr};
};

namespace x11 {

// The bits of a pixel that no colour channel uses (alpha on a depth-32 visual).
// Every pixel drawn has them all set, so that the picture is opaque.
std::uint32_t SpareBits(const ::Visual* visual, int depth);

// True for a visual this program can draw on: TrueColor of depth 16, 24 or 32.
bool SupportedVisual(const ::Visual* visual, int depth);

// Makes the surface's staging image (shared memory first) and graphics context
// for a scene of `width` x `height`, and clears the window to black. False (with
// a message on standard error) when no image can be made.
bool OpenSurface(WindowObject* surface, std::int32_t width, std::int32_t height);

// Frees the image (and its shared memory) and the graphics context.
void CloseSurface(WindowObject* surface);

// Paints the rectangle (x, y, width, height) of the window black again; the
// next frame draws every sprite on it anew.
void RepaintSurface(WindowObject* surface, int x, int y, int width, int height);

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

// ---- The clock and the wait for the next tick (clock.cpp) ----
// The monotonic clock that paces the ticks and the frame rate, in microseconds.
std::uint64_t NowMicroseconds();

// Waits at most timeoutMs for something to read on the connection fd; a signal
// cuts the wait short. False when the time ran out with nothing there.
bool WaitForInput(int fd, int timeoutMs);

}  // namespace x11
}  // namespace plat
