#include "app/saver_options.h"

#include <cstdio>
#include <cstring>

#include "app/settings.h"

namespace {

enum class Kind { Number, On, Off, Folder, FullScreen, Root, WindowId, Wayland, Watch, Help, Version };

struct Option {
    const char* name;  // without the leading dash
    Kind kind;
    std::int32_t SaverOptions::*number;  // Kind::Number
    bool SaverOptions::*flag;            // Kind::On, Kind::Off
    std::int32_t low;
    std::int32_t high;
};

constexpr Option OPTIONS[] = {
    {"count", Kind::Number, &SaverOptions::bodyCount, nullptr, 3, 100},
    {"attraction", Kind::Number, &SaverOptions::attraction, nullptr, -100, 100},
    {"refresh", Kind::Number, &SaverOptions::refreshMinutes, nullptr, 1, 100},
    {"delay", Kind::Number, &SaverOptions::delayMicroseconds, nullptr, 0, 100000},
    {"idle", Kind::Number, &SaverOptions::idleSeconds, nullptr, 1, 86400},
    {"fps", Kind::On, nullptr, &SaverOptions::showFps, 0, 0},
    {"no-fps", Kind::Off, nullptr, &SaverOptions::showFps, 0, 0},
    {"red", Kind::On, nullptr, &SaverOptions::red, 0, 0},
    {"no-red", Kind::Off, nullptr, &SaverOptions::red, 0, 0},
    {"blue", Kind::On, nullptr, &SaverOptions::blue, 0, 0},
    {"no-blue", Kind::Off, nullptr, &SaverOptions::blue, 0, 0},
    {"sprites", Kind::Folder, nullptr, nullptr, 0, 0},
    {"fullscreen", Kind::FullScreen, nullptr, nullptr, 0, 0},
    {"root", Kind::Root, nullptr, nullptr, 0, 0},
    {"window-id", Kind::WindowId, nullptr, nullptr, 0, 0},
    {"wayland", Kind::Wayland, nullptr, nullptr, 0, 0},
    {"watch", Kind::Watch, nullptr, nullptr, 0, 0},
    {"help", Kind::Help, nullptr, nullptr, 0, 0},
    {"version", Kind::Version, nullptr, nullptr, 0, 0},
};

const Option* FindName(const char* name) {
    for (const Option& o : OPTIONS)
        if (std::strcmp(name, o.name) == 0) return &o;
    return nullptr;
}

const Option* FindOption(const char* arg) {
    if (arg[0] != '-') return nullptr;
    return FindName(arg[1] == '-' ? arg + 2 : arg + 1);
}

// The options that the settings file holds: each sets a value, none a mode.
bool InFile(const Option& o) { return o.kind == Kind::Number || o.kind == Kind::On || o.kind == Kind::Folder; }

const Option* FileSetting(std::size_t index) {
    for (const Option& o : OPTIONS)
        if (InFile(o) && index-- == 0) return &o;
    return nullptr;
}

// A whole decimal number: an optional sign, then digits only. Values far beyond
// any range saturate, so that they are reported as out of range.
bool ParseNumber(const char* text, long long* value) {
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p == '\0') return false;
    long long v = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        if (v < 10000000000LL) v = v * 10 + (*p - '0');
    }
    *value = negative ? -v : v;
    return true;
}

bool Fail(char* error, std::size_t errorSize, const char* format, const char* arg, const Option* o) {
    if (errorSize == 0) return false;
    if (o) std::snprintf(error, errorSize, format, arg, o->low, o->high);
    else std::snprintf(error, errorSize, format, arg);
    return false;
}

}  // namespace

bool ParseWindowId(const char* text, std::uint32_t* id) {
    if (!text) return false;
    unsigned long long v = 0;
    const char* p = text;
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (*p == '\0') return false;
    for (; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
        else return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (v > 0xFFFFFFFFull) return false;
    }
    if (v == 0) return false;
    *id = static_cast<std::uint32_t>(v);
    return true;
}

bool ParseSaverOptions(int argc, const char* const* argv, SaverOptions* options, char* error,
                       std::size_t errorSize) {
    if (errorSize > 0) error[0] = '\0';
    SaverOptions parsed = *options;
    bool idleGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const Option* o = FindOption(arg);
        if (!o) return Fail(error, errorSize, "unknown option %s (-help lists the options)", arg, nullptr);
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        switch (o->kind) {
            case Kind::Number: {
                long long v = 0;
                if (!value || !ParseNumber(value, &v) || v < o->low || v > o->high)
                    return Fail(error, errorSize, "%s takes a whole number from %d to %d", arg, o);
                parsed.*(o->number) = static_cast<std::int32_t>(v);
                idleGiven = idleGiven || o->number == &SaverOptions::idleSeconds;
                ++i;
                break;
            }
            case Kind::On:
            case Kind::Off:
                parsed.*(o->flag) = o->kind == Kind::On;
                break;
            case Kind::Folder:
                if (!value || value[0] == '\0')
                    return Fail(error, errorSize, "%s takes a folder holding SPPAT_R0, SPPAT_R1, SPPAT_R2", arg,
                                nullptr);
                parsed.spritesFolder = value;
                ++i;
                break;
            case Kind::FullScreen:
                parsed.fullScreen = true;
                break;
            case Kind::Root:
                parsed.target = SaverOptions::Target::Root;
                break;
            case Kind::WindowId:
                if (!ParseWindowId(value, &parsed.windowId))
                    return Fail(error, errorSize,
                                "%s takes a window id from 1 to 0xFFFFFFFF, decimal or 0x hexadecimal", arg, nullptr);
                parsed.target = SaverOptions::Target::WindowId;
                ++i;
                break;
            case Kind::Wayland:
                parsed.target = SaverOptions::Target::Wayland;
                break;
            case Kind::Watch:
                parsed.watch = true;
                break;
            case Kind::Help:
                if (parsed.action == SaverOptions::Action::Run) parsed.action = SaverOptions::Action::Help;
                break;
            case Kind::Version:
                if (parsed.action == SaverOptions::Action::Run) parsed.action = SaverOptions::Action::Version;
                break;
        }
    }
    // The watcher only knows a Wayland session's idle time; on X11 XScreenSaver starts the saver.
    // -idle on the command line makes the watcher, as -watch does; the file's idle does not.
    if (idleGiven) parsed.watch = true;
    if (parsed.watch && parsed.target != SaverOptions::Target::Wayland)
        return Fail(error, errorSize, "%s watches a Wayland session: give -wayland with it", idleGiven ? "-idle" : "-watch",
                    nullptr);
    *options = parsed;
    return true;
}

