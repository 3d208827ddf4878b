// The rules of pendral -wayland -idle, the saver's own idle watcher: which of the
// session's idle sources it follows, and when the saver is shown and taken away.
// Pure: the watcher (src/hack/idle_watch.cpp) feeds it what the session tells.
#pragma once

// Where a session tells its idle time, in the order the watcher prefers them.
enum class IdleSource {
    None,              // the compositor tells no idle time (weston)
    ExtIdleNotify,     // ext_idle_notifier_v1 (kwin)
    KdeIdle,           // org_kde_kwin_idle (sway, cage, kwin)
    GnomeIdleMonitor,  // org.gnome.Mutter.IdleMonitor on the session bus (mutter)
};

// What the session offers: the two protocols among the compositor's globals, and
// the monitor on the session bus (asked only when neither protocol is offered).
struct IdleOffers {
    bool extIdleNotify = false;
    bool kdeIdle = false;
    bool gnomeIdleMonitor = false;
};

// The first one offered, in the order of IdleSource.
IdleSource ChooseIdleSource(const IdleOffers& offers);

// What the watcher has been told, and whether the saver is up.
struct IdleWatchState {
    bool idle = false;     // the session has been idle for the time asked, with no input since
    bool showing = false;  // the saver's surfaces are up
};

enum class IdleEvent {
    Idle,               // the idle time has passed
    Active,             // input: the session's, or the saver's own that ended it
    InhibitorsChanged,  // an idle inhibitor came or went (asked again: `inhibited`)
};

enum class IdleStep { Nothing, Show, Hide };

// The watcher's next step on `event`. `inhibited`: something (a playing video)
// holds the session awake; the saver is not shown then, and goes when one comes.
// The idle protocols honour inhibitors themselves and always pass false.
IdleStep NextIdleStep(IdleWatchState* state, IdleEvent event, bool inhibited);
