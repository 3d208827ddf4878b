#include "gfx/packed_dib.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/bitmap_resource.h"
#include "platform/file.h"

namespace {

// ---- Blocks that live until the program ends ------------------------------------
//
// Every block is kept on one list reachable from a global, so that it stays
// reachable (leak checkers agree) and a harness can free them all at once.

struct alignas(16) BlockLink {
    BlockLink* prev;
    BlockLink* next;
    std::size_t bytes;
};

BlockLink* lastingBlocks = nullptr;

void Link(BlockLink* link) {
    link->prev = nullptr;
    link->next = lastingBlocks;
    if (lastingBlocks) lastingBlocks->prev = link;
    lastingBlocks = link;
}

void Unlink(BlockLink* link) {
    if (link->prev) link->prev->next = link->next;
    else lastingBlocks = link->next;
    if (link->next) link->next->prev = link->prev;
}

std::uint8_t* AllocateZeroed(std::size_t bytes) {
    if (bytes > SIZE_MAX - sizeof(BlockLink)) return nullptr;
    auto* link = static_cast<BlockLink*>(std::calloc(1, sizeof(BlockLink) + bytes));
    if (!link) return nullptr;
    Link(link);
    link->bytes = bytes;
    return reinterpret_cast<std::uint8_t*>(link + 1);
}

BlockLink* LinkOf(std::uint8_t* block) { return reinterpret_cast<BlockLink*>(block) - 1; }

// Grows a block to `bytes`, keeping its contents; the new part is zero. Null on
// failure, the old block then still valid.
std::uint8_t* Grow(std::uint8_t* block, std::size_t oldBytes, std::size_t bytes) {
    if (bytes > SIZE_MAX - sizeof(BlockLink)) return nullptr;
    BlockLink* link = LinkOf(block);
    Unlink(link);
    auto* grown = static_cast<BlockLink*>(std::realloc(link, sizeof(BlockLink) + bytes));
    if (!grown) {
        Link(link);
        return nullptr;
    }
    Link(grown);
    grown->bytes = bytes;
    auto* out = reinterpret_cast<std::uint8_t*>(grown + 1);
    if (bytes > oldBytes) std::memset(out + oldBytes, 0, bytes - oldBytes);
    return out;
}

void Release(std::uint8_t* block) {
    BlockLink* link = LinkOf(block);
    Unlink(link);
    std::free(link);
}

// ---- Little-endian fields ----------------------------------------------------------

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kMaxHeaderBytes = 1024;
constexpr std::uint32_t kMaxColours = 256;

bool KnownBitCount(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads `count` bytes; false when fewer arrive.
bool ReadExactly(plat::File file, void* buffer, std::uint32_t count) {
    return plat::ReadFromFile(file, buffer, count) == count;
}

}  // namespace

DibHeader ReadDibHeader(const std::uint8_t* p) {
    DibHeader h;
    h.size = Get32(p);
    h.width = static_cast<std::int32_t>(Get32(p + 4));
    h.height = static_cast<std::int32_t>(Get32(p + 8));
    h.planes = Get16(p + 12);
    h.bitCount = Get16(p + 14);
    h.compression = Get32(p + 16);
    h.sizeImage = Get32(p + 20);
    h.xPelsPerMeter = static_cast<std::int32_t>(Get32(p + 24));
    h.yPelsPerMeter = static_cast<std::int32_t>(Get32(p + 28));
    h.clrUsed = Get32(p + 32);
    h.clrImportant = Get32(p + 36);
    return h;
}

void WriteDibHeader(std::uint8_t* p, const DibHeader& h) {
    Put32(p, h.size);
    Put32(p + 4, static_cast<std::uint32_t>(h.width));
    Put32(p + 8, static_cast<std::uint32_t>(h.height));
    Put16(p + 12, h.planes);
    Put16(p + 14, h.bitCount);
    Put32(p + 16, h.compression);
    Put32(p + 20, h.sizeImage);
    Put32(p + 24, static_cast<std::uint32_t>(h.xPelsPerMeter));
    Put32(p + 28, static_cast<std::uint32_t>(h.yPelsPerMeter));
    Put32(p + 32, h.clrUsed);
    Put32(p + 36, h.clrImportant);
}

namespace {

// The colour-table entry count N, false when the header size, bit count or count is absurd.
bool TableShape(const DibHeader& h, std::uint32_t* colours) {
    if (h.size < DIB_HEADER_BYTES || h.size > kMaxHeaderBytes) return false;
    if (!KnownBitCount(h.bitCount)) return false;
    std::uint32_t n = h.clrUsed;
    if (n == 0 && h.bitCount <= 8) n = 1u << h.bitCount;
    if (n > kMaxColours) return false;
    *colours = n;
    return true;
}

// A top-down picture (negative height, the top row stored first) made bottom-up
// like every other: its rows in the opposite order and its height positive.
void TurnBottomUp(std::uint8_t* block, const DibLayout& layout) {
    DibHeader h = ReadDibHeader(block);
    std::uint8_t* top = block + layout.pixelOffset;
    std::uint8_t* bottom = top + layout.pixelBytes - layout.rowBytes;
    for (; top < bottom; top += layout.rowBytes, bottom -= layout.rowBytes)
        std::swap_ranges(top, top + layout.rowBytes, bottom);
    h.height = -h.height;
    WriteDibHeader(block, h);
}

// ---- RLE8 ---------------------------------------------------------------------
//
// The stream is pairs of bytes: (n, v) with n > 0 is n pixels of index v; (0, 0)
// ends the row, (0, 1) the picture, (0, 2) is followed by a move of dx columns
// right and dy rows up; (0, n >= 3) is followed by n indices as they are, padded
// to an even count. It is untrusted: nothing is ever written outside the rows.

// Bytes of the stream one by one from a file, read a block at a time, at most `left` of them.
class FileBytes {
public:
    FileBytes(plat::File file, std::uint32_t left) : file_(file), left_(left) {}
    bool operator()(std::uint8_t* byte) {
        if (at_ == count_) {
            const std::uint32_t wanted = std::min<std::uint32_t>(left_, sizeof buffer_);
            count_ = wanted == 0 ? 0 : plat::ReadFromFile(file_, buffer_, wanted);
            left_ -= count_;
            at_ = 0;
            if (count_ == 0) return false;
        }
        *byte = buffer_[at_++];
        return true;
    }

private:
    plat::File file_;
    std::uint32_t left_;
    std::uint32_t at_ = 0, count_ = 0;
    std::uint8_t buffer_[4096];
};

// Bytes of a stream in memory.
struct MemoryBytes {
    const std::uint8_t* at;
    const std::uint8_t* end;
    bool operator()(std::uint8_t* byte) {
        if (at == end) return false;
        *byte = *at++;
        return true;
    }
};

// Decodes into the zeroed rows of `dib` (bottom row first) and marks its header
// uncompressed. Pixels right of a row are dropped; a move or row end past the top
// row, the end mark, or the end of the stream ends it.
template <typename NextByte>
void DecodeRle8(NextByte next, std::uint8_t* dib, const DibLayout& layout) {
    DibHeader h = ReadDibHeader(dib);
    std::uint8_t* rows = dib + layout.pixelOffset;
    const std::int64_t width = h.width, height = h.height, stride = layout.rowBytes;
    std::int64_t x = 0, y = 0;  // y counts rows from the bottom
    const auto put = [&](std::uint8_t index) {
        if (x < width) rows[y * stride + x] = index;
        ++x;
    };
    std::uint8_t count, value, dx, dy;
    while (y < height && next(&count) && next(&value)) {
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (!next(&dx) || !next(&dy)) break;
            x += dx;
            y += dy;
        } else {
            std::uint8_t index = 0;
            for (int i = 0; i < value && next(&index); ++i) put(index);
            if (value % 2 == 1 && !next(&index)) break;
        }
    }
    h.compression = DIB_RGB;
    h.sizeImage = layout.pixelBytes;
    WriteDibHeader(dib, h);
}

}  // namespace

