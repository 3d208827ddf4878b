// GNOME's idle time: mutter tells no idle protocol, but its idle monitor on the
// session bus (org.gnome.Mutter.IdleMonitor, /org/gnome/Mutter/IdleMonitor/Core)
// fires WatchFired for a watch of AddIdleWatch each time the session has been idle
// that long, and once for a watch of AddUserActiveWatch at the next input. What is
// inhibited (a playing video) the session manager knows: org.gnome.SessionManager's
// IsInhibited with the idle flag, and its InhibitorAdded and InhibitorRemoved
// signals. Through sd-bus; every call is made and answered at once, so the bus
// sets no timer of its own.
#include <errno.h>
#include <poll.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>

#include "platform/wayland/idle.h"

namespace plat::wayland {
namespace {

constexpr const char* MONITOR = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MONITOR_PATH = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* SESSION = "org.gnome.SessionManager";
constexpr const char* SESSION_PATH = "/org/gnome/SessionManager";
constexpr std::uint32_t INHIBIT_IDLE = 8;

int OnWatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* g = static_cast<GnomeIdle*>(data);
    std::uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) < 0) return 0;
    if (id == g->idleWatch) {
        g->news = IdleNews::Idle;
    } else if (id != 0 && id == g->activeWatch) {
        g->news = IdleNews::Active;
        g->activeWatch = 0;
    }
    return 0;
}

int OnSessionSignal(sd_bus_message* message, void* data, sd_bus_error*) {
    const char* member = sd_bus_message_get_member(message);
    if (member && (std::strcmp(member, "InhibitorAdded") == 0 || std::strcmp(member, "InhibitorRemoved") == 0))
        static_cast<GnomeIdle*>(data)->inhibitorsChanged = true;
    return 0;
}

// A method of the monitor that answers with a watch id (`signature`: its argument, "t", or
// none, ""); 0 when it failed.
std::uint32_t AddWatch(GnomeIdle* g, const char* method, const char* signature, std::uint64_t intervalMs) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::uint32_t id = 0;
    const int r = sd_bus_call_method(g->bus, MONITOR, MONITOR_PATH, MONITOR, method, &error, &reply, signature, intervalMs);
    if (r < 0 || sd_bus_message_read(reply, "u", &id) < 0) id = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return id;
}

}  // namespace

bool OpenGnomeIdle(GnomeIdle* g, std::uint32_t timeoutMs) {
    if (sd_bus_open_user(&g->bus) < 0) {
        g->bus = nullptr;
        return false;
    }
    // The signals are matched before the watch exists, so that none is missed.
    if (sd_bus_match_signal(g->bus, &g->watchFired, MONITOR, MONITOR_PATH, MONITOR, "WatchFired", OnWatchFired, g) < 0 ||
        sd_bus_match_signal(g->bus, &g->sessionSignals, SESSION, SESSION_PATH, SESSION, nullptr, OnSessionSignal, g) < 0)
        return false;
    g->idleWatch = AddWatch(g, "AddIdleWatch", "t", timeoutMs);
    return g->idleWatch != 0;
}

void WatchGnomeUserActive(GnomeIdle* g) {
    if (g->activeWatch == 0) g->activeWatch = AddWatch(g, "AddUserActiveWatch", "", 0);
}

bool GnomeSessionInhibited(GnomeIdle* g) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int inhibited = 0;
    if (sd_bus_call_method(g->bus, SESSION, SESSION_PATH, SESSION, "IsInhibited", &error, &reply, "u", INHIBIT_IDLE) < 0 ||
        sd_bus_message_read(reply, "b", &inhibited) < 0)
        inhibited = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return inhibited != 0;
}

bool ProcessGnomeIdle(GnomeIdle* g) {
    int r;
    while ((r = sd_bus_process(g->bus, nullptr)) > 0) {
    }
    return r >= 0;
}

int GnomeIdleFd(GnomeIdle* g, short* events) {
    if (!g->bus) return -1;
    const int wanted = sd_bus_get_events(g->bus);
    *events = static_cast<short>(wanted > 0 ? wanted : POLLIN);
    return sd_bus_get_fd(g->bus);
}

void CloseGnomeIdle(GnomeIdle* g) {
    sd_bus_slot_unref(g->watchFired);
    sd_bus_slot_unref(g->sessionSignals);
    if (g->bus) sd_bus_flush_close_unref(g->bus);
    *g = GnomeIdle{};
}

}  // namespace plat::wayland
