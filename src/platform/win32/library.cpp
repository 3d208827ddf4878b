#include "platform/library.h"

#include <windows.h>

namespace {
HWND H(plat::Window window) { return reinterpret_cast<HWND>(window); }
HMODULE M(plat::Module module) { return reinterpret_cast<HMODULE>(module); }

// The optional system functions use the system's calling convention.
using VerifyFunction = BOOL(WINAPI*)(HWND);
using AssociateFunction = void*(WINAPI*)(HWND, void*);
using PasswordChangeFunction = DWORD(WINAPI*)(LPCSTR, HWND, UINT_PTR, UINT_PTR);
}  // namespace

namespace plat {

std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) { return GetSystemDirectoryA(buffer, size); }

// The libraries that this one depends on are searched for in its own folder first,
// not in the program's folder or the current one.
Module LoadLibraryFile(const char* path) {
    return reinterpret_cast<Module>(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

Module FindLoadedModule(const char* name) { return reinterpret_cast<Module>(GetModuleHandleA(name)); }

ProcAddress FindProc(Module module, const char* name) {
    return reinterpret_cast<ProcAddress>(GetProcAddress(M(module), name));
}

void ReleaseLibrary(Module module) { FreeLibrary(M(module)); }

std::int32_t CallVerifier(ProcAddress verifier, Window window) {
    return reinterpret_cast<VerifyFunction>(verifier)(H(window));
}

InputContext CallImeAssociate(ProcAddress associate, Window window, InputContext context) {
    return reinterpret_cast<AssociateFunction>(associate)(H(window), context);
}

std::uint32_t CallPasswordChange(ProcAddress change, const char* provider, Window parent, std::uint32_t reserved1,
                                 std::uint32_t reserved2) {
    return reinterpret_cast<PasswordChangeFunction>(change)(provider, H(parent), reserved1, reserved2);
}

}  // namespace plat
