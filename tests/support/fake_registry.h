// Test double of the current user's registry: the one binary value that the
// password lock reads, and keys of string values (the per-user settings).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fake {

// A key of string values, by value name (names compare as given).
using TextKey = std::map<std::string, std::string>;

struct RegistryState {
    std::string keyPath = "Control Panel\\Desktop";  // the key of the binary value
    std::string valueName = "ScreenSaveUsePassword";
    bool valuePresent = false;
    std::vector<unsigned char> value;  // the stored bytes
    std::string openedPath;            // what OpenUserKey was last given
    int openKeys = 0;                  // opened or created and not yet closed

    std::map<std::string, TextKey> textKeys;  // by path
    std::uint32_t createError = 0;            // CreateUserKey's error for a missing key, when not 0
    std::uint32_t writeError = 0;             // WriteRegistryText's error, when not 0
    int failOnlyWrite = 0;                    // when not 0, only this write (from 1) fails
    int writes = 0;                           // WriteRegistryText calls so far
};

RegistryState& Registry();

}  // namespace fake
