#include "platform/drawing.h"

#include <windows.h>

#include <cstring>

namespace plat {
namespace {

HDC ToHdc(DeviceContext dc) { return reinterpret_cast<HDC>(dc); }
DeviceContext FromHdc(HDC dc) { return reinterpret_cast<DeviceContext>(dc); }

}  // namespace

static_assert(sizeof(PaletteEntry) == sizeof(PALETTEENTRY));
static_assert(PALETTE_NO_COLLAPSE == PC_NOCOLLAPSE);

DeviceContext AcquireScreenDc() { return FromHdc(GetDC(nullptr)); }

void ReleaseScreenDc(DeviceContext dc) { ReleaseDC(nullptr, ToHdc(dc)); }

DeviceContext AcquireWindowDc(Window window) { return FromHdc(GetDC(reinterpret_cast<HWND>(window))); }

void ReleaseWindowDc(Window window, DeviceContext dc) { ReleaseDC(reinterpret_cast<HWND>(window), ToHdc(dc)); }

std::uint32_t ReadSystemPalette(DeviceContext dc, std::uint32_t first, std::uint32_t count,
                                PaletteEntry* entries) {
    PALETTEENTRY read[256];
    if (count > 256) count = 256;
    UINT got = GetSystemPaletteEntries(ToHdc(dc), first, count, read);
    if (got > count) got = 0;  // some displays report the palette size instead of copying
    for (UINT i = 0; i < got; ++i)
        entries[i] = PaletteEntry{read[i].peRed, read[i].peGreen, read[i].peBlue, read[i].peFlags};
    return got;
}

Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count) {
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[256];
    } logical{};
    if (count > 256) count = 256;
    logical.version = 0x300;
    logical.count = static_cast<WORD>(count);
    std::memcpy(logical.entries, entries, count * sizeof(PALETTEENTRY));
    return reinterpret_cast<Palette>(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&logical)));
}

void DestroyPalette(Palette palette) { DeleteObject(reinterpret_cast<HPALETTE>(palette)); }

Palette DefaultPalette() { return reinterpret_cast<Palette>(GetStockObject(DEFAULT_PALETTE)); }

Palette SelectDcPalette(DeviceContext dc, Palette palette, bool forceBackground) {
    return reinterpret_cast<Palette>(
        SelectPalette(ToHdc(dc), reinterpret_cast<HPALETTE>(palette), forceBackground ? TRUE : FALSE));
}

void RealizeDcPalette(DeviceContext dc) { RealizePalette(ToHdc(dc)); }

DeviceContext CreateMemoryDc(DeviceContext dc) { return FromHdc(CreateCompatibleDC(ToHdc(dc))); }

void DeleteMemoryDc(DeviceContext dc) { DeleteDC(ToHdc(dc)); }

Bitmap SelectDcBitmap(DeviceContext dc, Bitmap bitmap) {
    return reinterpret_cast<Bitmap>(SelectObject(ToHdc(dc), reinterpret_cast<HGDIOBJ>(bitmap)));
}

void DestroyBitmap(Bitmap bitmap) { DeleteObject(reinterpret_cast<HBITMAP>(bitmap)); }

Bitmap CreatePixelBuffer(DeviceContext dc, const void* info, std::uint8_t** bits) {
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(ToHdc(dc), static_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS,
                                      &pixels, nullptr, 0);
    if (!bitmap) pixels = nullptr;
    *bits = static_cast<std::uint8_t*>(pixels);
    return reinterpret_cast<Bitmap>(bitmap);
}

void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    PatBlt(ToHdc(dc), x, y, width, height, BLACKNESS);
    GdiFlush();  // the caller writes the pixels directly next
}

void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 std::int32_t sourceX, std::int32_t sourceY, const std::uint8_t* bits, const void* info) {
    StretchDIBits(ToHdc(dc), x, y, width, height, sourceX, sourceY, width, height, bits,
                  static_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, SRCCOPY);
}

// The back buffer is a section the system copies from itself.
bool TakesBackBufferLayers(DeviceContext) { return false; }
void SetBackBufferLayers(DeviceContext, const std::uint8_t*, const BackBufferLayer*, std::int32_t, std::uint8_t) {}

}  // namespace plat
