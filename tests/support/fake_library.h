// Test double of the run-time libraries: which files load, which exports
// they have, and what the functions found in them answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/library.h"
#include "platform/types.h"

namespace fake {

struct LibraryFile {
    std::string path;       // full path that LoadLibraryFile accepts, or the name of a loaded module
    plat::Module module;
    std::vector<std::string> exports;  // FindProc answers an address for these
};

struct LibraryState {
    std::string systemDirectory = "C:\\windows\\system32";  // SystemDirectory's answer ("" fails)
    std::vector<LibraryFile> files;   // loadable by LoadLibraryFile
    std::vector<LibraryFile> loaded;  // found by FindLoadedModule
    std::vector<std::string> loadAttempts;  // paths given to LoadLibraryFile

    std::int32_t verifierResult = 0;  // CallVerifier's answer
    void (*duringVerify)(plat::Window) = nullptr;  // runs inside CallVerifier, as the verifier's dialog would
    plat::InputContext imePrevious = nullptr;      // CallImeAssociate's answer
    std::string passwordProvider;                  // what CallPasswordChange was given
};

LibraryState& Libraries();

// The address FindProc answers for an export of a module (never null).
plat::ProcAddress ProcOf(plat::Module module, const std::string& name);

}  // namespace fake
