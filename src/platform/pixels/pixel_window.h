// The drawing that the Linux back ends share (X11, Wayland): a window the
// animation draws on, whose pixels this program composes itself. The frame's
// copies from the 8-bit back buffer are noted, joined where that is cheaper, and
// at the end of the frame converted through the palette, or drawn from the
// stage's layers (pictures converted once into the window's pixels, their runs
// of opaque pixels copied), into memory that the back end gives for each piece
// and then shows (PixelTarget). pixel_drawing.cpp implements drawing.h over it.
#pragma once

#include <cstdint>

#include "platform/common/software_dc.h"
#include "platform/drawing.h"
#include "platform/types.h"

namespace plat {

struct PaletteObject {
    PaletteEntry entries[256];
    std::uint32_t count;
    std::uint32_t pixels[256];  // each entry as a pixel value of the window's format, in its byte order
    std::uint32_t pixelsFormat; // the WindowObject::format those pixels were made for (0: none yet)
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

// A layer picture's pixels converted through its palette into the window's
// format, all its stored rows (padding included) in the picture's order, and
// the runs of pixels that are not transparent in each row.
struct ConvertedPicture {
    std::uint32_t picture = 0;  // BackBufferLayer::picture; 0: a free place
    std::uint32_t format = 0;   // the window format they were made for
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
// The largest window side X allows, and so the largest back buffer.
inline constexpr std::int32_t MAX_WINDOW_SIDE = 32767;

// How the window stores a pixel.
struct PixelFormat {
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    std::uint32_t spareBits = 0;  // set in every pixel (the alpha of a depth-32 visual)
    int bitsPerPixel = 0;         // 16, 24 or 32
    bool lsbFirst = true;         // pixels stored lowest byte first
};

// What a back end does with the composed pixels. Function pointers, because
// one program has both back ends and picks one at run time.
struct PixelTarget {
    // Memory for rows of `width` pixels that go to the window from (x, y), each
    // `*rowBytes` after the one before: at most `*rows` of them, fewer where the
    // back end says so in `*rows` (at least one). Null when there is none.
    char* (*begin)(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t* rows,
                   std::int64_t* rowBytes);
    // Those rows, written, go to the window.
    void (*put)(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rows);
    // The rectangle of the window becomes black.
    void (*fillBlack)(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    // The frame's pixels are all put.
    void (*frameEnd)(WindowObject* window);
    // Whether the rows that `begin` gives are memory of the target's own, one
    // after another, padding included (X11's staging memory): a piece may then be
    // written as one run of rows x rowBytes bytes. Otherwise (a Wayland output's
    // own pixels, whose rows go on to either side of the piece) only the piece's
    // `width` pixels of each row may be written.
    bool packedRows = false;
};

// A window the animation draws on. Each back end's window starts with it.
struct WindowObject {
    const PixelTarget* target = nullptr;
    PixelFormat pixelFormat;
    std::int32_t width = 0;  // the size the scene was set up for
    std::int32_t height = 0;
    std::uint32_t format = 0;  // changes whenever the pixel format may have changed
    std::uint32_t blackPixel = 0;
    ConvertRowFunction convertRow = nullptr;
    // Copies of the frame so far.
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
    bool directPixels = false;  // layers straight into pixels (16 and 32 bits), else through composedRow
    // Pictures of layers already converted; the next place to take, round the
    // ring, and the last one found.
    ConvertedPicture converted[MAX_CONVERTED_PICTURES];
    int nextConverted = 0;
    int lastConverted = 0;
    // Drawn over each frame before the back end shows it (the -fps figures); null: none.
    void (*overlay)(WindowObject* window, void* data) = nullptr;
    void* overlayData = nullptr;
    DeviceContextObject windowDc{this, nullptr, nullptr};
    DeviceContextObject memoryDc{this, nullptr, nullptr};
};

namespace pixels {

// Sets the window up to draw a scene of width x height (already within
// MAX_WINDOW_SIDE) in `format` through `target`. False, after one line on
// standard error, for a pixel size it cannot draw or without memory.
bool OpenWindow(WindowObject* window, const PixelTarget* target, const PixelFormat& format, std::int32_t width,
                std::int32_t height);

// Lets go of what OpenWindow and the frames made (not of the window itself).
void CloseWindow(WindowObject* window);

// One line of text, white on black, in cells of TEXT_CELL_WIDTH x TEXT_LINE_HEIGHT
// from (x, top) of the window; nothing where the back end has no pixels for it.
inline constexpr std::int32_t TEXT_CELL_WIDTH = 6, TEXT_LINE_HEIGHT = 13;
void DrawText(WindowObject* window, std::int32_t x, std::int32_t top, const char* text);

}  // namespace pixels
}  // namespace plat
