#include "app/settings.h"

#include <charconv>
#include <cstring>

#include "platform/profile.h"
#include "platform/registry.h"

namespace {

// The section name buffer holds 64 characters; the string load is given a limit
// of 60 (terminator included), so at most 59 characters of the name are used.
constexpr int SECTION_BUFFER_SIZE = 64;
constexpr int SECTION_LOAD_LIMIT = 60;

// Room for the decimal text of any 32-bit value ("-2147483648") and its terminator.
constexpr int VALUE_TEXT_SIZE = 20;

// A stored value as the registry holds it: the reader looks at 29 characters at most.
constexpr std::uint32_t STORED_TEXT_SIZE = 64;

// The profile reader's limit on the characters of a value that count.
constexpr std::size_t PROFILE_INT_CHARACTERS = 29;

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

// One key's integer: from the per-user key when it holds the value (`userKey`
// may be null), else from the profile functions.
std::int32_t ReadInt(plat::RegistryKey userKey, const char* section, const char* key, std::int32_t fallback) {
    char text[STORED_TEXT_SIZE];
    if (userKey != nullptr && plat::ReadRegistryText(userKey, key, text, STORED_TEXT_SIZE))
        return ProfileIntFromText(text, fallback);
    return plat::ReadProfileInt(section, key, fallback, SETTINGS_FILE);
}

// Plain decimal: "-" for negative values, no leading zeros, no plus sign.
void DecimalText(std::int32_t value, char (&text)[VALUE_TEXT_SIZE]) {
    const auto result = std::to_chars(text, text + VALUE_TEXT_SIZE - 1, value);
    *result.ptr = '\0';
}

// Writes the six values into the per-user key, creating it. The system's error
// code of the first failure, or 0.
std::uint32_t SaveToUserKey() {
    plat::RegistryKey key = nullptr;
    if (std::uint32_t error = plat::CreateUserKey(SETTINGS_USER_KEY, &key)) return error;
    std::uint32_t error = 0;
    for (const Key& k : KEYS) {
        char text[VALUE_TEXT_SIZE];
        DecimalText(saverSettings.*k.field, text);
        error = plat::WriteRegistryText(key, k.name, text);
        if (error != 0) break;
    }
    plat::CloseRegistryKey(key);
    return error;
}

bool UserKeyExists() {
    plat::RegistryKey key = nullptr;
    if (!plat::OpenUserKey(SETTINGS_USER_KEY, &key)) return false;
    plat::CloseRegistryKey(key);
    return true;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

std::int32_t ProfileIntFromText(const char* text, std::int32_t fallback) {
    const char* begin = text;
    std::size_t length = std::strlen(text);
    if (length > 1 && (begin[0] == '"' || begin[0] == '\'') && begin[length - 1] == begin[0]) {
        ++begin;
        length -= 2;
    }
    if (length > PROFILE_INT_CHARACTERS) length = PROFILE_INT_CHARACTERS;
    if (length == 0) return fallback;

    const char* p = begin;
    const char* end = begin + length;
    while (p < end && static_cast<unsigned char>(*p) <= ' ') ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int base = 10;
    if (p + 1 < end && p[0] == '0') {
        switch (p[1]) {
            case 'x': base = 16; p += 2; break;
            case 'o': base = 8; p += 2; break;
            case 'b': base = 2; p += 2; break;
            default: break;
        }
    }
    std::uint32_t total = 0;
    for (; p < end && DigitValue(*p) < base; ++p)
        total = total * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(DigitValue(*p));
    if (negative) total = 0u - total;
    return static_cast<std::int32_t>(total);
}

void LoadSettings() {
    char section[SECTION_BUFFER_SIZE];
    LoadSectionName(section);
    plat::RegistryKey user = nullptr;
    if (!plat::OpenUserKey(SETTINGS_USER_KEY, &user)) user = nullptr;

    SaverSettings& s = saverSettings;
    s.soundSwitch = ReadInt(user, section, "SOUND_SW", 1);
    // The default 1 lies outside the range on purpose: a missing key gives 51 bodies.
    s.bodyCount = InRangeOr(ReadInt(user, section, "EVENT_FREQ", 1), 3, 100, 51);
    s.attractionSetting = InRangeOr(ReadInt(user, section, "ANI_INTERVAL", 110), 0, 200, 110);
    s.refreshMinutes = InRangeOr(ReadInt(user, section, "REFRESH_INTERVAL", 5), 1, 100, 5);
    s.redSwitch = ReadInt(user, section, "RED_SW", 0);
    s.blueSwitch = ReadInt(user, section, "BLUE_SW", 0);

    if (user != nullptr) plat::CloseRegistryKey(user);
}

std::uint32_t SaveSettings() {
    char section[SECTION_BUFFER_SIZE];
    LoadSectionName(section);

    // Once the user has the per-user key, it is what LoadSettings reads first.
    if (UserKeyExists()) return SaveToUserKey();

    for (const Key& key : KEYS) {
        char text[VALUE_TEXT_SIZE];
        DecimalText(saverSettings.*key.field, text);
        // Refused (a read-only Windows folder): keep all six per user instead.
        if (!plat::WriteProfileText(section, key.name, text, SETTINGS_FILE)) return SaveToUserKey();
    }
    return 0;
}
