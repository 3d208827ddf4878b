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

bool ReadRegistryText(RegistryKey key, const char* name, char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    DWORD type = 0;
    DWORD length = size;
    LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &length);
    // A value stored without its terminator fits only with room left for one.
    const bool fits = length < size || (length == size && buffer[size - 1] == '\0');
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !fits) {
        buffer[0] = '\0';
        return false;
    }
    if (length < size) buffer[length] = '\0';
    return true;
}

std::uint32_t CreateUserKey(const char* path, RegistryKey* key) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &created, &disposition);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    *key = reinterpret_cast<RegistryKey>(created);
    return 0;
}

std::uint32_t WriteRegistryText(RegistryKey key, const char* name, const char* text) {
    const DWORD bytes = static_cast<DWORD>(lstrlenA(text) + 1);
    return static_cast<std::uint32_t>(RegSetValueExA(reinterpret_cast<HKEY>(key), name, 0, REG_SZ,
                                                     reinterpret_cast<const BYTE*>(text), bytes));
}

void CloseRegistryKey(RegistryKey key) { RegCloseKey(reinterpret_cast<HKEY>(key)); }

}  // namespace plat
