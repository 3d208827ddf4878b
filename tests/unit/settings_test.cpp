#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "fake.h"
#include "fake_profile.h"
#include "fake_registry.h"
#include "profile_int_cases.h"
#include "platform/profile.h"

namespace {

const std::string SECTION = "Screen_Saver.Pendral";

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        saverSettings = SaverSettings{-5, -5, -5, -5, -5, -5};
    }

    // Loads from a CONTROL.INI whose section holds `lines`.
    static void LoadFrom(const std::string& lines) {
        fake::SetProfileText("CONTROL.INI", "[" + SECTION + "]\n" + lines);
        LoadSettings();
    }
};

void ExpectSettings(const SaverSettings& s, std::int32_t sound, std::int32_t count, std::int32_t attraction,
                    std::int32_t refresh, std::int32_t red, std::int32_t blue) {
    EXPECT_EQ(s.soundSwitch, sound);
    EXPECT_EQ(s.bodyCount, count);
    EXPECT_EQ(s.attractionSetting, attraction);
    EXPECT_EQ(s.refreshMinutes, refresh);
    EXPECT_EQ(s.redSwitch, red);
    EXPECT_EQ(s.blueSwitch, blue);
}

TEST_F(Settings, MissingFileSectionOrKeysLoadTheDefaults) {
    LoadSettings();  // no file at all
    ExpectSettings(saverSettings, 1, 51, 110, 5, 0, 0);

    saverSettings = SaverSettings{};
    fake::SetProfileText("CONTROL.INI", "");
    LoadSettings();
    ExpectSettings(saverSettings, 1, 51, 110, 5, 0, 0);

    saverSettings = SaverSettings{};
    fake::SetProfileText("CONTROL.INI", "[Other]\nEVENT_FREQ=7\n[" + SECTION + "]\nUNRELATED=3\n");
    LoadSettings();
    ExpectSettings(saverSettings, 1, 51, 110, 5, 0, 0);
}

TEST_F(Settings, ReadsTheSixKeysInOrderFromTheSectionOfString1007) {
    LoadFrom("BLUE_SW=1\nRED_SW=1\nREFRESH_INTERVAL=9\nANI_INTERVAL=90\nEVENT_FREQ=12\nSOUND_SW=0\n");
    ExpectSettings(saverSettings, 0, 12, 90, 9, 1, 1);

    const auto loads = fake::CallsNamed("LoadResourceString");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].args[0], 1007);
    EXPECT_EQ(loads[0].args[1], 60);

    const char* keys[] = {"SOUND_SW", "EVENT_FREQ", "ANI_INTERVAL", "REFRESH_INTERVAL", "RED_SW", "BLUE_SW"};
    const std::int32_t fallbacks[] = {1, 1, 110, 5, 0, 0};
    const auto& reads = fake::ProfileReads();
    ASSERT_EQ(reads.size(), 6u);
    const auto calls = fake::CallsNamed("ReadProfileInt");
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(reads[i].key, keys[i]);
        EXPECT_EQ(reads[i].section, SECTION);
        EXPECT_EQ(reads[i].file, "CONTROL.INI");
        EXPECT_EQ(calls[i].args[0], fallbacks[i]) << keys[i];
    }
}

TEST_F(Settings, ValuesOutsideTheirRangesFallBack) {
    struct Case {
        const char* lines;
        std::int32_t count, attraction, refresh;
    };
    const Case cases[] = {
        {"EVENT_FREQ=2\nANI_INTERVAL=-1\nREFRESH_INTERVAL=0\n", 51, 110, 5},
        {"EVENT_FREQ=3\nANI_INTERVAL=0\nREFRESH_INTERVAL=1\n", 3, 0, 1},
        {"EVENT_FREQ=100\nANI_INTERVAL=200\nREFRESH_INTERVAL=100\n", 100, 200, 100},
        {"EVENT_FREQ=101\nANI_INTERVAL=201\nREFRESH_INTERVAL=101\n", 51, 110, 5},
        {"EVENT_FREQ=-2147483648\nANI_INTERVAL=2147483647\nREFRESH_INTERVAL=-5\n", 51, 110, 5},
        // Text the reader makes 0 of: in range only for the attraction.
        {"EVENT_FREQ=many\nANI_INTERVAL=none\nREFRESH_INTERVAL=x\n", 51, 0, 5},
    };
    for (const Case& c : cases) {
        LoadFrom(c.lines);
        EXPECT_EQ(saverSettings.bodyCount, c.count) << c.lines;
        EXPECT_EQ(saverSettings.attractionSetting, c.attraction) << c.lines;
        EXPECT_EQ(saverSettings.refreshMinutes, c.refresh) << c.lines;
    }
}

