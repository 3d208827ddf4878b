// The one image type: an 8-bit colour-indexed picture stored bottom row first, over
// a packed bitmap (a loaded picture or a blank) or, as the back buffer, over a pixel
// buffer of the platform. Coordinates count x from the left and y from the top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

namespace plat {
struct BackBufferLayer;
}
struct DibHeader;

// Whether a picture of that header's bit count is refused (only 8-bit ones are
// used); then `why` says so for the user.
bool BitCountRefused(const DibHeader& header, char* why, std::size_t size);

// Source pixels of this colour index are left out by CopyRectTransparent.
inline constexpr std::uint8_t TRANSPARENT_INDEX = 10;

class IndexedImage {
public:
    IndexedImage() = default;
    ~IndexedImage();
    IndexedImage(const IndexedImage&) = delete;
    IndexedImage& operator=(const IndexedImage&) = delete;

    // Deletes what the image owns (palette, header block) and leaves it empty.
    void Clear();

    // Loads the 8-bit picture of that name (file first, then built-in; a file
    // stored top row first is turned bottom-up). Any other kind of picture, or
    // none, leaves the image empty (null header); a file of another bit count is
    // reported to the user (plat::ReportUnusableFile).
    void LoadFromBitmap(const char* name);

    // Makes the image a zero-filled (colour index 0) blank; returns its packed bitmap
    // or null (the image then stays empty).
    std::uint8_t* CreateBlank(std::int32_t width, std::int32_t height);

    // Bytes from one stored row to the next: the width rounded up to 4.
    std::int32_t Stride() const { return static_cast<std::int32_t>((static_cast<std::uint32_t>(width) + 3u) & ~3u); }

    // Address of pixel (x, y), null outside the image or when it has no pixels.
    std::uint8_t* PixelAddress(std::int32_t x, std::int32_t y) const;

    // Opaque copy of the whole image to (x, y) of dest, clipped to dest.
    void CopyTo(IndexedImage* dest, std::int32_t x, std::int32_t y) const;

    // Paints the w x h rectangle at (x, y) colour index 0, clipped to the image: what
    // CopyTo of a blank of that size does, without reading the blank.
    void ClearRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

    // Copies the w x h rectangle at (sx, sy) of this image to (x, y) of dest, leaving
    // out pixels of TRANSPARENT_INDEX; clipped to dest and to this image.
    void CopyRectTransparent(IndexedImage* dest, std::int32_t x, std::int32_t y, std::int32_t w,
                             std::int32_t h, std::int32_t sx, std::int32_t sy) const;
    // The same copy as a layer over dest (see plat::BackBufferLayer), clipped
    // alike; false where it would copy nothing.
    bool TransparentLayer(const IndexedImage& dest, std::int32_t x, std::int32_t y, std::int32_t w,
                          std::int32_t h, std::int32_t sx, std::int32_t sy, plat::BackBufferLayer* layer) const;

    // ---- The back-buffer role ----
    // Colour table: entries 0-9 and 246-255 from the display's system palette,
    // 10-245 from the first sprite picture (black where it has none).
    void MergeColourTable(const IndexedImage& firstPicture);
    // The logical palette of the same 256 colours (10-245 never collapsed).
    void BuildPalette();
    // Selects the palette into dc as a foreground palette; returns the previous one.
    plat::Palette SelectPaletteInto(plat::DeviceContext dc) const;
    // Writes the header for width x height and asks the platform for the pixels;
    // returns the pixel buffer's bitmap handle (the caller owns it), null on failure,
    // in which case bits stays null.
    plat::Bitmap CreateBackBuffer(plat::DeviceContext dc, std::int32_t width, std::int32_t height);

    plat::Palette palette = nullptr;        // owned (back buffer only)
    const std::uint8_t* header = nullptr;   // null while the image is empty
    std::uint8_t* ownedHeader = nullptr;    // owned header block (back buffer only)
    std::uint8_t* bits = nullptr;           // leftmost pixel of the bottom row
    const std::uint8_t* info = nullptr;     // header and colour table, as given to the platform
    std::int32_t width = 0;
    std::int32_t height = 0;

private:
    // The 1064-byte header block of the back-buffer role; false when it can't be made.
    bool EnsureHeaderBlock();
};
