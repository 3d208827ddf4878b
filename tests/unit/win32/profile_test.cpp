// The profile and string functions of the real platform, and the settings
// round trip through them, under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../../support/profile_int_cases.h"
#include "app/settings.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {

std::string ReadWholeFile(const std::string& path, bool* exists) {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    *exists = f != nullptr;
    if (f == nullptr) return text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    std::fclose(f);
    return text;
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string ReadText(const char* section, const char* key, const char* file) {
    char buffer[128];
    GetPrivateProfileStringA(section, key, "<absent>", buffer, sizeof buffer, file);
    return buffer;
}

void ExpectSettings(std::int32_t sound, std::int32_t count, std::int32_t attraction, std::int32_t refresh,
                    std::int32_t red, std::int32_t blue) {
    const SaverSettings expected{sound, count, attraction, refresh, red, blue};
    const SaverSettings& s = saverSettings;
    EXPECT_EQ(s.soundSwitch, expected.soundSwitch);
    EXPECT_EQ(s.bodyCount, expected.bodyCount);
    EXPECT_EQ(s.attractionSetting, expected.attractionSetting);
    EXPECT_EQ(s.refreshMinutes, expected.refreshMinutes);
    EXPECT_EQ(s.redSwitch, expected.redSwitch);
    EXPECT_EQ(s.blueSwitch, expected.blueSwitch);
}

TEST(RealProfile, ReadsIntegersAsTheDoubleDoes) {
    char dir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
    const std::string path = std::string(dir) + "pendral_profile_cases.ini";
    WriteWholeFile(path, fake::PROFILE_INT_TEXT);
    for (const auto& c : fake::PROFILE_INT_CASES)
        EXPECT_EQ(plat::ReadProfileInt("Cases", c.key, -99, path.c_str()), c.expected) << c.key;
    EXPECT_EQ(plat::ReadProfileInt("cases", "PLAIN", -99, path.c_str()), 42);
    EXPECT_EQ(plat::ReadProfileInt("Nowhere", "plain", -99, path.c_str()), -99);
    DeleteFileA(path.c_str());
}

TEST(RealProfile, LoadsStringsOfTheProgramsOwnResources) {
    char buffer[64];
    EXPECT_EQ(plat::LoadResourceString(1007, buffer, 60), 20);
    EXPECT_STREQ(buffer, "Screen_Saver.Pendral");
    EXPECT_EQ(plat::LoadResourceString(1007, buffer, 8), 7);
    EXPECT_STREQ(buffer, "Screen_");
    EXPECT_EQ(plat::LoadResourceString(4321, buffer, 60), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(plat::LoadResourceString(1007, buffer, 0), 0);
}

// Saves and loads through the bare CONTROL.INI of the Windows directory,
// restoring the file as it was afterwards.
TEST(RealProfile, SettingsRoundTripKeepsWhatTheyDoNotOwn) {
    char windowsDir[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windowsDir, MAX_PATH), 0u);
    const std::string path = std::string(windowsDir) + "\\CONTROL.INI";
    bool existed = false;
    const std::string original = ReadWholeFile(path, &existed);

    const char* section = "Screen_Saver.Pendral";
    WritePrivateProfileStringA(section, nullptr, nullptr, SETTINGS_FILE);  // start without our section
    RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_USER_KEY);                   // and without per-user settings
    ASSERT_TRUE(plat::WriteProfileText("Pendral.Test.Other", "KEPT", "yes", SETTINGS_FILE));
    ASSERT_TRUE(plat::WriteProfileText(section, "FOREIGN", "also kept", SETTINGS_FILE));

    // Only the foreign key: the defaults.
    saverSettings = SaverSettings{};
    LoadSettings();
    ExpectSettings(1, 51, 110, 5, 0, 0);

    saverSettings = SaverSettings{0, 100, 0, 100, 7, -1};
    SaveSettings();
    saverSettings = SaverSettings{};
    LoadSettings();
    ExpectSettings(0, 100, 0, 100, 7, -1);

    EXPECT_EQ(ReadText("Pendral.Test.Other", "KEPT", SETTINGS_FILE), "yes");
    EXPECT_EQ(ReadText(section, "FOREIGN", SETTINGS_FILE), "also kept");

    // Out-of-range values written by hand fall back.
    plat::WriteProfileText(section, "EVENT_FREQ", "101", SETTINGS_FILE);
    plat::WriteProfileText(section, "ANI_INTERVAL", "201", SETTINGS_FILE);
    plat::WriteProfileText(section, "REFRESH_INTERVAL", "0", SETTINGS_FILE);
    LoadSettings();
    EXPECT_EQ(saverSettings.bodyCount, 51);
    EXPECT_EQ(saverSettings.attractionSetting, 110);
    EXPECT_EQ(saverSettings.refreshMinutes, 5);

    // The keys stand in the file in their fixed order, as decimal text.
    bool exists = false;
    const std::string text = ReadWholeFile(path, &exists);
    ASSERT_TRUE(exists);
    const std::size_t at[] = {text.find("SOUND_SW=0"), text.find("EVENT_FREQ=101"), text.find("ANI_INTERVAL=201"),
                              text.find("REFRESH_INTERVAL=0"), text.find("RED_SW=7"), text.find("BLUE_SW=-1")};
    for (std::size_t i = 0; i < 6; ++i) {
        ASSERT_NE(at[i], std::string::npos) << text;
        if (i > 0) {
            EXPECT_LT(at[i - 1], at[i]) << text;
        }
    }

    // Put the file back as it was (flushing the system's cached copy first).
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SETTINGS_FILE);
    if (existed) {
        WriteWholeFile(path, original);
    } else {
        DeleteFileA(path.c_str());
    }
}