bool CompressionRefused(const DibHeader& h, char* why, std::size_t size) {
    const char* kind = nullptr;
    switch (h.compression) {
        case DIB_RGB: return false;
        case DIB_RLE8:
            if (h.bitCount == 8 && h.height > 0) return false;
            kind = h.bitCount == 8 ? "RLE8, stored top row first" : "RLE8";
            break;
        case DIB_RLE4: kind = "RLE4"; break;
        case DIB_BITFIELDS:
            if (h.bitCount == 16 || h.bitCount == 32) return false;
            kind = "bit fields";
            break;
        case 4: kind = "JPEG"; break;
        case 5: kind = "PNG"; break;
        default: break;
    }
    constexpr const char* USED = "only uncompressed or bottom-up RLE8 bitmaps are used";
    if (why && kind) std::snprintf(why, size, "compressed with %s; %s", kind, USED);
    else if (why)
        std::snprintf(why, size, "compressed in an unknown way (%lu); %s", static_cast<unsigned long>(h.compression), USED);
    return true;
}

bool SizeRefused(const DibHeader& h, std::int32_t minSide, char* why, std::size_t size) {
    const long long width = h.width, height = h.height < 0 ? -static_cast<long long>(h.height) : h.height;
    if (width < minSide || width > DIB_MAX_SIDE || height < minSide || height > DIB_MAX_SIDE) {
        if (why)
            std::snprintf(why, size, "%lld x %lld pixels; a picture has %d to %d pixels on a side", width, height,
                          int{minSide}, int{DIB_MAX_SIDE});
    } else if (width * height > DIB_MAX_PIXELS) {
        if (why)
            std::snprintf(why, size, "%lld x %lld pixels; a picture has at most 4096 x 4096 (%lld) pixels", width,
                          height, static_cast<long long>(DIB_MAX_PIXELS));
    } else {
        return false;
    }
    return true;
}

