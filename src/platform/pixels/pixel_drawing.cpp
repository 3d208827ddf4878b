// The drawing that the Linux back ends share (X11 in platform/x11/, Wayland in
// platform/wayland/): drawing.h over a window whose pixels this program composes
// (pixel_window.h).
//
// Palette colours become pixel values of the window's format once per palette.
// A frame's copies from the 8-bit back buffer are noted, joined where that is
// cheaper, and at the end of the frame converted into memory that the back end
// gives for each piece (PixelTarget::begin), which then shows it (put). The
// sprites are not drawn into the back buffer: the stage hands over its frame as
// layers (SetBackBufferLayers), and each copy is painted black and has the
// layers' opaque runs copied over it, from pictures converted once into the
// window's pixels. 24-bit pixels, and any other copy, go a row at a time through
// the palette's table. Back buffers are pages of their own, zero until written:
// the largest field costs only the pages that sprites touch.
#include "platform/drawing.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/pixels/pixel_window.h"

namespace plat {
namespace {

DeviceContextObject screenDc{nullptr, nullptr, nullptr};
std::uint32_t nextFormat = 1;

bool HostIsLittleEndian() { return std::endian::native == std::endian::little; }

// An 8-bit colour channel placed into `mask`.
std::uint32_t Channel(std::uint8_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t scaled = bits <= 8 ? value >> (8 - bits) : static_cast<std::uint32_t>(value) << (bits - 8);
    return (scaled << shift) & mask;
}

std::uint32_t PixelOf(const PixelFormat& f, const PaletteEntry& e) {
    return Channel(e.red, f.redMask) | Channel(e.green, f.greenMask) | Channel(e.blue, f.blueMask) | f.spareBits;
}

// A pixel value as the window stores it: swapped when its byte order is not the
// processor's (16- and 32-bit pixels; 24-bit ones are written bytewise).
std::uint32_t InStoredOrder(const PixelFormat& f, std::uint32_t pixel) {
    if (f.lsbFirst == HostIsLittleEndian()) return pixel;
    if (f.bitsPerPixel == 16) return static_cast<std::uint16_t>((pixel >> 8) | (pixel << 8));
    if (f.bitsPerPixel == 32) return __builtin_bswap32(pixel);
    return pixel;
}

// Zeroes a run of a pixel buffer's memory. Whole pages inside it are handed
// back to the system, which gives them again zeroed when they are next touched:
// clearing a large field touches none of it.
void ZeroMemory(std::uint8_t* start, std::size_t bytes) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(start), end = begin + bytes;
    const std::uintptr_t firstPage = (begin + page - 1) & ~(page - 1), lastPage = end & ~(page - 1);
    if (bytes < 16 * page || firstPage >= lastPage ||
        madvise(reinterpret_cast<void*>(firstPage), lastPage - firstPage, MADV_DONTNEED) != 0) {
        std::memset(start, 0, bytes);
        return;
    }
    std::memset(start, 0, firstPage - begin);
    std::memset(reinterpret_cast<void*>(lastPage), 0, end - lastPage);
}

// Row conversions, one per pixel size, through the palette's table of pixels
// already in the image's byte order. Runs of eight black pixels (colour index 0,
// much of every sprite's rectangle) are written without a look-up each.
template <typename Pixel>
void ConvertRowTo(const std::uint32_t* lut, const std::uint8_t* in, char* out, int count) {
    auto* p = reinterpret_cast<Pixel*>(out);
    const auto black = static_cast<Pixel>(lut[0]);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, in + i, 8);
        if (eight == 0) {
            for (int k = 0; k < 8; ++k) p[i + k] = black;
        } else {
            for (int k = 0; k < 8; ++k) p[i + k] = static_cast<Pixel>(lut[in[i + k]]);
        }
    }
    for (; i < count; ++i) p[i] = static_cast<Pixel>(lut[in[i]]);
}

// 24 bits: three bytes, lowest first when the table says so (see ThreeByteOrder).
template <bool LowFirst>
void ConvertRowTo24(const std::uint32_t* lut, const std::uint8_t* in, char* out, int count) {
    auto* p = reinterpret_cast<std::uint8_t*>(out);
    for (int i = 0; i < count; ++i, p += 3) {
        const std::uint32_t v = lut[in[i]];
        p[LowFirst ? 0 : 2] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[LowFirst ? 2 : 0] = static_cast<std::uint8_t>(v >> 16);
    }
}

