#include "app/settings.h"

#include <charconv>

#include "platform/profile.h"

namespace {

// The section name buffer holds 64 characters; the string load is given a limit
// of 60 (terminator included), so at most 59 characters of the name are used.
constexpr int SECTION_BUFFER_SIZE = 64;
constexpr int SECTION_LOAD_LIMIT = 60;

// Room for the decimal text of any 32-bit value ("-2147483648") and its terminator.
constexpr int VALUE_TEXT_SIZE = 20;

struct Key {
    const char* name;
    std::int32_t SaverSettings::*field;
};

// The six keys in the order in which they are read and written.
constexpr Key KEYS[] = {
    {"SOUND_SW", &SaverSettings::soundSwitch},
    {"EVENT_FREQ", &SaverSettings::bodyCount},
    {"ANI_INTERVAL", &SaverSettings::attractionSetting},
    {"REFRESH_INTERVAL", &SaverSettings::refreshMinutes},
    {"RED_SW", &SaverSettings::redSwitch},
    {"BLUE_SW", &SaverSettings::blueSwitch},
};

void LoadSectionName(char (&section)[SECTION_BUFFER_SIZE]) {
    section[0] = '\0';
    plat::LoadResourceString(SETTINGS_SECTION_STRING_ID, section, SECTION_LOAD_LIMIT);
    section[SECTION_BUFFER_SIZE - 1] = '\0';
}

// The stored value, or `fallback` when it lies outside [low, high].
std::int32_t InRangeOr(std::int32_t value, std::int32_t low, std::int32_t high, std::int32_t fallback) {
    return value < low || value > high ? fallback : value;
}

}  // namespace

void LoadSettings() {
    char section[SECTION_BUFFER_SIZE];
    LoadSectionName(section);

    SaverSettings& s = saverSettings;
    s.soundSwitch = plat::ReadProfileInt(section, "SOUND_SW", 1, SETTINGS_FILE);
    // The default 1 lies outside the range on purpose: a missing key gives 51 bodies.
    s.bodyCount = InRangeOr(plat::ReadProfileInt(section, "EVENT_FREQ", 1, SETTINGS_FILE), 3, 100, 51);
    s.attractionSetting = InRangeOr(plat::ReadProfileInt(section, "ANI_INTERVAL", 110, SETTINGS_FILE), 0, 200, 110);
    s.refreshMinutes = InRangeOr(plat::ReadProfileInt(section, "REFRESH_INTERVAL", 5, SETTINGS_FILE), 1, 100, 5);
    s.redSwitch = plat::ReadProfileInt(section, "RED_SW", 0, SETTINGS_FILE);
    s.blueSwitch = plat::ReadProfileInt(section, "BLUE_SW", 0, SETTINGS_FILE);
}

void SaveSettings() {
    char section[SECTION_BUFFER_SIZE];
    LoadSectionName(section);

    for (const Key& key : KEYS) {
        // Plain decimal: "-" for negative values, no leading zeros, no plus sign.
        char text[VALUE_TEXT_SIZE];
        const auto result = std::to_chars(text, text + VALUE_TEXT_SIZE - 1, saverSettings.*key.field);
        *result.ptr = '\0';
        plat::WriteProfileText(section, key.name, text, SETTINGS_FILE);
    }
}
