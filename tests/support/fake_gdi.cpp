#include "fake_gdi.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "fake.h"

namespace fake {
namespace {

constexpr int kSlots = 256;

struct BitmapSlot {
    bool live = false;
    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0, height = 0, stride = 0;
};

struct DcSlot {
    bool live = false;
    bool memory = false;
    BitmapSlot* bitmap = nullptr;
    plat::Palette palette = nullptr;
};

struct PaletteSlot {
    bool live = false;
    plat::PaletteEntry entries[256];
};

GdiState gdiState;
// The screen of copies to windows; shownAt says which pixels a copy has reached.
std::uint8_t shown[kShownHeight][kShownWidth];
bool shownAt[kShownHeight][kShownWidth];
PaletteSlot stockPalette{true, {}};
plat::Palette const kStockPalette = reinterpret_cast<plat::Palette>(&stockPalette);
DcSlot windowDc{true, false, nullptr, kStockPalette};
DcSlot screenDc{true, false, nullptr, kStockPalette};
BitmapSlot stockBitmap{true, nullptr, 1, 1, 4};
DcSlot memoryDcs[kSlots];
BitmapSlot bitmaps[kSlots];
PaletteSlot palettes[kSlots];
// Pixel memory is never given back, so that an image that outlives a reset of the
// double still points at memory.
std::deque<std::vector<std::uint8_t>>& PixelStore() {
    static std::deque<std::vector<std::uint8_t>> store;
    return store;
}

// The back buffer whose copies show layers, until the window's context is released.
const std::uint8_t* layeredBits = nullptr;
std::vector<plat::BackBufferLayer> layers;
std::uint8_t layerTransparent = 0;

void ResetGdi() {
    std::memset(gdiState.systemPalette, 0, sizeof gdiState.systemPalette);
    gdiState.hasSystemPalette = true;
    gdiState.failPixelBuffer = false;
    gdiState.recordCalls = true;
    gdiState.takesLayers = false;
    layeredBits = nullptr;
    layers.clear();
    gdiState.windowCopyCount = 0;
    std::memset(shownAt, 0, sizeof shownAt);
    gdiState.windowDcsHeld = gdiState.screenDcsHeld = 0;
    gdiState.memoryDcsLive = gdiState.bitmapsLive = gdiState.palettesLive = 0;
    gdiState.refusedDeletes = 0;
    windowDc = DcSlot{true, false, nullptr, kStockPalette};
    screenDc = DcSlot{true, false, nullptr, kStockPalette};
    for (DcSlot& s : memoryDcs) s = DcSlot{};
    for (BitmapSlot& s : bitmaps) s = BitmapSlot{};
    for (PaletteSlot& s : palettes) s.live = false;
}

ResetHook resetGdi(ResetGdi);

void Note(const char* name, std::initializer_list<std::intptr_t> args) {
    if (gdiState.recordCalls) Record(name, args);
}

DcSlot* Dc(plat::DeviceContext dc) { return reinterpret_cast<DcSlot*>(dc); }

// Whether a live context holds the palette or the bitmap: the system refuses to
// delete such an object, and it stays.
bool Held(const void* object) {
    if (windowDc.palette == object || screenDc.palette == object) return true;
    for (const DcSlot& s : memoryDcs)
        if (s.live && (s.palette == object || s.bitmap == object)) return true;
    return false;
}

std::int32_t Get32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

// Puts what a copy takes from the 8-bit bottom-up picture (bits, info) on the
// screen, as the system would: only pixels inside both the picture and the screen.
// Back-buffer pixel (x, y), counted from the top, as the layers draw it over index 0.
std::uint8_t LayeredPixel(std::int64_t x, std::int64_t y) {
    std::uint8_t value = 0;
    for (const plat::BackBufferLayer& l : layers) {
        if (x < l.x || x >= l.x + l.width || y < l.y || y >= l.y + l.height) continue;
        const std::uint8_t v = l.bits[(l.sourceHeight - 1 - (l.sourceY + y - l.y)) * l.stride + l.sourceX + x - l.x];
        if (v != layerTransparent) value = v;
    }
    return value;
}

void Show(const WindowCopy& c) {
    if (!c.bits || !c.info || c.width <= 0 || c.height <= 0) return;
    const auto* header = static_cast<const std::uint8_t*>(c.info);
    const std::int64_t pictureWidth = Get32(header + 4), pictureHeight = Get32(header + 8);
    const std::int64_t stride = (pictureWidth + 3) & ~std::int64_t{3};
    // Column j of the copy is screen x + j and picture sourceX + j; row k is screen
    // y + k and picture row sourceY + height - 1 - k counted from the bottom.
    const std::int64_t x = c.x, y = c.y, sourceX = c.sourceX;
    const std::int64_t bottomRow = std::int64_t{c.sourceY} + c.height - 1;
    const std::int64_t j0 = std::clamp<std::int64_t>(std::max(-x, -sourceX), 0, c.width);
    const std::int64_t j1 = std::clamp<std::int64_t>(std::min(kShownWidth - x, pictureWidth - sourceX), j0, c.width);
    const std::int64_t k0 = std::clamp<std::int64_t>(std::max(-y, bottomRow - (pictureHeight - 1)), 0, c.height);
    const std::int64_t k1 = std::clamp<std::int64_t>(std::min(kShownHeight - y, bottomRow + 1), k0, c.height);
    for (std::int64_t k = k0; k < k1; ++k) {
        const std::uint8_t* row = c.bits + (bottomRow - k) * stride + sourceX;
        for (std::int64_t j = j0; j < j1; ++j) {
            shown[y + k][x + j] = c.bits == layeredBits ? LayeredPixel(sourceX + j, pictureHeight - 1 - (bottomRow - k)) : row[j];
            shownAt[y + k][x + j] = true;
        }
    }
}

}  // namespace

GdiState& Gdi() { return gdiState; }

int ShownPixel(std::int32_t x, std::int32_t y) {
    if (x < 0 || y < 0 || x >= kShownWidth || y >= kShownHeight || !shownAt[y][x]) return kNeverShown;
    return shown[y][x];
}

void ClearWindowCopies() { gdiState.windowCopyCount = 0; }

plat::Bitmap SelectedBitmap(plat::DeviceContext dc) {
    DcSlot* slot = Dc(dc);
    return slot && slot->memory ? reinterpret_cast<plat::Bitmap>(slot->bitmap) : nullptr;
}

plat::Bitmap StockBitmap() { return reinterpret_cast<plat::Bitmap>(&stockBitmap); }

plat::Palette SelectedPalette(plat::DeviceContext dc) { return dc ? Dc(dc)->palette : nullptr; }

const plat::PaletteEntry* PaletteEntries(plat::Palette palette) {
    for (PaletteSlot& s : palettes)
        if (s.live && reinterpret_cast<plat::Palette>(&s) == palette) return s.entries;
    return nullptr;
}

plat::Palette StockPalette() { return kStockPalette; }

int LiveObjects() { return gdiState.palettesLive + gdiState.bitmapsLive + gdiState.memoryDcsLive; }

plat::DeviceContext WindowDc() { return reinterpret_cast<plat::DeviceContext>(&windowDc); }
plat::DeviceContext ScreenDc() { return reinterpret_cast<plat::DeviceContext>(&screenDc); }

}  // namespace fake