TEST_F(Settings, SwitchesTakeAnyValue) {
    LoadFrom("SOUND_SW=-3\nRED_SW=7\nBLUE_SW=-1\n");
    EXPECT_EQ(saverSettings.soundSwitch, -3);
    EXPECT_EQ(saverSettings.redSwitch, 7);
    EXPECT_EQ(saverSettings.blueSwitch, -1);
}

TEST_F(Settings, SaveAfterAnEmptyLoadWritesTheSixDefaultsInOrder) {
    fake::SetProfileText("CONTROL.INI", "");
    LoadSettings();
    fake::Reset();
    SaveSettings();

    const auto& writes = fake::ProfileWrites();
    const char* keys[] = {"SOUND_SW", "EVENT_FREQ", "ANI_INTERVAL", "REFRESH_INTERVAL", "RED_SW", "BLUE_SW"};
    const char* texts[] = {"1", "51", "110", "5", "0", "0"};
    ASSERT_EQ(writes.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(writes[i].key, keys[i]);
        EXPECT_EQ(writes[i].text, texts[i]);
        EXPECT_EQ(writes[i].section, SECTION);
        EXPECT_EQ(writes[i].file, "CONTROL.INI");
    }
    EXPECT_EQ(fake::ProfileText("CONTROL.INI"),
              "[" + SECTION + "]\nSOUND_SW=1\nEVENT_FREQ=51\nANI_INTERVAL=110\nREFRESH_INTERVAL=5\nRED_SW=0\nBLUE_SW=0\n");
}

TEST_F(Settings, SaveWritesPlainDecimalWithoutRangeChecks) {
    saverSettings = SaverSettings{0, -2147483647 - 1, 2147483647, -40, 1000, -1};
    SaveSettings();
    const auto& w = fake::ProfileWrites();
    ASSERT_EQ(w.size(), 6u);
    EXPECT_EQ(w[0].text, "0");
    EXPECT_EQ(w[1].text, "-2147483648");
    EXPECT_EQ(w[2].text, "2147483647");
    EXPECT_EQ(w[3].text, "-40");
    EXPECT_EQ(w[4].text, "1000");
    EXPECT_EQ(w[5].text, "-1");
}

TEST_F(Settings, SaveKeepsWhatItDoesNotOwnAndRoundTrips) {
    fake::SetProfileText("control.ini",
                         "[Desktop]\nWallpaper=none\n\n[screen_saver.pendral]\nEVENT_FREQ=9\nNOTE=kept\n[Other]\nA=1\n");
    saverSettings = SaverSettings{0, 77, 3, 100, 1, 2};
    SaveSettings();
    EXPECT_EQ(fake::ProfileText("CONTROL.INI"),
              "[Desktop]\nWallpaper=none\n\n"
              "[screen_saver.pendral]\nEVENT_FREQ=77\nNOTE=kept\nSOUND_SW=0\nANI_INTERVAL=3\n"
              "REFRESH_INTERVAL=100\nRED_SW=1\nBLUE_SW=2\n\n"
              "[Other]\nA=1\n");

    saverSettings = SaverSettings{};
    LoadSettings();
    ExpectSettings(saverSettings, 0, 77, 3, 100, 1, 2);
}

TEST_F(Settings, SectionNameIsCutTo59Characters) {
    const std::string longName(70, 'S');
    fake::SetResourceString(1007, longName);
    saverSettings = SaverSettings{1, 51, 110, 5, 0, 0};
    SaveSettings();
    EXPECT_EQ(fake::ProfileWrites().at(0).section, std::string(59, 'S'));
}

