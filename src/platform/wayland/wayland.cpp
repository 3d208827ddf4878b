// Pendral on Linux: the Wayland platform.
//
// Platform:     a Wayland compositor through libwayland-client: xdg-shell (its
//               code made at build time by wayland-scanner from Debian's
//               wayland-protocols), wl_shm, wl_seat.
// Provides:     drawing.h through the drawing it shares with X11
//               (platform/pixels/): the window it draws on is the compositor's
//               outputs side by side, each a field in device pixels, and each
//               output shows its part on a full-screen surface of its own
//               (xdg_toplevel.set_fullscreen on that output), the pointer hidden
//               over it. Files, the clock and the built-in pictures are X11's
//               (platform/x11/), which are plain POSIX.
// Drawing:      XRGB8888 into the output's own pixels; at most once per
//               wl_surface.frame, what changed since a buffer last got them is
//               copied into the buffer the compositor does not hold (two per
//               output), and only what changed is damaged. No frame is drawn
//               while no output shows the last one (an output off). An output
//               given another size is neither drawn on nor shown until its
//               pixels and buffers are made again at that size.
// Input:        a key, a button, a touch, the pointer moved beyond a few pixels
//               (app/pointer_rule.h), or a surface closed end the run.
// Limitations:  a full-screen toplevel, not a lock surface: the compositor may
//               let other windows over it; keyboard focus is what the
//               compositor gives a new window. A change of outputs sets every
//               field up again with a new scatter. No -fps overlay. Where full
//               screen is not granted, surfaces given the same size are taken
//               to share one area (cage's layout): one of them draws there.
// Improvements: ext-session-lock (locking as a saver); fractional scale;
//               keeping the other outputs' bodies when one comes or goes.
// Dependencies: libwayland-client; at build time wayland-scanner and wayland-protocols.
#include "platform/wayland/surface.h"

#include <errno.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/x11/surface.h"
#include "xdg-shell-client-protocol.h"

namespace plat::wayland {
namespace {

constexpr std::uint32_t XRGB8888 = WL_SHM_FORMAT_XRGB8888;

Rect Bounds(const Rect& a, const Rect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// ---- Outputs and their surfaces ----

void OnOutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                      const char*, const char*, std::int32_t) {}

void OnOutputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
    auto* o = static_cast<Output*>(data);
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    o->modeWidth = width;
    o->modeHeight = height;
}

Connection* connection = nullptr;  // the one connection, for the listeners of outputs

// The output's field in device pixels: its configured size at its scale, else its mode.
void TakeDeviceSize(Output* o) {
    const bool given = o->logicalWidth > 0 && o->logicalHeight > 0;
    const std::int32_t width = given ? o->logicalWidth * o->scale : o->modeWidth;
    const std::int32_t height = given ? o->logicalHeight * o->scale : o->modeHeight;
    if (width != o->width || height != o->height) connection->outputsChanged = true;
    o->width = width;
    o->height = height;
}

// A new mode or scale: a surface already there takes it (at its next buffer).
void OnOutputDone(void* data, wl_output*) {
    auto* o = static_cast<Output*>(data);
    o->described = true;
    connection->outputsChanged = true;
    if (!o->surface) return;
    wl_surface_set_buffer_scale(o->surface, o->scale);
    if (o->configured) TakeDeviceSize(o);
}

void OnOutputScale(void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = std::max(1, factor); }

// Listeners end with null for the events of versions later than the one bound.
const wl_output_listener OUTPUT_LISTENER{OnOutputGeometry, OnOutputMode, OnOutputDone, OnOutputScale, nullptr, nullptr};

void OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array* states) {
    auto* o = static_cast<Output*>(data);
    o->logicalWidth = width;
    o->logicalHeight = height;
    o->fullscreen = false;
    for (std::size_t k = 0; k < states->size / sizeof(std::uint32_t); ++k)
        o->fullscreen = o->fullscreen || static_cast<const std::uint32_t*>(states->data)[k] == XDG_TOPLEVEL_STATE_FULLSCREEN;
}

