// GNOME's idle time: mutter tells no idle protocol, but its idle monitor on the
// session bus (org.gnome.Mutter.IdleMonitor, /org/gnome/Mutter/IdleMonitor/Core)
// fires WatchFired for a watch of AddIdleWatch each time the session has been idle
// that long, and once for a watch of AddUserActiveWatch at the next input. What is
// inhibited (a playing video) the session manager knows: org.gnome.SessionManager's
// IsInhibited with the idle flag, and its InhibitorAdded and InhibitorRemoved
// signals. Through sd-bus: the opening's call waits at most OPEN_TIMEOUT_US for
// its answer; the others are sent without waiting, their answers handled as they
// come (the bus then sets a timer for each, which the watcher's wait honours).
#include <errno.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

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
// The opening's call waits this long at most (a stop signal waits behind it), and
// a question to the session manager gets its answer or counts as "not inhibited"
// after ASK_TIMEOUT_US (it holds nothing up meanwhile).
constexpr std::uint64_t OPEN_TIMEOUT_US = 1500000;
constexpr std::uint64_t ASK_TIMEOUT_US = 5000000;

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

int OnActiveWatchAdded(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* g = static_cast<GnomeIdle*>(data);
    std::uint32_t id = 0;
    g->activeAsked = false;
    if (!sd_bus_message_is_method_error(reply, nullptr) && sd_bus_message_read(reply, "u", &id) >= 0) g->activeWatch = id;
    return 0;
}

int OnInhibitedAnswer(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* g = static_cast<GnomeIdle*>(data);
    int inhibited = 0;
    // An error, or no answer in time (no session manager, or a stuck one): not inhibited.
    if (sd_bus_message_is_method_error(reply, nullptr) || sd_bus_message_read(reply, "b", &inhibited) < 0) inhibited = 0;
    g->inhibited = inhibited != 0;
    g->inhibitedAnswered = true;
    return 0;
}

}  // namespace

GnomeOpen OpenGnomeIdle(GnomeIdle* g, std::uint32_t timeoutMs) {
    if (sd_bus_open_user(&g->bus) < 0) {
        g->bus = nullptr;
        return GnomeOpen::Absent;
    }
    sd_bus_set_method_call_timeout(g->bus, OPEN_TIMEOUT_US);
    // The signals are matched before the watch exists, so that none is missed.
    int r = sd_bus_match_signal(g->bus, &g->watchFired, MONITOR, MONITOR_PATH, MONITOR, "WatchFired", OnWatchFired, g);
    if (r >= 0) r = sd_bus_match_signal(g->bus, &g->sessionSignals, SESSION, SESSION_PATH, SESSION, nullptr, OnSessionSignal, g);
    if (r < 0) return r == -ETIMEDOUT || r == -EINTR ? GnomeOpen::Unanswered : GnomeOpen::Absent;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call_method(g->bus, MONITOR, MONITOR_PATH, MONITOR, "AddIdleWatch", &error, &reply, "t",
                           static_cast<std::uint64_t>(timeoutMs));
    if (r < 0 || sd_bus_message_read(reply, "u", &g->idleWatch) < 0) g->idleWatch = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (g->idleWatch != 0) return GnomeOpen::Watching;
    return r == -ETIMEDOUT || r == -EINTR ? GnomeOpen::Unanswered : GnomeOpen::Absent;
}

void WatchGnomeUserActive(GnomeIdle* g) {
    if (g->activeWatch != 0 || g->activeAsked) return;
    g->activeAsked = sd_bus_call_method_async(g->bus, nullptr, MONITOR, MONITOR_PATH, MONITOR, "AddUserActiveWatch",
                                              OnActiveWatchAdded, g, "") >= 0;
}

void AskGnomeInhibited(GnomeIdle* g) {
    g->inhibitedCall = sd_bus_slot_unref(g->inhibitedCall);
    g->inhibitedAnswered = false;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(g->bus, &call, SESSION, SESSION_PATH, SESSION, "IsInhibited") < 0 ||
        sd_bus_message_append(call, "u", INHIBIT_IDLE) < 0 ||
        sd_bus_call_async(g->bus, &g->inhibitedCall, call, OnInhibitedAnswer, g, ASK_TIMEOUT_US) < 0) {
        g->inhibited = false;
        g->inhibitedAnswered = true;
    }
    sd_bus_message_unref(call);
}

bool ProcessGnomeIdle(GnomeIdle* g) {
    int r;
    while ((r = sd_bus_process(g->bus, nullptr)) > 0) {
    }
    return r >= 0;
}

int GnomeIdleFd(GnomeIdle* g, short* events, int* timeoutMs) {
    if (!g->bus) return -1;
    const int wanted = sd_bus_get_events(g->bus);
    *events = static_cast<short>(wanted > 0 ? wanted : POLLIN);
    // What a synchronous call left queued, or an answer's time run out, is handled
    // before any sleep: sd-bus then gives a time already passed.
    std::uint64_t until = UINT64_MAX;
    *timeoutMs = -1;
    if (sd_bus_get_timeout(g->bus, &until) >= 0 && until != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
        *timeoutMs = until <= nowUs ? 0 : static_cast<int>((until - nowUs + 999) / 1000);
    }
    return sd_bus_get_fd(g->bus);
}

void CloseGnomeIdle(GnomeIdle* g) {
    sd_bus_slot_unref(g->watchFired);
    sd_bus_slot_unref(g->sessionSignals);
    sd_bus_slot_unref(g->inhibitedCall);
    if (g->bus) sd_bus_flush_close_unref(g->bus);
    *g = GnomeIdle{};
}

}  // namespace plat::wayland
