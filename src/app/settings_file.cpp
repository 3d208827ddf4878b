#include "app/settings_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// A line of the file: blank (or a comment), a setting, or one that is not
// `name = value`. Offsets are into the line, which has no newline.
struct Line {
    enum class Kind { Blank, Setting, NoEquals, TooLong } kind = Kind::Blank;
    std::string name;
    std::string value;
    std::size_t valueBegin = 0;  // where the value lies, for a rewrite
    std::size_t valueEnd = 0;
};

constexpr const char* BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool Space(char c) { return c == ' ' || c == '\t'; }

Line ReadLine(std::string_view text) {
    Line line;
    if (text.size() > SETTINGS_LINE_MAX) {
        line.kind = Line::Kind::TooLong;
        return line;
    }
    // A `#` at the start or after a space starts a comment; one inside a word (a
    // folder's name) does not.
    std::size_t end = text.size();
    for (std::size_t k = 0; k < text.size(); ++k)
        if (text[k] == '#' && (k == 0 || Space(text[k - 1]))) {
            end = k;
            break;
        }
    while (end > 0 && Space(text[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && Space(text[begin])) ++begin;
    if (begin == end) return line;
    const std::size_t equals = text.find('=', begin);
    if (equals == std::string_view::npos || equals >= end) {
        line.kind = Line::Kind::NoEquals;
        return line;
    }
    std::size_t nameEnd = equals;
    while (nameEnd > begin && Space(text[nameEnd - 1])) --nameEnd;
    std::size_t valueBegin = equals + 1;
    while (valueBegin < end && Space(text[valueBegin])) ++valueBegin;
    line.kind = Line::Kind::Setting;
    line.name = text.substr(begin, nameEnd - begin);
    line.value = text.substr(valueBegin, end - valueBegin);
    line.valueBegin = valueBegin;
    line.valueEnd = end;
    return line;
}

// The line as a warning shows it: control characters as \xNN (never sent to a
// terminal as they are), cut after 80 characters.
std::string Shown(std::string_view text) {
    std::string shown;
    for (std::size_t k = 0; k < text.size() && k < 80; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > 80) shown += "...";
    return shown;
}

// Calls `each` with every line of `text` (without its ending: a newline, with a
// carriage return before it or not, or none at the end), its number and its ending.
template <class Each>
void ForEachLine(std::string_view text, Each each) {
    std::size_t number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        std::size_t end = text.find('\n', at);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        const bool carriageReturn = !line.empty() && line.back() == '\r';
        if (carriageReturn) line.remove_suffix(1);
        each(line, number, carriageReturn ? "\r\n" : end < text.size() ? "\n" : "");
        at = next;
    }
}

// What reading a file gave.
struct Contents {
    std::string text;             // the whole lines before any bound
    bool missing = false;         // no file there
    std::size_t nulLine = 0;      // the line holding the first NUL byte; 0: none
    bool beyondBound = false;     // the file is longer than SETTINGS_FILE_MAX_BYTES
    mode_t mode = 0644;           // the file's permissions
};

// Reads no more than the bound of the file at `path`; false, with the reason in
// `error`, when a file that is there cannot be read.
bool ReadContents(const std::string& path, Contents* contents, std::string* error) {
    // O_NONBLOCK: a FIFO put there makes no wait; it is then refused as no file.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        contents->missing = errno == ENOENT || errno == ENOTDIR;  // ENOTDIR: a file where a folder on the way would be
        if (!contents->missing) *error = "cannot read " + path + ": " + std::strerror(errno);
        return contents->missing;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "cannot read " + path + ": " + (S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file");
        close(fd);
        return false;
    }
    contents->mode = st.st_mode & 07777;
    std::string& text = contents->text;
    text.resize(SETTINGS_FILE_MAX_BYTES + 1);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(fd, &text[got], text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = "cannot read " + path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    text.resize(got);
    std::size_t keep = got;
    if (got > SETTINGS_FILE_MAX_BYTES) {
        contents->beyondBound = true;
        keep = SETTINGS_FILE_MAX_BYTES;
    }
    const std::size_t nul = text.find('\0');
    if (nul < keep) {
        keep = nul;
        contents->nulLine = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + nul, '\n'));
    }
    // A line cut by a bound is not read at all: cut, its value would be another.
    if (keep < got) {
        const std::size_t newline = keep == 0 ? std::string::npos : text.rfind('\n', keep - 1);
        keep = newline == std::string::npos ? 0 : newline + 1;
    }
    text.resize(keep);
    return true;
}

