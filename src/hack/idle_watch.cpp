// The idle watcher: connected to the compositor with no surface, it blocks in
// ppoll on the compositor's connection and, on GNOME, the session bus (with no
// timer but while a question to the bus waits for its answer), until the idle
// source tells something; the rules of app/idle_rule.h decide when the saver's
// surfaces come (the Wayland run of wayland_run.cpp, as pendral -wayland shows
// them) and when they go. On GNOME the bus is listened to while the saver shows
// too, for inhibitors. A third descriptor in the same ppoll, the settings file's
// watch (settings_watch.cpp), brings a changed file in between showings. The stop
// signals are blocked but while it waits (and while the saver shows), so that one
// arriving just before the wait still cuts it short; nothing else waits with them
// blocked.
#include "hack/idle_watch.h"

#include <errno.h>
#include <signal.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>

#include "app/idle_rule.h"
#include "hack/settings_watch.h"
#include "hack/wayland_run.h"
#include "platform/wayland/idle.h"

namespace {

using namespace plat::wayland;

struct Watcher {
    hack::WaylandRun run;
    IdleProtocols protocols;
    GnomeIdle gnome;
    IdleSource source = IdleSource::None;
    IdleWatchState state;
    bool askedForIdle = false;  // the session manager's answer due is for an Idle event, not for inhibitors
    bool busLost = false;
    sigset_t openMask;     // the stop signals open: while the saver shows, and in the wait
    sigset_t blockedMask;  // the stop signals blocked: between waits
    SettingsSource settingsSource;
    SettingsFile settings;
    hack::SettingsWatch settingsWatch;
};

// The source that tells the idle time, asked to tell it after `seconds`; None,
// with *unanswered, when GNOME's idle monitor did not answer in time.
IdleSource OpenIdleSource(Watcher* w, std::int32_t seconds, bool* unanswered) {
    const std::uint32_t ms = static_cast<std::uint32_t>(seconds) * 1000u;
    IdleOffers offers;
    offers.extIdleNotify = w->protocols.extNotifier != nullptr;
    offers.kdeIdle = w->protocols.kdeIdle != nullptr;
    // The bus is asked only where the compositor offers neither protocol.
    if (!offers.extIdleNotify && !offers.kdeIdle) {
        const GnomeOpen opened = OpenGnomeIdle(&w->gnome, ms);
        offers.gnomeIdleMonitor = opened == GnomeOpen::Watching;
        *unanswered = opened == GnomeOpen::Unanswered;
    }
    const IdleSource source = ChooseIdleSource(offers);
    if (source == IdleSource::ExtIdleNotify || source == IdleSource::KdeIdle)
        WatchIdleProtocol(&w->protocols, source == IdleSource::ExtIdleNotify, ms);
    if (source != IdleSource::GnomeIdleMonitor) CloseGnomeIdle(&w->gnome);
    return source;
}

// Asks the source afresh for a new idle time, which counts from now.
bool AskIdleTime(Watcher* w, std::int32_t seconds) {
    const std::uint32_t ms = static_cast<std::uint32_t>(seconds) * 1000u;
    w->state = IdleWatchState{};
    if (w->source != IdleSource::GnomeIdleMonitor) {
        w->protocols.timeoutMs = ms;
        RearmIdleProtocol(&w->protocols);
        return true;
    }
    CloseGnomeIdle(&w->gnome);
    if (OpenGnomeIdle(&w->gnome, ms) == GnomeOpen::Watching) return true;
    std::fputs("pendral: GNOME's idle monitor could not be asked for the new idle time\n", stderr);
    return false;
}

// The settings file changed: the next showing has its bodies and pictures, and a
// new idle time (unless -idle gave one) is asked for at once. False when it could not be.
bool TakeSettings(Watcher* w) {
    const std::int32_t before = w->settings.options.idleSeconds;
    LoadSettings(w->settingsSource, &w->settings, stderr);
    const SaverOptions& options = w->settings.options;
    hack::UseSettings(&w->run, options);
    return options.idleSeconds == before || AskIdleTime(w, options.idleSeconds);
}

// The news the source told since it was last asked, taken.
IdleNews TakeNews(Watcher* w) {
    IdleNews& news = w->source == IdleSource::GnomeIdleMonitor ? w->gnome.news : w->protocols.news;
    const IdleNews taken = news;
    news = IdleNews::None;
    return taken;
}

// The step that what GNOME's bus told calls for. Whether idleness is inhibited is
// asked without waiting for the answer (the session manager may be stuck): the
// step comes with the answer. While the saver shows, only the inhibitors count:
// input ends a showing through its own surfaces, and the rest waits for after.
IdleStep GnomeStep(Watcher* w, bool showing) {
    GnomeIdle& g = w->gnome;
    if (!ProcessGnomeIdle(&g)) {
        w->busLost = true;
        return IdleStep::Nothing;
    }
    if (!showing) {
        const IdleNews news = TakeNews(w);
        if (news == IdleNews::Active) {
            w->askedForIdle = false;
            return NextIdleStep(&w->state, IdleEvent::Active, false);
        }
        if (news == IdleNews::Idle) {
            WatchGnomeUserActive(&g);
            w->askedForIdle = true;
            AskGnomeInhibited(&g);
        }
    }
    if (g.inhibitorsChanged) {
        g.inhibitorsChanged = false;
        AskGnomeInhibited(&g);
    }
    if (!g.inhibitedAnswered) return IdleStep::Nothing;
    g.inhibitedAnswered = false;
    const IdleEvent event = w->askedForIdle ? IdleEvent::Idle : IdleEvent::InhibitorsChanged;
    w->askedForIdle = false;
    return NextIdleStep(&w->state, event, g.inhibited);
}

// While the saver shows on GNOME: the bus beside the compositor; an inhibitor that
// comes, or the bus's end, ends the showing.
int BusWait(void* data, short* events, int* timeoutMs) {
    return GnomeIdleFd(&static_cast<Watcher*>(data)->gnome, events, timeoutMs);
}
bool BusEndsShowing(void* data) {
    auto* w = static_cast<Watcher*>(data);
    return GnomeStep(w, true) == IdleStep::Hide || w->busLost;
}

// The status once the compositor's connection is gone, after a line saying why.
int Gone(const Connection& c) {
    if (wl_display_get_error(c.display) == EPROTO) std::fputs("pendral: the Wayland compositor reported a protocol error\n", stderr);
    else std::fputs("pendral: the Wayland compositor went away\n", stderr);
    return hack::IDLE_FAILED;
}

int BusGone() {
    std::fputs("pendral: the session bus went away\n", stderr);
    return hack::IDLE_FAILED;
}

// Shows the saver until input (or, on GNOME, an inhibitor) ends it: -1, to go on
// watching; else it ended the watcher (a stop signal, the compositor or the bus
// gone, or the saver could not start), and this is the exit status.
int Show(Watcher* w) {
    Connection& c = w->run.connection;
    if (w->source == IdleSource::GnomeIdleMonitor) w->run.beside = {BusWait, BusEndsShowing, w};
    ShowOnOutputs(&c);
    sigprocmask(SIG_SETMASK, &w->openMask, nullptr);
    const int status = hack::RunWaylandSaver(&w->run);
    sigprocmask(SIG_SETMASK, &w->blockedMask, nullptr);
    w->run.beside = {};
    if (hack::WaylandStopRequested()) return hack::IDLE_STOPPED;
    if (status != 0) return hack::IDLE_FAILED;  // the run said why
    if (wl_display_get_error(c.display) != 0) return Gone(c);
    if (w->busLost) return BusGone();
    HideFromOutputs(&c);
    if (w->state.showing) NextIdleStep(&w->state, IdleEvent::Active, false);  // input ended it
    return -1;
}

int Watch(Watcher* w) {
    Connection& c = w->run.connection;
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, &w->openMask);
    sigprocmask(SIG_SETMASK, nullptr, &w->blockedMask);
    while (!hack::WaylandStopRequested()) {
        if (SettingsChanged(&w->settingsWatch) && !TakeSettings(w)) return hack::IDLE_FAILED;
        const bool gnome = w->source == IdleSource::GnomeIdleMonitor;
        IdleStep step = IdleStep::Nothing;
        if (gnome) {
            step = GnomeStep(w, false);
            if (w->busLost) return BusGone();
        } else if (const IdleNews news = TakeNews(w); news != IdleNews::None) {
            step = NextIdleStep(&w->state, news == IdleNews::Idle ? IdleEvent::Idle : IdleEvent::Active, false);
        }
        if (step == IdleStep::Show) {
            const int status = Show(w);
            if (status >= 0) return status;
            if (!gnome) RearmIdleProtocol(&w->protocols);
            continue;
        }
        pollfd others[2]{{-1, 0, 0}, {w->settingsWatch.fd, POLLIN, 0}};
        int busMs = -1;
        if (gnome) others[0].fd = GnomeIdleFd(&w->gnome, &others[0].events, &busMs);
        if (!DispatchBeside(&c, busMs, others, 2, &w->openMask)) return Gone(c);
    }
    return hack::IDLE_STOPPED;
}

}  // namespace

