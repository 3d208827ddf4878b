// The Wayland platform's own header: the connection to the compositor, its
// outputs with a full-screen surface each, and the window the animation draws on
// (the outputs side by side, each a field). The files of this folder and the
// Linux saver's Wayland run (src/hack/wayland_run.cpp) use it.
#pragma once

#include <poll.h>
#include <signal.h>

#include <cstdint>
#include <vector>

#include "platform/pixels/pixel_window.h"
#include "platform/types.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct wl_touch;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;

namespace plat::wayland {

// Rectangles of an output's pixels; past MAX_RECTS they become their bounding box.
struct Region {
    static constexpr int MAX_RECTS = 64;
    Rect rects[MAX_RECTS];
    int count = 0;
    void Add(const Rect& r);
};

// One of an output's two buffers in shared memory. `stale` is what changed in
// the output's pixels since the buffer last got them.
struct Buffer {
    ::wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    std::int64_t bytes = 0;
    bool held = false;  // attached, and not yet released by the compositor
    Region stale;
};

// An output of the compositor, and the full-screen surface on it.
struct Output {
    std::uint32_t name = 0;  // the registry's
    ::wl_output* output = nullptr;
    std::int32_t modeWidth = 0, modeHeight = 0, scale = 1;
    bool described = false;  // its first "done" came
    ::wl_surface* surface = nullptr;
    ::xdg_surface* xdgSurface = nullptr;
    ::xdg_toplevel* toplevel = nullptr;
    bool configured = false;
    std::int32_t logicalWidth = 0, logicalHeight = 0;  // the surface's size, as configured
    bool fullscreen = false;  // the compositor granted full screen (on the output asked for)
    bool declined = false;    // given the same area as another surface: taken away, no field
    // Device pixels of its field; its place in the window.
    std::int32_t width = 0, height = 0;
    Rect area{};
    // The size its pixels and both buffers were made for (0 x 0: none). Once the
    // compositor gives the output another size, nothing is drawn on it or shown
    // until the scene is set up again at the new size.
    std::int32_t pixelsWidth = 0, pixelsHeight = 0;
    // The field's pixels as drawn, and what of them the compositor has not yet had.
    std::uint32_t* pixels = nullptr;
    Region damage;
    Buffer buffers[2];
    int lastAttached = -1;
    ::wl_callback* frame = nullptr;  // while the compositor has not yet shown the last commit
    bool shown = false;              // a buffer has been attached since the scene started
};

// The compositor, its outputs, and the window over them.
struct Connection : WindowObject {
    ::wl_display* display = nullptr;
    ::wl_registry* registry = nullptr;
    ::wl_compositor* compositor = nullptr;
    ::wl_shm* shm = nullptr;
    ::xdg_wm_base* wmBase = nullptr;
    ::wl_seat* seat = nullptr;
    ::wl_pointer* pointer = nullptr;
    ::wl_keyboard* keyboard = nullptr;
    ::wl_touch* touch = nullptr;
    bool xrgb8888 = false;     // wl_shm lists the one format drawn
    std::vector<Output*> outputs;
    bool outputsChanged = false;  // added, removed, or given another size
    bool ended = false;           // input, or a surface closed: the run ends with 0
    // Where the pointer entered a surface, and where it is now on it.
    Point pointerFrom{}, pointerAt{};
    bool pointerSeen = false;
};

// Connects to the compositor of WAYLAND_DISPLAY and learns its globals and
// outputs. False, after one line on standard error naming what is missing.
bool Connect(Connection* c);

// Gives every described output its full-screen surface (once).
void ShowOnOutputs(Connection* c);

// Takes every output's surface away (after CloseWindow), keeping the outputs, and
// forgets the input that ended the showing: ShowOnOutputs shows them again.
void HideFromOutputs(Connection* c);

// True when every output with a surface has been configured (and there is one).
bool AllConfigured(const Connection& c);

// The device-pixel sizes of the configured outputs, in order, at most `max`.
std::int32_t ConfiguredSizes(const Connection& c, Point* sizes, std::int32_t max);

// Sets up the window of width x height over the configured outputs, each
// showing `areas[k]` of it in the order of ConfiguredSizes (one the areas leave
// out is black), their pixels and buffers black. False, after one line on
// standard error, without memory.
bool OpenWindow(Connection* c, const Rect* areas, std::int32_t areaCount, std::int32_t width, std::int32_t height);
void CloseWindow(Connection* c);

// True when some output can show a new frame: configured, its last one shown
// (wl_surface.frame) and a buffer free.
bool AnyOutputReady(const Connection& c);

// Sends what changed on each ready output.
void PresentOutputs(Connection* c);

// Reads and handles what the compositor sent, waiting at most timeoutMs (-1:
// no limit) for it; a signal cuts the wait short. False once the connection is
// gone.
bool Dispatch(Connection* c, int timeoutMs);

// The same, waking also when one of `others` (at most 3; fd -1: none) is ready
// for its events, with the signal mask waitMask (null: the thread's own) while it waits.
bool DispatchBeside(Connection* c, int timeoutMs, const pollfd* others, int otherCount, const sigset_t* waitMask);

// Destroys everything and disconnects.
void Disconnect(Connection* c);

}  // namespace plat::wayland