void OnToplevelClose(void*, xdg_toplevel*) { connection->ended = true; }

const xdg_toplevel_listener TOPLEVEL_LISTENER{OnToplevelConfigure, OnToplevelClose, nullptr, nullptr};

// A compositor that does not grant full screen on the output asked for (cage)
// gives each surface an area of its choosing, the same one for all of them (its
// whole layout): a surface given a size but not full screen, the same size as
// another such surface, would draw a field that the other covers. It is taken
// away (ShowOnOutputs) and draws none, until the surfaces are shown again.
bool SharesArea(const Output& o) {
    if (o.fullscreen || o.logicalWidth <= 0 || o.logicalHeight <= 0) return false;
    for (const Output* p : connection->outputs)
        if (p != &o && p->configured && !p->declined && !p->fullscreen && p->logicalWidth == o.logicalWidth &&
            p->logicalHeight == o.logicalHeight)
            return true;
    return false;
}

void OnSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
    auto* o = static_cast<Output*>(data);
    xdg_surface_ack_configure(surface, serial);
    if (!o->configured) connection->outputsChanged = true;
    o->configured = true;
    TakeDeviceSize(o);
    if (SharesArea(*o)) {
        o->declined = true;
        connection->outputsChanged = true;
    }
}

const xdg_surface_listener SURFACE_LISTENER{OnSurfaceConfigure};

void FreePixels(Output* o) {
    for (Buffer& b : o->buffers) {
        if (b.buffer) wl_buffer_destroy(b.buffer);
        if (b.pixels) munmap(b.pixels, static_cast<std::size_t>(b.bytes));
        b = Buffer{};
    }
    std::free(o->pixels);
    o->pixels = nullptr;
    o->pixelsWidth = o->pixelsHeight = 0;
    o->damage.count = 0;
    o->lastAttached = -1;
    o->shown = false;
}

// The output's surface gone, and with it what the compositor configured.
void DestroySurface(Output* o) {
    if (o->frame) wl_callback_destroy(o->frame);
    if (o->toplevel) xdg_toplevel_destroy(o->toplevel);
    if (o->xdgSurface) xdg_surface_destroy(o->xdgSurface);
    if (o->surface) wl_surface_destroy(o->surface);
    o->frame = nullptr;
    o->toplevel = nullptr;
    o->xdgSurface = nullptr;
    o->surface = nullptr;
    o->configured = false;
    o->fullscreen = false;
    o->logicalWidth = o->logicalHeight = 0;
}

void DestroyOutput(Output* o) {
    FreePixels(o);
    DestroySurface(o);
    if (o->output) wl_output_destroy(o->output);
    delete o;
}

// ---- Input ----

void OnPointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
    auto* c = static_cast<Connection*>(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // hidden over the saver
    c->pointerFrom = c->pointerAt = {wl_fixed_to_int(x), wl_fixed_to_int(y)};
    c->pointerSeen = true;
}

void OnPointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) { static_cast<Connection*>(data)->pointerSeen = false; }

void OnPointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
    static_cast<Connection*>(data)->pointerAt = {wl_fixed_to_int(x), wl_fixed_to_int(y)};
}

void OnPointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) static_cast<Connection*>(data)->ended = true;
}

void OnPointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}

const wl_pointer_listener POINTER_LISTENER{OnPointerEnter, OnPointerLeave, OnPointerMotion, OnPointerButton,
                                           OnPointerAxis, nullptr, nullptr, nullptr, nullptr, nullptr};

void OnKeymap(void*, wl_keyboard*, std::uint32_t, int fd, std::uint32_t) { close(fd); }
void OnKeyboardEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}

// A key pressed while the saver runs ends it; one released (held when it started) does not.
void OnKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) static_cast<Connection*>(data)->ended = true;
}

void OnModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

