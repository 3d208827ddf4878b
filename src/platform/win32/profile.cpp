#include "platform/profile.h"

#include <windows.h>

namespace plat {

int LoadResourceString(std::uint32_t id, char* buffer, int limit) {
    // A limit of 0 would ask LoadStringA for a pointer into the resource instead of a copy.
    if (buffer == nullptr || limit <= 0) return 0;
    buffer[0] = '\0';
    return LoadStringA(GetModuleHandleA(nullptr), id, buffer, limit);
}

std::int32_t ReadProfileInt(const char* section, const char* key, std::int32_t fallback, const char* file) {
    return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, file));
}

bool WriteProfileText(const char* section, const char* key, const char* text, const char* file) {
    return WritePrivateProfileStringA(section, key, text, file) != FALSE;
}

}  // namespace plat
