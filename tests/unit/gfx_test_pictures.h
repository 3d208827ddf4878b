// Bitmap bytes for the graphics tests: files (with or without a file header, info
// or core header) and packed built-in pictures.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace gfxtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

inline std::uint32_t Get32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);  // the test hosts are little-endian
    return v;
}

struct InfoBitmap {
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t bitCount = 8;
    std::uint32_t headerSize = 40;
    std::uint32_t clrUsed = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t compression = 0;
    std::uint32_t tableEntries = 256;  // colour entries actually written
    bool fileHeader = true;
    std::uint32_t offBits = 0;        // written into the file header as it is
    std::uint32_t gapBytes = 0;       // bytes of 0xEE between the table and the rows
    std::uint32_t pixelBytes = ~0u;   // pixel bytes written (default: every row)
    // Pixel byte i of the stored rows (bottom row first).
    std::function<std::uint8_t(std::uint32_t)> pixel = [](std::uint32_t i) { return static_cast<std::uint8_t>(i * 7 + 1); };
    // Colour entry i as blue, green, red.
    std::function<std::uint32_t(std::uint32_t)> colour = [](std::uint32_t i) { return 0x00010203u * (i & 63) + i; };
};

inline std::uint32_t RowBytes(std::int32_t width, std::uint16_t bitCount) {
    return (static_cast<std::uint32_t>(width) * bitCount + 31) / 32 * 4;
}

inline Bytes Make(const InfoBitmap& s) {
    Bytes b;
    if (s.fileHeader) {
        b.push_back('B');
        b.push_back('M');
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, s.offBits);
    }
    Put32(b, s.headerSize);
    Put32(b, static_cast<std::uint32_t>(s.width));
    Put32(b, static_cast<std::uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, s.bitCount);
    Put32(b, s.compression);
    Put32(b, s.sizeImage);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, s.clrUsed);
    Put32(b, 0);
    for (std::uint32_t i = 40; i < s.headerSize && i < 256; ++i) b.push_back(0xCC);  // rest of a longer header
    for (std::uint32_t i = 0; i < s.tableEntries; ++i) {
        std::uint32_t c = s.colour(i);
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
        b.push_back(static_cast<std::uint8_t>(c >> 16));
        b.push_back(0);
    }
    for (std::uint32_t i = 0; i < s.gapBytes; ++i) b.push_back(0xEE);
    std::uint32_t rows = static_cast<std::uint32_t>(s.height < 0 ? -s.height : s.height);
    std::uint32_t n = s.pixelBytes != ~0u ? s.pixelBytes : RowBytes(s.width, s.bitCount) * rows;
    for (std::uint32_t i = 0; i < n; ++i) b.push_back(s.pixel(i));
    return b;
}

// A 64 x 64 8-bit packed picture (no file header, biClrUsed 0, biSizeImage 0)
// whose pixel at (x, y), y from the top, is paint(x, y).
inline Bytes PackedPicture(const std::function<std::uint8_t(int, int)>& paint, std::uint32_t colourSeed = 0) {
    InfoBitmap s;
    s.width = 64;
    s.height = 64;
    s.fileHeader = false;
    s.colour = [colourSeed](std::uint32_t i) { return (i * 0x030507u + colourSeed) & 0xFFFFFFu; };
    s.pixel = [&paint](std::uint32_t i) { return paint(static_cast<int>(i % 64), 63 - static_cast<int>(i / 64)); };
    return Make(s);
}

// A disc of the given diameter centred in 64 x 64: colour index 10 outside; inside,
// indices that vary with the position and include 0.
inline Bytes DiscPicture(int diameter) {
    return PackedPicture([diameter](int x, int y) -> std::uint8_t {
        double dx = x + 0.5 - 32, dy = y + 0.5 - 32, r = diameter / 2.0;
        if (dx * dx + dy * dy >= r * r) return 10;
        int v = (x * 3 + y * 5) % 40;
        return static_cast<std::uint8_t>(v == 10 ? 0 : v);
    });
}

}  // namespace gfxtest
