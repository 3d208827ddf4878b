// Test double of the current user's registry: one key with one value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

struct RegistryState {
    std::string keyPath = "Control Panel\\Desktop";  // the one key that opens
    std::string valueName = "ScreenSaveUsePassword";
    bool valuePresent = false;
    std::vector<unsigned char> value;  // the stored bytes
    std::string openedPath;            // what OpenUserKey was given
    int openKeys = 0;                  // opened and not yet closed
};

RegistryState& Registry();

}  // namespace fake
