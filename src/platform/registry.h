// The current user's registry.
//
// Calls that can fail in ways a user must hear of return the system's own error
// code (0 on success), which SystemErrorText turns into the system's words.
#pragma once

#include <cstdint>

namespace plat {

struct RegistryKeyObject;
using RegistryKey = RegistryKeyObject*;

// Opens `path` under the current user's root; true on success.
bool OpenUserKey(const char* path, RegistryKey* key);

// Reads value `name` into `buffer`, whose size `*size` gives; on success
// `*size` holds the number of bytes stored. True on success; a value larger
// than the buffer fails.
bool ReadRegistryValue(RegistryKey key, const char* name, void* buffer, std::uint32_t* size);

// Reads string value `name` into `buffer` (`size` bytes, `size` > 0) and
// terminates it. True when the value exists, is of a string type and fits with
// its terminator; otherwise the buffer holds "".
bool ReadRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size);

// Opens `path` under the current user's root for writing, creating the keys
// that are missing. The system's error code, 0 on success.
std::uint32_t CreateUserKey(const char* path, RegistryKey* key);

// Sets value `name` to the string `text`. The system's error code, 0 on success.
std::uint32_t WriteRegistryText(RegistryKey key, const char* name, const char* text);

void CloseRegistryKey(RegistryKey key);

}  // namespace plat
