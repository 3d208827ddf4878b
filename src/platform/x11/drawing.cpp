// Pendral on Linux: the X11 platform.
//
// Platform:     X11 through Xlib, with the MIT-SHM extension where the display
//               allows it (plain XPutImage otherwise, e.g. a remote display, or
//               once a shared-memory request fails).
// Provides:     file.h (file.cpp), clock.h (clock.cpp) and bitmap_resource.h (the
//               built-in pictures, generated) of the platform boundary, and
//               drawing.h through the drawing it shares with Wayland
//               (platform/pixels/), to which this file gives the window's pixel
//               format and where the composed pixels go; and, in surface.h, the
//               window the animation draws on, the X error handler (errors.cpp),
//               the monitors (monitors.cpp) and the clock for the saver's run
//               (src/hack/), which stands above the animation and calls these.
// Drawing:      the pieces of a frame are composed into a staging memory of at
//               most 2 MB that frames pass through as a ring (one round trip per
//               turn) and put from there; no image is as large as the window, so
//               any size X allows (up to 32767 x 32767) works.
// Limitations:  TrueColor visuals of depth 16, 24 or 32 only.
// Improvements: fewer bytes per frame (only what changed) would cost the server less.
// Dependencies: libX11, libXext, libXrandr, libXinerama, the C and C++ runtimes.
#include "platform/drawing.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <X11/Xutil.h>

#include "platform/x11/surface.h"