namespace hack {

int RunIdleWatcher(const SettingsSource& source, const SettingsFile& settings) {
    CatchWaylandStopSignals();
    Watcher w;
    w.settingsSource = source;
    w.settings = settings;
    const SaverOptions& options = w.settings.options;
    OpenSettingsWatch(&w.settingsWatch, source.path);
    hack::TakeWaylandRunOptions(&w.run, options);
    int status = IDLE_FAILED;
    if (!Connect(&w.run.connection)) {
        // It said why.
    } else if (!FindIdleProtocols(w.run.connection, &w.protocols)) {
        status = Gone(w.run.connection);
    } else {
        bool unanswered = false;
        w.source = OpenIdleSource(&w, options.idleSeconds, &unanswered);
        if (WaylandStopRequested()) status = IDLE_STOPPED;  // it came while the bus was asked
        else if (w.source != IdleSource::None) status = Watch(&w);
        else if (unanswered) std::fputs("pendral: GNOME's idle monitor did not answer in time\n", stderr);
        else {
            std::fputs("pendral: this Wayland compositor tells no idle time (no ext-idle-notify-v1, org_kde_kwin_idle "
                       "or GNOME idle monitor): have its own idle daemon start pendral -wayland instead\n",
                       stderr);
            status = IDLE_UNTOLD;
        }
    }
    CloseGnomeIdle(&w.gnome);
    ForgetIdleProtocols(&w.protocols);
    CloseWaylandRun(&w.run);
    CloseSettingsWatch(&w.settingsWatch);
    return status;
}

}  // namespace hack
