#include "gfx/indexed_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "gfx/packed_dib.h"
#include "platform/drawing.h"
#include "platform/file.h"

namespace {

constexpr int kColours = 256;
constexpr int kFirstPictureColour = 10;  // entries 10..245 come from the first picture
constexpr int kLastPictureColour = 245;

// A clipped copy: destination corner, source corner and size, all inside both images.
struct Span {
    std::int64_t x, y, w, h, sx, sy;
};

// Clips a w x h copy from (sx, sy) to (x, y) against the destination's edges, moving
// the source corner along with the destination's left and top edges.
bool ClipToDest(Span& c, std::int64_t destWidth, std::int64_t destHeight) {
    if (c.x < 0) {
        c.w += c.x;
        c.sx -= c.x;
        c.x = 0;
    }
    if (c.x + c.w > destWidth) c.w = destWidth - c.x;
    if (c.w <= 0) return false;
    if (c.y < 0) {
        c.h += c.y;
        c.sy -= c.y;
        c.y = 0;
    }
    if (c.y + c.h > destHeight) c.h = destHeight - c.y;
    return c.h > 0;
}

// Clips the same copy against the source image's edges, moving the destination
// corner along with the source's left and top edges.
bool ClipToSource(Span& c, std::int64_t sourceWidth, std::int64_t sourceHeight) {
    if (c.sx < 0) {
        c.w += c.sx;
        c.x -= c.sx;
        c.sx = 0;
    }
    if (c.sx + c.w > sourceWidth) c.w = sourceWidth - c.sx;
    if (c.sy < 0) {
        c.h += c.sy;
        c.y -= c.sy;
        c.sy = 0;
    }
    if (c.sy + c.h > sourceHeight) c.h = sourceHeight - c.sy;
    return c.w > 0 && c.h > 0;
}

// Row work between two different images. Sprite rows are short (32 or 64 bytes)
// and each lies on its own cache lines of the back buffer, so the loops below
// work 16 bytes at a time and read a destination row before they write it: a
// line that is read first is in the cache when the stores arrive, instead of
// every store waiting for its line in turn.
using Vector16 = std::uint8_t __attribute__((vector_size(16)));

inline void TouchRow(const std::uint8_t* d, std::size_t n) {
    const volatile std::uint8_t* v = d;
    (void)v[0];
    (void)v[n - 1];
}

// Opaque copy of n > 0 bytes.
inline void CopyRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    TouchRow(d, n);
    for (; n >= 16; n -= 16, d += 16, s += 16) std::memcpy(d, s, 16);
    for (; n > 0; --n) *d++ = *s++;
}

// Colour index 0 over n > 0 bytes.
inline void ClearRow(std::uint8_t* d, std::size_t n) {
    for (; n >= 16; n -= 16, d += 16) std::memset(d, 0, 16);
    for (; n > 0; --n) *d++ = 0;
}

// Copy of n > 0 bytes that keeps the destination byte wherever the source byte is
// TRANSPARENT_INDEX.
inline void BlendRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    const Vector16 key = Vector16{} + TRANSPARENT_INDEX;
    for (; n >= 16; n -= 16, d += 16, s += 16) {
        Vector16 source, dest;
        std::memcpy(&source, s, 16);
        std::memcpy(&dest, d, 16);
        const Vector16 keep = reinterpret_cast<Vector16>(source == key);
        dest = (source & ~keep) | (dest & keep);
        std::memcpy(d, &dest, 16);
    }
    for (; n > 0; --n, ++d, ++s)
        if (*s != TRANSPARENT_INDEX) *d = *s;
}

void ReadSystemColours(plat::PaletteEntry (&entries)[kColours]) {
    std::memset(entries, 0, sizeof entries);
    plat::DeviceContext screen = plat::AcquireScreenDc();
    plat::ReadSystemPalette(screen, 0, 10, entries);
    plat::ReadSystemPalette(screen, 246, 10, entries + 246);
    plat::ReleaseScreenDc(screen);
}

}  // namespace

bool BitCountRefused(const DibHeader& h, char* why, std::size_t size) {
    if (h.bitCount == 8) return false;
    std::snprintf(why, size, "a bitmap of %u bits per pixel; only 8-bit ones are used", unsigned{h.bitCount});
    return true;
}

IndexedImage::~IndexedImage() { Clear(); }

void IndexedImage::Clear() {
    if (palette) plat::DestroyPalette(palette);
    std::free(ownedHeader);
    palette = nullptr;
    ownedHeader = nullptr;
    header = nullptr;
    bits = nullptr;
    info = nullptr;
    width = 0;
    height = 0;
}