const wl_keyboard_listener KEYBOARD_LISTENER{OnKeymap, OnKeyboardEnter, OnKeyboardLeave, OnKey, OnModifiers,
                                             OnRepeatInfo};

void OnTouchDown(void* data, wl_touch*, std::uint32_t, std::uint32_t, wl_surface*, std::int32_t, wl_fixed_t,
                 wl_fixed_t) {
    static_cast<Connection*>(data)->ended = true;
}
void OnTouchUp(void*, wl_touch*, std::uint32_t, std::uint32_t, std::int32_t) {}
void OnTouchMotion(void*, wl_touch*, std::uint32_t, std::int32_t, wl_fixed_t, wl_fixed_t) {}
void OnTouchFrame(void*, wl_touch*) {}
void OnTouchCancel(void*, wl_touch*) {}

const wl_touch_listener TOUCH_LISTENER{OnTouchDown, OnTouchUp, OnTouchMotion, OnTouchFrame, OnTouchCancel, nullptr, nullptr};

void OnSeatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto* c = static_cast<Connection*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !c->pointer) {
        c->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(c->pointer, &POINTER_LISTENER, c);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !c->keyboard) {
        c->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(c->keyboard, &KEYBOARD_LISTENER, c);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_TOUCH) && !c->touch) {
        c->touch = wl_seat_get_touch(seat);
        wl_touch_add_listener(c->touch, &TOUCH_LISTENER, c);
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener SEAT_LISTENER{OnSeatCapabilities, OnSeatName};

// ---- Globals ----

void OnShmFormat(void* data, wl_shm*, std::uint32_t format) {
    if (format == XRGB8888) static_cast<Connection*>(data)->xrgb8888 = true;
}

const wl_shm_listener SHM_LISTENER{OnShmFormat};

void OnPing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener WM_BASE_LISTENER{OnPing};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    const auto bind = [&](const wl_interface* type, std::uint32_t wanted) {
        return wl_registry_bind(registry, name, type, std::min(version, wanted));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4 && !c->compositor) {
        c->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !c->shm) {
        c->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
        wl_shm_add_listener(c->shm, &SHM_LISTENER, c);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && !c->wmBase) {
        c->wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(c->wmBase, &WM_BASE_LISTENER, c);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->seat) {
        c->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
        wl_seat_add_listener(c->seat, &SEAT_LISTENER, c);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        auto* o = new Output{};
        o->name = name;
        o->output = static_cast<wl_output*>(bind(&wl_output_interface, 2));
        wl_output_add_listener(o->output, &OUTPUT_LISTENER, o);
        c->outputs.push_back(o);
    }
}

void OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* c = static_cast<Connection*>(data);
    for (auto it = c->outputs.begin(); it != c->outputs.end(); ++it) {
        if ((*it)->name != name) continue;
        DestroyOutput(*it);
        c->outputs.erase(it);
        c->outputsChanged = true;
        return;
    }
}

const wl_registry_listener REGISTRY_LISTENER{OnGlobal, OnGlobalRemove};

// ---- Frames ----

void OnBufferRelease(void* data, wl_buffer*) { static_cast<Buffer*>(data)->held = false; }

const wl_buffer_listener BUFFER_LISTENER{OnBufferRelease};

void OnFrameDone(void* data, wl_callback* callback, std::uint32_t) {
    wl_callback_destroy(callback);
    static_cast<Output*>(data)->frame = nullptr;
}

const wl_callback_listener FRAME_LISTENER{OnFrameDone};