ConvertRowFunction ConversionFor(const PixelFormat& f) {
    switch (f.bitsPerPixel) {
        case 32: return ConvertRowTo<std::uint32_t>;
        case 16: return ConvertRowTo<std::uint16_t>;
        case 24: return f.lsbFirst ? ConvertRowTo24<true> : ConvertRowTo24<false>;
        default: return nullptr;
    }
}

std::int64_t Area(const PendingCopy& c) { return std::int64_t{c.width} * c.height; }

// Two copies from the same bitmap with the same offset can go out as one over
// their bounding box when that costs no more than about the two apart: every
// put is a request the server decodes, so a few more pixels are cheaper.
constexpr std::int64_t PUT_COST_IN_PIXELS = 1024;

bool Joinable(const PendingCopy& a, const PendingCopy& b) {
    return a.bits == b.bits && a.dx == b.dx && a.dy == b.dy && a.stride == b.stride &&
           a.sourceHeight == b.sourceHeight;
}

PendingCopy Joined(const PendingCopy& a, const PendingCopy& b) {
    PendingCopy j = a;
    j.x = std::min(a.x, b.x);
    j.y = std::min(a.y, b.y);
    j.width = std::max(a.x + a.width, b.x + b.width) - j.x;
    j.height = std::max(a.y + a.height, b.y + b.height) - j.y;
    return j;
}

// Copies further apart than this are not looked at for joining (for sprite-sized
// copies it would not pay).
constexpr std::int32_t JOIN_REACH = 32;

bool WorthJoining(const PendingCopy& a, const PendingCopy& b) {
    if (a.x > b.x + b.width + JOIN_REACH || b.x > a.x + a.width + JOIN_REACH ||
        a.y > b.y + b.height + JOIN_REACH || b.y > a.y + a.height + JOIN_REACH)
        return false;
    return Joinable(a, b) && Area(Joined(a, b)) <= Area(a) + Area(b) + PUT_COST_IN_PIXELS;
}

// Joins the frame's copies wherever that is cheaper, in place: passes that join
// each copy into the first one worth it, until a pass joins none.
void JoinPending(WindowObject* s) {
    for (bool joinedAny = true; joinedAny;) {
        joinedAny = false;
        int count = 0;  // pending[0 .. count) are this pass's results
        for (int i = 0; i < s->pendingCount; ++i) {
            const PendingCopy c = s->pending[i];
            int k = 0;
            while (k < count && !WorthJoining(s->pending[k], c)) ++k;
            if (k < count) {
                s->pending[k] = Joined(s->pending[k], c);
                joinedAny = true;
            } else {
                s->pending[count++] = c;
            }
        }
        s->pendingCount = count;
    }
}
// The source pixels of window row y, from column x, of a copy.
const std::uint8_t* SourceRow(const PendingCopy& c, std::int64_t x, std::int64_t y) {
    return c.bits + (c.sourceHeight - 1 - (y + c.dy)) * c.stride + x + c.dx;
}

// Reads the frame's source rows ahead of their conversion, the next copy's first
// rows included. Much of a copy was not drawn this frame (where a sprite was
// before, the space between joined copies), so its rows are not in the cache;
// asked for some rows early, their misses overlap instead of coming one by one.
class RowReadAhead {
public:
    static constexpr int ROWS_AHEAD = 8;

    RowReadAhead(const PendingCopy* copies, int count) : copies_(copies), count_(count) {
        for (int i = 0; i < ROWS_AHEAD; ++i) Next();
    }
    // One row further on.
    void Next() {
        while (copy_ < count_ && row_ >= copies_[copy_].height) {
            ++copy_;
            row_ = 0;
        }
        if (copy_ >= count_) return;
        const PendingCopy& c = copies_[copy_];
        const std::uint8_t* start = SourceRow(c, c.x, std::int64_t{c.y} + row_);
        for (std::int32_t offset = 0; offset < c.width; offset += 64) __builtin_prefetch(start + offset);
        __builtin_prefetch(start + c.width - 1);
        ++row_;
    }

private:
    const PendingCopy* copies_;
    int count_;
    int copy_ = 0;
    std::int32_t row_ = 0;
};

