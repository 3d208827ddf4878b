// A library that the verifier's stand-in depends on, as the real verifier depends on
// other system libraries: it records the folder it was loaded from.
#include "stand_in.h"

extern "C" __declspec(dllexport) int StandInVerifierPart() { return 1; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) stand_in::LogLoad("pwdpart.dll", self);
    return TRUE;
}
