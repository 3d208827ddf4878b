#include "platform/system.h"

#include <windows.h>

#include <cstdio>

namespace {

void (*faultCleanup)() = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

// The fault guard. The system's filter reports the fault first; it would call
// back into this filter, so the previous one is put back before asking it.
// When its verdict is to run the guard's handler, the cleanup runs and the
// process ends with the fault's code as exit status (what the system itself
// gives a process that a fault ended).
LONG WINAPI FaultFilter(EXCEPTION_POINTERS* info) {
    SetUnhandledExceptionFilter(previousFilter);
    LONG verdict = UnhandledExceptionFilter(info);
    if (verdict != EXCEPTION_EXECUTE_HANDLER) return verdict;
    if (faultCleanup) faultCleanup();
    ExitProcess(info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1u);
}

}  // namespace

namespace plat {

const char* CommandLineText() { return GetCommandLineA(); }

const char* NextCharacter(const char* text) { return CharNextA(text); }

Module ProgramModule() { return reinterpret_cast<Module>(GetModuleHandleA(nullptr)); }

void EndProcess(std::int32_t status) { ExitProcess(static_cast<UINT>(status)); }

namespace {
bool QueryVersion(OSVERSIONINFOA* info) {
    *info = OSVERSIONINFOA{};
    info->dwOSVersionInfoSize = sizeof *info;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(info) != 0;
#pragma GCC diagnostic pop
}
}  // namespace

std::int32_t PlatformId() {
    OSVERSIONINFOA info;
    if (!QueryVersion(&info)) return -1;
    return static_cast<std::int32_t>(info.dwPlatformId);
}

std::uint32_t SystemVersion() {
    OSVERSIONINFOA info;
    if (!QueryVersion(&info)) return 0;
    return (info.dwMajorVersion & 0xFFFFFFu) << 8 | (info.dwMinorVersion & 0xFFu);
}

std::int32_t SetScreenSaverRunning(std::int32_t on) {
    UINT previous = 0;
    return SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(on), &previous, 0);
}

void InstallFaultGuard(void (*cleanup)()) {
    faultCleanup = cleanup;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(FaultFilter);
    if (previous != FaultFilter) previousFilter = previous;
}

std::uint32_t LastSystemError() { return GetLastError(); }

void SystemErrorText(std::uint32_t code, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, static_cast<DWORD>(size), nullptr);
    if (length == 0) {
        std::snprintf(buffer, static_cast<std::size_t>(size), "Error %lu.", static_cast<unsigned long>(code));
        return;
    }
    // The system's texts end with a line break; the message box adds its own layout.
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' '))
        --length;
    buffer[length] = '\0';
}

}  // namespace plat
