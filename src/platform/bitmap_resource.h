// The bitmaps built into the program itself.
#pragma once

#include <cstdint>

namespace plat {

struct BuiltInData {
    const std::uint8_t* data;  // null when there is none; read-only, lives as long as the program
    std::uint32_t size;        // bytes at data
};

// The stored bytes of the program's built-in bitmap named `name` (a packed bitmap:
// header, colour table, pixel rows; no file header), or {null, 0}.
BuiltInData FindBuiltInBitmap(const char* name);

}  // namespace plat
