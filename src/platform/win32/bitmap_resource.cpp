#include "platform/bitmap_resource.h"

#include <windows.h>

namespace plat {

BuiltInData FindBuiltInBitmap(const char* name) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    if (!found) return {nullptr, 0};
    HGLOBAL loaded = LoadResource(self, found);
    if (!loaded) return {nullptr, 0};
    const void* data = LockResource(loaded);
    if (!data) return {nullptr, 0};
    return {static_cast<const std::uint8_t*>(data), static_cast<std::uint32_t>(SizeofResource(self, found))};
}

}  // namespace plat
