// Drawing on X11: palette colours become pixel values of the window's TrueColor
// format once per palette, and each copy from the 8-bit back buffer converts its
// rectangle into the window-sized image and puts that part on the window.
#include "platform/drawing.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <X11/Xutil.h>

#include "platform/x11/surface.h"

namespace plat {
namespace {

DeviceContextObject screenDc{nullptr, nullptr, nullptr};
std::uint32_t nextFormat = 1;

bool HostIsLittleEndian() { return std::endian::native == std::endian::little; }

// An 8-bit colour channel placed into `mask`.
std::uint32_t Channel(std::uint8_t value, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t scaled = bits <= 8 ? value >> (8 - bits) : static_cast<std::uint32_t>(value) << (bits - 8);
    return static_cast<std::uint32_t>((static_cast<unsigned long>(scaled) << shift) & mask);
}

// The bits of the pixel that no colour channel uses (alpha on a depth-32 visual):
// all set, so that the picture is opaque.
std::uint32_t SpareBits(const WindowObject& s) {
    const std::uint64_t all = s.depth >= 32 ? 0xFFFFFFFFull : (1ull << s.depth) - 1;
    return static_cast<std::uint32_t>(all & ~(s.visual->red_mask | s.visual->green_mask | s.visual->blue_mask));
}

std::uint32_t PixelOf(const WindowObject& s, const PaletteEntry& e) {
    return Channel(e.red, s.visual->red_mask) | Channel(e.green, s.visual->green_mask) |
           Channel(e.blue, s.visual->blue_mask) | SpareBits(s);
}

// A pixel value as the image stores it: swapped when the image's byte order is
// not the processor's (16- and 32-bit pixels; 24-bit ones are written bytewise).
std::uint32_t InImageOrder(const XImage& image, std::uint32_t pixel) {
    const bool imageLittle = image.byte_order == LSBFirst;
    if (imageLittle == HostIsLittleEndian()) return pixel;
    if (image.bits_per_pixel == 16) return static_cast<std::uint16_t>((pixel >> 8) | (pixel << 8));
    if (image.bits_per_pixel == 32) return __builtin_bswap32(pixel);
    return pixel;
}

void FillImage(WindowObject* s, std::uint32_t pixel) {
    XImage* image = s->image;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) XPutPixel(image, x, y, pixel);
}

bool MakeShmImage(WindowObject* s, std::int32_t width, std::int32_t height) {
    if (!s->shmAllowed || !XShmQueryExtension(s->display)) return false;
    XImage* image = XShmCreateImage(s->display, s->visual, static_cast<unsigned>(s->depth), ZPixmap, nullptr,
                                    &s->shm, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return false;
    const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
    s->shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (s->shm.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    s->shm.shmaddr = static_cast<char*>(shmat(s->shm.shmid, nullptr, 0));
    s->shm.readOnly = False;
    bool attached = false;
    if (s->shm.shmaddr != reinterpret_cast<char*>(-1)) {
        image->data = s->shm.shmaddr;
        const int errorsBefore = x11::xErrorCount;
        XShmAttach(s->display, &s->shm);
        XSync(s->display, False);
        attached = x11::xErrorCount == errorsBefore;
    }
    // Marked for removal at once: the segment goes away with the last detach,
    // however the program ends.
    shmctl(s->shm.shmid, IPC_RMID, nullptr);
    if (!attached) {
        // A display on another machine cannot attach our memory.
        s->shmAllowed = false;
        image->data = nullptr;
        XDestroyImage(image);
        if (s->shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(s->shm.shmaddr);
        s->shm = XShmSegmentInfo{};
        return false;
    }
    s->image = image;
    s->usingShm = true;
    return true;
}

bool MakePlainImage(WindowObject* s, std::int32_t width, std::int32_t height) {
    XImage* image = XCreateImage(s->display, s->visual, static_cast<unsigned>(s->depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line), static_cast<std::size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    s->image = image;
    s->usingShm = false;
    return true;
}

// Converts one row of `count` 8-bit indices into pixels at `out`.
void ConvertRow(const XImage& image, const std::uint32_t* lut, const std::uint8_t* in, char* out, int count) {
    switch (image.bits_per_pixel) {
        case 32: {
            auto* p = reinterpret_cast<std::uint32_t*>(out);
            for (int i = 0; i < count; ++i) p[i] = lut[in[i]];
            break;
        }
        case 16: {
            auto* p = reinterpret_cast<std::uint16_t*>(out);
            for (int i = 0; i < count; ++i) p[i] = static_cast<std::uint16_t>(lut[in[i]]);
            break;
        }
        default: {  // 24: three bytes in the image's byte order
            auto* p = reinterpret_cast<std::uint8_t*>(out);
            const bool little = image.byte_order == LSBFirst;
            for (int i = 0; i < count; ++i, p += 3) {
                const std::uint32_t v = lut[in[i]];
                p[little ? 0 : 2] = static_cast<std::uint8_t>(v);
                p[1] = static_cast<std::uint8_t>(v >> 8);
                p[little ? 2 : 0] = static_cast<std::uint8_t>(v >> 16);
            }
        }
    }
}

}  // namespace

namespace x11 {

int xErrorCount = 0;

bool SupportedVisual(const ::Visual* visual, int depth) {
    return visual && visual->c_class == TrueColor && (depth == 16 || depth == 24 || depth == 32);
}

bool OpenSurface(WindowObject* s, std::int32_t width, std::int32_t height) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    s->gc = XCreateGC(s->display, s->xid, 0, nullptr);
    if (!MakeShmImage(s, width, height) && !MakePlainImage(s, width, height)) {
        std::fprintf(stderr, "pendral: no image of %dx%d for the window\n", width, height);
        return false;
    }
    const int bpp = s->image->bits_per_pixel;
    if (bpp != 16 && bpp != 24 && bpp != 32) {
        std::fprintf(stderr, "pendral: %d bits per pixel are not supported\n", bpp);
        return false;
    }
    s->width = width;
    s->height = height;
    s->format = nextFormat++;
    s->blackPixel = SpareBits(*s);
    FillImage(s, s->blackPixel);
    XSetForeground(s->display, s->gc, s->blackPixel);
    XSetGraphicsExposures(s->display, s->gc, False);
    XFillRectangle(s->display, s->xid, s->gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    return true;
}

void CloseSurface(WindowObject* s) {
    if (s->image) {
        if (s->usingShm) {
            XShmDetach(s->display, &s->shm);
            XSync(s->display, False);
            s->image->data = nullptr;
            XDestroyImage(s->image);
            shmdt(s->shm.shmaddr);
            s->shm = XShmSegmentInfo{};
        } else {
            XDestroyImage(s->image);  // frees the pixels too
        }
    }
    s->image = nullptr;
    s->usingShm = false;
    s->windowDc.selectedPalette = nullptr;  // the scene's palette is gone with it
    if (s->gc) XFreeGC(s->display, s->gc);
    s->gc = nullptr;
}

void RepaintSurface(WindowObject* s, int x, int y, int width, int height) {
    if (!s->image) return;
    if (s->usingShm)
        XShmPutImage(s->display, s->xid, s->gc, s->image, x, y, x, y, static_cast<unsigned>(width),
                     static_cast<unsigned>(height), False);
    else
        XPutImage(s->display, s->xid, s->gc, s->image, x, y, x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
}

}  // namespace x11

DeviceContext AcquireScreenDc() { return &screenDc; }
void ReleaseScreenDc(DeviceContext) {}

DeviceContext AcquireWindowDc(Window window) { return window ? &window->windowDc : &screenDc; }

// The end of a frame: the server has read the shared image before it changes again.
void ReleaseWindowDc(Window window, DeviceContext) {
    if (!window || !window->display) return;
    if (window->usingShm) XSync(window->display, False);
    else XFlush(window->display);
}

// TrueColor displays have no system palette.
std::uint32_t ReadSystemPalette(DeviceContext, std::uint32_t, std::uint32_t, PaletteEntry*) { return 0; }

Palette CreateLogicalPalette(const PaletteEntry* entries, std::uint32_t count) {
    if (count > 256) return nullptr;
    auto* palette = new (std::nothrow) PaletteObject{};
    if (!palette) return nullptr;
    std::memcpy(palette->entries, entries, count * sizeof(PaletteEntry));
    palette->count = count;
    return palette;
}

void DestroyPalette(Palette palette) { delete palette; }

Palette SelectDcPalette(DeviceContext dc, Palette palette, bool) {
    Palette previous = dc->selectedPalette;
    dc->selectedPalette = palette;
    return previous;
}

// Works out the selected palette's pixel values for the window's format, once.
void RealizeDcPalette(DeviceContext dc) {
    Palette palette = dc->selectedPalette;
    WindowObject* s = dc->window;
    if (!palette || !s || !s->image || palette->pixelsFormat == s->format) return;
    for (std::uint32_t i = 0; i < 256; ++i)
        palette->pixels[i] = i < palette->count ? InImageOrder(*s->image, PixelOf(*s, palette->entries[i]))
                                                : InImageOrder(*s->image, s->blackPixel);
    palette->pixelsFormat = s->format;
}

DeviceContext CreateMemoryDc(DeviceContext dc) { return dc && dc->window ? &dc->window->memoryDc : nullptr; }

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

void DestroyBitmap(Bitmap bitmap) {
    if (!bitmap) return;
    std::free(bitmap->pixels);
    delete bitmap;
}

Bitmap CreatePixelBuffer(DeviceContext, const void* info, std::uint8_t** bits) {
    *bits = nullptr;
    const auto* h = static_cast<const std::uint8_t*>(info);
    std::int32_t width, height;
    std::memcpy(&width, h + 4, 4);
    std::memcpy(&height, h + 8, 4);
    if (width < 1 || height < 1 || width > 16384 || height > 16384) return nullptr;
    const std::int32_t stride = (width + 3) & ~3;
    auto* bitmap = new (std::nothrow) BitmapObject{};
    if (!bitmap) return nullptr;
    bitmap->pixels = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(stride), static_cast<std::size_t>(height)));
    if (!bitmap->pixels) {
        delete bitmap;
        return nullptr;
    }
    bitmap->width = width;
    bitmap->height = height;
    bitmap->stride = stride;
    *bits = bitmap->pixels;
    return bitmap;
}

void FillBlack(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (!dc) return;
    if (Bitmap b = dc->selectedBitmap; b && dc == &dc->window->memoryDc) {
        // Rows of the pixel buffer count from the bottom.
        const std::int64_t left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
        const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, b->width);
        const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, b->height);
        for (std::int64_t row = top; row < bottom && left < right; ++row)
            std::memset(b->pixels + (b->height - 1 - row) * b->stride + left, 0, static_cast<std::size_t>(right - left));
        return;
    }
    WindowObject* s = dc->window;
    if (s && s->gc && width > 0 && height > 0)
        XFillRectangle(s->display, s->xid, s->gc, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void StretchCopy(DeviceContext dc, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 std::int32_t sourceX, std::int32_t sourceY, const std::uint8_t* bits, const void* info) {
    WindowObject* s = dc ? dc->window : nullptr;
    Palette palette = dc ? dc->selectedPalette : nullptr;
    if (!s || !s->image || !bits || !info || width <= 0 || height <= 0) return;
    std::int32_t sourceWidth, sourceHeight;
    std::memcpy(&sourceWidth, static_cast<const std::uint8_t*>(info) + 4, 4);
    std::memcpy(&sourceHeight, static_cast<const std::uint8_t*>(info) + 8, 4);
    if (sourceWidth <= 0 || sourceHeight <= 0) return;
    const std::int64_t sourceStride = (std::int64_t{sourceWidth} + 3) & ~std::int64_t{3};

    // Column i of the block: destination x + i, source sourceX + i. Row j from the
    // top: destination y + j, source row sourceY + height - 1 - j from the bottom.
    std::int64_t i0 = 0, i1 = width, j0 = 0, j1 = height;
    i0 = std::max({i0, -std::int64_t{x}, -std::int64_t{sourceX}});
    i1 = std::min({i1, std::int64_t{s->width} - x, std::int64_t{sourceWidth} - sourceX});
    j0 = std::max({j0, -std::int64_t{y}, std::int64_t{sourceY} + height - sourceHeight});
    j1 = std::min({j1, std::int64_t{s->height} - y, std::int64_t{sourceY} + height});
    if (i0 >= i1 || j0 >= j1) return;

    static const std::uint32_t noPalette[256] = {};
    const std::uint32_t* lut = palette && palette->pixelsFormat == s->format ? palette->pixels : noPalette;
    XImage& image = *s->image;
    const int bytesPerPixel = image.bits_per_pixel / 8;
    const int count = static_cast<int>(i1 - i0);
    for (std::int64_t j = j0; j < j1; ++j) {
        const std::int64_t sourceRow = std::int64_t{sourceY} + height - 1 - j;
        const std::uint8_t* in = bits + sourceRow * sourceStride + sourceX + i0;
        char* out = image.data + (y + j) * image.bytes_per_line + (x + i0) * bytesPerPixel;
        ConvertRow(image, lut, in, out, count);
    }
    x11::RepaintSurface(s, static_cast<int>(x + i0), static_cast<int>(y + j0), count, static_cast<int>(j1 - j0));
}

}  // namespace plat