// The picture of `layer` converted into the surface's format through `lut`,
// made on its first use for each picture and format; null for a picture too
// large to keep, or without memory for it (a copy then converts the pixels it
// shows one by one).
const ConvertedPicture* Converted(WindowObject* s, const BackBufferLayer& layer, const std::uint32_t* lut,
                                  std::uint8_t transparent) {
    if (layer.picture == 0) return nullptr;
    // Most layers show the picture the last one showed.
    for (int k = 0; k < MAX_CONVERTED_PICTURES; ++k) {
        const int at = (s->lastConverted + k) % MAX_CONVERTED_PICTURES;
        const ConvertedPicture& c = s->converted[at];
        if (c.picture != layer.picture || c.format != s->format) continue;
        s->lastConverted = at;
        return c.pixels ? &c : nullptr;
    }
    s->lastConverted = s->nextConverted;
    ConvertedPicture& c = s->converted[s->nextConverted];
    s->nextConverted = (s->nextConverted + 1) % MAX_CONVERTED_PICTURES;
    std::free(c.pixels);
    c = {layer.picture, s->format};
    const std::int64_t stride = layer.stride, rows = layer.sourceHeight, count = stride * rows;
    if (count > MAX_CONVERTED_PIXELS || count <= 0) return nullptr;
    std::int64_t runCount = 0;
    for (std::int64_t i = 0; i < count; ++i)
        runCount += layer.bits[i] != transparent && (i % stride == 0 || layer.bits[i - 1] == transparent);
    const std::int64_t pixelBytes = s->pixelFormat.bitsPerPixel / 8;
    const std::int64_t pixelsSize = (count * pixelBytes + 7) & ~std::int64_t{7};
    const std::int64_t size = pixelsSize + (rows + 1) * 4 + runCount * 8;
    c.pixels = static_cast<char*>(std::malloc(static_cast<std::size_t>(size)));
    if (!c.pixels) return nullptr;
    auto* firstRun = reinterpret_cast<std::int32_t*>(c.pixels + pixelsSize);
    auto* runs = reinterpret_cast<std::int32_t(*)[2]>(firstRun + rows + 1);
    std::int32_t made = 0;
    for (std::int64_t row = 0; row < rows; ++row) {
        const std::uint8_t* in = layer.bits + row * stride;
        s->convertRow(lut, in, c.pixels + row * stride * pixelBytes, static_cast<int>(stride));
        firstRun[row] = made;
        for (std::int32_t i = 0; i < stride; ++i) {
            if (in[i] == transparent) continue;
            if (i == 0 || in[i - 1] == transparent) runs[made++][0] = i;
            runs[made - 1][1] = i + 1;
        }
    }
    firstRun[rows] = made;
    c.firstRun = firstRun;
    c.runs = runs;
    return &c;
}

void FreeConvertedPictures(WindowObject* s) {
    for (ConvertedPicture& c : s->converted) {
        std::free(c.pixels);
        c = ConvertedPicture{};
    }
    s->nextConverted = s->lastConverted = 0;
}

// The layers that a copy may show, in order, each with its converted pixels
// (or null); count -1: all the surface's, unconverted, when more than fit here
// meet it.
struct LayersMet {
    static constexpr int MAX = 128;
    struct Met {
        const BackBufferLayer* layer;
        const ConvertedPicture* converted;
    } met[MAX];
    int count = 0;
};

void FindLayers(WindowObject* s, const PendingCopy& c, const std::uint32_t* lut, bool convert, LayersMet* found) {
    found->count = 0;
    const std::int64_t left = c.x + c.dx, top = c.y + c.dy, right = left + c.width, bottom = top + c.height;
    for (std::int32_t k = 0; k < s->layerCount; ++k) {
        const BackBufferLayer& l = s->layers[k];
        if (l.x >= right || l.x + l.width <= left || l.y >= bottom || l.y + l.height <= top) continue;
        if (found->count == LayersMet::MAX) {
            found->count = -1;  // all of them
            return;
        }
        found->met[found->count++] = {&l, convert ? Converted(s, l, lut, s->transparent) : nullptr};
    }
}

// Where row y of the back buffer (from the top), columns [left, left + width),
// meets a layer: the part of the row, and the picture's offset there in pixels
// from its first stored one. False where they do not meet.
bool LayerRow(const BackBufferLayer& l, std::int64_t left, std::int64_t y, std::int32_t width, std::int64_t* from,
              std::int64_t* to, std::int64_t* at) {
    if (y < l.y || y >= std::int64_t{l.y} + l.height) return false;
    *from = std::max<std::int64_t>(left, l.x);
    *to = std::min<std::int64_t>(left + width, std::int64_t{l.x} + l.width);
    *at = (l.sourceHeight - 1 - (l.sourceY + y - l.y)) * l.stride + l.sourceX + (*from - l.x);
    return *from < *to;
}

