// Test double of the process and system functions.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace fake {

struct SystemState {
    const char* commandLine = "";  // CommandLineText's answer
    // NextCharacter steps over double-byte characters of a Shift-JIS-like code
    // page (lead bytes 0x81-0x9F and 0xE0-0xFC) when set.
    bool doubleByteCodePage = false;
    plat::Module programModule = reinterpret_cast<plat::Module>(0x400000);
    std::int32_t platformId = 2;  // PlatformId's answer: the NT family
    std::uint32_t version = 0xA00;  // SystemVersion's answer: 10.0
    bool ended = false;           // EndProcess was called, with endStatus
    std::int32_t endStatus = 0;
    void (*faultCleanup)() = nullptr;  // what InstallFaultGuard was given
    std::int32_t saverRunning = 0;     // the last SetScreenSaverRunning state
    std::uint32_t lastError = 0;       // LastSystemError's answer
};

SystemState& System();

}  // namespace fake