void IndexedImage::LoadFromBitmap(const char* name) {
    const std::uint8_t* dib = LoadPackedDib(name);
    header = nullptr;
    if (!dib) return;
    // Only 8-bit pictures; their rows follow the colour table, whatever its length.
    // Files come bottom-up; a built-in picture stored top-down could not be drawn.
    const DibHeader h = ReadDibHeader(dib);
    DibLayout layout;
    char why[80];
    if (BitCountRefused(h, why, sizeof why)) {
        plat::ReportUnusableFile(name, why);
        return;
    }
    if (h.height < 0 || !ComputeDibLayout(h, &layout)) return;
    header = dib;
    width = h.width;
    height = h.height;
    // Pictures are only ever read from; the block is writable memory or a read-only
    // built-in bitmap.
    bits = const_cast<std::uint8_t*>(dib + layout.pixelOffset);
    info = dib;
}

std::uint8_t* IndexedImage::CreateBlank(std::int32_t w, std::int32_t h) {
    std::uint8_t* dib = CreateBlankPackedDib(8, w, h);
    header = dib;
    if (dib) {
        width = w;
        height = h;
        bits = dib + BLANK_PIXEL_OFFSET;
        info = dib;
    }
    return dib;
}

std::uint8_t* IndexedImage::PixelAddress(std::int32_t x, std::int32_t y) const {
    if (!bits || x < 0 || x >= width || y < 0 || y >= height) return nullptr;
    return bits + static_cast<std::int64_t>(Stride()) * (height - 1 - y) + x;
}

void IndexedImage::CopyTo(IndexedImage* dest, std::int32_t x, std::int32_t y) const {
    if (!header || !dest) return;
    Span c{x, y, width, height, 0, 0};
    if (!ClipToDest(c, dest->width, dest->height)) return;
    // The whole image is the source, so it needs no clipping of its own.
    const std::uint8_t* s = PixelAddress(static_cast<std::int32_t>(c.sx), static_cast<std::int32_t>(c.sy + c.h - 1));
    std::uint8_t* d = dest->PixelAddress(static_cast<std::int32_t>(c.x), static_cast<std::int32_t>(c.y + c.h - 1));
    if (!s || !d) return;
    const std::int64_t sourceStride = Stride();
    const std::int64_t destStride = dest->Stride();
    const std::size_t rowBytes = static_cast<std::size_t>(c.w);
    // Bottom row of the rectangle first, moving up one stored row at a time.
    const bool sameImage = dest == this;  // rows may overlap
    for (std::int64_t row = 0; row < c.h; ++row) {
        if (sameImage) std::memmove(d, s, rowBytes);
        else CopyRow(d, s, rowBytes);
        s += sourceStride;
        d += destStride;
    }
}

void IndexedImage::ClearRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    Span c{x, y, w, h, 0, 0};
    if (w <= 0 || h <= 0 || !ClipToDest(c, width, height)) return;
    std::uint8_t* d = PixelAddress(static_cast<std::int32_t>(c.x), static_cast<std::int32_t>(c.y + c.h - 1));
    if (!d) return;
    const std::int64_t stride = Stride();
    for (std::int64_t row = 0; row < c.h; ++row, d += stride) ClearRow(d, static_cast<std::size_t>(c.w));
}

void IndexedImage::CopyRectTransparent(IndexedImage* dest, std::int32_t x, std::int32_t y, std::int32_t w,
                                       std::int32_t h, std::int32_t sx, std::int32_t sy) const {
    if (!header || !dest) return;
    Span c{x, y, w, h, sx, sy};
    if (!ClipToDest(c, dest->width, dest->height) || !ClipToSource(c, width, height)) return;
    const std::uint8_t* s = PixelAddress(static_cast<std::int32_t>(c.sx), static_cast<std::int32_t>(c.sy + c.h - 1));
    std::uint8_t* d = dest->PixelAddress(static_cast<std::int32_t>(c.x), static_cast<std::int32_t>(c.y + c.h - 1));
    if (!s || !d) return;
    const std::int64_t sourceStride = Stride();
    const std::int64_t destStride = dest->Stride();
    const std::size_t n = static_cast<std::size_t>(c.w);
    const bool sameImage = dest == this;  // rows may overlap: plain byte order
    for (std::int64_t row = 0; row < c.h; ++row) {
        if (sameImage) {
            for (std::size_t i = 0; i < n; ++i)
                if (s[i] != TRANSPARENT_INDEX) d[i] = s[i];
        } else {
            BlendRow(d, s, n);
        }
        s += sourceStride;
        d += destStride;
    }
}