// The layers of a copy, one after another: those found, or all the surface's.
template <typename Visit>
void ForEachLayer(const WindowObject& s, const LayersMet& found, Visit visit) {
    if (found.count < 0) {
        for (std::int32_t k = 0; k < s.layerCount; ++k) visit(s.layers[k], static_cast<const ConvertedPicture*>(nullptr));
        return;
    }
    for (int m = 0; m < found.count; ++m) visit(*found.met[m].layer, found.met[m].converted);
}

// Rows [top, top + rows) of the back buffer (from the top), columns [left,
// left + width), as the layers draw them over colour index 0, straight into
// pixels of the surface: `out` gets the first row, each further one `rowBytes`
// on. The whole piece is painted black first, then each layer over it in turn.
template <typename Pixel>
void ComposePixels(const WindowObject& s, const LayersMet& found, const std::uint32_t* lut, std::int64_t left,
                   std::int64_t top, std::int32_t width, std::int32_t rows, char* out, std::int64_t rowBytes) {
    // Rows that follow each other in the target's own memory (a staging image,
    // their padding included) are one run of it; rows of a larger image (the
    // columns on either side of the piece are not the piece's) are painted one by one.
    const auto black = static_cast<Pixel>(lut[0]);
    const std::int64_t rowPixels = std::int64_t{width} * static_cast<std::int64_t>(sizeof(Pixel));
    const bool oneRun = s.target->packedRows && rowBytes < rowPixels + 8;
    for (std::int32_t j = 0; j < (oneRun ? 1 : rows); ++j) {
        const std::int64_t bytes = oneRun ? rows * rowBytes : rowPixels;
        char* start = out + j * rowBytes;
        if (black == 0) std::memset(start, 0, static_cast<std::size_t>(bytes));
        else std::fill_n(reinterpret_cast<Pixel*>(start), bytes / static_cast<std::int64_t>(sizeof(Pixel)), black);
    }
    const std::uint8_t key = s.transparent;
    ForEachLayer(s, found, [&](const BackBufferLayer& l, const ConvertedPicture* converted) {
        const std::int64_t first = std::max<std::int64_t>(top, l.y);
        const std::int64_t last = std::min<std::int64_t>(top + rows, std::int64_t{l.y} + l.height);
        const std::int64_t from = std::max<std::int64_t>(left, l.x);
        const std::int64_t to = std::min<std::int64_t>(left + width, std::int64_t{l.x} + l.width);
        if (first >= last || from >= to) return;
        // The picture's columns [start, end) land on the piece's columns from `from` on.
        const std::int64_t start = l.sourceX + (from - l.x), end = start + (to - from);
        char* line = out + (first - top) * rowBytes;
        for (std::int64_t y = first; y < last; ++y, line += rowBytes) {
            Pixel* d = reinterpret_cast<Pixel*>(line) + (from - left);
            const std::int64_t row = l.sourceHeight - 1 - (l.sourceY + y - l.y);  // stored rows count from the bottom
            if (!converted) {
                const std::uint8_t* index = l.bits + row * l.stride + start;
                for (std::int64_t i = 0; i < end - start; ++i)
                    if (index[i] != key) d[i] = static_cast<Pixel>(lut[index[i]]);
                continue;
            }
            // The row's runs of opaque pixels, cut to the columns shown.
            const auto* pixels = reinterpret_cast<const Pixel*>(converted->pixels) + row * l.stride;
            for (std::int32_t r = converted->firstRun[row]; r < converted->firstRun[row + 1]; ++r) {
                const std::int64_t a = std::max<std::int64_t>(converted->runs[r][0], start);
                const std::int64_t b = std::min<std::int64_t>(converted->runs[r][1], end);
                if (a < b) std::memcpy(d + (a - start), pixels + a, static_cast<std::size_t>(b - a) * sizeof(Pixel));
            }
        }
    });
}

