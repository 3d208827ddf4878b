// Pendral in the browser: the web platform.
//
// Platform:     a page's 2D canvas, through Emscripten (WebAssembly and a little
//               JavaScript). The page's top is src/main/web.cpp; the page itself
//               (panel, storage, full screen, dropped files) is res/web/.
// Provides:     drawing.h, file.h and clock.h of the platform boundary, and with
//               the pictures of res/ built in (cmake/embed_bitmaps.cmake)
//               bitmap_resource.h: what the animation uses. Each palette becomes
//               RGBA colours once; each copy from the 8-bit back buffer converts
//               its rectangle into an RGBA picture of the canvas's size, and at the
//               end of a frame only the changed rectangles go to the canvas
//               (putImageData over the program's memory, no copy in between).
//               Files are the pictures dropped on the page, kept in memory.
// Limitations:  one canvas; CSS pixels (a high-density screen scales the picture
//               up); a change of size sets the field up again with a new scatter;
//               frames come when the browser gives them (about 60 a second, none
//               while the page is hidden), steps one per 20 ms tick of real time.
// Improvements: device pixels; an OffscreenCanvas in a worker; keeping the bodies
//               when only the size changes.
// Dependencies: Emscripten's C and C++ runtimes; a browser with WebAssembly.
#include "platform/drawing.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/web/canvas.h"

namespace plat {
namespace {

DeviceContextObject screenDc{nullptr, nullptr, nullptr};

constexpr std::uint32_t OPAQUE_BLACK = 0xFF000000u;

// A colour as the canvas stores it in little-endian memory: R, G, B, A bytes.
std::uint32_t CanvasColour(const PaletteEntry& e) {
    return OPAQUE_BLACK | static_cast<std::uint32_t>(e.blue) << 16 | static_cast<std::uint32_t>(e.green) << 8 | e.red;
}

void MarkChanged(WindowObject* s, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (s->changedCount == MAX_CHANGED_RECTS) s->allChanged = true;
    if (s->allChanged) return;
    s->changed[s->changedCount++] = {x, y, width, height};
}

// The clipped part of a width x height block at (x, y) of the canvas.
bool ClipToCanvas(const WindowObject& s, std::int64_t* x0, std::int64_t* y0, std::int64_t* x1, std::int64_t* y1) {
    *x0 = std::max<std::int64_t>(*x0, 0);
    *y0 = std::max<std::int64_t>(*y0, 0);
    *x1 = std::min<std::int64_t>(*x1, s.width);
    *y1 = std::min<std::int64_t>(*y1, s.height);
    return *x0 < *x1 && *y0 < *y1;
}

}  // namespace

// Puts each changed rectangle of the RGBA picture at `pixels` on Module.canvas. The
// ImageData is a view of the program's memory, made again when that memory grew
// or the picture moved.
EM_JS(void, PutCanvasRects, (const std::uint32_t* pixels, int width, int height, const std::int32_t* rects, int count), {
    var canvas = Module['canvas'];
    if (!canvas) return;
    var page = Module['pendralCanvas'] || (Module['pendralCanvas'] = {});
    if (page.canvas !== canvas) {
        page.canvas = canvas;
        page.context = canvas.getContext('2d', {alpha: false});
        page.image = null;
    }
    if (!page.image || page.image.data.buffer !== HEAPU8.buffer || page.at !== pixels ||
        page.image.width !== width || page.image.height !== height) {
        page.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
        page.at = pixels;
    }
    for (var i = 0; i < count; i++) {
        var r = (rects >> 2) + 4 * i;
        page.context.putImageData(page.image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
});

namespace web {

bool OpenCanvas(WindowObject* s, std::int32_t width, std::int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    s->rgba = static_cast<std::uint32_t*>(std::malloc(count * sizeof(std::uint32_t)));
    if (!s->rgba) return false;
    std::fill(s->rgba, s->rgba + count, OPAQUE_BLACK);
    s->width = width;
    s->height = height;
    s->changedCount = 0;
    s->allChanged = true;
    return true;
}

void CloseCanvas(WindowObject* s) {
    std::free(s->rgba);
    s->rgba = nullptr;
    s->width = s->height = 0;
    s->changedCount = 0;
    s->allChanged = false;
    s->windowDc.selectedPalette = nullptr;  // the scene's palette is gone with it
}

void PresentCanvas(WindowObject* s) {
    if (!s->rgba) return;
    if (s->allChanged) {
        s->changed[0] = {0, 0, s->width, s->height};
        s->changedCount = 1;
    }
    PutCanvasRects(s->rgba, s->width, s->height, &s->changed[0].x, s->changedCount);
    s->changedCount = 0;
    s->allChanged = false;
}

}  // namespace web

DeviceContext AcquireScreenDc() { return &screenDc; }
void ReleaseScreenDc(DeviceContext) {}

DeviceContext AcquireWindowDc(Window window) { return window ? &window->windowDc : &screenDc; }

// The end of a frame: what changed goes to the canvas.
void ReleaseWindowDc(Window window, DeviceContext) {
    if (window) web::PresentCanvas(window);
}

// A canvas has no system palette.
std::uint32_t ReadSystemPalette(DeviceContext, std::uint32_t, std::uint32_t, PaletteEntry*) { return 0; }

Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count) {
    if (count > 256) return nullptr;
    auto* palette = new (std::nothrow) PaletteObject{};
    if (!palette) return nullptr;
    std::memcpy(palette->entries, entries, count * sizeof(PaletteEntry));
    palette->count = count;
    for (std::uint32_t i = 0; i < 256; ++i) palette->colours[i] = i < count ? CanvasColour(entries[i]) : OPAQUE_BLACK;
    return palette;
}

void DestroyPalette(Palette palette) { delete palette; }

// The colours were worked out when the palette was made.
void RealizeDcPalette(DeviceContext) {}

DeviceContext CreateMemoryDc(DeviceContext dc) { return dc && dc->window ? &dc->window->memoryDc : nullptr; }

void DestroyBitmap(Bitmap bitmap) {
    if (!bitmap) return;
    std::free(bitmap->pixels);
    delete bitmap;
}

Bitmap CreatePixelBuffer(DeviceContext, const void* info, std::uint8_t** bits) {
    *bits = nullptr;
    BitmapObject* bitmap = NewPixelBufferRecord(info, 16384);
    if (!bitmap) return nullptr;
    bitmap->pixels = static_cast<std::uint8_t*>(
        std::calloc(static_cast<std::size_t>(bitmap->stride), static_cast<std::size_t>(bitmap->height)));
    if (!bitmap->pixels) {
        delete bitmap;
        return nullptr;
    }
    *bits = bitmap->pixels;
    return bitmap;
}

void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (!dc || !dc->window) return;
    std::int64_t x0 = x, y0 = y, x1 = std::int64_t{x} + width, y1 = std::int64_t{y} + height;
    if (Bitmap b = dc->selectedBitmap; b && dc == &dc->window->memoryDc) {
        // Rows of the pixel buffer count from the bottom.
        x0 = std::max<std::int64_t>(x0, 0);
        y0 = std::max<std::int64_t>(y0, 0);
        x1 = std::min<std::int64_t>(x1, b->width);
        y1 = std::min<std::int64_t>(y1, b->height);
        for (std::int64_t row = y0; row < y1 && x0 < x1; ++row)
            std::memset(b->pixels + (b->height - 1 - row) * b->stride + x0, 0, static_cast<std::size_t>(x1 - x0));
        return;
    }
    WindowObject* s = dc->window;
    if (!s->rgba || !ClipToCanvas(*s, &x0, &y0, &x1, &y1)) return;
    for (std::int64_t row = y0; row < y1; ++row) std::fill(s->rgba + row * s->width + x0, s->rgba + row * s->width + x1, OPAQUE_BLACK);
    MarkChanged(s, static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0), static_cast<std::int32_t>(x1 - x0),
                static_cast<std::int32_t>(y1 - y0));
}