bool MakeBuffers(Connection* c, Output* o) {
    const std::int64_t stride = std::int64_t{o->width} * 4, bytes = stride * o->height;
    o->pixels = static_cast<std::uint32_t*>(std::calloc(static_cast<std::size_t>(bytes), 1));
    if (!o->pixels) return false;
    o->pixelsWidth = o->width;
    o->pixelsHeight = o->height;
    for (Buffer& b : o->buffers) {
        const int fd = memfd_create("pendral", MFD_CLOEXEC);
        if (fd < 0) return false;
        void* memory = ftruncate(fd, bytes) == 0
                           ? mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                           : MAP_FAILED;
        if (memory == MAP_FAILED) {
            close(fd);
            return false;
        }
        b.pixels = static_cast<std::uint32_t*>(memory);
        b.bytes = bytes;
        wl_shm_pool* pool = wl_shm_create_pool(c->shm, fd, static_cast<std::int32_t>(bytes));
        b.buffer = wl_shm_pool_create_buffer(pool, 0, o->width, o->height, static_cast<std::int32_t>(stride), XRGB8888);
        wl_buffer_add_listener(b.buffer, &BUFFER_LISTENER, &b);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    return true;
}

// Its pixels and buffers are of the size the compositor gives it. A new size
// (a scale or mode change, a configure) may come while the scene cannot yet be
// set up again (another output waits for its first configure): until then the
// output is neither drawn on nor shown.
bool Drawable(const Output& o) { return o.pixels && o.pixelsWidth == o.width && o.pixelsHeight == o.height; }

bool Ready(const Output& o) {
    return o.configured && Drawable(o) && !o.frame && (!o.buffers[0].held || !o.buffers[1].held);
}

void Present(Output* o) {
    if (!Ready(*o) || (o->shown && o->damage.count == 0)) return;
    // The buffer not attached last, unless the compositor still holds it.
    const int other = o->lastAttached == 0 ? 1 : 0;
    const int k = !o->buffers[other].held ? other : 1 - other;
    Buffer& b = o->buffers[k];
    for (int r = 0; r < b.stale.count; ++r) {
        const Rect& s = b.stale.rects[r];
        for (std::int32_t y = s.top; y < s.bottom; ++y) {
            const std::int64_t at = std::int64_t{y} * o->pixelsWidth + s.left;
            std::memcpy(b.pixels + at, o->pixels + at, static_cast<std::size_t>(s.right - s.left) * 4);
        }
    }
    b.stale.count = 0;
    wl_surface_attach(o->surface, b.buffer, 0, 0);
    if (!o->shown) {  // the whole of its first frame
        o->damage.count = 0;
        o->damage.Add({0, 0, o->pixelsWidth, o->pixelsHeight});
    }
    for (int r = 0; r < o->damage.count; ++r) {
        const Rect& d = o->damage.rects[r];
        wl_surface_damage_buffer(o->surface, d.left, d.top, d.right - d.left, d.bottom - d.top);
    }
    o->damage.count = 0;
    o->frame = wl_surface_frame(o->surface);
    wl_callback_add_listener(o->frame, &FRAME_LISTENER, o);
    wl_surface_commit(o->surface);
    b.held = true;
    o->lastAttached = k;
    o->shown = true;
}

// ---- The drawing's target: the outputs' own pixels ----

Output* OutputHolding(Connection* c, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    for (Output* o : c->outputs)
        if (Drawable(*o) && x >= o->area.left && y >= o->area.top && x + width <= o->area.right &&
            y + height <= o->area.bottom)
            return o;
    return nullptr;
}

void Changed(Output* o, const Rect& r) {
    o->damage.Add(r);
    for (Buffer& b : o->buffers) b.stale.Add(r);
}

char* BeginPiece(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t* rows,
                 std::int64_t* rowBytes) {
    Output* o = OutputHolding(static_cast<Connection*>(window), x, y, width, *rows);
    if (!o) return nullptr;
    *rowBytes = std::int64_t{o->pixelsWidth} * 4;
    return reinterpret_cast<char*>(o->pixels + std::int64_t{y - o->area.top} * o->pixelsWidth + (x - o->area.left));
}

void PutPiece(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rows) {
    if (Output* o = OutputHolding(static_cast<Connection*>(window), x, y, width, rows))
        Changed(o, {x - o->area.left, y - o->area.top, x - o->area.left + width, y - o->area.top + rows});
}

void FillBlack(WindowObject* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    for (Output* o : static_cast<Connection*>(window)->outputs) {
        if (!Drawable(*o)) continue;
        const Rect r{std::max(x, o->area.left) - o->area.left, std::max(y, o->area.top) - o->area.top,
                     std::min(x + width, o->area.right) - o->area.left, std::min(y + height, o->area.bottom) - o->area.top};
        if (r.left >= r.right || r.top >= r.bottom) continue;
        for (std::int32_t row = r.top; row < r.bottom; ++row)
            std::memset(o->pixels + std::int64_t{row} * o->pixelsWidth + r.left, 0, static_cast<std::size_t>(r.right - r.left) * 4);
        Changed(o, r);
    }
}

void FrameEnd(WindowObject* window) { PresentOutputs(static_cast<Connection*>(window)); }

const PixelTarget WAYLAND_TARGET{BeginPiece, PutPiece, FillBlack, FrameEnd};

}  // namespace

