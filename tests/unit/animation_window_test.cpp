// The animation window: creation sets up the scene from the settings and
// starts the 20 ms timer, each tick steps and draws once, destruction stops.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "app/animation.h"
#include "app/full_screen_rule.h"
#include "app/settings.h"
#include "fake.h"
#include "fake_clock.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "fake_profile.h"
#include "fake_window.h"
#include "gfx/packed_dib.h"
#include "gfx_test_pictures.h"
#include "host/animation_window.h"
#include "host/host_state.h"
#include "host/saver_window.h"
#include "platform/messages.h"
#include "sim/random.h"

namespace {

const plat::Window kWindow = reinterpret_cast<plat::Window>(0x5A00);

class AnimationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        // The stage is set up once per program; each test starts with a new one.
        spriteStage.~SpriteStage();
        new (&spriteStage) SpriteStage;
        ReleaseScene();
        animationPaused = false;
        hostState = HostState{};
        fake::Windows().defaultResult = 0xDEF;
        fake::Windows().clientRects[kWindow] = {0, 0, 320, 200};
        fake::Windows().timerResult = 0x10001;  // only the low 16 bits are kept
        fake::Clock().seconds = 4242;
        fake::Files().builtInBitmaps["SPPAT_R0"] = gfxtest::DiscPicture(62);
        fake::Files().builtInBitmaps["SPPAT_R1"] = gfxtest::DiscPicture(48);
        fake::Files().builtInBitmaps["SPPAT_R2"] = gfxtest::DiscPicture(32);
    }
    plat::MessageResult Send(std::uint32_t message, plat::WordParam wParam = 0) {
        return AnimationWindowProc(kWindow, message, wParam, 0);
    }
    // The field as creation makes it, stepped `steps` times.
    static void ExpectFieldLikeReference(int steps) {
        BodyField reference;
        SetRandomState(4242);
        reference.Setup(saverSettings.bodyCount, 320, 200, saverSettings.attractionSetting,
                        saverSettings.refreshMinutes, {&saverSettings.redSwitch, &saverSettings.blueSwitch});
        for (int s = 0; s < steps; ++s) reference.Step();
        ASSERT_EQ(bodyField.Count(), reference.Count());
        for (int i = 0; i < reference.Count(); ++i) {
            EXPECT_EQ(bodyField.PositionX(i), reference.PositionX(i)) << i;
            EXPECT_EQ(bodyField.PositionY(i), reference.PositionY(i)) << i;
        }
    }
};

TEST_F(AnimationWindow, CreationSetsUpTheSceneAndTheTimerAndTheFirstTickDrawsOneStepLater) {
    fake::SetProfileText("CONTROL.INI", "[Screen_Saver.Pendral]\nEVENT_FREQ=7\n");
    EXPECT_EQ(Send(msg::CREATE), 0);
    EXPECT_EQ(clientWidth, 320);
    EXPECT_EQ(clientHeight, 200);
    EXPECT_EQ(saverSettings.bodyCount, 7);
    EXPECT_EQ(bodyField.Count(), 7);
    auto timer = fake::CallsNamed("StartTimer");
    ASSERT_EQ(timer.size(), 1u);
    EXPECT_EQ(timer[0].args[0], fake::Arg(kWindow));
    EXPECT_EQ(timer[0].args[1], 1);
    EXPECT_EQ(timer[0].args[2], 20);
    EXPECT_EQ(timerId, 1);
    EXPECT_EQ(fake::Gdi().windowCopyCount, 0u);  // nothing drawn before the first tick
    ExpectFieldLikeReference(0);

    EXPECT_EQ(Send(msg::TIMER, 1), 0);
    ExpectFieldLikeReference(1);
    EXPECT_GT(fake::Gdi().windowCopyCount, 0u);

    // Another timer's tick changes nothing.
    std::size_t copies = fake::Gdi().windowCopyCount;
    EXPECT_EQ(Send(msg::TIMER, 2), 0);
    ExpectFieldLikeReference(1);
    EXPECT_EQ(fake::Gdi().windowCopyCount, copies);

    // Every tick is one step, however late it comes.
    fake::Clock().tick = 5000;
    Send(msg::TIMER, 1);
    Send(msg::TIMER, 1);
    fake::Clock().tick = 0;
    ExpectFieldLikeReference(3);

    EXPECT_EQ(Send(msg::DESTROY), 0);
    auto stop = fake::CallsNamed("StopTimer");
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].args[1], 1);
    ASSERT_EQ(fake::CountCalls("PostQuit"), 1u);
    EXPECT_EQ(fake::CallsNamed("PostQuit")[0].args[0], 0);
}