void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 std::int32_t sourceX, std::int32_t sourceY, const std::uint8_t* bits, const void* info) {
    WindowObject* s = dc ? dc->window : nullptr;
    CopyClip clip;
    if (!s || !s->rgba || !bits || !info || !ClipCopy({x, y, width, height, sourceX, sourceY}, info, s->width, s->height, &clip))
        return;
    const std::int64_t i0 = clip.i0, i1 = clip.i1, j0 = clip.j0, j1 = clip.j1;
    const std::int64_t sourceStride = clip.sourceStride;

    static const std::uint32_t allBlack[256] = {};
    const Palette palette = dc->selectedPalette;
    const std::uint32_t* colours = palette ? palette->colours : allBlack;
    for (std::int64_t j = j0; j < j1; ++j) {
        const std::int64_t sourceRow = std::int64_t{sourceY} + height - 1 - j;
        const std::uint8_t* in = bits + sourceRow * sourceStride + sourceX + i0;
        std::uint32_t* out = s->rgba + (y + j) * s->width + x + i0;
        for (std::int64_t i = i0; i < i1; ++i) *out++ = colours[*in++];
    }
    MarkChanged(s, static_cast<std::int32_t>(x + i0), static_cast<std::int32_t>(y + j0),
                static_cast<std::int32_t>(i1 - i0), static_cast<std::int32_t>(j1 - j0));
}

// The canvas is drawn from the back buffer's own pixels.
bool TakesBackBufferLayers(DeviceContext) { return false; }
void SetBackBufferLayers(DeviceContext, const std::uint8_t*, const BackBufferLayer*, std::int32_t, std::uint8_t) {}

}  // namespace plat
