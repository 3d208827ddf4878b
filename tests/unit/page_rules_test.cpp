// The browser page's rules: its settings from the address or storage, and the
// pacing of steps by real time.
#include <gtest/gtest.h>

#include <string>

#include "app/page_settings.h"
#include "app/tick_pacer.h"

namespace {

TEST(PageSettings, ValuesInRangeApplyAndBadOnesFallBackToTheDefault) {
    struct Case {
        const char* key;
        const char* value;
        PageSettingResult result;
        const char* settings;  // all five afterwards, from count=80&attraction=-20&refresh=9&red=1&blue=1
        const char* error;
    };
    const Case cases[] = {
        {"count", "100", PageSettingResult::Applied, "count=100&attraction=-20&refresh=9&red=1&blue=1", ""},
        {"count", "2", PageSettingResult::Bad, "count=51&attraction=-20&refresh=9&red=1&blue=1",
         "count takes a whole number from 3 to 100"},
        {"count", "12abc", PageSettingResult::Bad, "count=51&attraction=-20&refresh=9&red=1&blue=1", nullptr},
        {"attraction", "-100", PageSettingResult::Applied, "count=80&attraction=-100&refresh=9&red=1&blue=1", ""},
        {"attraction", "101", PageSettingResult::Bad, "count=80&attraction=10&refresh=9&red=1&blue=1", nullptr},
        {"refresh", "", PageSettingResult::Bad, "count=80&attraction=-20&refresh=5&red=1&blue=1", nullptr},
        {"red", "0", PageSettingResult::Applied, "count=80&attraction=-20&refresh=9&red=0&blue=1", ""},
        {"blue", "yes", PageSettingResult::Bad, "count=80&attraction=-20&refresh=9&red=1&blue=0",
         "blue takes 0 or 1"},
        {"speed", "3", PageSettingResult::Unknown, "count=80&attraction=-20&refresh=9&red=1&blue=1", ""},
    };
    for (const Case& c : cases) {
        SaverOptions options;
        options.bodyCount = 80;
        options.attraction = -20;
        options.refreshMinutes = 9;
        options.red = options.blue = true;
        char error[100];
        EXPECT_EQ(ApplyPageSetting(&options, c.key, c.value, error, sizeof error), c.result) << c.key << c.value;
        char text[100];
        WritePageSettings(options, text, sizeof text);
        EXPECT_STREQ(text, c.settings) << c.key << "=" << c.value;
        if (c.error) EXPECT_STREQ(error, c.error) << c.key << "=" << c.value;
        else EXPECT_NE(error[0], '\0') << c.key << "=" << c.value;
    }
}

TEST(TickPacer, OneStepPerTwentyMillisecondsAndOnlyAFewAfterALongGap) {
    // Frames at these times (ms) and the steps each is due.
    struct Frame {
        double now;
        std::int32_t due;
    };
    const Frame frames[] = {
        {1000, 1},  // the first frame steps at once; the next tick is due at 1020
        {1016.7, 0}, {1033.4, 1}, {1050, 1},  // 60 Hz frames: one step for each 20 ms
        {1079.9, 1}, {1080, 1},               // ticks fall due at 1040 + 20 k
        {1145, 3},                            // a late frame catches up 1100, 1120, 1140
        {1160, 1},
        {61160, MAX_CATCH_UP_STEPS},          // after a minute hidden: a few, then on from now
        {61170, 0}, {61180, 1},
        {500, 1},                             // a clock that went back starts again
        {519, 0}, {520, 1},
    };
    TickPacer pacer;
    for (const Frame& f : frames) EXPECT_EQ(DueTicks(&pacer, f.now), f.due) << f.now;
}

}  // namespace