// A front end whose window changes size releases the scene and sets it up again:
// every picture block of the old scene must be given back, or each resize leaks.
TEST_F(AnimationWindow, AReleasedSceneGivesBackItsPictureBlocks) {
    SetUpScene(kWindow);
    AdvanceFrame(kWindow);
    EXPECT_GT(LivePackedDibCount(), 0u);
    ReleaseScene();
    EXPECT_EQ(LivePackedDibCount(), 0u);
}

TEST_F(AnimationWindow, PreviewGetsTheSameBodiesOnItsOwnClientSize) {
    fake::Windows().clientRects[kWindow] = {0, 0, 152, 112};
    Send(msg::CREATE);
    EXPECT_EQ(clientWidth, 152);
    EXPECT_EQ(clientHeight, 112);
    EXPECT_EQ(bodyField.Count(), saverSettings.bodyCount);
    EXPECT_EQ(saverSettings.bodyCount, 51);  // the default count
    for (int i = 0; i < bodyField.Count(); ++i) {
        EXPECT_GE(bodyField.PositionX(i), 0);
        EXPECT_LE(bodyField.PositionX(i), 152);
        EXPECT_GE(bodyField.PositionY(i), 0);
        EXPECT_LE(bodyField.PositionY(i), 112);
    }
}

TEST(FieldAreas, AreTheScreensOverlapsWithTheClientInClientCoordinates) {
    const struct {
        const char* what;
        plat::Rect client;
        std::vector<plat::Rect> screens, areas;
    } rows[] = {
        {"one screen", {0, 0, 640, 480}, {{0, 0, 640, 480}}, {{0, 0, 640, 480}}},
        {"landscape and portrait", {0, 0, 2000, 1080}, {{0, 0, 1920, 1080}, {1920, 0, 2000, 80}},
         {{0, 0, 1920, 1080}, {1920, 0, 2000, 80}}},
        {"a screen left of and above the primary", {-300, -100, 500, 400}, {{0, 0, 500, 400}, {-300, -100, 0, 200}},
         {{300, 100, 800, 500}, {0, 0, 300, 300}}},
        {"screens the client does not reach, or empty", {0, 0, 100, 100},
         {{100, 0, 200, 100}, {50, 50, 50, 90}, {-2147483647 - 1, 0, 2147483647, 10}}, {{0, 0, 100, 10}}},
        {"none", {0, 0, 100, 100}, {}, {}},
        // No pixel in two fields: a mirror, or a screen inside another, is left
        // out; of an overlapping one the largest part beside the earlier ones stays.
        {"a mirror and a screen inside another", {0, 0, 1000, 500},
         {{0, 0, 500, 500}, {0, 0, 500, 500}, {100, 100, 200, 200}, {500, 0, 1000, 500}},
         {{0, 0, 500, 500}, {500, 0, 1000, 500}}},
        {"overlapping at a side and at a corner", {0, 0, 1500, 1400},
         {{0, 0, 1000, 1000}, {800, 0, 1500, 700}, {900, 900, 1500, 1400}},
         {{0, 0, 1000, 1000}, {1000, 0, 1500, 700}, {1000, 900, 1500, 1400}}},
    };
    for (const auto& row : rows) {
        std::vector<plat::Rect> areas(MAX_FIELDS);
        areas.resize(static_cast<std::size_t>(FieldAreas(row.client, row.screens.data(),
                                                         static_cast<std::int32_t>(row.screens.size()), areas.data())));
        ASSERT_EQ(areas.size(), row.areas.size()) << row.what;
        for (std::size_t k = 0; k < areas.size(); ++k)
            EXPECT_EQ(std::vector<int>({areas[k].left, areas[k].top, areas[k].right, areas[k].bottom}),
                      std::vector<int>({row.areas[k].left, row.areas[k].top, row.areas[k].right, row.areas[k].bottom}))
                << row.what << " " << k;
    }
    // Seventeen screens side by side: the first sixteen get a field.
    std::vector<plat::Rect> many, areas(MAX_FIELDS);
    for (int k = 0; k <= MAX_FIELDS; ++k) many.push_back({10 * k, 0, 10 * k + 10, 10});
    EXPECT_EQ(FieldAreas({0, 0, 170, 10}, many.data(), static_cast<std::int32_t>(many.size()), areas.data()), MAX_FIELDS);
    EXPECT_EQ(areas[MAX_FIELDS - 1].left, 150);
}