namespace plat {

DeviceContext AcquireScreenDc() {
    fake::Note("AcquireScreenDc", {});
    ++fake::gdiState.screenDcsHeld;
    return fake::ScreenDc();
}

void ReleaseScreenDc(DeviceContext dc) {
    fake::Note("ReleaseScreenDc", {fake::Arg(dc)});
    --fake::gdiState.screenDcsHeld;
}

DeviceContext AcquireWindowDc(Window window) {
    fake::Note("AcquireWindowDc", {fake::Arg(window)});
    ++fake::gdiState.windowDcsHeld;
    return fake::WindowDc();
}

void ReleaseWindowDc(Window window, DeviceContext dc) {
    fake::Note("ReleaseWindowDc", {fake::Arg(window), fake::Arg(dc)});
    --fake::gdiState.windowDcsHeld;
    fake::layeredBits = nullptr;
    fake::layers.clear();
}

std::uint32_t ReadSystemPalette(DeviceContext dc, std::uint32_t first, std::uint32_t count, PaletteEntry* entries) {
    fake::Note("ReadSystemPalette", {fake::Arg(dc), static_cast<std::intptr_t>(first), static_cast<std::intptr_t>(count)});
    if (!fake::gdiState.hasSystemPalette || first >= 256) return 0;
    if (count > 256 - first) count = 256 - first;
    std::memcpy(entries, fake::gdiState.systemPalette + first, count * sizeof(PaletteEntry));
    return count;
}

Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count) {
    fake::Note("CreateLogicalPalette", {static_cast<std::intptr_t>(count)});
    for (fake::PaletteSlot& s : fake::palettes) {
        if (s.live) continue;
        s.live = true;
        std::memset(s.entries, 0, sizeof s.entries);
        std::memcpy(s.entries, entries, (count > 256 ? 256 : count) * sizeof(PaletteEntry));
        ++fake::gdiState.palettesLive;
        return reinterpret_cast<Palette>(&s);
    }
    return nullptr;
}

Palette DefaultPalette() { return fake::kStockPalette; }

void DestroyPalette(Palette palette) {
    fake::Note("DestroyPalette", {fake::Arg(palette)});
    auto* s = reinterpret_cast<fake::PaletteSlot*>(palette);
    if (s == &fake::stockPalette) return;
    if (s && s->live && fake::Held(s)) {
        ++fake::gdiState.refusedDeletes;
        return;
    }
    if (s && s->live) {
        s->live = false;
        --fake::gdiState.palettesLive;
    }
}

Palette SelectDcPalette(DeviceContext dc, Palette palette, bool forceBackground) {
    fake::Note("SelectDcPalette", {fake::Arg(dc), fake::Arg(palette), forceBackground ? 1 : 0});
    fake::DcSlot* slot = fake::Dc(dc);
    if (!slot || !palette) return nullptr;  // the system selects no null palette
    Palette previous = slot->palette;
    slot->palette = palette;
    return previous;
}

