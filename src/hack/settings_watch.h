// Tells the idle watcher (idle_watch.cpp) when the settings file may have changed,
// with inotify: no timer, one descriptor beside its others in ppoll.
#pragma once

#include <string>

namespace hack {

// Watches the file's folder (the file is replaced by a rename, which a watch on the
// file itself would lose), or, while that folder does not exist, the nearest folder
// above it that does, moving down as the folders come.
struct SettingsWatch {
    int fd = -1;  // -1: nothing watched (no file, or no inotify)
    int watch = -1;
    std::string file;
    std::string watched;  // the folder watched
};

// Starts watching the file at `path` (empty: none). Without inotify it says so on
// standard error and watches nothing: the file is then read at start only.
void OpenSettingsWatch(SettingsWatch* w, const std::string& path);

// Reads what inotify told, never waiting: true when the file may have changed
// (written, replaced, removed, or its folder made or removed).
bool SettingsChanged(SettingsWatch* w);

void CloseSettingsWatch(SettingsWatch* w);

}  // namespace hack
