// Selections into the device contexts of software_dc.h: a context only notes
// what is selected into it, and DeleteMemoryDc lets go of both.
#include "platform/common/software_dc.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/drawing.h"

namespace plat {

// A context here starts with no palette at all.
Palette DefaultPalette() { return nullptr; }

Palette SelectDcPalette(DeviceContext dc, Palette palette, bool) {
    Palette previous = dc->selectedPalette;
    dc->selectedPalette = palette;
    return previous;
}

void DeleteMemoryDc(DeviceContext dc) {
    if (!dc) return;
    dc->selectedBitmap = nullptr;
    dc->selectedPalette = nullptr;
}

Bitmap SelectDcBitmap(DeviceContext dc, Bitmap bitmap) {
    if (!dc) return nullptr;
    Bitmap previous = dc->selectedBitmap;
    dc->selectedBitmap = bitmap;
    return previous;
}

void HeaderSize(const void* info, std::int32_t* width, std::int32_t* height) {
    std::memcpy(width, static_cast<const std::uint8_t*>(info) + 4, 4);
    std::memcpy(height, static_cast<const std::uint8_t*>(info) + 8, 4);
}

BitmapObject* NewPixelBufferRecord(const void* info, std::int32_t maxSide) {
    std::int32_t width, height;
    HeaderSize(info, &width, &height);
    if (width < 1 || height < 1 || width > maxSide || height > maxSide) return nullptr;
    auto* bitmap = new (std::nothrow) BitmapObject{};
    if (!bitmap) return nullptr;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->stride = (width + 3) & ~3;
    return bitmap;
}

bool ClipCopy(const CopyBlock& b, const void* info, std::int32_t targetWidth, std::int32_t targetHeight,
              CopyClip* clip) {
    std::int32_t sourceWidth, sourceHeight;
    HeaderSize(info, &sourceWidth, &sourceHeight);
    clip->sourceHeight = sourceHeight;
    clip->sourceStride = (std::int64_t{sourceWidth} + 3) & ~std::int64_t{3};
    if (b.width <= 0 || b.height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return false;
    const std::int64_t x = b.x, y = b.y, sourceX = b.sourceX, sourceY = b.sourceY, height = b.height;
    clip->i0 = std::max({std::int64_t{0}, -x, -sourceX});
    clip->i1 = std::min({std::int64_t{b.width}, targetWidth - x, sourceWidth - sourceX});
    clip->j0 = std::max({std::int64_t{0}, -y, sourceY + height - sourceHeight});
    clip->j1 = std::min({height, targetHeight - y, sourceY + height});
    return clip->i0 < clip->i1 && clip->j0 < clip->j1;
}

}  // namespace plat
