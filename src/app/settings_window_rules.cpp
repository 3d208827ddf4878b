#include "app/settings_window_rules.h"

#include <cstring>

std::int32_t IdleMinutesOf(std::int32_t idleSeconds) {
    if (idleSeconds <= 0) return DEFAULT_IDLE_SECONDS / 60;
    const std::int32_t minutes = idleSeconds / 60 + (idleSeconds % 60 != 0 ? 1 : 0);
    return minutes < IDLE_MINUTES_MIN ? IDLE_MINUTES_MIN : minutes > IDLE_MINUTES_MAX ? IDLE_MINUTES_MAX : minutes;
}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the colon-separated list names `name`, compared without case.
bool ListNames(const char* list, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* p = list; p && *p;) {
        const char* end = std::strchr(p, ':');
        const std::size_t size = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        bool same = size == length;
        for (std::size_t k = 0; same && k < length; ++k) same = Lower(p[k]) == Lower(name[k]);
        if (same) return true;
        p = end ? end + 1 : nullptr;
    }
    return false;
}

bool Set(const char* text) { return text && *text; }

}  // namespace

bool IsWaylandSession(const SessionFacts& facts) {
    if (Set(facts.sessionType) && std::strcmp(facts.sessionType, "tty") != 0 &&
        std::strcmp(facts.sessionType, "unspecified") != 0)
        return std::strcmp(facts.sessionType, "wayland") == 0;
    return Set(facts.waylandDisplay);
}

IdleControl ChooseIdleControl(const SessionFacts& facts) {
    if (!IsWaylandSession(facts)) return IdleControl::X11Session;
    if (!ListNames(facts.currentDesktop, "KDE") && !ListNames(facts.currentDesktop, "GNOME") &&
        !facts.sessionTargetActive)
        return IdleControl::NoSessionTarget;
    if (!facts.managerAnswers) return IdleControl::NoUserManager;
    if (!facts.serviceKnown) return IdleControl::NoService;
    return IdleControl::Switch;
}

const char* IdleControlAdvice(IdleControl control) {
    switch (control) {
        case IdleControl::Switch:
            return nullptr;
        case IdleControl::X11Session:
            return "On X11, XScreenSaver shows the saver: choose Pendral in its settings (xscreensaver-settings).";
        case IdleControl::NoSessionTarget:
            return "This desktop starts no user services with the session: add "
                   "\"exec /usr/libexec/xscreensaver/pendral -wayland -watch\" to its start-up (for sway, its config).";
        case IdleControl::NoUserManager:
            return "No systemd user manager answers: start "
                   "\"/usr/libexec/xscreensaver/pendral -wayland -watch\" with your session instead.";
        case IdleControl::NoService:
            return "The user service pendral-idle.service is not installed: install the pendral package, or start "
                   "\"/usr/libexec/xscreensaver/pendral -wayland -watch\" with your session.";
    }
    return nullptr;
}
