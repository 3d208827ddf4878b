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

// The page's frame callback on a clock of its own: the steps and frames drawn.
struct PacedFrames {
    TickPacer pacer;
    std::int32_t steps = 0, draws = 0;
    std::int32_t At(double nowMs) {
        return RunDueTicks(&pacer, nowMs, [&] { ++steps; }, [&] { ++steps, ++draws; });
    }
};

TEST(TickPacer, OneStepPerTwentyMillisecondsAndOnlyAFewAfterALongGap) {
    // Frames at these times (ms) and the steps each runs.
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
        {1259.9, 4}, {1260, 1},               // 3.995 ticks behind: all four caught up
        {1360, 4}, {1379.9, 0}, {1380, 1},    // 4 behind exactly: four, then on from now
        {61160, 4},                           // after a minute hidden: a few, then on from now
        {61170, 0}, {61180, 1},
        {500, 1},                             // a clock that went back starts again
        {519, 0}, {520, 1},
    };
    PacedFrames paced;
    for (const Frame& f : frames) {
        const std::int32_t steps = paced.steps, draws = paced.draws;
        EXPECT_EQ(paced.At(f.now), f.due) << f.now;
        EXPECT_EQ(paced.steps - steps, f.due) << f.now;
        EXPECT_EQ(paced.draws - draws, f.due > 0 ? 1 : 0) << f.now;
    }
    // Ten seconds of frames at any rate: a step at 0 and one for every 20 ms after.
    for (const double hz : {30.0, 60.0, 144.0}) {
        PacedFrames at;
        std::int32_t frameCount = 0;
        for (std::int32_t k = 0; k * 1000 <= 10000 * hz; ++k, ++frameCount) at.At(k * 1000 / hz);
        EXPECT_EQ(at.steps, 501) << hz;
        EXPECT_EQ(at.draws, std::min(frameCount, 501)) << hz;
    }
}

}  // namespace
