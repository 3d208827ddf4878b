// The Linux saver's command line: XScreenSaver-style options with the ranges and
// defaults of the Windows settings. Pure: it reads the arguments and fills a
// record, and a front end acts on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct SaverOptions {
    enum class Action { Run, Help, Version };
    enum class Target { OwnWindow, Root, WindowId, Wayland };

    Action action = Action::Run;
    Target target = Target::OwnWindow;
    std::uint32_t windowId = 0;       // with Target::WindowId
    std::int32_t bodyCount = 51;      // 3 to 100
    std::int32_t attraction = 10;     // as the settings dialog shows it: -100 to 100
    std::int32_t refreshMinutes = 5;  // 1 to 100
    bool red = false;
    bool blue = false;
    std::int32_t delayMicroseconds = 20000;  // between frames, 0 to 100000: the 20 ms tick
    bool showFps = false;
    bool fullScreen = false;  // with Target::OwnWindow: full screen, ended by any input
    // The idle watcher's time, 1 to 86400: -idle, else the settings file's; 240 s is shorter
    // than the screen lock and the screen blank of KDE Plasma and GNOME (5 minutes each), so
    // that the saver is seen before the desktop covers it.
    std::int32_t idleSeconds = 240;
    bool watch = false;  // with Target::Wayland: stay running as the idle watcher (-watch, -idle)
    const char* spritesFolder = nullptr;  // an argument string; null for the built-in pictures
};

// Reads argv[1..argc-1] over *options: what the command line does not set keeps
// its value there (the defaults, or the settings file's). Every option may be
// written with one dash or two. On an unknown option or a missing, malformed or
// out-of-range value it returns false, leaves *options as it was and writes one
// line (no newline) naming the option and what it takes into `error` (always
// terminated, cut to `errorSize`).
bool ParseSaverOptions(int argc, const char* const* argv, SaverOptions* options, char* error,
                       std::size_t errorSize);

// The settings that the settings file holds: the options that take a number or a
// folder or switch something on, by their names without the dash, in the options
// table's order. Null past the last.
const char* SettingName(std::size_t index);

// Sets the setting `name` from its text in the settings file: a whole number in the
// option's range, `true` or `false`, or a folder (empty: the built-in pictures; the
// record then points into `value`). False, with the reason in `error` as for
// ParseSaverOptions, when the name is none of SettingName's or the value does not fit.
bool SetSetting(const char* name, const char* value, SaverOptions* options, char* error, std::size_t errorSize);

// The value of setting `index` in `options` as the settings file writes it.
std::string SettingValue(std::size_t index, const SaverOptions& options);

// A window id as XScreenSaver writes it: decimal or 0x hexadecimal, 1 to
// 0xFFFFFFFF, nothing else around it. False when the text is not one.
bool ParseWindowId(const char* text, std::uint32_t* id);

// The options and their ranges, for -help.
const char* SaverOptionsHelp();

// Puts the options into saverSettings, the record the animation reads.
void ApplySaverOptions(const SaverOptions& options);
