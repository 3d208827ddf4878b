#include "host/password_lock.h"

#include <cstring>

#include "host/host_state.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/system.h"

bool JoinSystemPath(const char* directory, const char* name, char* out, std::size_t outSize) {
    if (outSize == 0) return false;
    out[0] = '\0';
    std::size_t dirLength = std::strlen(directory);
    std::size_t nameLength = std::strlen(name);
    bool needSeparator = dirLength > 0 && directory[dirLength - 1] != '\\' && directory[dirLength - 1] != '/';
    std::size_t total = dirLength + (needSeparator ? 1 : 0) + nameLength;
    if (dirLength == 0 || total + 1 > outSize) return false;
    std::memcpy(out, directory, dirLength);
    std::size_t at = dirLength;
    if (needSeparator) out[at++] = '\\';
    std::memcpy(out + at, name, nameLength);
    out[total] = '\0';
    return true;
}

plat::Module LoadSystemLibrary(const char* name) {
    char directory[512];
    std::uint32_t length = plat::SystemDirectory(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return nullptr;
    char path[600];
    if (!JoinSystemPath(directory, name, path, sizeof path)) return nullptr;
    return plat::LoadLibraryFile(path);
}

std::int32_t SetSaverRunning(std::int32_t on) {
    if (!hostState.win95Family) return 0;
    return plat::SetScreenSaverRunning(on);
}

void LoadPasswordVerifier() {
    if (!hostState.win95Family) return;
    if (hostState.passwordModule) UnloadPasswordVerifier();

    plat::RegistryKey key = nullptr;
    if (!plat::OpenUserKey("Control Panel\\Desktop", &key)) return;
    // Zeroed first, so that a value shorter than four bytes counts by its own bytes.
    unsigned char value[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof value;
    bool read = plat::ReadRegistryValue(key, "ScreenSaveUsePassword", value, &size);
    std::uint32_t usePassword = value[0] | (value[1] << 8) | (value[2] << 16) | (static_cast<std::uint32_t>(value[3]) << 24);
    if (read && usePassword != 0) {
        hostState.passwordModule = LoadSystemLibrary("PASSWORD.CPL");
        if (hostState.passwordModule) {
            hostState.verifyPassword = plat::FindProc(hostState.passwordModule, "VerifyScreenSavePwd");
            if (hostState.verifyPassword)
                SetSaverRunning(1);
            else
                UnloadPasswordVerifier();
        }
    }
    plat::CloseRegistryKey(key);
}

void UnloadPasswordVerifier() {
    if (!hostState.win95Family || !hostState.passwordModule) return;
    plat::ReleaseLibrary(hostState.passwordModule);
    hostState.passwordModule = nullptr;
    if (hostState.verifyPassword) {
        hostState.verifyPassword = nullptr;
        SetSaverRunning(0);
    }
}