// The same row as colour indices, for a conversion afterwards (24-bit pixels:
// rare enough for a plain loop).
void ComposeIndices(const WindowObject& s, const LayersMet& found, std::int64_t left, std::int64_t y,
                    std::int32_t width, std::uint8_t* out) {
    std::memset(out, 0, static_cast<std::size_t>(width));
    ForEachLayer(s, found, [&](const BackBufferLayer& l, const ConvertedPicture*) {
        std::int64_t from, to, at;
        if (!LayerRow(l, left, y, width, &from, &to, &at)) return;
        for (std::int64_t i = 0; i < to - from; ++i)
            if (l.bits[at + i] != s.transparent) out[from - left + i] = l.bits[at + i];
    });
}

// Converts and shows one copy, in pieces of the rows that the back end takes at
// once. A copy from a back buffer with layers is drawn from them (`met`), row by row.
void PutCopy(WindowObject* s, const std::uint32_t* lut, const PendingCopy& c, RowReadAhead* ahead,
             const LayersMet* met) {
    const int bits = s->pixelFormat.bitsPerPixel;
    for (std::int32_t top = 0; top < c.height;) {
        std::int32_t rows = c.height - top;
        std::int64_t rowBytes = 0;
        char* out = s->target->begin(s, c.x, c.y + top, c.width, &rows, &rowBytes);
        if (!out) return;
        const std::int64_t left = c.x + c.dx, firstRow = std::int64_t{c.y} + top + c.dy;  // in the back buffer
        if (met && s->directPixels && bits == 32) {
            ComposePixels<std::uint32_t>(*s, *met, lut, left, firstRow, c.width, rows, out, rowBytes);
        } else if (met && s->directPixels && bits == 16) {
            ComposePixels<std::uint16_t>(*s, *met, lut, left, firstRow, c.width, rows, out, rowBytes);
        } else {
            for (std::int32_t j = 0; j < rows; ++j, out += rowBytes) {
                if (met) {
                    ComposeIndices(*s, *met, left, firstRow + j, c.width, s->composedRow);
                    s->convertRow(lut, s->composedRow, out, c.width);
                } else {
                    ahead->Next();
                    s->convertRow(lut, SourceRow(c, c.x, std::int64_t{c.y} + top + j), out, c.width);
                }
            }
        }
        s->target->put(s, c.x, c.y + top, c.width, rows);
        top += rows;
    }
}


// Converts and puts every copy of the frame so far.
void FlushPending(WindowObject* s, Palette palette) {
    if (s->pendingCount == 0 || !s->target) return;
    static const std::uint32_t noPalette[256] = {};
    const std::uint32_t* lut = palette && palette->pixelsFormat == s->format ? palette->pixels : noPalette;
    JoinPending(s);
    RowReadAhead ahead(s->pending, s->layers ? 0 : s->pendingCount);
    // Pictures are converted once their palette is.
    const bool convert = lut != noPalette && s->directPixels;
    LayersMet met;
    for (int i = 0; i < s->pendingCount; ++i) {
        const PendingCopy& c = s->pending[i];
        const bool layered = s->layers && c.bits == s->layeredBits;
        if (layered) FindLayers(s, c, lut, convert, &met);
        PutCopy(s, lut, c, &ahead, layered ? &met : nullptr);
    }
    s->pendingCount = 0;
}

// A small font of its own for the -fps figures, as the X server's "fixed" draws
// them: each character a cell of TEXT_CELL_WIDTH x TEXT_LINE_HEIGHT, its glyph 5 x 7
// with the top row in `rows[0]` and the leftmost column in bit 4. Characters it
// lacks are blank.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
constexpr Glyph GLYPHS[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}}, {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
};
constexpr int GLYPH_TOP = 3;  // the glyph's first row in its cell

// The glyph's pixel (column, row of the cell) is lit.
bool GlyphLit(char c, int column, int row) {
    if (column >= 5 || row < GLYPH_TOP || row >= GLYPH_TOP + 7) return false;
    for (const Glyph& g : GLYPHS)
        if (g.c == c) return (g.rows[row - GLYPH_TOP] >> (4 - column)) & 1;
    return false;
}

// A pixel value written at `at` as the window stores it.
void StorePixel(const PixelFormat& f, std::uint32_t pixel, char* at) {
    if (f.bitsPerPixel == 24) {
        for (int k = 0; k < 3; ++k) at[k] = static_cast<char>(pixel >> (8 * (f.lsbFirst ? k : 2 - k)));
        return;
    }
    const std::uint32_t stored = InStoredOrder(f, pixel);
    if (f.bitsPerPixel == 16) {
        const auto half = static_cast<std::uint16_t>(stored);
        std::memcpy(at, &half, 2);
    } else {
        std::memcpy(at, &stored, 4);
    }
}

}  // namespace