bool ComputeDibLayout(const DibHeader& h, DibLayout* layout) {
    std::uint32_t colours = 0;
    if (!TableShape(h, &colours) || SizeRefused(h, 1, nullptr, 0)) return false;
    // Within these limits every product below fits easily in 32 bits:
    // a row is at most 32 x 16384 / 8 = 65536 bytes, all rows at most 2^30.
    const std::uint32_t rowBytes = (h.bitCount * static_cast<std::uint32_t>(h.width) + 31) / 32 * 4;
    const std::uint32_t rows = static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
    layout->colourCount = colours;
    layout->rowBytes = rowBytes;
    layout->pixelBytes = rowBytes * rows;
    layout->pixelOffset = static_cast<std::size_t>(h.size) + 4u * colours;
    layout->totalBytes = layout->pixelOffset + layout->pixelBytes;
    return true;
}

std::uint8_t* ReadDibHeaders(plat::File file) {
    const std::int32_t start = plat::SeekFile(file, 0, plat::SeekOrigin::Current);
    if (start < 0) return nullptr;

    std::uint8_t fileHeader[kFileHeaderBytes];
    if (!ReadExactly(file, fileHeader, kFileHeaderBytes)) return nullptr;
    std::uint32_t pixelsAt = 0;  // bfOffBits: 0 means right after the colour table
    if (fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        pixelsAt = Get32(fileHeader + 10);
    } else if (plat::SeekFile(file, start, plat::SeekOrigin::Start) != start) {
        return nullptr;
    }

    std::uint8_t raw[DIB_HEADER_BYTES];
    if (!ReadExactly(file, raw, DIB_HEADER_BYTES)) return nullptr;
    DibHeader h = ReadDibHeader(raw);
    const bool core = h.size == kCoreHeaderBytes;
    if (core) {
        // Widen the 12-byte core header: unsigned 16-bit sizes, everything else 0.
        DibHeader wide;
        wide.size = DIB_HEADER_BYTES;
        wide.width = Get16(raw + 4);
        wide.height = Get16(raw + 6);
        wide.planes = Get16(raw + 8);
        wide.bitCount = Get16(raw + 10);
        h = wide;
        if (plat::SeekFile(file, -static_cast<std::int32_t>(DIB_HEADER_BYTES - kCoreHeaderBytes),
                           plat::SeekOrigin::Current) < 0)
            return nullptr;
    }

    // Only what shapes the header block is judged here; the size limits apply when
    // the pixel rows are loaded.
    std::uint32_t n = 0;
    if (!TableShape(h, &n)) return nullptr;
    // A longer info header (later versions of the format) is followed by its colour
    // table only after all of its bytes; only its first 40 bytes are kept.
    if (!core && h.size > DIB_HEADER_BYTES &&
        plat::SeekFile(file, static_cast<std::int32_t>(h.size - DIB_HEADER_BYTES), plat::SeekOrigin::Current) < 0)
        return nullptr;
    // The pixel rows' file offset must be a position the file can have.
    if (pixelsAt != 0 && pixelsAt > static_cast<std::uint32_t>(INT32_MAX - start)) return nullptr;

    if (h.sizeImage == 0 && h.width > 0 && h.compression != DIB_RLE8) {
        const std::uint64_t rowBytes = (std::uint64_t{h.bitCount} * static_cast<std::uint64_t>(h.width) + 31) / 32 * 4;
        const std::uint64_t rows = h.height < 0 ? -static_cast<std::int64_t>(h.height) : h.height;
        if (rows != 0 && rowBytes <= UINT32_MAX / rows) h.sizeImage = static_cast<std::uint32_t>(rowBytes * rows);
    }
    if (h.clrUsed == 0 && h.bitCount <= 8) h.clrUsed = n;

    const std::size_t tableOffset = h.size;
    std::uint8_t* block = AllocateZeroed(tableOffset + 4u * n);
    if (!block) return nullptr;
    WriteDibHeader(block, h);

    std::uint8_t* table = block + tableOffset;
    if (n != 0) {
        if (core) {
            // Three-byte entries, widened in place from the last to the first so that
            // no entry is overwritten before it is read. Unread entries stay zero.
            plat::ReadFromFile(file, table, 3 * n);
            for (std::uint32_t i = n; i-- > 0;) {
                std::uint8_t b = table[3 * i], g = table[3 * i + 1], r = table[3 * i + 2];
                table[4 * i] = b;
                table[4 * i + 1] = g;
                table[4 * i + 2] = r;
                table[4 * i + 3] = 0;
            }
        } else {
            plat::ReadFromFile(file, table, 4 * n);
        }
    }

    if (pixelsAt != 0) plat::SeekFile(file, start + static_cast<std::int32_t>(pixelsAt), plat::SeekOrigin::Start);
    return block;
}

