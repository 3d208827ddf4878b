// The Linux saver's option grammar: each range's edges, bad values, both dash
// forms, and what reaches the settings record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/saver_options.h"
#include "app/settings.h"

namespace {

struct Case {
    std::vector<const char*> args;
    const char* error;  // null: accepted; else a part of the one error line
};

// Parses `args` after a program name; the error line, or "" when accepted.
std::string Parse(const std::vector<const char*>& args, SaverOptions* options) {
    std::vector<const char*> argv{"pendral"};
    argv.insert(argv.end(), args.begin(), args.end());
    char error[200];
    const bool ok = ParseSaverOptions(static_cast<int>(argv.size()), argv.data(), options, error, sizeof error);
    EXPECT_EQ(ok, error[0] == '\0');
    return error;
}

TEST(SaverOptions, RangesAndMalformedValues) {
    const Case cases[] = {
        {{"-count", "3"}, nullptr},
        {{"--count", "100"}, nullptr},
        {{"-count", "2"}, "-count takes a whole number from 3 to 100"},
        {{"-count", "101"}, "-count takes a whole number from 3 to 100"},
        {{"-count", "99999999999999999999"}, "from 3 to 100"},
        {{"-count"}, "-count takes a whole number from 3 to 100"},
        {{"-count", "5x"}, "-count takes"},
        {{"-count", ""}, "-count takes"},
        {{"-count", "-"}, "-count takes"},
        {{"-count", "1e2"}, "-count takes"},
        {{"-attraction", "-100"}, nullptr},
        {{"--attraction", "+100"}, nullptr},
        {{"-attraction", "-101"}, "-attraction takes a whole number from -100 to 100"},
        {{"--attraction", "101"}, "--attraction takes a whole number from -100 to 100"},
        {{"-attraction", ""}, "-attraction takes"},  // 0 is in range: an empty value must not read as 0
        {{"-delay", "0"}, nullptr},
        {{"-delay", "100000"}, nullptr},
        {{"-delay", "100001"}, "-delay takes a whole number from 0 to 100000"},
        {{"-refresh", "1"}, nullptr},
        {{"-refresh", "100"}, nullptr},
        {{"-refresh", "0"}, "-refresh takes a whole number from 1 to 100"},
        {{"-refresh", "101"}, "from 1 to 100"},
        {{"-wayland", "-idle", "1"}, nullptr},
        {{"-wayland", "--idle", "86400"}, nullptr},
        {{"-wayland", "-idle", "0"}, "-idle takes a whole number from 1 to 86400"},
        {{"-wayland", "-idle", "86401"}, "from 1 to 86400"},
        {{"-idle", "300"}, "-idle watches a Wayland session: give -wayland with it"},
        {{"-wayland", "-watch"}, nullptr},
        {{"-root", "-watch"}, "-watch watches a Wayland session: give -wayland with it"},
        {{"-window-id", "0x1a"}, nullptr},
        {{"-window-id", "4294967295"}, nullptr},
        {{"-window-id", "0"}, "-window-id takes a window id"},
        {{"-window-id", "0x100000000"}, "-window-id takes"},
        {{"-window-id", "0x"}, "-window-id takes"},
        {{"-window-id", "12g"}, "-window-id takes"},
        {{"-window-id"}, "-window-id takes"},
        {{"-sprites"}, "-sprites takes a folder"},
        {{"-fps", "1"}, "unknown option 1"},
        {{"---count", "5"}, "unknown option ---count"},
        {{"count", "5"}, "unknown option count"},
        {{"-"}, "unknown option -"},
    };
    for (const Case& c : cases) {
        SaverOptions options;
        const std::string error = Parse(c.args, &options);
        const std::string where = c.args[0] + std::string(c.args.size() > 1 ? std::string(" ") + c.args[1] : "");
        if (c.error) EXPECT_NE(error.find(c.error), std::string::npos) << where << ": " << error;
        else EXPECT_EQ(error, "") << where;
    }
}

TEST(SaverOptions, DefaultsLastWordsAndSettings) {
    SaverOptions options;
    EXPECT_EQ(Parse({}, &options), "");
    EXPECT_EQ(options.target, SaverOptions::Target::OwnWindow);
    ApplySaverOptions(options);
    EXPECT_EQ(saverSettings.bodyCount, 51);
    EXPECT_EQ(saverSettings.attractionSetting, 110);
    EXPECT_EQ(saverSettings.refreshMinutes, 5);
    EXPECT_EQ(saverSettings.redSwitch, 0);
    EXPECT_EQ(saverSettings.blueSwitch, 0);
    EXPECT_EQ(options.delayMicroseconds, 20000);
    EXPECT_FALSE(options.showFps);

    EXPECT_FALSE(options.fullScreen);
    EXPECT_EQ(Parse({"-red", "-no-red", "--fps", "-fullscreen"}, &options), "");
    EXPECT_FALSE(options.red);
    EXPECT_TRUE(options.showFps);
    EXPECT_TRUE(options.fullScreen);
    EXPECT_EQ(Parse({"--red", "-blue", "-no-blue", "-attraction", "-40", "--count", "7", "-refresh", "9",
                     "--sprites", "/tmp/p", "-root", "--window-id", "123", "-delay", "5000", "-fps", "-no-fps"},
                    &options),
              "");
    EXPECT_EQ(options.delayMicroseconds, 5000);
    EXPECT_FALSE(options.showFps);
    EXPECT_EQ(options.target, SaverOptions::Target::WindowId);
    EXPECT_EQ(options.windowId, 123u);
    EXPECT_STREQ(options.spritesFolder, "/tmp/p");
    ApplySaverOptions(options);
    EXPECT_EQ(saverSettings.bodyCount, 7);
    EXPECT_EQ(saverSettings.attractionSetting, 60);
    EXPECT_EQ(saverSettings.refreshMinutes, 9);
    EXPECT_EQ(saverSettings.redSwitch, 1);
    EXPECT_EQ(saverSettings.blueSwitch, 0);

    EXPECT_EQ(Parse({"-window-id", "0xFF", "--root"}, &options), "");
    EXPECT_EQ(options.target, SaverOptions::Target::Root);
    EXPECT_EQ(Parse({"-root", "--wayland"}, &options), "");
    EXPECT_EQ(options.target, SaverOptions::Target::Wayland);
    EXPECT_EQ(Parse({"-version", "--help"}, &options), "");
    EXPECT_EQ(options.action, SaverOptions::Action::Version);

    // A rejected line leaves the record as it was.
    options.bodyCount = 42;
    EXPECT_NE(Parse({"-count", "9", "-bogus"}, &options), "");
    EXPECT_EQ(options.bodyCount, 42);
}

}  // namespace