namespace pixels {

bool OpenWindow(WindowObject* s, const PixelTarget* target, const PixelFormat& format, std::int32_t width,
                std::int32_t height) {
    s->convertRow = ConversionFor(format);
    if (!s->convertRow) {
        std::fprintf(stderr, "pendral: %d bits per pixel are not supported\n", format.bitsPerPixel);
        return false;
    }
    delete[] s->composedRow;
    s->composedRow = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(width)];
    if (!s->composedRow) {
        std::fprintf(stderr, "pendral: out of memory for a row of %d pixels\n", width);
        return false;
    }
    s->target = target;
    s->pixelFormat = format;
    s->directPixels = format.bitsPerPixel != 24;
    s->width = width;
    s->height = height;
    s->format = nextFormat++;
    s->blackPixel = format.spareBits;
    s->pendingCount = 0;
    return true;
}

void DrawText(WindowObject* s, std::int32_t x, std::int32_t top, const char* text) {
    const std::int32_t width = static_cast<std::int32_t>(std::strlen(text)) * TEXT_CELL_WIDTH;
    if (!s->target || width == 0) return;
    const PixelFormat& f = s->pixelFormat;
    const std::uint32_t white = f.redMask | f.greenMask | f.blueMask | f.spareBits;
    const int bytes = f.bitsPerPixel / 8;
    for (std::int32_t row = 0; row < TEXT_LINE_HEIGHT;) {
        std::int32_t rows = TEXT_LINE_HEIGHT - row;
        std::int64_t rowBytes = 0;
        char* out = s->target->begin(s, x, top + row, width, &rows, &rowBytes);
        if (!out) return;  // not on the window's pixels
        for (std::int32_t r = 0; r < rows; ++r)
            for (std::int32_t i = 0; i < width; ++i)
                StorePixel(f, GlyphLit(text[i / TEXT_CELL_WIDTH], i % TEXT_CELL_WIDTH, row + r) ? white : s->blackPixel,
                           out + r * rowBytes + std::int64_t{i} * bytes);
        s->target->put(s, x, top + row, width, rows);
        row += rows;
    }
}

void CloseWindow(WindowObject* s) {
    delete[] s->composedRow;
    s->composedRow = nullptr;
    FreeConvertedPictures(s);
    s->layers = nullptr;
    s->layerCount = 0;
    s->pendingCount = 0;
    s->target = nullptr;
    s->windowDc.selectedPalette = nullptr;  // the scene's palette is gone with it
}

}  // namespace pixels

DeviceContext AcquireScreenDc() { return &screenDc; }
void ReleaseScreenDc(DeviceContext) {}

DeviceContext AcquireWindowDc(Window window) { return window ? &window->windowDc : &screenDc; }

// The end of a frame: its copies are converted and shown.
void ReleaseWindowDc(Window window, DeviceContext dc) {
    if (!window || !window->target) return;
    FlushPending(window, dc ? dc->selectedPalette : nullptr);
    window->layers = nullptr;
    window->layerCount = 0;
    if (window->overlay) window->overlay(window, window->overlayData);
    window->target->frameEnd(window);
}

// TrueColor displays have no system palette.
std::uint32_t ReadSystemPalette(DeviceContext, std::uint32_t, std::uint32_t, PaletteEntry*) { return 0; }

Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count) {
    if (count > 256) return nullptr;
    auto* palette = new (std::nothrow) PaletteObject{};
    if (!palette) return nullptr;
    std::memcpy(palette->entries, entries, count * sizeof(PaletteEntry));
    palette->count = count;
    return palette;
}

void DestroyPalette(Palette palette) { delete palette; }

// Works out the selected palette's pixel values for the window's format, once.
void RealizeDcPalette(DeviceContext dc) {
    Palette palette = dc->selectedPalette;
    WindowObject* s = dc->window;
    if (!palette || !s || !s->target || palette->pixelsFormat == s->format) return;
    const PixelFormat& f = s->pixelFormat;
    for (std::uint32_t i = 0; i < 256; ++i)
        palette->pixels[i] = InStoredOrder(f, i < palette->count ? PixelOf(f, palette->entries[i]) : s->blackPixel);
    palette->pixelsFormat = s->format;
}

