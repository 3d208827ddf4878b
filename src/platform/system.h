// The process and the system it runs on: command line, own module, version,
// process end, the fault guard, the screen-saver-running state and the
// system's error codes.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

// The full command line: program name first, then the arguments.
const char* CommandLineText();

// The character after the one at `text`, stepping over a double-byte
// character as one; at the terminating zero it stays there.
const char* NextCharacter(const char* text);

// The program's own module.
Module ProgramModule();

// Ends the process with `status`; the runtime's exit processing does not run.
void EndProcess(std::int32_t status);

// The system's platform id from its version query, or -1 when the query fails.
std::int32_t PlatformId();

// The system's version from its version query as major * 256 + minor (6.2,
// Windows 8, is 0x602), or 0 when the query fails.
std::uint32_t SystemVersion();

// Switches the system's screen-saver-running state on or off; returns the
// system's result.
std::int32_t SetScreenSaverRunning(std::int32_t on);

// From now on, a fault that nothing else handles is first reported by the
// system, then `cleanup` runs and the process ends.
void InstallFaultGuard(void (*cleanup)());

// The error code that the calling thread's last failed system call left.
std::uint32_t LastSystemError();

// The system's own description of error `code` in the user's language, as one
// line without a trailing line break, in `buffer` (`size` > 0 characters with
// the terminator). Where the system has none, "Error <code>." in English.
void SystemErrorText(std::uint32_t code, char* buffer, int size);

}  // namespace plat