const char* SettingName(std::size_t index) {
    const Option* o = FileSetting(index);
    return o ? o->name : nullptr;
}

bool SetSetting(const char* name, const char* value, SaverOptions* options, char* error, std::size_t errorSize) {
    if (errorSize > 0) error[0] = '\0';
    const Option* o = FindName(name);
    if (!o || !InFile(*o)) return Fail(error, errorSize, "unknown setting %s", name, nullptr);
    if (o->kind == Kind::Folder) {
        options->spritesFolder = value[0] != '\0' ? value : nullptr;
        return true;
    }
    if (o->kind == Kind::On) {
        const bool on = std::strcmp(value, "true") == 0;
        if (!on && std::strcmp(value, "false") != 0) return Fail(error, errorSize, "%s takes true or false", name, nullptr);
        options->*(o->flag) = on;
        return true;
    }
    long long v = 0;
    if (!ParseNumber(value, &v) || v < o->low || v > o->high)
        return Fail(error, errorSize, "%s takes a whole number from %d to %d", name, o);
    options->*(o->number) = static_cast<std::int32_t>(v);
    return true;
}

std::string SettingValue(std::size_t index, const SaverOptions& options) {
    const Option* o = FileSetting(index);
    if (!o) return "";
    if (o->kind == Kind::Folder) return options.spritesFolder ? options.spritesFolder : "";
    if (o->kind == Kind::On) return options.*(o->flag) ? "true" : "false";
    return std::to_string(options.*(o->number));
}

const char* SaverOptionsHelp() {
    return "usage: pendral [options]\n"
           "Bodies that pull on each other, drawn on an X11 window or on Wayland.\n"
           "\n"
           "  -count N          number of bodies, 3 to 100 (default 51)\n"
           "  -attraction N     pull between bodies, -100 to 100; below 0 they repel (default 10)\n"
           "  -refresh N        minutes between scatters, 1 to 100 (default 5)\n"
           "  -red, -no-red     a heavy red body (default off)\n"
           "  -blue, -no-blue   a blue body (default off)\n"
           "  -sprites DIR      pictures SPPAT_R0, SPPAT_R1, SPPAT_R2 (8-bit bitmaps) from DIR\n"
           "  -delay N          microseconds between frames, 0 to 100000 (default 20000)\n"
           "  -fps, -no-fps     show the frame rate and the CPU load in a corner (default off)\n"
           "  -fullscreen       its own window full screen; any key, button or pointer\n"
           "                    movement ends it\n"
           "  -root             draw on the root window\n"
           "  -window-id ID     draw in window ID (decimal or 0x hexadecimal)\n"
           "  -wayland          full screen on every output of the Wayland compositor;\n"
           "                    any key, button, touch or pointer movement ends it\n"
           "  -watch            with -wayland: stay running, and show on every output each\n"
           "                    time the session has been idle for the settings file's idle\n"
           "                    time (default 240 seconds)\n"
           "  -idle SECONDS     with -wayland: the same, idle for SECONDS (1 to 86400)\n"
           "  -help, -version   print this text, or the version, and exit\n"
           "\n"
           "Every option may also be written with two dashes. With XSCREENSAVER_WINDOW set\n"
           "(and no -window-id) it draws in that window; with no window given it opens its\n"
           "own, which Escape or q closes.\n"
           "\n"
           "Every mode first reads $XDG_CONFIG_HOME/pendral/pendral.conf (or\n"
           "~/.config/pendral/pendral.conf): one `name = value` a line, the names above\n"
           "without the dash (count, attraction, refresh, red, blue, sprites, delay, fps,\n"
           "idle), true or false for the switches, # starting a comment. The command\n"
           "line wins over the file.\n";
}

void ApplySaverOptions(const SaverOptions& options) {
    saverSettings.soundSwitch = 1;
    saverSettings.bodyCount = options.bodyCount;
    saverSettings.attractionSetting = options.attraction + 100;
    saverSettings.refreshMinutes = options.refreshMinutes;
    saverSettings.redSwitch = options.red ? 1 : 0;
    saverSettings.blueSwitch = options.blue ? 1 : 0;
}