namespace plat {
namespace {

// In this file a window is the X11 one.
using WindowObject = x11::Surface;

// The converted pixels of a frame's copies wait in staging memory of at most this many pixels.
constexpr std::int64_t STAGING_PIXELS = 512 * 1024;

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
    // Marked for removal at once, before the round trip of the server's attach:
    // the segment goes away with the last detach, however the program ends (Linux
    // lets the server attach a marked segment while this process holds it).
    shmctl(s->shm.shmid, IPC_RMID, nullptr);
    bool attached = false;
    if (s->shm.shmaddr != reinterpret_cast<char*>(-1)) {
        image->data = s->shm.shmaddr;
        x11::BeginErrorTrap();
        XShmAttach(s->display, &s->shm);
        attached = x11::EndErrorTrap(s->display) == 0;
    }
    if (!attached) {
        // A display on another machine (or reached over TCP) cannot attach our memory.
        s->shmAllowed = false;
        image->data = nullptr;
        XDestroyImage(image);
        if (s->shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(s->shm.shmaddr);
        s->shm = XShmSegmentInfo{};
        return false;
    }
    s->image = image;
    s->usingShm = true;
    s->staging = s->shm.shmaddr;
    s->stagingBytes = static_cast<std::int64_t>(bytes);
    return true;
}

bool MakePlainImage(WindowObject* s, std::int32_t width, std::int32_t height) {
    XImage* image = XCreateImage(s->display, s->visual, static_cast<unsigned>(s->depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
    image->data = static_cast<char*>(std::malloc(bytes));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    s->image = image;
    s->usingShm = false;
    s->staging = image->data;
    s->stagingBytes = static_cast<std::int64_t>(bytes);
    return true;
}

void FreeImage(WindowObject* s) {
    if (!s->image) return;
    s->image->data = s->staging;  // PutCopy points it into the staging memory
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
    s->image = nullptr;
    s->usingShm = false;
    s->staging = nullptr;
    s->stagingBytes = s->stagingUsed = 0;
}

// Waits until the server has read the staging memory, so that it can be written
// again from its start. With shared memory that is when a piece no longer fits:
// the frames follow each other through the memory as a ring, and only the turn
// of the ring costs a round trip to the server, not every frame.
void StagingConsumed(WindowObject* s) {
    if (s->usingShm && s->stagingUsed > 0) XSync(s->display, False);
    s->stagingUsed = 0;
}

// Each piece goes into the staging memory as an image of its own, rows packed
// one after another, so that the conversion writes and the server reads one
// sequential run of memory; with shared memory the frame's pieces follow each
// other until the memory is full.
std::int64_t RowBytes(const XImage& image, std::int32_t width) {
    const std::int64_t pad = image.bitmap_pad;  // bits a row is padded to, as the server expects
    return (std::int64_t{width} * image.bits_per_pixel + pad - 1) / pad * (pad / 8);
}

char* BeginPiece(plat::WindowObject* window, std::int32_t, std::int32_t, std::int32_t width, std::int32_t* rows,
                 std::int64_t* rowBytes) {
    auto* s = static_cast<WindowObject*>(window);
    if (!s->image) return nullptr;
    *rowBytes = RowBytes(*s->image, width);
    *rows = static_cast<std::int32_t>(std::min<std::int64_t>(*rows, std::max<std::int64_t>(1, s->stagingBytes / *rowBytes)));
    if (!s->usingShm || s->stagingUsed + *rows * *rowBytes > s->stagingBytes) StagingConsumed(s);
    return s->staging + s->stagingUsed;
}

void PutPiece(plat::WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rows) {
    auto* s = static_cast<WindowObject*>(window);
    XImage& image = *s->image;
    const std::int64_t rowBytes = RowBytes(image, width);
    image.width = width;
    image.height = rows;
    image.bytes_per_line = static_cast<int>(rowBytes);
    image.data = s->staging + s->stagingUsed;
    if (s->usingShm)
        XShmPutImage(s->display, s->xid, s->gc, &image, 0, 0, x, y, static_cast<unsigned>(width),
                     static_cast<unsigned>(rows), False);
    else
        XPutImage(s->display, s->xid, s->gc, &image, 0, 0, x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(rows));
    s->stagingUsed += (rows * rowBytes + 63) & ~std::int64_t{63};
}

void FillWindowBlack(plat::WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height) {
    x11::RepaintSurface(static_cast<WindowObject*>(window), x, y, width, height);
}

void FallBackToPlainImage(WindowObject* s);

// The end of a frame: sent to the server.
void FrameEnd(plat::WindowObject* window) {
    auto* s = static_cast<WindowObject*>(window);
    XFlush(s->display);
    if (x11::TakeSharedMemoryFailure() && s->image) FallBackToPlainImage(s);
}

// Pieces are packed into the staging memory (BeginPiece): rows and padding are its own.
const PixelTarget X11_TARGET{BeginPiece, PutPiece, FillWindowBlack, FrameEnd, true};

// window's area where that is less, and always at least one whole row.
std::int32_t StagingHeight(std::int32_t width, std::int32_t height) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(STAGING_PIXELS / width, 1, height));
}

// After a shared-memory request failed: the same drawing through plain XPutImage,
// on a window painted black again (the failed puts left it unknown). Without
// memory for that the surface is left without an image, which ends the run.
void FallBackToPlainImage(WindowObject* s) {
    const std::int32_t width = s->width, height = StagingHeight(s->width, s->height);
    FreeImage(s);
    s->shmAllowed = false;
    if (!MakePlainImage(s, width, height)) {
        std::fprintf(stderr, "pendral: out of memory for an image of %dx%d\n", width, height);
        return;
    }
    x11::RepaintSurface(s, 0, 0, s->width, s->height);
}

}  // namespace

namespace x11 {

std::uint32_t SpareBits(const ::Visual* visual, int depth) {
    const std::uint64_t all = depth >= 32 ? 0xFFFFFFFFull : (1ull << depth) - 1;
    return static_cast<std::uint32_t>(all & ~(visual->red_mask | visual->green_mask | visual->blue_mask));
}

bool SupportedVisual(const ::Visual* visual, int depth) {
    return visual && visual->c_class == TrueColor && (depth == 16 || depth == 24 || depth == 32);
}

bool OpenSurface(Surface* s, std::int32_t width, std::int32_t height) {
    width = std::clamp(width, 1, MAX_WINDOW_SIDE);
    height = std::clamp(height, 1, MAX_WINDOW_SIDE);
    s->gc = XCreateGC(s->display, s->xid, 0, nullptr);
    const std::int32_t stagingWidth = width, stagingHeight = StagingHeight(width, height);
    if (!MakeShmImage(s, stagingWidth, stagingHeight) && !MakePlainImage(s, stagingWidth, stagingHeight)) {
        std::fprintf(stderr, "pendral: out of memory for an image of %dx%d\n", stagingWidth, stagingHeight);
        return false;
    }
    PixelFormat format;
    format.redMask = static_cast<std::uint32_t>(s->visual->red_mask);
    format.greenMask = static_cast<std::uint32_t>(s->visual->green_mask);
    format.blueMask = static_cast<std::uint32_t>(s->visual->blue_mask);
    format.spareBits = SpareBits(s->visual, s->depth);
    format.bitsPerPixel = s->image->bits_per_pixel;
    format.lsbFirst = s->image->byte_order == LSBFirst;
    if (!pixels::OpenWindow(s, &X11_TARGET, format, width, height)) return false;
    s->stagingUsed = 0;
    XSetForeground(s->display, s->gc, s->blackPixel);
    XSetGraphicsExposures(s->display, s->gc, False);
    XFillRectangle(s->display, s->xid, s->gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    return true;
}

void CloseSurface(Surface* s) {
    FreeImage(s);
    pixels::CloseWindow(s);
    if (s->gc) XFreeGC(s->display, s->gc);
    s->gc = nullptr;
}

void RepaintSurface(Surface* s, int x, int y, int width, int height) {
    if (!s->gc || width <= 0 || height <= 0) return;
    XFillRectangle(s->display, s->xid, s->gc, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

}  // namespace x11
}  // namespace plat
