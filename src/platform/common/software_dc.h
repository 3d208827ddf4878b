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

// Width and height from a bitmap header (its fields at bytes 4 and 8).
void HeaderSize(const void* info, std::int32_t* width, std::int32_t* height);

// The record of a pixel buffer for the header `info`, its pixels not yet given:
// null when a side is below 1 or above maxSide, or without memory.
BitmapObject* NewPixelBufferRecord(const void* info, std::int32_t maxSide);

}  // namespace plat
