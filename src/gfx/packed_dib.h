// Packed bitmaps: one block holding a 40-byte bitmap header, a colour table and
// the pixel rows, read from a bitmap file, taken from the program's built-in
// bitmaps, or made blank.
//
// Header layout (little-endian), offsets in bytes:
//   0 biSize u32 | 4 biWidth i32 | 8 biHeight i32 | 12 biPlanes u16 | 14 biBitCount u16 |
//   16 biCompression u32 | 20 biSizeImage u32 | 24, 28 pixels per metre | 32 biClrUsed u32 |
//   36 biClrImportant u32.
// The colour table starts at biSize: N entries of blue, green, red, 0, where N is
// biClrUsed when not 0, else 2^biBitCount up to 8 bits, else 0. The pixel rows follow
// it, bottom row first, each rounded up to a multiple of 4 bytes.
//
// Blocks handed out live until the program ends; nothing frees them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

struct DibHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

// biCompression: rows as they are, run-length coded 8-bit rows (decoded at load,
// see LoadPackedDib), 4-bit ones, and 16- or 32-bit pixels with colour masks.
inline constexpr std::uint32_t DIB_RGB = 0;
inline constexpr std::uint32_t DIB_RLE8 = 1;
inline constexpr std::uint32_t DIB_RLE4 = 2;
inline constexpr std::uint32_t DIB_BITFIELDS = 3;

inline constexpr std::uint32_t DIB_HEADER_BYTES = 40;
inline constexpr std::uint32_t BLANK_PIXEL_OFFSET = 40 + 256 * 4;  // 1064
// Largest width or height, in pixels, that a loaded or blank bitmap may have.
inline constexpr std::int32_t DIB_MAX_SIDE = 16384;
// Most pixels a loaded bitmap may have (4096 x 4096): its block is made whole
// before its rows are read, so that a file of a few bytes (rows cut short, or an
// RLE8 stream that skips or ends at once) could otherwise ask for 256 MiB of 8-bit
// pixels or 1 GiB of 32-bit ones. A bound on the pixels rather than one derived
// from the file's size: a valid RLE8 stream may leave most of a picture out with
// its moves and its end mark, and a short uncompressed file is loaded with its
// missing rows zero, so a file's size says nothing firm of what it may claim. The
// sprites are 64 x 64 at most; a user's picture of several megapixels still fits.
inline constexpr std::int64_t DIB_MAX_PIXELS = std::int64_t{1} << 24;

DibHeader ReadDibHeader(const std::uint8_t* block);
void WriteDibHeader(std::uint8_t* block, const DibHeader& header);

// Where the parts of a packed bitmap lie, worked out with checked arithmetic.
struct DibLayout {
    std::uint32_t colourCount;  // N
    std::uint32_t rowBytes;
    std::uint32_t pixelBytes;   // every row that width, height and bit count call for
    std::size_t pixelOffset;    // biSize + 4 N
    std::size_t totalBytes;     // pixelOffset + pixelBytes
};

// False for headers that describe no sensible bitmap: a header size below 40 or
// above 1024, width not in 1..16384, height 0 or beyond +-16384, more than
// DIB_MAX_PIXELS pixels, a bit count other than 1, 4, 8, 16, 24 or 32, or more than
// 256 colours.
bool ComputeDibLayout(const DibHeader& header, DibLayout* layout);

// Whether the header's width and height are refused (see ComputeDibLayout); then
// `why` (when not null) names the claimed size for the user, as in
// "16384 x 16384 pixels; a picture has at most 4096 x 4096 (16777216) pixels".
// `minSide` is the least side the caller takes (1 for any bitmap).
bool SizeRefused(const DibHeader& header, std::int32_t minSide, char* why, std::size_t size);

// Whether the header's compression is refused: anything but uncompressed rows,
// 8-bit bottom-up RLE8 and bit fields of 16 or 32 bits. Then `why` (when not null)
// names it for the user.
bool CompressionRefused(const DibHeader& header, char* why, std::size_t size);

// The packed bitmap of that name: the bitmap file that opens under the name, or,
// when none opens, the built-in bitmap of that name exactly as stored (read-only).
// Null when neither exists or the bitmap is unusable (CompressionRefused among
// others); a file that opens but gives no bitmap is reported to the user first
// (plat::ReportUnusableFile), its size named where that is what is refused. A
// file's picture stored top row first (negative height) comes back bottom-up,
// with a positive height. An RLE8 picture comes back decoded, its
// header saying uncompressed: what its stream leaves out (a stream cut short,
// skipped by a delta, or a row ended early) is colour index 0; pixels that a run
// would put right of its row are dropped, and a delta or row end past the top
// row ends the picture there.
const std::uint8_t* LoadPackedDib(const char* name);

// Reads the headers of the bitmap file at the current position (file header
// optional; info or core header) into a new block of biSize + 4 N bytes: the
// normalised 40-byte header and the colour table. Leaves the file at the first byte
// of the pixel rows. Null when the headers are short, or their header size, bit
// count or colour count is absurd (the limits on width and height apply when the
// pixel rows are loaded).
std::uint8_t* ReadDibHeaders(plat::File file);

// A zero-filled packed bitmap of that size with a 256-entry colour table (pixels at
// offset 1064). Null for a negative or too large size or an unknown bit count.
std::uint8_t* CreateBlankPackedDib(std::int32_t bitCount, std::int32_t width, std::int32_t height);

// The size of a block that LoadPackedDib read from a file or CreateBlankPackedDib
// made (not of a built-in bitmap).
std::size_t PackedDibBlockBytes(const std::uint8_t* block);

// Frees every block made so far. The saver never calls it; a program that loads
// pictures over and over (the fuzzing harness) does, between rounds.
void ReleaseAllPackedDibs();

// How many blocks are made and not yet released (for tests).
std::size_t LivePackedDibCount();