DeviceContext CreateMemoryDc(DeviceContext dc) { return dc && dc->window ? &dc->window->memoryDc : nullptr; }

std::size_t PixelBytes(const BitmapObject& b) { return static_cast<std::size_t>(b.stride) * static_cast<std::size_t>(b.height); }

void DestroyBitmap(Bitmap bitmap) {
    if (!bitmap) return;
    munmap(bitmap->pixels, PixelBytes(*bitmap));
    delete bitmap;
}

Bitmap CreatePixelBuffer(DeviceContext, const void* info, std::uint8_t** bits) {
    *bits = nullptr;
    BitmapObject* bitmap = NewPixelBufferRecord(info, MAX_WINDOW_SIDE);
    if (!bitmap) return nullptr;
    // Pages of their own, zero until first written: a field as large as X allows
    // (32767 x 32767, 1 GiB) costs only the pages that sprites ever touch.
    void* pixels = mmap(nullptr, PixelBytes(*bitmap), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pixels == MAP_FAILED) {
        delete bitmap;
        return nullptr;
    }
    bitmap->pixels = static_cast<std::uint8_t*>(pixels);
    *bits = bitmap->pixels;
    return bitmap;
}

void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (!dc) return;
    if (Bitmap b = dc->selectedBitmap; b && dc == &dc->window->memoryDc) {
        // Rows of the pixel buffer count from the bottom.
        const std::int64_t left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
        const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, b->width);
        const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, b->height);
        if (left >= right || top >= bottom) return;
        if (left == 0 && right == b->width) {  // whole rows: one run of memory
            ZeroMemory(b->pixels + (b->height - bottom) * b->stride, static_cast<std::size_t>((bottom - top) * b->stride));
            return;
        }
        for (std::int64_t row = top; row < bottom; ++row)
            std::memset(b->pixels + (b->height - 1 - row) * b->stride + left, 0, static_cast<std::size_t>(right - left));
        return;
    }
    WindowObject* s = dc->window;
    if (s && s->target && width > 0 && height > 0) s->target->fillBlack(s, x, y, width, height);
}

bool TakesBackBufferLayers(DeviceContext dc) { return dc && dc->window && dc == &dc->window->windowDc; }

void SetBackBufferLayers(DeviceContext dc, const std::uint8_t* bits, const BackBufferLayer* layers,
                         std::int32_t count, std::uint8_t transparent) {
    if (!TakesBackBufferLayers(dc)) return;
    WindowObject* s = dc->window;
    // Copies noted before are from the back buffer as it was: out with them first.
    FlushPending(s, dc->selectedPalette);
    s->layeredBits = bits;
    s->layers = bits && layers && count > 0 ? layers : nullptr;
    s->layerCount = s->layers ? count : 0;
    s->transparent = transparent;
}

// Notes the copy for the end of the frame (ReleaseWindowDc), where the frame's
// copies are joined, converted and put: the source pixels stay as they are until then.
void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 std::int32_t sourceX, std::int32_t sourceY, const std::uint8_t* bits, const void* info) {
    WindowObject* s = dc ? dc->window : nullptr;
    CopyClip clip;
    if (!s || !s->target || !bits || !info || !ClipCopy({x, y, width, height, sourceX, sourceY}, info, s->width, s->height, &clip))
        return;
    const std::int64_t i0 = clip.i0, i1 = clip.i1, j0 = clip.j0, j1 = clip.j1;

    if (s->pendingCount == MAX_PENDING_COPIES) FlushPending(s, dc->selectedPalette);
    PendingCopy& c = s->pending[s->pendingCount++];
    c.x = static_cast<std::int32_t>(x + i0);
    c.y = static_cast<std::int32_t>(y + j0);
    c.width = static_cast<std::int32_t>(i1 - i0);
    c.height = static_cast<std::int32_t>(j1 - j0);
    c.bits = bits;
    c.stride = clip.sourceStride;
    c.sourceHeight = clip.sourceHeight;
    c.dx = std::int64_t{sourceX} - x;
    // Destination row y + j is source row sourceY + height - 1 - j from the bottom,
    // that is sourceHeight - sourceY - height + j from the top.
    c.dy = std::int64_t{clip.sourceHeight} - sourceY - height - y;
}

}  // namespace plat