// The per-user settings key's functions on the real registry, and the system's
// words for their errors.
TEST(RealRegistry, TextValuesRoundTripAndNothingElseReadsAsText) {
    const char* path = "Software\\Pendral\\RegistryTest";
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    plat::RegistryKey key = nullptr;
    ASSERT_EQ(plat::CreateUserKey(path, &key), 0u);
    EXPECT_EQ(plat::WriteRegistryText(key, "text", "-42"), 0u);
    const DWORD number = 7;
    RegSetValueExA(reinterpret_cast<HKEY>(key), "number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    EXPECT_EQ(plat::WriteRegistryText(key, "long", std::string(80, '9').c_str()), 0u);
    // The 64-byte buffer's edge: 63 characters and the terminator fill it exactly.
    const std::string fills(63, '6'), over(64, '7'), bare(63, '7');
    EXPECT_EQ(plat::WriteRegistryText(key, "fills", fills.c_str()), 0u);
    EXPECT_EQ(plat::WriteRegistryText(key, "over", over.c_str()), 0u);
    RegSetValueExA(reinterpret_cast<HKEY>(key), "bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(over.data()), 63);
    // 64 bytes from a longer text: a byte that is no terminator follows them, so
    // that the value is stored as 64 bytes that fill the buffer without one.
    const std::string longer(65, '7');
    RegSetValueExA(reinterpret_cast<HKEY>(key), "bare over", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer.data()),
                   64);
    RegSetValueExA(reinterpret_cast<HKEY>(key), "expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("12"), 3);
    // Written text is stored with its terminator, as other readers expect. (NT
    // and Wine count a terminator that follows the given length themselves; the
    // Windows 95 family's registry does not.)
    DWORD stored = 0;
    EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(key), "text", nullptr, nullptr, nullptr, &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, 4u);
    EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(key), "bare over", nullptr, nullptr, nullptr, &stored),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, 64u);

    struct Case {
        const char* name;
        bool found;
        const char* text;
    };
    for (const Case& c : {Case{"text", true, "-42"}, Case{"number", false, ""}, Case{"long", false, ""},
                          Case{"missing", false, ""}, Case{"fills", true, fills.c_str()}, Case{"over", false, ""},
                          Case{"bare", true, bare.c_str()}, Case{"bare over", false, ""},
                          Case{"expand", true, "12"}}) {
        char buffer[65] = "junk";  // 64 bytes given, and a terminator after them whatever is read
        EXPECT_EQ(plat::ReadRegistryText(key, c.name, buffer, 64), c.found) << c.name;
        EXPECT_STREQ(buffer, c.text) << c.name;
    }
    plat::CloseRegistryKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);

    // A lasting key cannot be made under a volatile one: the refusal the end-to-end
    // cases use, and its code in the system's words.
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);
    const std::uint32_t error = plat::CreateUserKey((std::string(path) + "\\Child").c_str(), &key);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_CHILD_MUST_BE_VOLATILE));
    RegDeleteKeyA(HKEY_CURRENT_USER, path);

    char reason[256];
    plat::SystemErrorText(ERROR_ACCESS_DENIED, reason, sizeof reason);
    EXPECT_GT(std::strlen(reason), 5u);
    EXPECT_EQ(std::string(reason).find_last_of("\r\n"), std::string::npos) << reason;
    plat::SystemErrorText(0x2000FFFFu, reason, sizeof reason);
    EXPECT_STREQ(reason, "Error 536936447.");
}

}  // namespace
