// The password lock of the full-screen saver on the Windows 95 family: the
// system's verifier library, loaded when the user asked for a password, and
// the system's screen-saver-running state while it is loaded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

void LoadPasswordVerifier();
void UnloadPasswordVerifier();

// On the Windows 95 family switches the system's screen-saver-running state;
// elsewhere does nothing and returns 0.
std::int32_t SetSaverRunning(std::int32_t on);

// Joins a directory and a file name with one backslash into `out`; false when
// it does not fit (out then holds "").
bool JoinSystemPath(const char* directory, const char* name, char* out, std::size_t outSize);

// Loads a library of the system directory by its full path, never from the
// current or the program's directory; null on failure.
plat::Module LoadSystemLibrary(const char* name);
