#include "fake_system.h"

#include <cstdio>

#include "fake.h"
#include "platform/system.h"

namespace fake {
namespace {
SystemState systemState;
ResetHook resetSystem([] { systemState = SystemState{}; });

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
}  // namespace

SystemState& System() { return systemState; }

}  // namespace fake

namespace plat {

const char* CommandLineText() {
    fake::Record("CommandLineText");
    return fake::System().commandLine;
}

// Not recorded: the command line is walked one character per call.
const char* NextCharacter(const char* text) {
    if (*text == '\0') return text;
    if (fake::System().doubleByteCodePage && fake::IsLeadByte(static_cast<unsigned char>(*text)) && text[1] != '\0')
        return text + 2;
    return text + 1;
}

Module ProgramModule() {
    fake::Record("ProgramModule");
    return fake::System().programModule;
}

void EndProcess(std::int32_t status) {
    fake::Record("EndProcess", {status});
    fake::System().ended = true;
    fake::System().endStatus = status;
}

std::int32_t PlatformId() {
    fake::Record("PlatformId");
    return fake::System().platformId;
}

std::uint32_t SystemVersion() {
    fake::Record("SystemVersion");
    return fake::System().version;
}

std::int32_t SetScreenSaverRunning(std::int32_t on) {
    fake::Record("SetScreenSaverRunning", {on});
    fake::System().saverRunning = on;
    return 1;
}

void InstallFaultGuard(void (*cleanup)()) {
    fake::Record("InstallFaultGuard");
    fake::System().faultCleanup = cleanup;
}

std::uint32_t LastSystemError() { return fake::System().lastError; }

// The double's wording names the code, so a test can see which error was shown.
void SystemErrorText(std::uint32_t code, char* buffer, int size) {
    fake::Record("SystemErrorText", {static_cast<std::intptr_t>(code)});
    if (buffer != nullptr && size > 0) std::snprintf(buffer, static_cast<std::size_t>(size), "System error %u", code);
}

}  // namespace plat
