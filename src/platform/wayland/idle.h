// The session's idle time, for pendral -wayland -idle: the compositor's idle
// protocols (ext-idle-notify-v1, org_kde_kwin_idle; idle.cpp) and GNOME's idle
// monitor on the session bus (gnome_idle.cpp). The watcher (src/hack/idle_watch.cpp) uses them.
#pragma once

#include <cstdint>

#include "platform/wayland/surface.h"

struct ext_idle_notification_v1;
struct ext_idle_notifier_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
struct sd_bus;
struct sd_bus_slot;

namespace plat::wayland {

// What an idle source told last, since the watcher last took it.
enum class IdleNews { None, Idle, Active };

// The compositor's idle protocols, found through a registry of their own beside
// the connection's.
struct IdleProtocols {
    ::wl_registry* registry = nullptr;
    ::wl_seat* seat = nullptr;
    ::ext_idle_notifier_v1* extNotifier = nullptr;
    ::org_kde_kwin_idle* kdeIdle = nullptr;
    ::ext_idle_notification_v1* extNotification = nullptr;
    ::org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
    bool preferExt = false;
    std::uint32_t timeoutMs = 0;
    IdleNews news = IdleNews::None;
};

// Learns which of the protocols the compositor offers (and a seat to watch).
// False when the connection is gone.
bool FindIdleProtocols(const Connection& c, IdleProtocols* p);

// Asks to be told when the seat has been idle for timeoutMs, and when input
// comes after: on ext-idle-notify-v1 when `preferExt` and it is offered, else on
// org_kde_kwin_idle.
void WatchIdleProtocol(IdleProtocols* p, bool preferExt, std::uint32_t timeoutMs);

// Asks afresh, after a showing that input ended: what the old request would still
// tell (idleness that the showing's input has since ended) is dropped, and the
// idle time counts from now.
void RearmIdleProtocol(IdleProtocols* p);

void ForgetIdleProtocols(IdleProtocols* p);

// GNOME's org.gnome.Mutter.IdleMonitor (and org.gnome.SessionManager's
// inhibitors) on the session bus, through sd-bus.
struct GnomeIdle {
    ::sd_bus* bus = nullptr;
    ::sd_bus_slot* watchFired = nullptr;
    ::sd_bus_slot* sessionSignals = nullptr;
    std::uint32_t idleWatch = 0;
    std::uint32_t activeWatch = 0;  // one-shot, while one is asked for
    IdleNews news = IdleNews::None;
    bool inhibitorsChanged = false;
};

// Connects to the session bus and asks the idle monitor to tell when the session
// has been idle for timeoutMs. False when there is no session bus or no monitor on it.
bool OpenGnomeIdle(GnomeIdle* g, std::uint32_t timeoutMs);

// Asks to be told of the next input (after the idle watch fired).
void WatchGnomeUserActive(GnomeIdle* g);

// Whether the session manager holds idleness off (an inhibitor with the idle flag);
// false where there is none on the bus.
bool GnomeSessionInhibited(GnomeIdle* g);

// Handles all that the bus sent. False once the bus is gone.
bool ProcessGnomeIdle(GnomeIdle* g);

// The bus's descriptor and the poll events it waits for; -1 without a bus.
int GnomeIdleFd(GnomeIdle* g, short* events);

void CloseGnomeIdle(GnomeIdle* g);

}  // namespace plat::wayland