void Region::Add(const Rect& r) {
    if (count < MAX_RECTS) {
        rects[count++] = r;
        return;
    }
    Rect all = r;
    for (int k = 0; k < count; ++k) all = Bounds(all, rects[k]);
    rects[0] = all;
    count = 1;
}

bool Connect(Connection* c) {
    connection = c;
    c->display = wl_display_connect(nullptr);
    if (!c->display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "pendral: cannot connect to a Wayland compositor (%s%s)\n",
                     name ? "WAYLAND_DISPLAY is " : "WAYLAND_DISPLAY is not set", name ? name : "");
        return false;
    }
    c->registry = wl_display_get_registry(c->display);
    wl_registry_add_listener(c->registry, &REGISTRY_LISTENER, c);
    // The globals, then what they tell at once (formats, outputs' modes).
    if (wl_display_roundtrip(c->display) < 0 || wl_display_roundtrip(c->display) < 0) {
        std::fputs("pendral: the Wayland compositor closed the connection\n", stderr);
        return false;
    }
    const char* missing = !c->compositor ? "wl_compositor (version 4)"
                          : !c->wmBase   ? "xdg_wm_base (xdg-shell)"
                          : !c->shm      ? "wl_shm (shared memory buffers)"
                                         : nullptr;
    if (missing) {
        std::fprintf(stderr, "pendral: the Wayland compositor offers no %s\n", missing);
        return false;
    }
    if (!c->xrgb8888) {
        std::fputs("pendral: the Wayland compositor's wl_shm has no XRGB8888 format\n", stderr);
        return false;
    }
    return true;
}

void ShowOnOutputs(Connection* c) {
    for (Output* o : c->outputs) {
        if (o->declined && o->surface) {
            FreePixels(o);
            DestroySurface(o);
        }
        if (!o->described || o->surface || o->declined) continue;
        o->surface = wl_compositor_create_surface(c->compositor);
        o->xdgSurface = xdg_wm_base_get_xdg_surface(c->wmBase, o->surface);
        xdg_surface_add_listener(o->xdgSurface, &SURFACE_LISTENER, o);
        o->toplevel = xdg_surface_get_toplevel(o->xdgSurface);
        xdg_toplevel_add_listener(o->toplevel, &TOPLEVEL_LISTENER, o);
        xdg_toplevel_set_title(o->toplevel, "Pendral");
        xdg_toplevel_set_app_id(o->toplevel, "pendral");
        xdg_toplevel_set_fullscreen(o->toplevel, o->output);
        wl_surface_set_buffer_scale(o->surface, o->scale);
        wl_surface_commit(o->surface);
    }
}

void HideFromOutputs(Connection* c) {
    for (Output* o : c->outputs) {
        DestroySurface(o);
        o->declined = false;
    }
    c->ended = false;
    c->pointerSeen = false;
}

bool AllConfigured(const Connection& c) {
    bool any = false;
    for (const Output* o : c.outputs) {
        if (o->surface && !o->configured) return false;
        any = any || o->configured;
    }
    return any;
}