// The settings' text over `old`: each setting's line gets its value, other lines
// stay as they are, and settings not there yet are added at the end.
bool Rewrite(const std::string& old, const SettingsFile& file, std::string* text, std::string* error) {
    SaverOptions options = file.options;
    options.spritesFolder = file.spritesFolder.empty() ? nullptr : file.spritesFolder.c_str();
    std::vector<bool> written;
    for (std::size_t k = 0; SettingName(k); ++k) written.push_back(false);
    const auto index = [](const std::string& name) {
        for (std::size_t k = 0; SettingName(k); ++k)
            if (name == SettingName(k)) return static_cast<int>(k);
        return -1;
    };
    // A value that would not read back as it is (a folder's name holding a newline,
    // or ` #`) is refused rather than written as something else.
    for (std::size_t k = 0; SettingName(k); ++k) {
        const std::string value = SettingValue(k, options);
        const Line back = ReadLine(std::string(SettingName(k)) + " = " + value);
        if (value.find_first_of("\r\n") != std::string::npos || back.value != value) {
            *error = std::string("the settings file cannot hold the ") + SettingName(k) + " value \"" + Shown(value) + "\"";
            return false;
        }
    }
    text->clear();
    const std::size_t mark = old.compare(0, 3, BYTE_ORDER_MARK) == 0 ? 3 : 0;  // kept, no part of the first name
    text->append(old, 0, mark);
    ForEachLine(std::string_view(old).substr(mark), [&](std::string_view raw, std::size_t, const char* ending) {
        const Line line = ReadLine(raw);
        const int k = line.kind == Line::Kind::Setting ? index(line.name) : -1;
        if (k < 0) {
            text->append(raw);
        } else {
            const std::string value = SettingValue(static_cast<std::size_t>(k), options);
            text->append(raw.substr(0, line.valueBegin));
            if (line.value.empty() && raw[line.valueBegin - 1] == '=' && !value.empty()) text->append(" ");
            text->append(value);
            text->append(raw.substr(line.valueEnd));
            written[static_cast<std::size_t>(k)] = true;
        }
        text->append(ending[0] ? ending : "\n");
    });
    for (std::size_t k = 0; SettingName(k); ++k) {
        const std::string value = SettingValue(k, options);
        if (written[k] || value.empty()) continue;
        text->append(SettingName(k)).append(" = ").append(value).append("\n");
    }
    return true;
}

// Makes the folder `path` and those above it that are missing (0700, as the
// desktop's folders of settings are).
bool MakeFolders(const std::string& path, std::string* error) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = "cannot make the folder " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    const int failure = stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (failure != 0) *error = "cannot make the folder " + path + ": " + std::strerror(failure);
    return failure == 0;
}

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `text` to `path` through a temporary file beside it, synced before it
// takes the file's name, so that a crash or a full disk leaves the old file or
// the new one, never a part. The temporary file is removed when it fails.
bool ReplaceFile(const std::string& path, const std::string& text, mode_t mode, std::string* error) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!MakeFolders(folder, error)) return false;
    std::string temporary = folder + "/." + name + ".XXXXXX";
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    int failure = fchmod(fd, mode) == 0 && WriteAll(fd, text) && fsync(fd) == 0 ? 0 : errno;
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) {
        // The rename itself reaches the disk with the folder.
        const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd >= 0) {
            fsync(folderFd);  // the new file is in place either way; some file systems cannot sync a folder
            close(folderFd);
        }
        return true;
    }
    *error = "cannot write " + path + ": " + std::strerror(failure);
    unlink(temporary.c_str());
    return false;
}

}  // namespace

