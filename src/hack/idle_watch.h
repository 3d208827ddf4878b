// pendral -wayland -watch (or -idle SECONDS): the saver's own idle watcher for Wayland
// sessions whose desktop starts no screen saver (KDE Plasma, GNOME). The
// program's top (src/main/x11.cpp) calls it.
#pragma once

#include "app/settings_file.h"

namespace hack {

// The watcher's exit statuses, as its user service tells them apart: a restart
// cannot help the first three, and may help the last (a compositor that restarts
// itself keeping its socket, as KWin does, or a bus that comes later).
constexpr int IDLE_STOPPED = 0;      // SIGTERM, SIGINT or SIGHUP
constexpr int IDLE_BAD_OPTION = 1;   // the program's status for a bad option (before the watcher starts)
constexpr int IDLE_UNTOLD = 2;       // the compositor tells no idle time (weston)
constexpr int IDLE_FAILED = 3;       // no compositor to connect to, the compositor's connection or the
                                     // session bus lost, no answer from the idle monitor, or the saver
                                     // could not start

// Watches the session's idle time and shows the saver on every output each time
// the session has been idle for the settings' idleSeconds, until input; a change
// of the settings file (source.path) is taken at once, the command line still over
// it (`settings` is what LoadSettings gave at start). The exit status is one of
// those above (after one line on standard error but for 0).
int RunIdleWatcher(const SettingsSource& source, const SettingsFile& settings);

}  // namespace hack
