// Libraries loaded at run time and calls into the functions found in them.
// The calls go through here so that the system's calling convention stays on
// the platform side.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

// An input-method context handle.
using InputContext = void*;

// Writes the system directory (no trailing separator unless it is a root) and
// returns its length; 0 on failure, or the size needed when `size` is too small.
std::uint32_t SystemDirectory(char* buffer, std::uint32_t size);

// Loads a library by its full path, and the libraries it depends on from its own
// folder first; null on failure.
Module LoadLibraryFile(const char* path);

// A library that is already loaded, or null; never loads one.
Module FindLoadedModule(const char* name);

// An exported function, or null.
ProcAddress FindProc(Module module, const char* name);

void ReleaseLibrary(Module module);

// The screen-saver password verifier: non-zero when the user proved the password.
std::int32_t CallVerifier(ProcAddress verifier, Window window);

// Associates input context `context` with `window` (null detaches); returns the
// context associated before.
InputContext CallImeAssociate(ProcAddress associate, Window window, InputContext context);

// The password change of a provider, owned by `parent`; returns its result.
std::uint32_t CallPasswordChange(ProcAddress change, const char* provider, Window parent, std::uint32_t reserved1,
                                 std::uint32_t reserved2);

}  // namespace plat
