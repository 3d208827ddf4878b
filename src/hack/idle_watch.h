// pendral -wayland -idle SECONDS: the saver's own idle watcher for Wayland
// sessions whose desktop starts no screen saver (KDE Plasma, GNOME). The
// program's top (src/main/x11.cpp) calls it.
#pragma once

#include "app/saver_options.h"

namespace hack {

// Watches the session's idle time and shows the saver on every output each time
// the session has been idle for options.idleSeconds, until input; the exit status:
// 0 on SIGTERM, SIGINT or SIGHUP and when the compositor or the session bus goes,
// 1 (after one line) where no idle time is told or the saver cannot start.
int RunIdleWatcher(const SaverOptions& options);

}  // namespace hack