bool IndexedImage::TransparentLayer(const IndexedImage& dest, std::int32_t x, std::int32_t y, std::int32_t w,
                                    std::int32_t h, std::int32_t sx, std::int32_t sy,
                                    plat::BackBufferLayer* layer) const {
    if (!header || !bits || !dest.bits) return false;
    Span c{x, y, w, h, sx, sy};
    if (!ClipToDest(c, dest.width, dest.height) || !ClipToSource(c, width, height)) return false;
    // Clipped to both images, every value fits in 32 bits again.
    *layer = {bits,
              Stride(),
              height,
              static_cast<std::int32_t>(c.x),
              static_cast<std::int32_t>(c.y),
              static_cast<std::int32_t>(c.w),
              static_cast<std::int32_t>(c.h),
              static_cast<std::int32_t>(c.sx),
              static_cast<std::int32_t>(c.sy),
              0};
    return true;
}

bool IndexedImage::EnsureHeaderBlock() {
    if (header) return true;
    ownedHeader = static_cast<std::uint8_t*>(std::calloc(1, BLANK_PIXEL_OFFSET));
    if (!ownedHeader) return false;
    DibHeader h;
    h.size = DIB_HEADER_BYTES;
    WriteDibHeader(ownedHeader, h);
    header = ownedHeader;
    return true;
}

void IndexedImage::MergeColourTable(const IndexedImage& firstPicture) {
    plat::PaletteEntry system[kColours];
    ReadSystemColours(system);
    if (!EnsureHeaderBlock() || !ownedHeader) return;
    std::uint8_t* table = ownedHeader + ReadDibHeader(ownedHeader).size;
    for (int i = 0; i < 10; ++i) {
        for (int k : {i, 246 + i}) {
            table[4 * k] = system[k].blue;
            table[4 * k + 1] = system[k].green;
            table[4 * k + 2] = system[k].red;
        }
    }
    // The picture's own entries where it has them; black where it is missing or its
    // colour table is shorter.
    const std::uint8_t* pictureTable = nullptr;
    std::uint32_t pictureColours = 0;
    if (firstPicture.header) {
        const DibHeader h = ReadDibHeader(firstPicture.header);
        DibLayout layout;
        if (ComputeDibLayout(h, &layout)) {
            pictureTable = firstPicture.header + h.size;
            pictureColours = layout.colourCount;
        }
    }
    for (int i = kFirstPictureColour; i <= kLastPictureColour; ++i) {
        const bool present = pictureTable && static_cast<std::uint32_t>(i) < pictureColours;
        for (int b = 0; b < 3; ++b) table[4 * i + b] = present ? pictureTable[4 * i + b] : 0;
    }
}

void IndexedImage::BuildPalette() {
    plat::PaletteEntry entries[kColours];
    ReadSystemColours(entries);
    if (EnsureHeaderBlock()) {
        const std::uint8_t* table = header + ReadDibHeader(header).size;
        for (int i = kFirstPictureColour; i <= kLastPictureColour; ++i)
            entries[i] = plat::PaletteEntry{table[4 * i + 2], table[4 * i + 1], table[4 * i], plat::PALETTE_NO_COLLAPSE};
    }
    plat::Palette made = plat::CreateLogicalPalette(entries, kColours);
    if (palette) plat::DestroyPalette(palette);
    palette = made;
}

plat::Palette IndexedImage::SelectPaletteInto(plat::DeviceContext dc) const {
    return plat::SelectDcPalette(dc, palette, false);
}

plat::Bitmap IndexedImage::CreateBackBuffer(plat::DeviceContext dc, std::int32_t w, std::int32_t h) {
    bits = nullptr;
    if (!EnsureHeaderBlock() || !ownedHeader) return nullptr;
    DibHeader hd;
    hd.size = DIB_HEADER_BYTES;
    hd.width = w;
    hd.height = h;
    hd.planes = 1;
    hd.bitCount = 8;
    WriteDibHeader(ownedHeader, hd);
    width = w;
    height = h;
    info = header;
    std::uint8_t* pixels = nullptr;
    plat::Bitmap bitmap = plat::CreatePixelBuffer(dc, ownedHeader, &pixels);
    bits = bitmap ? pixels : nullptr;
    return bitmap;
}