// Where the settings live when CONTROL.INI cannot be written: the per-user key,
// read first value by value, written whole once it exists.
TEST_F(Settings, PerUserKeyIsReadFirstAndTakesOverWhenTheFileIsRefused) {
    const std::string USER_KEY = SETTINGS_USER_KEY;
    auto& registry = fake::Registry();

    // Values the key lacks come from the file; the key's own win.
    fake::SetProfileText("CONTROL.INI", "[" + SECTION + "]\nEVENT_FREQ=20\nRED_SW=1\nBLUE_SW=1\n");
    registry.textKeys[USER_KEY] = {{"EVENT_FREQ", "30"}, {"BLUE_SW", "0"}, {"ANI_INTERVAL", "0x10"}};
    LoadSettings();
    ExpectSettings(saverSettings, 1, 30, 16, 5, 1, 0);
    EXPECT_EQ(registry.openKeys, 0);

    // With the key there, a save goes to it alone, all six keys as decimal text.
    saverSettings = SaverSettings{0, 9, 200, 7, -1, 3};
    EXPECT_EQ(SaveSettings(), 0u);
    EXPECT_EQ(registry.textKeys[USER_KEY], (fake::TextKey{{"SOUND_SW", "0"}, {"EVENT_FREQ", "9"},
                                                          {"ANI_INTERVAL", "200"}, {"REFRESH_INTERVAL", "7"},
                                                          {"RED_SW", "-1"}, {"BLUE_SW", "3"}}));
    EXPECT_TRUE(fake::ProfileWrites().empty());

    // No key and a refused file: the key is made, and the next load reads it back.
    fake::Reset();
    fake::SetProfileText("CONTROL.INI", "[" + SECTION + "]\nEVENT_FREQ=20\n");
    fake::SetProfileWritesFail(5);
    saverSettings = SaverSettings{1, 64, 90, 12, 1, 0};
    EXPECT_EQ(SaveSettings(), 0u);
    EXPECT_EQ(fake::Registry().textKeys[USER_KEY].size(), 6u);
    saverSettings = SaverSettings{};
    LoadSettings();
    ExpectSettings(saverSettings, 1, 64, 90, 12, 1, 0);
    EXPECT_EQ(fake::ProfileText("CONTROL.INI"), "[" + SECTION + "]\nEVENT_FREQ=20\n");
    EXPECT_EQ(fake::Registry().openKeys, 0);
}

TEST_F(Settings, SaveReportsTheErrorWhenNothingCouldBeStored) {
    struct Case {
        std::uint32_t createError, writeError;
        int failOnlyWrite;
        std::uint32_t expected;
    };
    for (const Case& c : {Case{1021, 0, 0, 1021}, Case{0, 5, 0, 5}, Case{0, 5, 1, 5}}) {
        fake::Reset();
        fake::SetProfileWritesFail(5);
        fake::Registry().createError = c.createError;
        fake::Registry().writeError = c.writeError;
        fake::Registry().failOnlyWrite = c.failOnlyWrite;
        saverSettings = SaverSettings{1, 51, 110, 5, 0, 0};
        EXPECT_EQ(SaveSettings(), c.expected);
        EXPECT_EQ(fake::Registry().openKeys, 0);
    }
}

// The double reads integers as the system does; the same cases run against
// the real profile functions under Wine.
TEST(FakeProfile, ReadsIntegersByTheSystemRule) {
    fake::Reset();
    fake::SetProfileText("cases.ini", fake::PROFILE_INT_TEXT);
    for (const auto& c : fake::PROFILE_INT_CASES)
        EXPECT_EQ(plat::ReadProfileInt("Cases", c.key, -99, "cases.ini"), c.expected) << c.key;
    EXPECT_EQ(plat::ReadProfileInt("cases", "PLAIN", -99, "CASES.INI"), 42);
    EXPECT_EQ(plat::ReadProfileInt("Nowhere", "plain", -99, "cases.ini"), -99);
    EXPECT_EQ(plat::ReadProfileInt("Cases", "plain", -99, "other.ini"), -99);
}

TEST(FakeProfile, FailedWritesChangeNothingAndStringsCanBeMissing) {
    fake::Reset();
    fake::SetProfileWritesFail(5);
    EXPECT_FALSE(plat::WriteProfileText("S", "K", "1", "a.ini"));
    EXPECT_FALSE(fake::ProfileExists("a.ini"));

    char buffer[8] = "xxxxxxx";
    fake::RemoveResourceString(1007);
    EXPECT_EQ(plat::LoadResourceString(1007, buffer, 8), 0);
    EXPECT_STREQ(buffer, "");
    fake::SetResourceString(5, "abcdefghij");
    EXPECT_EQ(plat::LoadResourceString(5, buffer, 8), 7);
    EXPECT_STREQ(buffer, "abcdefg");
}

}  // namespace
