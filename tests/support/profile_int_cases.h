// Profile values and the integers the system's profile reader makes of them,
// shared by the test of the double and the test of the real platform under Wine.
#pragma once

#include <cstdint>

namespace fake {

inline constexpr const char* PROFILE_INT_TEXT =
    "[Cases]\n"
    "plain=42\n"
    "negative=-7\n"
    "plus=+8\n"
    "spaced =   42   \n"
    "trailing=12abc\n"
    "letters=abc\n"
    "empty=\n"
    "hex=0x1F\n"
    "upperHex=0X1F\n"
    "octal=0o17\n"
    "binary=0b101\n"
    "wraps=4294967297\n"
    "overflows=2147483648\n"
    "quoted=\"42\"\n"
    "halfQuoted=\"42\n"
    "signSpace=- 5\n"
    "twoSigns=--5\n"
    "twoNumbers=1 2\n"
    "long=000000000000000000000000000000042\n"
    "bare\n";

struct ProfileIntCase {
    const char* key;
    std::int32_t expected;  // read with the fallback -99
};

inline constexpr ProfileIntCase PROFILE_INT_CASES[] = {
    {"plain", 42},       {"negative", -7},        {"plus", 8},
    {"spaced", 42},      {"trailing", 12},        {"letters", 0},
    {"empty", -99},      {"hex", 31},             {"upperHex", 0},
    {"octal", 15},       {"binary", 5},           {"wraps", 1},
    {"overflows", INT32_MIN}, {"quoted", 42},     {"halfQuoted", 0},
    {"signSpace", 0},    {"twoSigns", 0},         {"twoNumbers", 1},
    {"long", 0},         {"bare", -99},           {"missing", -99},
};

}  // namespace fake
