// Drawing: device contexts, the 256-colour palette, the 8-bit back buffer and the
// copy of back-buffer pixels to a window.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

// One colour of a palette, laid out as the system keeps it.
struct PaletteEntry {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t flags;
};

// Palette entry flag: the colour gets a slot of its own, never merged with an equal one.
inline constexpr std::uint8_t PALETTE_NO_COLLAPSE = 0x04;

// A device context for the whole screen, and its release.
DeviceContext AcquireScreenDc();
void ReleaseScreenDc(DeviceContext dc);

// A device context for the client area of `window`, and its release.
DeviceContext AcquireWindowDc(Window window);
void ReleaseWindowDc(Window window, DeviceContext dc);

// Copies `count` entries of the display's system palette, from entry `first`, into
// `entries`; returns how many it copied (0 when the display has no system palette,
// leaving `entries` as it was).
std::uint32_t ReadSystemPalette(DeviceContext dc, std::uint32_t first, std::uint32_t count,
                                PaletteEntry* entries);

// A logical palette of `count` entries (at most 256); null on failure.
Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count);
void DestroyPalette(Palette palette);

// The palette every device context starts with (the system's own), to select
// back before a palette of ours that a context holds is destroyed.
Palette DefaultPalette();

// Selects `palette` into `dc` as a foreground palette (or forced into the background);
// returns the palette selected there before.
Palette SelectDcPalette(DeviceContext dc, Palette palette, bool forceBackground);

// Maps the selected palette's colours into the system palette.
void RealizeDcPalette(DeviceContext dc);

// A memory device context compatible with `dc`, and its deletion.
DeviceContext CreateMemoryDc(DeviceContext dc);
void DeleteMemoryDc(DeviceContext dc);

// Selects `bitmap` into the memory context `dc`; returns the bitmap it displaces.
Bitmap SelectDcBitmap(DeviceContext dc, Bitmap bitmap);
void DestroyBitmap(Bitmap bitmap);

// A pixel buffer described by the packed bitmap header `info` (40-byte header and
// RGB colour table), compatible with `dc`. Stores the address of its pixels in
// `*bits` and returns its bitmap handle; on failure returns null with `*bits` null.
Bitmap CreatePixelBuffer(DeviceContext dc, const void* info, std::uint8_t** bits);

// Sets the rectangle (x, y, width, height) of what `dc` draws on to colour index 0
// (black); the pixels are black when the call returns, so they may be written directly next.
void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width,
               std::int32_t height);

// Copies pixels unscaled from a bottom-up 8-bit bitmap (`bits` described by `info`)
// to `dc`: the `width` x `height` block whose lower-left source corner is
// (sourceX, sourceY), counting rows from the bottom, goes to (x, y) of `dc`.
// Parts outside either side are clipped.
void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height, std::int32_t sourceX, std::int32_t sourceY,
                 const std::uint8_t* bits, const void* info);

// A picture drawn over a back buffer with one colour index left out: the
// rectangle (x, y, width, height) of the back buffer, counted from its top-left
// corner, shows the picture's pixels from (sourceX, sourceY) on, also counted
// from the top, except those of the transparent index. Both rectangles lie
// wholly inside their images.
struct BackBufferLayer {
    const std::uint8_t* bits;   // the picture's bottom row
    std::int64_t stride;        // bytes from one stored row to the next
    std::int32_t sourceHeight;  // the picture's rows
    std::int32_t x, y, width, height;
    std::int32_t sourceX, sourceY;
    // Names the picture with its pixels and the palette its copies go through:
    // no other picture, or other palette, ever has the same (0: none).
    std::uint32_t picture;
};

// Whether copies to the window of `dc` can draw a back buffer's layers
// themselves (SetBackBufferLayers), straight into the window's pixels, so that
// the back buffer itself need not be drawn in.
bool TakesBackBufferLayers(DeviceContext dc);

// Until `dc` is released, the copies from the back buffer `bits` to its window
// show the back buffer as colour index 0 with `layers` drawn over it in order,
// later ones over earlier ones, pixels of `transparent` left out, whatever its
// own pixels hold. `layers` must stay as they are until the release. Does
// nothing where TakesBackBufferLayers is false.
void SetBackBufferLayers(DeviceContext dc, const std::uint8_t* bits, const BackBufferLayer* layers,
                         std::int32_t count, std::uint8_t transparent);

}  // namespace plat
