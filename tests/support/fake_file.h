// Test double of file reading and of the program's built-in bitmaps: named files
// and bitmaps held in memory.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fake {

struct FileState {
    std::map<std::string, std::vector<std::uint8_t>> files;           // what OpenFileForReading finds
    std::map<std::string, std::vector<std::uint8_t>> builtInBitmaps;  // what FindBuiltInBitmap finds
    int openFiles = 0;  // files opened and not yet closed
    std::vector<std::string> reports;  // ReportUnusableFile's "name: why", in order
};

FileState& Files();

}  // namespace fake
