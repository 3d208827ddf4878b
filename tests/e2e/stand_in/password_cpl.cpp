// Stands in for the system's password verifier: records each call with the
// window it was given and answers what the driver asked for.
#include "stand_in.h"

// Imported, so that the system loads pwdpart.dll with this library.
extern "C" __declspec(dllimport) int StandInVerifierPart();

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    char line[96];
    std::snprintf(line, sizeof line, "VerifyScreenSavePwd(%lu)",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    stand_in::AppendLine(line);
    const stand_in::Answer answer = stand_in::AnswerAfterPumping();
    std::snprintf(line, sizeof line, "VerifyScreenSavePwd -> %ld", answer.value);
    stand_in::AppendLine(line);
    return answer.value != 0 ? TRUE : FALSE;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH && StandInVerifierPart()) stand_in::LogLoad("password.cpl", self);
    return TRUE;
}
