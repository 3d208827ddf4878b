// The Linux settings file, $XDG_CONFIG_HOME/pendral/pendral.conf (or
// ~/.config/pendral/pendral.conf): one `name = value` a line, the names being the
// command line's options without the dash, `true` or `false` for the switches, `#`
// starting a comment, the ranges of the command line. Every pendral mode reads it at
// start, the command line over it; pendral-settings writes it. Pure rules beside the
// options table of saver_options.cpp; the file's reading and writing is plain POSIX.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "app/saver_options.h"

// The settings as the file gives them: the options record, and the storage of the
// pictures' folder that the record points into. A copy's record points into the
// copy's own storage.
struct SettingsFile {
    SaverOptions options;
    std::string spritesFolder;  // what SaveSettingsFile writes; empty: the built-in pictures

    SettingsFile() = default;
    SettingsFile(const SettingsFile& other) { *this = other; }
    SettingsFile& operator=(const SettingsFile& other);
};

// How much of a file is read, and the longest line that is used.
constexpr std::size_t SETTINGS_FILE_MAX_BYTES = 64 * 1024;
constexpr std::size_t SETTINGS_LINE_MAX = 4096;

// The file's path from XDG_CONFIG_HOME, else HOME; empty when neither is set.
std::string SettingsFilePath();

// Reads the file at `path` over `file` (which keeps what the file does not set).
// A missing file changes nothing and says nothing; each line it cannot use leaves
// that setting as it was and writes one warning to `warnings` naming the file, the
// line number and the line. A file is read no further than a bound. False only when
// a file that is there could not be read (said on `warnings` too).
bool LoadSettingsFile(const std::string& path, SettingsFile* file, std::FILE* warnings);

// Writes the settings to `path` atomically (a temporary file in the same folder,
// then a rename; the folder is made if missing), keeping the comments, unknown lines
// and order of the file that is there. False, with one line in `error`, when it
// could not be written; the old file is then left as it was. A file beyond the
// bound or holding a NUL byte is not overwritten (its tail would be lost).
bool SaveSettingsFile(const std::string& path, const SettingsFile& file, std::string* error);

// Where a run's settings come from: the settings file, under the command line.
struct SettingsSource {
    std::string path;  // empty: no file
    int argc = 0;
    const char* const* argv = nullptr;  // parsed once before without an error
};

// The run's settings: the defaults, then the file's (its warnings on `warnings`),
// then the command line's.
void LoadSettings(const SettingsSource& source, SettingsFile* settings, std::FILE* warnings);
