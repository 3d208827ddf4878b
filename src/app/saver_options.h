// The Linux saver's command line: XScreenSaver-style options with the ranges and
// defaults of the Windows settings. Pure: it reads the arguments and fills a
// record, and a front end acts on it.
#pragma once

#include <cstddef>
#include <cstdint>

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
    std::int32_t idleSeconds = 0;  // with Target::Wayland, 1 to 86400: watch for idleness; 0: show at once
    const char* spritesFolder = nullptr;  // an argument string; null for the built-in pictures
};

// Reads argv[1..argc-1]. Every option may be written with one dash or two. On an
// unknown option or a missing, malformed or out-of-range value it returns false
// and writes one line (no newline) naming the option and what it takes into
// `error` (always terminated, cut to `errorSize`).
bool ParseSaverOptions(int argc, const char* const* argv, SaverOptions* options, char* error,
                       std::size_t errorSize);

// A window id as XScreenSaver writes it: decimal or 0x hexadecimal, 1 to
// 0xFFFFFFFF, nothing else around it. False when the text is not one.
bool ParseWindowId(const char* text, std::uint32_t* id);

// The options and their ranges, for -help.
const char* SaverOptionsHelp();

// Puts the options into saverSettings, the record the animation reads.
void ApplySaverOptions(const SaverOptions& options);
