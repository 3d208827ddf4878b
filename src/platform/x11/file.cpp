#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>

#include "platform/x11/surface.h"

namespace plat {
namespace {

const char* fileFolder = nullptr;
// The path each bare name last opened as, and the paths already reported unusable:
// a scene set up again (a resize, a field per monitor) loads its pictures again.
std::map<std::string, std::string> openedPaths;
std::set<std::string> reportedPaths;

// Handles are the descriptor plus one, so that a valid one is never null.
int Descriptor(File file) { return static_cast<int>(reinterpret_cast<std::intptr_t>(file)) - 1; }

// Opens a regular file only: a pipe or a device could block or never end.
int OpenRegular(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info{};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

namespace x11 {
void SetFileFolder(const char* folder) { fileFolder = folder; }
}  // namespace x11

// A name with a slash is a path; a bare name is looked for in the picture folder,
// as given and with ".bmp" added.
File OpenFileForReading(const char* name) {
    int fd = -1;
    if (std::strchr(name, '/')) {
        fd = OpenRegular(name);
    } else if (fileFolder) {
        char path[PATH_MAX];
        for (const char* suffix : {"", ".bmp"}) {
            const int n = std::snprintf(path, sizeof path, "%s/%s%s", fileFolder, name, suffix);
            if (n > 0 && static_cast<std::size_t>(n) < sizeof path) fd = OpenRegular(path);
            if (fd >= 0) {
                openedPaths[name] = path;
                break;
            }
        }
    }
    if (fd < 0) return nullptr;
    return reinterpret_cast<File>(static_cast<std::intptr_t>(fd) + 1);
}

std::int32_t SeekFile(File file, std::int32_t offset, SeekOrigin origin) {
    const int fd = Descriptor(file);
    const off_t here = lseek(fd, 0, SEEK_CUR);
    if (here < 0) return -1;
    const off_t target = origin == SeekOrigin::Start ? offset : here + offset;
    if (target < 0 || target > INT32_MAX) return -1;
    const off_t moved = lseek(fd, target, SEEK_SET);
    return moved < 0 ? -1 : static_cast<std::int32_t>(moved);
}

std::uint32_t ReadFromFile(File file, void* buffer, std::uint32_t count) {
    std::uint32_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < count) {
        const ssize_t got = read(Descriptor(file), out + total, count - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::uint32_t>(got);
    }
    return total;
}

void CloseFile(File file) { close(Descriptor(file)); }

void ReportUnusableFile(const char* name, const char* why) {
    const auto opened = openedPaths.find(name);
    const std::string path = opened != openedPaths.end() ? opened->second : name;
    if (reportedPaths.insert(path).second) std::fprintf(stderr, "pendral: %s: %s\n", path.c_str(), why);
}

}  // namespace plat