const std::uint8_t* LoadPackedDib(const char* name) {
    plat::File file = plat::OpenFileForReading(name);
    if (!file) {
        // The built-in bitmap goes out as stored, provided its headers describe a
        // bitmap that fits inside what is stored.
        plat::BuiltInData stored = plat::FindBuiltInBitmap(name);
        if (!stored.data || stored.size < DIB_HEADER_BYTES) return nullptr;
        const DibHeader h = ReadDibHeader(stored.data);
        DibLayout layout;
        if (!ComputeDibLayout(h, &layout) || CompressionRefused(h, nullptr, 0) || layout.pixelOffset > stored.size)
            return nullptr;
        if (h.compression != DIB_RLE8) return layout.totalBytes > stored.size ? nullptr : stored.data;
        // A compressed one is decoded into a block of its own.
        std::uint8_t* block = AllocateZeroed(layout.totalBytes);
        if (!block) return nullptr;
        std::memcpy(block, stored.data, layout.pixelOffset);
        DecodeRle8(MemoryBytes{stored.data + layout.pixelOffset, stored.data + stored.size}, block, layout);
        return block;
    }

    // Whatever the file cannot give is told to the user before it is left out.
    char why[120];
    std::uint8_t* block = ReadDibHeaders(file);
    const DibHeader h = block ? ReadDibHeader(block) : DibHeader{};
    DibLayout layout;
    std::uint8_t* grown = nullptr;
    if (!block) std::snprintf(why, sizeof why, "not a bitmap");
    else if (SizeRefused(h, 1, why, sizeof why) || CompressionRefused(h, why, sizeof why)) {
    } else if (!ComputeDibLayout(h, &layout)) std::snprintf(why, sizeof why, "not a bitmap");
    // The block always holds every row, whatever biSizeImage says; rows that the
    // file does not supply stay zero.
    else if (!(grown = Grow(block, layout.pixelOffset, layout.totalBytes)))
        std::snprintf(why, sizeof why, "out of memory for %ld x %ld pixels", long{h.width}, long{h.height});
    if (!grown) {
        if (block) Release(block);
        plat::CloseFile(file);
        plat::ReportUnusableFile(name, why);
        return nullptr;
    }
    if (h.compression == DIB_RLE8) {
        // The stream is biSizeImage bytes, or the rest of the file where that is 0.
        DecodeRle8(FileBytes(file, h.sizeImage ? h.sizeImage : UINT32_MAX), grown, layout);
    } else {
        const std::uint32_t wanted = h.sizeImage < layout.pixelBytes ? h.sizeImage : layout.pixelBytes;
        plat::ReadFromFile(file, grown + layout.pixelOffset, wanted);
    }
    plat::CloseFile(file);
    if (h.height < 0) TurnBottomUp(grown, layout);
    return grown;
}

std::uint8_t* CreateBlankPackedDib(std::int32_t bitCount, std::int32_t width, std::int32_t height) {
    if (bitCount < 0 || !KnownBitCount(static_cast<std::uint32_t>(bitCount))) return nullptr;
    if (width < 0 || width > DIB_MAX_SIDE || height < 0 || height > DIB_MAX_SIDE) return nullptr;
    const std::size_t rowBytes = (static_cast<std::size_t>(bitCount) * static_cast<std::size_t>(width) + 31) / 32 * 4;
    std::uint8_t* block = AllocateZeroed(BLANK_PIXEL_OFFSET + rowBytes * static_cast<std::size_t>(height));
    if (!block) return nullptr;
    DibHeader h;
    h.size = DIB_HEADER_BYTES;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = static_cast<std::uint16_t>(bitCount);
    WriteDibHeader(block, h);
    return block;
}

std::size_t PackedDibBlockBytes(const std::uint8_t* block) {
    return reinterpret_cast<const BlockLink*>(block)[-1].bytes;
}

void ReleaseAllPackedDibs() {
    while (lastingBlocks) {
        BlockLink* link = lastingBlocks;
        Unlink(link);
        std::free(link);
    }
}

std::size_t LivePackedDibCount() {
    std::size_t count = 0;
    for (const BlockLink* link = lastingBlocks; link; link = link->next) ++count;
    return count;
}
