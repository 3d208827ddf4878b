// The profile and string functions of the real platform, and the settings
// round trip through them, under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../support/profile_int_cases.h"
#include "app/settings.h"
#include "platform/profile.h"

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

}  // namespace
