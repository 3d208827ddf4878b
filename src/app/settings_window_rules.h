// The rules of the Linux settings window (src/settings/) that decide something:
// the idle time in minutes as the file keeps it in seconds, and whether the
// session lets the window switch the idle service on and off, or what to tell
// the user to do instead. Pure: the window gathers the facts and acts.
#pragma once

#include <cstdint>

inline constexpr std::int32_t IDLE_MINUTES_MIN = 1;
inline constexpr std::int32_t IDLE_MINUTES_MAX = 1440;
inline constexpr std::int32_t DEFAULT_IDLE_SECONDS = 240;

// The minutes shown for the file's idle seconds: whole minutes rounded up, within
// IDLE_MINUTES_MIN..IDLE_MINUTES_MAX; no idle time (0 or less) shows the default.
std::int32_t IdleMinutesOf(std::int32_t idleSeconds);

// The user service that runs the idle watcher.
inline constexpr const char* IDLE_SERVICE = "pendral-idle.service";

// What the window knows of its session: the environment's XDG_SESSION_TYPE,
// WAYLAND_DISPLAY and XDG_CURRENT_DESKTOP (null when unset), whether a systemd
// user manager answered on the user bus, whether it knows the service, and
// whether its graphical-session.target is active (sway started it).
struct SessionFacts {
    const char* sessionType = nullptr;
    const char* waylandDisplay = nullptr;
    const char* currentDesktop = nullptr;
    bool managerAnswers = false;
    bool serviceKnown = false;
    bool sessionTargetActive = false;
};

enum class IdleControl {
    Switch,          // the switch enables and starts, or disables and stops, the service
    X11Session,      // XScreenSaver starts savers on X11
    NoSessionTarget, // a Wayland desktop that starts no graphical-session.target (sway and the like)
    NoUserManager,   // no systemd user manager answers
    NoService,       // the manager does not know the service
};

// Wayland is the session type "wayland", or an unknown type with WAYLAND_DISPLAY
// set; KDE Plasma and GNOME (XDG_CURRENT_DESKTOP names KDE or GNOME among its
// colon-separated names) start graphical-session.target, and so does any session
// where that target is active. The first missing condition decides.
IdleControl ChooseIdleControl(const SessionFacts& facts);

// True on a Wayland session (by the rule above).
bool IsWaylandSession(const SessionFacts& facts);

// One sentence for the window that says what to do instead; null for Switch.
const char* IdleControlAdvice(IdleControl control);
