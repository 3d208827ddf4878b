// Stands in for the network provider library's password change: records the
// provider name, the parent window and the two reserved arguments.
#include "stand_in.h"

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND window,
                                                                 DWORD reserved1, DWORD reserved2) {
    char line[160];
    std::snprintf(line, sizeof line, "PwdChangePasswordA(%s, %lu, %lu, %lu)",
                  provider != nullptr ? provider : "(null)",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
                  static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    stand_in::AppendLine(line);
    return static_cast<DWORD>(stand_in::ReadAnswer().value);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) stand_in::LogLoad("mpr.dll", self);
    return TRUE;
}
