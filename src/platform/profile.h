// Strings of the program's own resources and the system's profile (.INI) files.
#pragma once

#include <cstdint>

namespace plat {

// Copies string resource `id` of the program into `buffer` (at most `limit`
// characters including the terminator). Returns the number of characters
// copied, 0 when there is no such string (the buffer then holds "").
int LoadResourceString(std::uint32_t id, char* buffer, int limit);

// The integer that the text of `key` in `section` of profile `file` begins
// with, by the system's profile-reading rule, or `fallback` when the file,
// section or key is absent.
std::int32_t ReadProfileInt(const char* section, const char* key, std::int32_t fallback, const char* file);

// Sets `key` in `section` of profile `file` to `text`, creating what is
// missing and leaving every other section and key as it was. True on success.
bool WriteProfileText(const char* section, const char* key, const char* text, const char* file);

}  // namespace plat