void RealizeDcPalette(DeviceContext dc) { fake::Note("RealizeDcPalette", {fake::Arg(dc)}); }

DeviceContext CreateMemoryDc(DeviceContext dc) {
    fake::Note("CreateMemoryDc", {fake::Arg(dc)});
    for (fake::DcSlot& s : fake::memoryDcs) {
        if (s.live) continue;
        s = fake::DcSlot{true, true, &fake::stockBitmap, fake::kStockPalette};
        ++fake::gdiState.memoryDcsLive;
        return reinterpret_cast<DeviceContext>(&s);
    }
    return nullptr;
}

void DeleteMemoryDc(DeviceContext dc) {
    fake::Note("DeleteMemoryDc", {fake::Arg(dc)});
    fake::DcSlot* s = fake::Dc(dc);
    if (s && s->live && s->memory) {
        s->live = false;
        --fake::gdiState.memoryDcsLive;
    }
}

Bitmap SelectDcBitmap(DeviceContext dc, Bitmap bitmap) {
    fake::Note("SelectDcBitmap", {fake::Arg(dc), fake::Arg(bitmap)});
    fake::DcSlot* s = fake::Dc(dc);
    if (!s || !s->memory) return nullptr;
    Bitmap previous = reinterpret_cast<Bitmap>(s->bitmap);
    s->bitmap = reinterpret_cast<fake::BitmapSlot*>(bitmap);
    return previous;
}

void DestroyBitmap(Bitmap bitmap) {
    fake::Note("DestroyBitmap", {fake::Arg(bitmap)});
    auto* s = reinterpret_cast<fake::BitmapSlot*>(bitmap);
    if (s && s->live && s != &fake::stockBitmap && fake::Held(s)) {
        ++fake::gdiState.refusedDeletes;
        return;
    }
    if (s && s->live && s != &fake::stockBitmap) {
        s->live = false;
        --fake::gdiState.bitmapsLive;
    }
}

Bitmap CreatePixelBuffer(DeviceContext dc, const void* info, std::uint8_t** bits) {
    fake::Note("CreatePixelBuffer", {fake::Arg(dc), fake::Arg(info)});
    *bits = nullptr;
    const auto* header = static_cast<const std::uint8_t*>(info);
    const std::int32_t width = fake::Get32(header + 4);
    const std::int32_t height = fake::Get32(header + 8);
    const int bitCount = header[14] | (header[15] << 8);
    // Like the system: no buffer of zero size, of another format or beyond 32768 a side.
    if (fake::gdiState.failPixelBuffer || bitCount != 8 || width <= 0 || height <= 0 || width > 32768 ||
        height > 32768)
        return nullptr;
    for (fake::BitmapSlot& s : fake::bitmaps) {
        if (s.live) continue;
        const std::int32_t stride = (width + 3) & ~3;
        // Fresh pixel memory holds leftovers, not black: the stage must clear it.
        fake::PixelStore().emplace_back(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0xA5);
        s = fake::BitmapSlot{true, fake::PixelStore().back().data(), width, height, stride};
        ++fake::gdiState.bitmapsLive;
        *bits = s.pixels;
        return reinterpret_cast<Bitmap>(&s);
    }
    return nullptr;
}

void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    fake::Note("FillBlack", {fake::Arg(dc), x, y, width, height});
    fake::DcSlot* s = fake::Dc(dc);
    if (!s || !s->memory || !s->bitmap || !s->bitmap->pixels) return;
    const fake::BitmapSlot& b = *s->bitmap;
    const std::int64_t x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    const std::int64_t x1 = std::int64_t{x} + width > b.width ? b.width : std::int64_t{x} + width;
    const std::int64_t y1 = std::int64_t{y} + height > b.height ? b.height : std::int64_t{y} + height;
    for (std::int64_t row = y0; row < y1; ++row)
        if (x1 > x0) std::memset(b.pixels + (b.height - 1 - row) * b.stride + x0, 0, static_cast<std::size_t>(x1 - x0));
}

void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 std::int32_t sourceX, std::int32_t sourceY, const std::uint8_t* bits, const void* info) {
    fake::Note("StretchCopy", {x, y, width, height, sourceX, sourceY});
    fake::GdiState& g = fake::gdiState;
    const fake::WindowCopy copy{dc, x, y, width, height, sourceX, sourceY, bits, info};
    if (g.windowCopyCount < fake::kMaxWindowCopies) g.windowCopies[g.windowCopyCount] = copy;
    ++g.windowCopyCount;
    if (g.recordCalls) fake::Show(copy);
}

bool TakesBackBufferLayers(DeviceContext dc) { return fake::gdiState.takesLayers && dc == fake::WindowDc(); }

void SetBackBufferLayers(DeviceContext dc, const std::uint8_t* bits, const BackBufferLayer* given, std::int32_t count,
                         std::uint8_t transparent) {
    fake::Note("SetBackBufferLayers", {count, transparent});
    if (!TakesBackBufferLayers(dc)) return;
    fake::layeredBits = bits;
    fake::layers.assign(given, given + count);
    fake::layerTransparent = transparent;
}

}  // namespace plat
