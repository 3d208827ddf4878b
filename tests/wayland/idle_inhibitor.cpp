// A small window that holds an idle inhibitor on its surface, as a playing video
// does: it shows a grey 64x64 toplevel, asks the compositor's
// zwp_idle_inhibit_manager_v1 to keep the session from going idle while the surface
// is visible, prints "inhibiting" once the compositor has shown it, and stays until
// it is killed. For the idle watcher's tests.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

wl_compositor* compositor = nullptr;
wl_shm* shm = nullptr;
xdg_wm_base* wmBase = nullptr;
zwp_idle_inhibit_manager_v1* inhibitManager = nullptr;
bool configured = false, shown = false;

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        inhibitManager = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener REGISTRY{OnGlobal, OnGlobalRemove};

void OnPing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener WM_BASE{OnPing};

void OnConfigure(void*, xdg_surface* surface, std::uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    configured = true;
}
const xdg_surface_listener SURFACE{OnConfigure};

void OnFrame(void*, wl_callback* callback, std::uint32_t) {
    wl_callback_destroy(callback);
    shown = true;
}
const wl_callback_listener FRAME{OnFrame};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &REGISTRY, nullptr);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !wmBase || !inhibitManager) {
        std::fputs("idle_inhibitor: the compositor lacks a global it needs\n", stderr);
        return 1;
    }
    xdg_wm_base_add_listener(wmBase, &WM_BASE, nullptr);
    wl_surface* surface = wl_compositor_create_surface(compositor);
    xdg_surface* xdgSurface = xdg_wm_base_get_xdg_surface(wmBase, surface);
    xdg_surface_add_listener(xdgSurface, &SURFACE, nullptr);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(xdgSurface), "idle inhibitor");
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibitManager, surface);
    wl_surface_commit(surface);
    while (!configured && wl_display_dispatch(display) >= 0) {
    }
    constexpr int SIDE = 64, BYTES = SIDE * SIDE * 4;
    const int fd = memfd_create("idle-inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, BYTES) != 0) return 1;
    void* pixels = mmap(nullptr, BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) return 1;
    std::memset(pixels, 0x80, BYTES);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, BYTES);
    wl_surface_attach(surface, wl_shm_pool_create_buffer(pool, 0, SIDE, SIDE, SIDE * 4, WL_SHM_FORMAT_XRGB8888), 0, 0);
    wl_surface_damage_buffer(surface, 0, 0, SIDE, SIDE);
    wl_callback_add_listener(wl_surface_frame(surface), &FRAME, nullptr);
    wl_surface_commit(surface);
    while (!shown && wl_display_dispatch(display) >= 0) {
    }
    std::puts("inhibiting");
    std::fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
