// The pictures of res/ built into the program (generated from the .bmp files at
// build time): each stored as a packed bitmap, the file without its 14-byte file
// header, as the Windows build stores its bitmap resources.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

struct BuiltInBitmap {
    const char* name;
    const std::uint8_t* data;
    std::uint32_t size;
};

extern const BuiltInBitmap BUILT_IN_BITMAPS[];
extern const std::size_t BUILT_IN_BITMAP_COUNT;

}  // namespace plat
