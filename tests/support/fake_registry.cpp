#include "fake_registry.h"

#include <cstring>

#include "fake.h"
#include "platform/registry.h"

namespace fake {
namespace {
RegistryState registryState;
ResetHook resetRegistry([] { registryState = RegistryState{}; });

// A handle is the state itself for the binary value's key, else the text key.
bool IsTextKey(plat::RegistryKey key) { return reinterpret_cast<RegistryState*>(key) != &registryState; }
TextKey& TextKeyOf(plat::RegistryKey key) { return *reinterpret_cast<TextKey*>(key); }
}  // namespace

RegistryState& Registry() { return registryState; }

}  // namespace fake

namespace plat {

using fake::registryState;

bool OpenUserKey(const char* path, RegistryKey* key) {
    fake::Record("OpenUserKey");
    registryState.openedPath = path;
    if (registryState.keyPath == path) {
        *key = reinterpret_cast<RegistryKey>(&registryState);
    } else {
        auto found = registryState.textKeys.find(path);
        if (found == registryState.textKeys.end()) return false;
        *key = reinterpret_cast<RegistryKey>(&found->second);
    }
    ++registryState.openKeys;
    return true;
}

bool ReadRegistryValue(RegistryKey key, const char* name, void* buffer, std::uint32_t* size) {
    fake::Record("ReadRegistryValue", {fake::Arg(key), static_cast<std::intptr_t>(*size)});
    if (fake::IsTextKey(key) || !registryState.valuePresent || registryState.valueName != name) return false;
    if (registryState.value.size() > *size) {
        *size = static_cast<std::uint32_t>(registryState.value.size());
        return false;
    }
    if (!registryState.value.empty()) std::memcpy(buffer, registryState.value.data(), registryState.value.size());
    *size = static_cast<std::uint32_t>(registryState.value.size());
    return true;
}

bool ReadRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size) {
    fake::Record("ReadRegistryText", {fake::Arg(key)});
    buffer[0] = '\0';
    if (!fake::IsTextKey(key)) return false;
    const fake::TextKey& values = fake::TextKeyOf(key);
    auto found = values.find(name);
    if (found == values.end() || found->second.size() >= size) return false;
    std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
    return true;
}

std::uint32_t CreateUserKey(const char* path, RegistryKey* key) {
    fake::Record("CreateUserKey");
    auto found = registryState.textKeys.find(path);
    if (found == registryState.textKeys.end()) {
        if (registryState.createError != 0) return registryState.createError;
        found = registryState.textKeys.emplace(path, fake::TextKey{}).first;
    }
    *key = reinterpret_cast<RegistryKey>(&found->second);
    ++registryState.openKeys;
    return 0;
}

std::uint32_t WriteRegistryText(RegistryKey key, const char* name, const char* text) {
    fake::Record("WriteRegistryText", {fake::Arg(key)});
    const int write = ++registryState.writes;
    if (registryState.writeError != 0 && (registryState.failOnlyWrite == 0 || registryState.failOnlyWrite == write))
        return registryState.writeError;
    fake::TextKeyOf(key)[name] = text;
    return 0;
}

void CloseRegistryKey(RegistryKey key) {
    fake::Record("CloseRegistryKey", {fake::Arg(key)});
    --registryState.openKeys;
}

}  // namespace plat
