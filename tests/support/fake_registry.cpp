#include "fake_registry.h"

#include <cstring>

#include "fake.h"
#include "platform/registry.h"

namespace fake {
namespace {
RegistryState registryState;
ResetHook resetRegistry([] { registryState = RegistryState{}; });
}  // namespace

RegistryState& Registry() { return registryState; }

}  // namespace fake

namespace plat {

using fake::registryState;

bool OpenUserKey(const char* path, RegistryKey* key) {
    fake::Record("OpenUserKey");
    registryState.openedPath = path;
    if (registryState.keyPath != path) return false;
    *key = reinterpret_cast<RegistryKey>(&registryState);
    ++registryState.openKeys;
    return true;
}

bool ReadRegistryValue(RegistryKey key, const char* name, void* buffer, std::uint32_t* size) {
    fake::Record("ReadRegistryValue", {fake::Arg(key), static_cast<std::intptr_t>(*size)});
    if (!registryState.valuePresent || registryState.valueName != name) return false;
    if (registryState.value.size() > *size) {
        *size = static_cast<std::uint32_t>(registryState.value.size());
        return false;
    }
    if (!registryState.value.empty()) std::memcpy(buffer, registryState.value.data(), registryState.value.size());
    *size = static_cast<std::uint32_t>(registryState.value.size());
    return true;
}

void CloseRegistryKey(RegistryKey key) {
    fake::Record("CloseRegistryKey", {fake::Arg(key)});
    --registryState.openKeys;
}

}  // namespace plat
