// The process and the system it runs on: command line, own module, version,
// process end, the fault guard and the screen-saver-running state.
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

// Switches the system's screen-saver-running state on or off; returns the
// system's result.
std::int32_t SetScreenSaverRunning(std::int32_t on);

// From now on, a fault that nothing else handles is first reported by the
// system, then `cleanup` runs and the process ends.
void InstallFaultGuard(void (*cleanup)());

}  // namespace plat
