// The idle watcher: connected to the compositor with no surface, it blocks in
// ppoll (no timer) on the compositor's connection and, on GNOME, the session bus,
// until the idle source tells something; the rules of app/idle_rule.h decide
// when the saver's surfaces come (the Wayland run of wayland_run.cpp, as
// pendral -wayland shows them) and when they go. A third descriptor in the same
// ppoll, the settings file's watch (settings_watch.cpp), brings a changed file in
// between showings. The stop signals are blocked but while it waits, so that one
// arriving just before the wait still cuts it short.
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
    sigset_t openMask;     // the stop signals open: while the saver shows, and in the wait
    sigset_t blockedMask;  // the stop signals blocked: between waits
    SettingsSource settingsSource;
    SettingsFile settings;
    hack::SettingsWatch settingsWatch;
};

// The source that tells the idle time, asked to tell it after `seconds`.
IdleSource OpenIdleSource(Watcher* w, std::int32_t seconds) {
    const std::uint32_t ms = static_cast<std::uint32_t>(seconds) * 1000u;
    IdleOffers offers;
    offers.extIdleNotify = w->protocols.extNotifier != nullptr;
    offers.kdeIdle = w->protocols.kdeIdle != nullptr;
    // The bus is asked only where the compositor offers neither protocol.
    offers.gnomeIdleMonitor = !offers.extIdleNotify && !offers.kdeIdle && OpenGnomeIdle(&w->gnome, ms);
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
    if (OpenGnomeIdle(&w->gnome, ms)) return true;
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

bool Inhibited(Watcher* w) { return w->source == IdleSource::GnomeIdleMonitor && GnomeSessionInhibited(&w->gnome); }

// The news the source told since it was last asked, taken.
IdleNews TakeNews(Watcher* w) {
    IdleNews& news = w->source == IdleSource::GnomeIdleMonitor ? w->gnome.news : w->protocols.news;
    const IdleNews taken = news;
    news = IdleNews::None;
    return taken;
}

// Shows the saver until input ends it: -1, to go on watching; else it ended the
// watcher (a stop signal, the compositor gone, or the saver could not start), and
// this is the exit status.
int Show(Watcher* w) {
    Connection& c = w->run.connection;
    ShowOnOutputs(&c);
    sigprocmask(SIG_SETMASK, &w->openMask, nullptr);
    const int status = hack::RunWaylandSaver(&w->run);
    sigprocmask(SIG_SETMASK, &w->blockedMask, nullptr);
    if (status != 0 || hack::WaylandStopRequested() || wl_display_get_error(c.display) != 0) return status;
    HideFromOutputs(&c);
    return -1;
}

// The status once the compositor's connection is gone while waiting.
int Gone(const Connection& c) {
    if (wl_display_get_error(c.display) != EPROTO) return 0;
    std::fputs("pendral: the Wayland compositor reported a protocol error\n", stderr);
    return 1;
}

int Watch(Watcher* w) {
    Connection& c = w->run.connection;
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, &w->openMask);
    sigprocmask(SIG_SETMASK, nullptr, &w->blockedMask);
    while (!hack::WaylandStopRequested()) {
        if (SettingsChanged(&w->settingsWatch) && !TakeSettings(w)) return 1;
        const bool gnome = w->source == IdleSource::GnomeIdleMonitor;
        if (gnome && !ProcessGnomeIdle(&w->gnome)) return 0;  // the session bus is gone
        const IdleNews news = TakeNews(w);
        IdleStep step = IdleStep::Nothing;
        if (news != IdleNews::None) {
            if (gnome && news == IdleNews::Idle) WatchGnomeUserActive(&w->gnome);
            step = NextIdleStep(&w->state, news == IdleNews::Idle ? IdleEvent::Idle : IdleEvent::Active, Inhibited(w));
        } else if (gnome && w->gnome.inhibitorsChanged) {
            w->gnome.inhibitorsChanged = false;
            step = NextIdleStep(&w->state, IdleEvent::InhibitorsChanged, Inhibited(w));
        }
        if (step == IdleStep::Show) {
            const int status = Show(w);
            if (status >= 0) return status;
            NextIdleStep(&w->state, IdleEvent::Active, false);  // input ended it
            if (!gnome) RearmIdleProtocol(&w->protocols);
            continue;
        }
        pollfd others[2]{{-1, 0, 0}, {w->settingsWatch.fd, POLLIN, 0}};
        if (gnome) others[0].fd = GnomeIdleFd(&w->gnome, &others[0].events);
        if (!DispatchBeside(&c, -1, others, 2, &w->openMask)) return Gone(c);
    }
    return 0;
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
    w.run.delayUs = static_cast<std::uint32_t>(options.delayMicroseconds);
    int status = 1;
    if (Connect(&w.run.connection) && FindIdleProtocols(w.run.connection, &w.protocols)) {
        w.source = OpenIdleSource(&w, options.idleSeconds);
        if (w.source == IdleSource::None)
            std::fputs("pendral: this Wayland compositor tells no idle time (no ext-idle-notify-v1, org_kde_kwin_idle "
                       "or GNOME idle monitor): have its own idle daemon start pendral -wayland instead\n",
                       stderr);
        else status = Watch(&w);
    }
    CloseGnomeIdle(&w.gnome);
    ForgetIdleProtocols(&w.protocols);
    CloseWaylandRun(&w.run);
    CloseSettingsWatch(&w.settingsWatch);
    return status;
}

}  // namespace hack
