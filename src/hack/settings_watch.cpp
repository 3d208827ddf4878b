#include "hack/settings_watch.h"

#include <errno.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint32_t FOLDER_EVENTS = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                                        IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name, in `folder` above the file, of the file or of the folder on the way to it.
std::string NextOnTheWay(const std::string& file, const std::string& folder) {
    const std::size_t from = folder == "/" ? 1 : folder.size() + 1;
    const std::size_t end = file.find('/', from);
    return file.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// Watches the file's folder, or the nearest one above it that exists.
void WatchNearest(hack::SettingsWatch* w) {
    const std::string filesFolder = Parent(w->file);
    std::string folder = filesFolder;
    int watch = -1;
    for (;;) {
        watch = inotify_add_watch(w->fd, folder.c_str(), FOLDER_EVENTS);
        if (watch >= 0 && folder != filesFolder) {
            // A folder made below it just before the watch began would tell nothing: look.
            const std::string below = (folder == "/" ? "" : folder) + "/" + NextOnTheWay(w->file, folder);
            struct stat st {};
            if (stat(below.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                inotify_rm_watch(w->fd, watch);
                folder = filesFolder;
                continue;
            }
        }
        if (watch >= 0 || (errno != ENOENT && errno != ENOTDIR) || folder == "/" || folder == ".") break;
        folder = Parent(folder);
    }
    if (w->watch >= 0 && w->watch != watch) inotify_rm_watch(w->fd, w->watch);
    w->watch = watch;
    w->watched = watch >= 0 ? folder : "";
}

}  // namespace

namespace hack {

void OpenSettingsWatch(SettingsWatch* w, const std::string& path) {
    w->file = path;
    if (path.empty()) return;
    w->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (w->fd < 0) {
        std::fprintf(stderr, "pendral: a changed %s is read only at the next start (inotify: %s)\n", path.c_str(),
                     std::strerror(errno));
        return;
    }
    WatchNearest(w);
}

bool SettingsChanged(SettingsWatch* w) {
    if (w->fd < 0) return false;
    bool changed = false, moved = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(w->fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const std::string next = NextOnTheWay(w->file, w->watched);
        const bool inFilesFolder = w->watched == Parent(w->file);
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) moved = true;
            if (e->wd != w->watch) continue;
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) moved = true;
            if (e->len == 0 || next != e->name) continue;
            // The file itself: once written whole, replaced, or gone. A folder on the
            // way: once made, the watch moves down to it.
            if (inFilesFolder) changed = changed || (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE));
            else moved = moved || (e->mask & (IN_CREATE | IN_MOVED_TO));
        }
    }
    if (moved) WatchNearest(w);  // the file may have come with its folder
    return changed || moved;
}

void CloseSettingsWatch(SettingsWatch* w) {
    if (w->fd >= 0) close(w->fd);
    *w = SettingsWatch{};
}

}  // namespace hack
