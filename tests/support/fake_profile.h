// Test double of the program's string table and of the system's profile (.INI)
// files: in-memory files that read and write the way the system's profile
// functions do.
//
// A file is a list of sections, each a list of lines "key=value" (or a bare
// line without "="), kept in the order in which they first appeared. Names of
// files, sections and keys compare without regard to case. Reading an integer
// follows the system's rule (see ProfileIntFromText). Every call is also recorded
// in the call log: "LoadResourceString" {id, limit}, "ReadProfileInt"
// {fallback, result}, "WriteProfileText" {}; the reads and writes with their
// texts are kept in ProfileReads() and ProfileWrites().
//
// fake::Reset() removes every file and restores the string table to the
// program's own: 1007 = "Screen_Saver.Pendral".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

// Replaces the whole contents of profile `file` (creating it) with `text`,
// parsed as the system parses a profile file.
void SetProfileText(const std::string& file, const std::string& text);

// Removes profile `file`, as if it had never existed.
void RemoveProfile(const std::string& file);

bool ProfileExists(const std::string& file);

// The contents of profile `file` as it would be written out: "[section]" and
// "key=value" lines separated by "\n", a blank line before each section after
// the first. Empty when the file does not exist.
std::string ProfileText(const std::string& file);

// The raw value text of `key` in `section`, or "<absent>" when the file, the
// section or the key is missing (a bare key line without "=" reads "<no value>").
std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key);

// When `error` is not 0, every WriteProfileText fails (returns false), changes
// nothing and leaves `error` for LastSystemError.
void SetProfileWritesFail(std::uint32_t error);

struct ProfileAccess {
    std::string file, section, key, text;  // text: the written text, or the integer read as decimal
};
const std::vector<ProfileAccess>& ProfileReads();
const std::vector<ProfileAccess>& ProfileWrites();

// The string table that LoadResourceString copies from.
void SetResourceString(std::uint32_t id, const std::string& text);
void RemoveResourceString(std::uint32_t id);

}  // namespace fake
