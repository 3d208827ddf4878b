// Device contexts and pixel buffers for the platforms whose system has no such
// thing (X11, the browser): plain records that the drawing functions read. Each
// platform keeps a window context and one memory context per window; its
// CreateMemoryDc hands out that memory context.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

struct DeviceContextObject {
    WindowObject* window;   // null for the screen's context
    Bitmap selectedBitmap;  // memory contexts: the pixel buffer selected into it
    Palette selectedPalette;
};

struct BitmapObject {
    std::uint8_t* pixels;  // bottom row first, rows rounded up to 4 bytes
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
};

}  // namespace plat