// A compositor's outputs side by side in one window, each a field of its size.
TEST(FieldAreas, OfOutputsSideBySideLeaveOutEmptyOnesAndThoseBeyondTheWidest) {
    const plat::Point sizes[] = {{1024, 768}, {0, 600}, {800, 600}, {2048, 1536}, {20, 10}};
    plat::Rect areas[MAX_FIELDS];
    std::int32_t width = 0, height = 0;
    ASSERT_EQ(SideBySideAreas(sizes, 5, 3000, areas, &width, &height), 3);
    std::vector<std::vector<int>> got;
    for (const plat::Rect& a : std::vector<plat::Rect>(areas, areas + 3)) got.push_back({a.left, a.top, a.right, a.bottom});
    EXPECT_EQ(got, (std::vector<std::vector<int>>{{0, 0, 1024, 768}, {1024, 0, 1824, 600}, {1824, 0, 1844, 10}}));
    EXPECT_EQ(std::vector<int>({width, height}), std::vector<int>({1844, 768}));
}

// Two surfaces share one area only where both configures show full screen refused
// (states: 1 maximized, 2 full screen, 4 activated, 8 tiled at the bottom).
TEST(FieldAreas, ShareOneAreaOnlyWhereBothConfiguresShowFullScreenRefused) {
    struct Row {
        std::vector<std::uint32_t> a, b;
        std::int32_t widthB;
        bool shared;
    } rows[] = {
        {{1, 4}, {1}, 2560, true},  // cage's layout
        {{8}, {1}, 2560, true},
        {{4}, {}, 2560, false},     // the full-screen state left out: each keeps its output
        {{1}, {1, 2}, 2560, false},
        {{1}, {1}, 800, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ShareOneArea({2560, 720, ReadFullScreenShown(r.a.data(), r.a.size())},
                               {r.widthB, 720, ReadFullScreenShown(r.b.data(), r.b.size())}),
                  r.shared);
}

TEST_F(AnimationWindow, AFullScreenWindowHasAFieldPerScreenDrawnOnlyOnItsScreen) {
    // A 320x200 window at (-100, -20), the desktop's origin: the primary screen
    // 220x150 (nothing below it) and one 100 wide left of it that reaches above it;
    // a third screen lies beyond the window.
    fake::Windows().clientOrigin = {-100, -20};
    fake::Windows().screens = {{0, 0, 220, 150}, {-100, -20, 0, 180}, {400, 0, 500, 100}};
    Send(msg::CREATE);
    const plat::Rect areas[] = {{100, 20, 320, 170}, {0, 0, 100, 200}};
    ASSERT_EQ(sceneCount, 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(scenes[k].stage.BackBuffer().width, areas[k].right - areas[k].left) << k;
        EXPECT_EQ(scenes[k].stage.BackBuffer().height, areas[k].bottom - areas[k].top) << k;
        EXPECT_EQ(scenes[k].field.Count(), saverSettings.bodyCount) << k;
    }
    for (int tick = 0; tick < 20; ++tick) Send(msg::TIMER, 1);
    std::size_t onScreen[2] = {0, 0};
    ASSERT_LE(fake::Gdi().windowCopyCount, fake::kMaxWindowCopies);
    for (std::size_t i = 0; i < fake::Gdi().windowCopyCount; ++i) {
        const fake::WindowCopy& c = fake::Gdi().windowCopies[i];
        int inside = -1;
        for (int k = 0; k < 2; ++k)
            if (c.x >= areas[k].left && c.y >= areas[k].top && c.x + c.width <= areas[k].right &&
                c.y + c.height <= areas[k].bottom)
                inside = k;
        ASSERT_GE(inside, 0) << "a copy to " << c.x << "," << c.y << " " << c.width << "x" << c.height;
        ++onScreen[inside];
    }
    EXPECT_GT(onScreen[0], 0u);
    EXPECT_GT(onScreen[1], 0u);
    // Each field's sprites follow that field's bodies.
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < scenes[k].field.Count(); ++i) {
            const Sprite& s = *scenes[k].stage.SpriteAt(i);
            EXPECT_EQ(s.left + s.width / 2, scenes[k].field.PositionX(i)) << k << " " << i;
            EXPECT_EQ(s.top + s.height / 2, scenes[k].field.PositionY(i)) << k << " " << i;
        }

    // The screens change: one field over the one screen left, drawn afresh.
    fake::Windows().screens = {{-100, -20, 220, 180}};
    Send(msg::DISPLAYCHANGE);
    ASSERT_EQ(sceneCount, 1);
    EXPECT_EQ(scenes[0].stage.BackBuffer().width, 320);
    EXPECT_EQ(fake::CountCalls("RepaintWindow"), 1u);

    // A preview has one field whatever the screens.
    SetUp();
    hostState.previewMode = 1;
    fake::Windows().screens = {{0, 0, 100, 100}, {100, 0, 320, 200}};
    Send(msg::CREATE);
    EXPECT_EQ(sceneCount, 1);
    EXPECT_EQ(fake::CountCalls("ScreenRects"), 0u);
    ExpectFieldLikeReference(0);
}

