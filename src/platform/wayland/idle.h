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
// inhibitors) on the session bus, through sd-bus. Only the opening waits for an
// answer, and no longer than a second and a half: the rest is asked without
// waiting, so that a stuck service never holds the watcher (nor a stop signal).
struct GnomeIdle {
    ::sd_bus* bus = nullptr;
    ::sd_bus_slot* watchFired = nullptr;
    ::sd_bus_slot* sessionSignals = nullptr;
    ::sd_bus_slot* inhibitedCall = nullptr;  // the question of AskGnomeInhibited, while unanswered
    std::uint32_t idleWatch = 0;
    std::uint32_t activeWatch = 0;  // one-shot, while one is asked for
    bool activeAsked = false;       // AddUserActiveWatch sent, not yet answered
    IdleNews news = IdleNews::None;
    bool inhibitorsChanged = false;
    bool inhibitedAnswered = false;  // the answer came: `inhibited`
    bool inhibited = false;
};

enum class GnomeOpen { Watching, Absent, Unanswered };

// Connects to the session bus and asks the idle monitor to tell when the session
// has been idle for timeoutMs. Absent when there is no session bus or no monitor
// on it; Unanswered when the bus or the monitor did not answer in time.
GnomeOpen OpenGnomeIdle(GnomeIdle* g, std::uint32_t timeoutMs);

// Asks to be told of the next input (after the idle watch fired).
void WatchGnomeUserActive(GnomeIdle* g);

// Asks the session manager whether idleness is held off (an inhibitor with the
// idle flag); the answer comes in `inhibited` with `inhibitedAnswered`, as false
// where there is no session manager or it does not answer within seconds. A
// question still unanswered is dropped.
void AskGnomeInhibited(GnomeIdle* g);

// Handles all that the bus sent. False once the bus is gone.
bool ProcessGnomeIdle(GnomeIdle* g);

// The bus's descriptor and the poll events it waits for, and the longest wait
// before it has something to handle (0 when something waits already; -1: none);
// -1 without a bus.
int GnomeIdleFd(GnomeIdle* g, short* events, int* timeoutMs);

void CloseGnomeIdle(GnomeIdle* g);

}  // namespace plat::wayland
