// The command line's grammar: where the tail starts, which run mode its switch
// selects, and the decimal window handle that follows some switches.
#pragma once

#include <cstdint>

enum class RunMode : std::int32_t {
    Configuration,       // no switch: the dialog without an owner
    ConfigurationOwned,  // c: the dialog owned by the foreground window
    ChangePassword,      // a (Windows 95 family only)
    Preview,             // p or l
    FullScreen,          // s
    Invalid,             // anything else: nothing runs, the result is -1
};

struct SwitchChoice {
    RunMode mode;
    // For a, p and l: the text after the letter and the spaces that follow it.
    // Otherwise the position of the switch letter (or the end).
    const char* rest;
};

// The arguments after the program name (quoted or not) and the blanks after it.
const char* CutCommandTail(const char* commandLine);

// Skips spaces, "-" and "/" and reads the first other byte as the switch.
SwitchChoice ReadSwitch(const char* tail, std::int32_t win95Family);

// Leading decimal digits as an unsigned 32-bit number that wraps around; 0 when
// there are none.
std::uint32_t ParseWindowHandle(const char* text);

// The handle value that a window number of the command line names. Window
// handles are 32-bit values shared by 32- and 64-bit programs, and a 64-bit
// handle is the sign extension of its 32-bit number, so 2147483648 and above
// name handles with the top half all ones.
std::uintptr_t WindowHandleValue(std::uint32_t number);
