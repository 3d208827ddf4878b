#include "platform/bitmap_resource.h"

#include <cstring>

#include "platform/web/builtin_bitmaps.h"

namespace plat {

BuiltInData FindBuiltInBitmap(const char* name) {
    for (std::size_t i = 0; i < BUILT_IN_BITMAP_COUNT; ++i)
        if (std::strcmp(BUILT_IN_BITMAPS[i].name, name) == 0) return {BUILT_IN_BITMAPS[i].data, BUILT_IN_BITMAPS[i].size};
    return {nullptr, 0};
}

}  // namespace plat
