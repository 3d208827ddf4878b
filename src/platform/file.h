// Reading files by name.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

enum class SeekOrigin { Start, Current };

// Opens the file `name` for reading; null when no file opens. A bare name is
// looked for in the platform's places for pictures (on Windows: the current
// folder, the program's folder, the system folders and the PATH; on X11: the
// folder of the -sprites option, as given and with ".bmp" added, else nowhere).
File OpenFileForReading(const char* name);

// Moves the read position by `offset` from the start or from the current position
// and returns the new position, or -1 (position unchanged) when that is not possible.
// A move by 0 from the current position tells the position.
std::int32_t SeekFile(File file, std::int32_t offset, SeekOrigin origin);

// Reads up to `count` bytes at the read position into `buffer`; returns how many
// were read (0 at the end of the file or on an error).
std::uint32_t ReadFromFile(File file, void* buffer, std::uint32_t count);

void CloseFile(File file);

// Tells the user that the file `name` opened but gives no picture, and why (for
// example "16384 x 16384 pixels; a picture has at most ..."). On Linux one line on
// standard error naming the file, once per file however often it is loaded; on
// Windows nothing (the picture is left out, as any unusable one is); on the page
// nothing (its files are checked, and the refusal shown, before a scene loads them).
void ReportUnusableFile(const char* name, const char* why);

}  // namespace plat
