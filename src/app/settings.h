// The saver's six persisted settings and their load and save.
//
// Where they live. The settings are one section of the profile file CONTROL.INI
// in the Windows folder. Windows Vista and later let no unelevated program write
// that folder, so the settings are also kept per user, in the current user's
// registry key SETTINGS_USER_KEY, one string value per key ("EVENT_FREQ" = "51"):
//   - The setup program registers the system's own redirection for the section
//     (IniFileMapping: CONTROL.INI's section -> "USR:" SETTINGS_USER_KEY). The
//     profile functions then read and write that same per-user key.
//   - A saver installed by hand has no such mapping. When a write to CONTROL.INI
//     fails, the save goes to the per-user key itself.
// Reading takes each value from the per-user key when the key holds it, and
// from the profile functions otherwise (that is, the mapped section, which
// falls back to the file on disk for what the registry lacks, or the file
// itself). Writing goes to the per-user key once that key exists, and to the
// profile functions otherwise, falling back to the per-user key when they
// fail. So both routes read and write one place per user, no user's save
// changes another's stored per-user settings, and settings already in
// CONTROL.INI still load until the user saves new ones. Where CONTROL.INI is
// writable and nothing is mapped (the Windows 95 family), the file alone is used.
#pragma once

#include <cstdint>

struct SaverSettings {
    std::int32_t soundSwitch;        // SOUND_SW: 1 on, 0 off (kept, never used for sound)
    std::int32_t bodyCount;          // EVENT_FREQ: 3 to 100
    std::int32_t attractionSetting;  // ANI_INTERVAL: 0 to 200, attraction = (value - 100) * 0.125
    std::int32_t refreshMinutes;     // REFRESH_INTERVAL: 1 to 100
    std::int32_t redSwitch;          // RED_SW: > 0 makes body 0 the heavy red body
    std::int32_t blueSwitch;         // BLUE_SW: > 0 makes body 1 the blue body
};

// The program-wide record: all zero until the first LoadSettings.
extern SaverSettings saverSettings;

inline constexpr const char* SETTINGS_FILE = "CONTROL.INI";
inline constexpr std::uint32_t SETTINGS_SECTION_STRING_ID = 1007;
// The current user's key that holds the settings, under the user's registry root.
inline constexpr const char* SETTINGS_USER_KEY = "Software\\Pendral\\Settings";

// Reads all six keys into saverSettings, with defaults and range fallbacks.
void LoadSettings();

// Writes all six fields as decimal text, in their fixed order. Returns 0 when
// all six are stored, else the system's error code of the failed write.
std::uint32_t SaveSettings();

// The integer that a stored value text begins with, by the system's profile
// reading rule, or `fallback` for an empty text:
//   - a text enclosed in matching single or double quotes loses them;
//   - only the first 29 characters count;
//   - leading characters up to and including space are skipped, then an
//     optional "+" or "-";
//   - "0x", "0o" or "0b" (lower case only) selects base 16, 8 or 2, else base 10;
//   - digits are taken until the first character that is not a digit of the
//     base; no digits gives 0;
//   - the total wraps modulo 2^32 and "-" negates it.
std::int32_t ProfileIntFromText(const char* text, std::int32_t fallback);
