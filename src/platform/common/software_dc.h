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

// A copy of a width x height block whose lower-left source corner is (sourceX,
// sourceY), rows counted from the bottom, to (x, y) of a target.
struct CopyBlock {
    std::int32_t x, y, width, height, sourceX, sourceY;
};
// The part of the block inside both the source and the target: columns
// [i0, i1) and rows [j0, j1), counted from its top-left corner. Column i goes
// from source column sourceX + i to target column x + i; row j from source row
// sourceY + height - 1 - j (from the bottom) to target row y + j.
struct CopyClip {
    std::int64_t i0, i1, j0, j1;
    std::int32_t sourceHeight;
    std::int64_t sourceStride;  // bytes from one source row to the next
};
// The source is described by the bitmap header `info`. False when nothing of
// the block is left.
bool ClipCopy(const CopyBlock& block, const void* info, std::int32_t targetWidth, std::int32_t targetHeight,
              CopyClip* clip);

}  // namespace plat