std::int32_t ConfiguredSizes(const Connection& c, Point* sizes, std::int32_t max) {
    std::int32_t count = 0;
    for (const Output* o : c.outputs)
        if (o->configured && count < max) sizes[count++] = {o->width, o->height};
    return count;
}

bool OpenWindow(Connection* c, const Rect* areas, std::int32_t areaCount, std::int32_t width, std::int32_t height) {
    std::int32_t next = 0;
    for (Output* o : c->outputs) {
        if (!o->configured) continue;
        FreePixels(o);
        // Areas come in the outputs' order, each of its output's size; an output
        // without one (past the last field) is shown black.
        const bool placed = next < areaCount && areas[next].right - areas[next].left == o->width &&
                            areas[next].bottom - areas[next].top == o->height;
        o->area = placed ? areas[next++] : Rect{};
        if (!MakeBuffers(c, o)) {
            std::fprintf(stderr, "pendral: out of memory for an output of %dx%d\n", o->width, o->height);
            return false;
        }
    }
    const PixelFormat format{0xFF0000, 0xFF00, 0xFF, 0, 32, true};
    return pixels::OpenWindow(c, &WAYLAND_TARGET, format, std::max(width, 1), std::max(height, 1));
}

void CloseWindow(Connection* c) {
    pixels::CloseWindow(c);
    for (Output* o : c->outputs) FreePixels(o);
}

bool AnyOutputReady(const Connection& c) {
    return std::any_of(c.outputs.begin(), c.outputs.end(), [](const Output* o) { return Ready(*o); });
}

void PresentOutputs(Connection* c) {
    for (Output* o : c->outputs) Present(o);
}

namespace {

// Reads what the compositor sent, once `wait` has said that its descriptor may be
// readable, and hands it to the listeners; false when the connection broke.
template <class Wait>
bool DispatchAfter(Connection* c, Wait wait) {
    wl_display* d = c->display;
    while (wl_display_prepare_read(d) != 0)
        if (wl_display_dispatch_pending(d) < 0) return false;
    if (wl_display_flush(d) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(d);
        return false;
    }
    if (wait(wl_display_get_fd(d))) {
        if (wl_display_read_events(d) < 0) return false;
    } else {
        wl_display_cancel_read(d);
    }
    return wl_display_dispatch_pending(d) >= 0;
}

}  // namespace

bool Dispatch(Connection* c, int timeoutMs) {
    // The wait is the X11 platform's (a test's clock may pace it); it says true
    // also for a signal, and reading then finds nothing and does no harm.
    return DispatchAfter(c, [timeoutMs](int fd) { return x11::WaitForInput(fd, timeoutMs); });
}

bool DispatchBeside(Connection* c, int timeoutMs, const pollfd* others, int otherCount, const sigset_t* waitMask) {
    return DispatchAfter(c, [&](int fd) {
        pollfd p[4]{{fd, POLLIN, 0}};
        const int count = 1 + std::min(otherCount, 3);
        std::copy(others, others + (count - 1), p + 1);
        const timespec limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        return ppoll(p, static_cast<nfds_t>(count), timeoutMs >= 0 ? &limit : nullptr, waitMask) > 0 && p[0].revents;
    });
}

void Disconnect(Connection* c) {
    if (!c->display) return;
    CloseWindow(c);
    for (Output* o : c->outputs) DestroyOutput(o);
    c->outputs.clear();
    if (c->pointer) wl_pointer_destroy(c->pointer);
    if (c->keyboard) wl_keyboard_destroy(c->keyboard);
    if (c->touch) wl_touch_destroy(c->touch);
    if (c->seat) wl_seat_destroy(c->seat);
    if (c->wmBase) xdg_wm_base_destroy(c->wmBase);
    if (c->shm) wl_shm_destroy(c->shm);
    if (c->compositor) wl_compositor_destroy(c->compositor);
    if (c->registry) wl_registry_destroy(c->registry);
    wl_display_disconnect(c->display);
    c->display = nullptr;
    connection = nullptr;
}

}  // namespace plat::wayland
