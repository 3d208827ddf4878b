// pendral -wayland -watch (or -idle SECONDS): the saver's own idle watcher for Wayland
// sessions whose desktop starts no screen saver (KDE Plasma, GNOME). The
// program's top (src/main/x11.cpp) calls it.
#pragma once

#include "app/settings_file.h"

namespace hack {

// Watches the session's idle time and shows the saver on every output each time
// the session has been idle for the settings' idleSeconds, until input; a change
// of the settings file (source.path) is taken at once, the command line still over
// it (`settings` is what LoadSettings gave at start). The exit status:
// 0 on SIGTERM, SIGINT or SIGHUP and when the compositor or the session bus goes,
// 1 (after one line) where no idle time is told or the saver cannot start.
int RunIdleWatcher(const SettingsSource& source, const SettingsFile& settings);

}  // namespace hack
