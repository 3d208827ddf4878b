// Test double of the program's string table and of the system's profile (.INI)
// files: in-memory files that read and write the way the system's profile
// functions do.
//
// A file is a list of sections, each a list of lines "key=value" (or a bare
// line without "="), kept in the order in which they first appeared. Names of
// files, sections and keys compare without regard to case. Reading an integer
// follows the system's rule (see ParseProfileInt). Every call is also recorded
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

// When true, every WriteProfileText fails (returns false) and changes nothing.
void SetProfileWritesFail(bool fail);

struct ProfileAccess {
    std::string file, section, key, text;  // text: the written text, or the integer read as decimal
};
const std::vector<ProfileAccess>& ProfileReads();
const std::vector<ProfileAccess>& ProfileWrites();

// The string table that LoadResourceString copies from.
void SetResourceString(std::uint32_t id, const std::string& text);
void RemoveResourceString(std::uint32_t id);

// The system's rule for the integer that a profile value begins with, given
// the value text as stored (after the file's whitespace trimming), or
// `fallback` when there is no value:
//   - a value enclosed in matching single or double quotes loses them;
//   - only the first 29 characters count;
//   - an empty value gives `fallback`;
//   - leading characters up to and including space are skipped, then an
//     optional "+" or "-";
//   - "0x", "0o" or "0b" (lower case only) selects base 16, 8 or 2, else base 10;
//   - digits are taken until the first character that is not a digit of the
//     base; no digits gives 0;
//   - the total wraps modulo 2^32 and "-" negates it.
std::int32_t ParseProfileInt(const char* value, std::int32_t fallback);

}  // namespace fake
