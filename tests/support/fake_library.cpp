#include "fake_library.h"

#include <cstring>

#include "fake.h"

namespace fake {
namespace {
LibraryState libraryState;
ResetHook resetLibraries([] { libraryState = LibraryState{}; });

// Stable distinct addresses for exports: module address plus a small offset by name.
std::uintptr_t NameOffset(const std::string& name) {
    std::uintptr_t h = 0;
    for (char c : name) h = h * 31u + static_cast<unsigned char>(c);
    return 0x10 + (h % 0xFF0);
}
}  // namespace

LibraryState& Libraries() { return libraryState; }

plat::ProcAddress ProcOf(plat::Module module, const std::string& name) {
    return reinterpret_cast<plat::ProcAddress>(reinterpret_cast<std::uintptr_t>(module) + NameOffset(name));
}

}  // namespace fake

namespace plat {

using fake::Arg;
using fake::libraryState;
using fake::Record;

std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) {
    Record("SystemDirectory");
    const std::string& dir = libraryState.systemDirectory;
    if (dir.size() + 1 > size) return static_cast<std::uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<std::uint32_t>(dir.size());
}

Module LoadLibraryFile(const char* path) {
    Record("LoadLibraryFile");
    libraryState.loadAttempts.push_back(path);
    for (const auto& f : libraryState.files)
        if (f.path == path) return f.module;
    return nullptr;
}

Module FindLoadedModule(const char* name) {
    Record("FindLoadedModule");
    for (const auto& f : libraryState.loaded)
        if (f.path == name) return f.module;
    return nullptr;
}

ProcAddress FindProc(Module module, const char* name) {
    Record("FindProc", {Arg(module)});
    for (const auto* list : {&libraryState.files, &libraryState.loaded})
        for (const auto& f : *list)
            if (f.module == module)
                for (const auto& e : f.exports)
                    if (e == name) return fake::ProcOf(module, e);
    return nullptr;
}

void ReleaseLibrary(Module module) { Record("ReleaseLibrary", {Arg(module)}); }

std::int32_t CallVerifier(ProcAddress verifier, Window window) {
    Record("CallVerifier", {Arg(verifier), Arg(window)});
    if (libraryState.duringVerify) libraryState.duringVerify(window);
    return libraryState.verifierResult;
}

InputContext CallImeAssociate(ProcAddress associate, Window window, InputContext context) {
    Record("CallImeAssociate", {Arg(associate), Arg(window), Arg(context)});
    return libraryState.imePrevious;
}

std::uint32_t CallPasswordChange(ProcAddress change, const char* provider, Window parent, std::uint32_t reserved1,
                                 std::uint32_t reserved2) {
    Record("CallPasswordChange", {Arg(change), Arg(parent), static_cast<std::intptr_t>(reserved1),
                                  static_cast<std::intptr_t>(reserved2)});
    libraryState.passwordProvider = provider;
    return 1;
}

}  // namespace plat
