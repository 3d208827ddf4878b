// The compositor's idle protocols. Both tell "idle" once the seat has had no input
// for the time asked (and no idle inhibitor holds it: the compositor honours those
// itself), then "resumed" at the next input. Some compositors also count the
// saver's own surfaces coming up as input (cage tells "resumed" at once): so a
// showing ends on the input its surfaces get, not on "resumed".
#include "platform/wayland/idle.h"

#include <wayland-client.h>

#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace plat::wayland {
namespace {

void Told(void* data, IdleNews news) { static_cast<IdleProtocols*>(data)->news = news; }

void OnExtIdled(void* data, ext_idle_notification_v1*) { Told(data, IdleNews::Idle); }
void OnExtResumed(void* data, ext_idle_notification_v1*) { Told(data, IdleNews::Active); }
const ext_idle_notification_v1_listener EXT_LISTENER{OnExtIdled, OnExtResumed};

void OnKdeIdle(void* data, org_kde_kwin_idle_timeout*) { Told(data, IdleNews::Idle); }
void OnKdeResumed(void* data, org_kde_kwin_idle_timeout*) { Told(data, IdleNews::Active); }
const org_kde_kwin_idle_timeout_listener KDE_LISTENER{OnKdeIdle, OnKdeResumed};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* p = static_cast<IdleProtocols*>(data);
    if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && !p->extNotifier)
        p->extNotifier = static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && !p->kdeIdle)
        p->kdeIdle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !p->seat)
        p->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener REGISTRY_LISTENER{OnGlobal, OnGlobalRemove};

// The request's object gone; what it still had on the way is dropped.
void StopWatching(IdleProtocols* p) {
    if (p->extNotification) ext_idle_notification_v1_destroy(p->extNotification);
    if (p->kdeTimeout) org_kde_kwin_idle_timeout_release(p->kdeTimeout);
    p->extNotification = nullptr;
    p->kdeTimeout = nullptr;
}

}  // namespace

bool FindIdleProtocols(const Connection& c, IdleProtocols* p) {
    p->registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(p->registry, &REGISTRY_LISTENER, p);
    if (wl_display_roundtrip(c.display) < 0) return false;
    // Without a seat there is no input to be idle from.
    if (!p->seat) {
        if (p->extNotifier) ext_idle_notifier_v1_destroy(p->extNotifier);
        if (p->kdeIdle) org_kde_kwin_idle_destroy(p->kdeIdle);
        p->extNotifier = nullptr;
        p->kdeIdle = nullptr;
    }
    return true;
}

void WatchIdleProtocol(IdleProtocols* p, bool preferExt, std::uint32_t timeoutMs) {
    p->preferExt = preferExt;
    p->timeoutMs = timeoutMs;
    p->news = IdleNews::None;
    if (p->extNotifier && (preferExt || !p->kdeIdle)) {
        p->extNotification = ext_idle_notifier_v1_get_idle_notification(p->extNotifier, timeoutMs, p->seat);
        ext_idle_notification_v1_add_listener(p->extNotification, &EXT_LISTENER, p);
    } else if (p->kdeIdle) {
        p->kdeTimeout = org_kde_kwin_idle_get_idle_timeout(p->kdeIdle, p->seat, timeoutMs);
        org_kde_kwin_idle_timeout_add_listener(p->kdeTimeout, &KDE_LISTENER, p);
    }
}

void RearmIdleProtocol(IdleProtocols* p) {
    StopWatching(p);
    WatchIdleProtocol(p, p->preferExt, p->timeoutMs);
}

void ForgetIdleProtocols(IdleProtocols* p) {
    StopWatching(p);
    if (p->extNotifier) ext_idle_notifier_v1_destroy(p->extNotifier);
    if (p->kdeIdle) org_kde_kwin_idle_destroy(p->kdeIdle);
    if (p->seat) wl_seat_destroy(p->seat);
    if (p->registry) wl_registry_destroy(p->registry);
    *p = IdleProtocols{};
}

}  // namespace plat::wayland
