// The X11 side of a window the animation draws on: the target window, its pixel
// format, and an image of the same size through which the 8-bit back buffer
// reaches the screen. Shared by the files of this folder only.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "platform/drawing.h"
#include "platform/types.h"

namespace plat {

struct DeviceContextObject {
    WindowObject* window;      // null for the screen's context
    Bitmap selectedBitmap;     // memory contexts: the pixel buffer selected into it
    Palette selectedPalette;
};

struct PaletteObject {
    PaletteEntry entries[256];
    std::uint32_t count;
    std::uint32_t pixels[256];  // each entry as a pixel value of the surface's format, in its byte order
    std::uint32_t pixelsFormat; // the Surface::format those pixels were made for (0: none yet)
};

struct BitmapObject {
    std::uint8_t* pixels;  // bottom row first, rows rounded up to 4 bytes
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
};

// A window the animation draws on.
struct WindowObject {
    ::Display* display = nullptr;
    ::Window xid = 0;
    ::GC gc = nullptr;
    ::Visual* visual = nullptr;
    int depth = 0;
    std::int32_t width = 0;  // of the image, the size the scene was set up for
    std::int32_t height = 0;
    ::XImage* image = nullptr;
    ::XShmSegmentInfo shm{};
    bool usingShm = false;
    bool shmAllowed = true;      // false once an attach failed (a remote display)
    std::uint32_t format = 0;    // changes whenever the pixel format may have changed
    unsigned long blackPixel = 0;
    DeviceContextObject windowDc{this, nullptr, nullptr};
    DeviceContextObject memoryDc{this, nullptr, nullptr};
};

namespace x11 {

// True for a visual this program can draw on: TrueColor of depth 16, 24 or 32.
bool SupportedVisual(const ::Visual* visual, int depth);

// Makes the surface's image and graphics context for `width` x `height`, shared
// memory first, and clears the window to black. False (with a message on
// standard error) when no image can be made.
bool OpenSurface(WindowObject* surface, std::int32_t width, std::int32_t height);

// Frees the image (and its shared memory) and the graphics context.
void CloseSurface(WindowObject* surface);

// Puts the image's rectangle (x, y, width, height) on the window again.
void RepaintSurface(WindowObject* surface, int x, int y, int width, int height);

// Where a bare file name is looked for (null: nowhere, only the built-in pictures).
void SetFileFolder(const char* folder);

// Errors the server reported for requests of this program, since the last call.
// Set by the error handler that the entry installs.
extern int xErrorCount;

}  // namespace x11
}  // namespace plat
