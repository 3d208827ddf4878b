#include "platform/registry.h"

#include <windows.h>

namespace plat {

bool OpenUserKey(const char* path, RegistryKey* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, path, &opened) != ERROR_SUCCESS) return false;
    *key = reinterpret_cast<RegistryKey>(opened);
    return true;
}

bool ReadRegistryValue(RegistryKey key, const char* name, void* buffer, std::uint32_t* size) {
    DWORD length = *size;
    LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, nullptr,
                                   static_cast<BYTE*>(buffer), &length);
    *size = length;
    return status == ERROR_SUCCESS;
}

void CloseRegistryKey(RegistryKey key) { RegCloseKey(reinterpret_cast<HKEY>(key)); }

}  // namespace plat
