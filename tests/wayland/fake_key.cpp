// Presses and releases a key through KWin's fake input protocol (org_kde_kwin_fake_input
// version 4), for the idle watcher's tests on KWin, which has no virtual keyboard: the
// compositor takes it as a key of its own seat. Exits 0 once the compositor has had it.
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fake-input-client-protocol.h"

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener REGISTRY{OnGlobal, OnGlobalRemove};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    wl_registry_add_listener(wl_display_get_registry(display), &REGISTRY, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::fputs("fake_key: the compositor offers no org_kde_kwin_fake_input (version 4)\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "pendral tests", "a key for the idle watcher's tests");
    constexpr std::uint32_t KEY_K = 37, PRESSED = 1, RELEASED = 0;
    org_kde_kwin_fake_input_keyboard_key(fakeInput, KEY_K, PRESSED);
    org_kde_kwin_fake_input_keyboard_key(fakeInput, KEY_K, RELEASED);
    return wl_display_roundtrip(display) < 0 ? 1 : 0;
}
