// The current user's registry.
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

void CloseRegistryKey(RegistryKey key);

}  // namespace plat