// The system refuses to delete a palette or bitmap that a context holds, and so
// does the double: every object comes back all the same.
TEST_F(AnimationWindow, DisplayChangesAndClosingGiveBackEveryGdiObject) {
    const int before = fake::LiveObjects();
    fake::Windows().screens = {{0, 0, 160, 200}, {160, 0, 320, 200}};
    Send(msg::CREATE);
    Send(msg::TIMER, 1);
    const int running = fake::LiveObjects();
    EXPECT_EQ(running - before, 6);  // a palette, a pixel buffer and a memory context per field
    for (int change = 0; change < 10; ++change) {
        Send(msg::DISPLAYCHANGE);
        Send(msg::TIMER, 1);
    }
    EXPECT_EQ(fake::LiveObjects(), running);
    Send(msg::DESTROY);
    EXPECT_EQ(fake::LiveObjects(), before);
    EXPECT_EQ(fake::Gdi().refusedDeletes, 0);
    EXPECT_EQ(fake::SelectedPalette(fake::WindowDc()), fake::StockPalette());
}

TEST_F(AnimationWindow, EachSpriteShowsItsBodysKindAndOnlySpritesZeroAndOneAreLarge) {
    for (const char* switches : {"", "RED_SW=1\n", "BLUE_SW=1\n", "RED_SW=1\nBLUE_SW=1\n"}) {
        SCOPED_TRACE(switches);
        SetUp();
        // One plain picture per kind, so that a pattern's picture tells its kind.
        for (int k = 0; k < 3; ++k)
            fake::Files().builtInBitmaps["SPPAT_R" + std::to_string(k)] =
                gfxtest::PackedPicture([k](int, int) { return static_cast<std::uint8_t>(20 + k); });
        fake::SetProfileText("CONTROL.INI", std::string("[Screen_Saver.Pendral]\nEVENT_FREQ=5\n") + switches);
        Send(msg::CREATE);
        ASSERT_EQ(spriteStage.SpriteCount(), 5);
        for (int i = 0; i < 5; ++i) {
            const Sprite& s = *spriteStage.SpriteAt(i);
            const int size = i < 2 ? 64 : 32;
            EXPECT_EQ(s.width, size) << i;
            EXPECT_EQ(s.height, size) << i;
            EXPECT_EQ(s.left, bodyField.PositionX(i) - size / 2) << i;
            EXPECT_EQ(s.top, bodyField.PositionY(i) - size / 2) << i;
            EXPECT_TRUE(s.visible) << i;
            ASSERT_NE(s.pattern, nullptr);
            EXPECT_EQ(s.pattern->centreX, 32);
            EXPECT_EQ(s.pattern->centreY, 32);
            ASSERT_NE(s.pattern->image, nullptr);
            EXPECT_EQ(*s.pattern->image->PixelAddress(0, 0), 20 + bodyField.KindOf(i)) << i;
        }
    }
}

TEST_F(AnimationWindow, AFieldWhoseBodiesCouldNotBeMadeDrawsNothing) {
    FailNextNothrowAllocations(1);  // the field's bodies, its first allocation
    Send(msg::CREATE);
    ASSERT_EQ(bodyField.Count(), 0);
    ASSERT_NE(spriteStage.BackBuffer().bits, nullptr);
    for (int tick = 0; tick < 3; ++tick) Send(msg::TIMER, 1);
    EXPECT_EQ(fake::Gdi().windowCopyCount, 0u);
}

TEST_F(AnimationWindow, FailedTimerMeansNoStopAtDestructionButTheLoopStillEnds) {
    fake::Windows().timerResult = 0;
    Send(msg::CREATE);
    EXPECT_EQ(timerId, 0);
    Send(msg::DESTROY);
    EXPECT_EQ(fake::CountCalls("StopTimer"), 0u);
    EXPECT_EQ(fake::CountCalls("PostQuit"), 1u);
}

TEST_F(AnimationWindow, EveryOtherMessageGoesToTheInputStage) {
    hostState.previewMode = 1;
    EXPECT_EQ(Send(msg::KEYDOWN), 0xDEF);
    EXPECT_EQ(Send(msg::PAINT), 0xDEF);
    auto defaults = fake::CallsNamed("DefaultWindowProc");
    ASSERT_EQ(defaults.size(), 2u);
    EXPECT_EQ(defaults[1].args[1], static_cast<std::intptr_t>(msg::PAINT));
}

}  // namespace