SettingsFile& SettingsFile::operator=(const SettingsFile& other) {
    if (this == &other) return *this;
    options = other.options;
    spritesFolder = other.spritesFolder;
    if (other.options.spritesFolder == other.spritesFolder.c_str()) options.spritesFolder = spritesFolder.c_str();
    return *this;
}

std::string SettingsFilePath() {
    // The desktop's rule: a relative XDG_CONFIG_HOME is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/pendral/pendral.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.config/pendral/pendral.conf";
    return "";
}

bool LoadSettingsFile(const std::string& path, SettingsFile* file, std::FILE* warnings) {
    Contents contents;
    std::string error;
    if (!ReadContents(path, &contents, &error)) {
        std::fprintf(warnings, "pendral: %s\n", error.c_str());
        return false;
    }
    // A byte-order mark some editors write is no part of the first name.
    const std::size_t start = contents.text.compare(0, 3, BYTE_ORDER_MARK) == 0 ? 3 : 0;
    bool spritesSet = false;
    std::string sprites;
    ForEachLine(std::string_view(contents.text).substr(start), [&](std::string_view raw, std::size_t number, const char*) {
        const Line line = ReadLine(raw);
        char reason[200] = "";
        if (line.kind == Line::Kind::NoEquals) std::snprintf(reason, sizeof reason, "not name = value");
        if (line.kind == Line::Kind::TooLong)
            std::snprintf(reason, sizeof reason, "longer than %zu characters", SETTINGS_LINE_MAX);
        if (line.kind == Line::Kind::Setting &&
            SetSetting(line.name.c_str(), line.value.c_str(), &file->options, reason, sizeof reason) &&
            line.name == "sprites") {
            spritesSet = true;  // the record points into the line until the storage below takes it
            sprites = line.value;
        }
        if (reason[0] != '\0')
            std::fprintf(warnings, "pendral: %s:%zu: ignored (%s): %s\n", path.c_str(), number, Shown(reason).c_str(),
                         Shown(raw).c_str());
    });
    if (spritesSet) {
        file->spritesFolder = sprites;
        file->options.spritesFolder = sprites.empty() ? nullptr : file->spritesFolder.c_str();
    }
    if (contents.nulLine > 0)
        std::fprintf(warnings, "pendral: %s:%zu: a NUL byte, not text: the file is read no further\n", path.c_str(),
                     contents.nulLine);
    else if (contents.beyondBound)
        std::fprintf(warnings, "pendral: %s: longer than %zu bytes: read no further\n", path.c_str(),
                     SETTINGS_FILE_MAX_BYTES);
    return true;
}

bool SaveSettingsFile(const std::string& path, const SettingsFile& file, std::string* error) {
    // A file that is a link to one elsewhere (a folder of one's settings kept
    // together) is written where it lies, the link kept.
    if (path.empty()) {
        *error = "there is no place for the settings file: neither XDG_CONFIG_HOME nor HOME is set";
        return false;
    }
    std::string target = path;
    struct stat st {};
    char resolved[PATH_MAX];
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), resolved)) target = resolved;
    Contents contents;
    if (!ReadContents(target, &contents, error)) return false;
    if (contents.beyondBound || contents.nulLine > 0) {
        *error = "not rewritten: " + target + " is " +
                 (contents.nulLine > 0 ? "not text (it holds a NUL byte)" : "longer than 64 KiB") +
                 "; move it away to save the settings";
        return false;
    }
    std::string text;
    return Rewrite(contents.text, file, &text, error) && ReplaceFile(target, text, contents.mode, error);
}

void LoadSettings(const SettingsSource& source, SettingsFile* settings, std::FILE* warnings) {
    *settings = SettingsFile{};
    if (!source.path.empty()) LoadSettingsFile(source.path, settings, warnings);
    char error[200];
    if (source.argv) ParseSaverOptions(source.argc, source.argv, &settings->options, error, sizeof error);
}
