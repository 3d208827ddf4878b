// The saver's six persisted settings and their load and save.
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

// Reads all six keys into saverSettings, with defaults and range fallbacks.
void LoadSettings();

// Writes all six fields as decimal text, in their fixed order.
void SaveSettings();
