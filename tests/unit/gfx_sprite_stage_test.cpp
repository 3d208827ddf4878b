// The sprite stage: set-up, what each frame copies to the window, the all-black
// back buffer between frames, bad indices, and tear-down.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fake.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "gfx/sprite_stage.h"
#include "gfx_test_pictures.h"

namespace {

const plat::Window kWindow = reinterpret_cast<plat::Window>(0x5150);

class SpriteStageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::Files().builtInBitmaps["SPPAT_R0"] = gfxtest::DiscPicture(62);
        fake::Files().builtInBitmaps["SPPAT_R1"] = gfxtest::DiscPicture(48);
        fake::Files().builtInBitmaps["SPPAT_R2"] = gfxtest::DiscPicture(32);
    }

    // The stage as the animation window drives it: 3 patterns of 3 pictures, sprites
    // 0 and 1 of 64 x 64, the rest 32 x 32, all visible, sprite i at centres[i].
    void SetUpLikeTheSaver(SpriteStage& stage, std::int32_t sprites, std::int32_t width, std::int32_t height) {
        stage.Setup(kWindow, sprites, 3, 3, width, height);
        for (int i = 0; i < sprites; ++i) stage.SetSpriteSize(i, i < 2 ? 64 : 32, i < 2 ? 64 : 32);
        for (int p = 0; p < 3; ++p) stage.SetPattern(p, p, 32, 32);
        for (int i = 0; i < sprites; ++i) {
            stage.SetSpritePattern(i, i < 2 ? i : 2);
            stage.SetSpritePosition(i, 50 + 40 * i, 60);
            stage.SetSpriteVisible(i, true);
        }
    }

    // Copies to the window since the last clear, as (x, y, w, h).
    static std::vector<std::vector<int>> Copies() {
        std::vector<std::vector<int>> out;
        for (std::size_t i = 0; i < fake::Gdi().windowCopyCount; ++i) {
            const fake::WindowCopy& c = fake::Gdi().windowCopies[i];
            out.push_back({c.x, c.y, c.width, c.height});
        }
        return out;
    }

    static bool AllBlack(const SpriteStage& stage) {
        const IndexedImage& b = stage.BackBuffer();
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x)
                if (*b.PixelAddress(x, y) != 0) return false;
        return true;
    }
};

using Rects = std::vector<std::vector<int>>;

}  // namespace

TEST_F(SpriteStageTest, SetupBuildsPaletteAndBlackBackBufferAndReleasesTheWindowContext) {
    SpriteStage stage;
    stage.Setup(kWindow, 4, 3, 3, 200, 150);
    const IndexedImage& b = stage.BackBuffer();
    ASSERT_NE(b.bits, nullptr);
    EXPECT_EQ(b.width, 200);
    EXPECT_EQ(b.height, 150);
    EXPECT_TRUE(AllBlack(stage)) << "fresh pixel memory must be cleared";
    EXPECT_EQ(fake::Gdi().windowDcsHeld, 0);
    EXPECT_EQ(fake::Gdi().screenDcsHeld, 0);
    EXPECT_EQ(fake::SelectedPalette(fake::WindowDc()), b.palette);
    ASSERT_EQ(fake::Gdi().memoryDcsLive, 1);
    const fake::Call* createDc = nullptr;
    for (const fake::Call& c : fake::Calls())
        if (std::strcmp(c.name, "CreateMemoryDc") == 0) createDc = &c;
    ASSERT_NE(createDc, nullptr);
    EXPECT_EQ(createDc->args[0], fake::Arg(fake::WindowDc()));
    // Palette into the window's context and realised, then into the memory context.
    EXPECT_EQ(fake::CountCalls("SelectDcPalette"), 2u);
    EXPECT_EQ(fake::CountCalls("RealizeDcPalette"), 2u);
    // The colour table comes from SPPAT_R0.
    const std::vector<std::uint8_t>& first = fake::Files().builtInBitmaps["SPPAT_R0"];
    EXPECT_EQ(std::memcmp(b.header + 40 + 40, first.data() + 40 + 40, 236 * 4), 0);
    ASSERT_NE(stage.SpriteAt(3), nullptr);
    EXPECT_EQ(stage.SpriteAt(4), nullptr);
}

TEST_F(SpriteStageTest, WhatEachFrameCopiesToTheWindow) {
    SpriteStage stage;
    stage.Setup(kWindow, 2, 3, 3, 300, 200);
    for (int i = 0; i < 2; ++i) {
        stage.SetSpriteSize(i, 32, 32);
        stage.SetSpritePattern(i, 2);
        stage.SetSpriteVisible(i, true);
    }
    stage.SetPattern(2, 2, 32, 32);
    stage.SetSpritePosition(0, 100, 100);  // rectangle (84, 84, 32, 32)
    stage.SetSpritePosition(1, 200, 50);   // rectangle (184, 34, 32, 32)

    // First frame: each sprite's own rectangle, once, the last sprite first; the
    // source row is counted from the bottom of the back buffer.
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(Copies(), (Rects{{184, 34, 32, 32}, {84, 84, 32, 32}}));
    EXPECT_EQ(fake::Gdi().windowCopies[1].sourceX, 84);
    EXPECT_EQ(fake::Gdi().windowCopies[1].sourceY, 200 - 84 - 32);
    EXPECT_EQ(fake::Gdi().windowCopies[1].bits, stage.BackBuffer().bits);
    EXPECT_EQ(fake::Gdi().windowCopies[1].info, stage.BackBuffer().info);
    EXPECT_EQ(fake::Gdi().windowCopies[1].dc, fake::WindowDc());

    struct Step {
        int dx, dy;
        Rects expected;  // copies of sprite 0; sprite 1 stays still: one copy of its own
    };
    const Step steps[] = {
        {0, 0, {{84, 84, 32, 32}}},                      // no move
        {3, 4, {{84, 84, 35, 36}}},                      // 1260 < 2048: joined
        {-3, -4, {{84, 84, 35, 36}}},                    // and back
        {40, 0, {{124, 84, 32, 32}, {84, 84, 32, 32}}},  // 2304: new, then old
        {-32, 0, {{92, 84, 32, 32}, {124, 84, 32, 32}}}, // exactly 2048: not below the limit
    };
    int x = 100, y = 100;
    for (const Step& s : steps) {
        x += s.dx;
        y += s.dy;
        stage.SetSpritePosition(0, x, y);
        fake::ClearWindowCopies();
        stage.Render(kWindow);
        Rects expected = {{184, 34, 32, 32}};
        expected.insert(expected.end(), s.expected.begin(), s.expected.end());
        EXPECT_EQ(Copies(), expected) << s.dx << "," << s.dy;
    }

    // Invisible: the old rectangle once (clearing it), then nothing at all.
    stage.SetSpriteVisible(0, false);
    stage.SetSpritePosition(0, 10, 10);
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(Copies(), (Rects{{184, 34, 32, 32}, {92, 84, 32, 32}}));
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(Copies(), (Rects{{184, 34, 32, 32}}));
    // Visible again: only its current rectangle.
    stage.SetSpriteVisible(0, true);
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(Copies(), (Rects{{184, 34, 32, 32}, {-6, -6, 32, 32}}));
    EXPECT_EQ(fake::Gdi().windowCopies[1].sourceY, 200 + 6 - 32);
    EXPECT_EQ(fake::Gdi().windowDcsHeld, 0);
}

TEST_F(SpriteStageTest, TheWindowIsShownLaterSpritesOnTopBeforeTheBufferIsErased) {
    for (int k = 0; k < 3; ++k)
        fake::Files().builtInBitmaps["SPPAT_R" + std::to_string(k)] =
            gfxtest::PackedPicture([k](int, int) { return static_cast<std::uint8_t>(20 + k); });
    SpriteStage stage;
    // Sprite 0 covers x 18..81, sprite 1 x 58..121, sprite 2 x 114..145, all around y 60.
    SetUpLikeTheSaver(stage, 3, 300, 200);
    stage.Render(kWindow);
    const struct {
        int x, index;
    } shown[] = {{30, 20}, {70, 21}, {118, 22}, {140, 22}};
    for (const auto& p : shown) EXPECT_EQ(fake::ShownPixel(p.x, 60), p.index) << "x " << p.x;
}

TEST_F(SpriteStageTest, BackBufferIsBlackAfterEveryFrame) {
    SpriteStage stage;
    const int width = 320, height = 240, count = 40;
    SetUpLikeTheSaver(stage, count, width, height);
    std::mt19937 random(12345);
    std::vector<int> cx(count), cy(count);
    for (int i = 0; i < count; ++i) {
        cx[i] = static_cast<int>(random() % width);
        cy[i] = static_cast<int>(random() % height);
    }
    int drawnFrames = 0;
    for (int frame = 0; frame < 600; ++frame) {
        for (int i = 0; i < count; ++i) {
            cx[i] += static_cast<int>(random() % 21) - 10;
            cy[i] += static_cast<int>(random() % 21) - 10;
            if (random() % 50 == 0) {  // jump anywhere, often well off the buffer
                cx[i] = static_cast<int>(random() % (3 * width)) - width;
                cy[i] = static_cast<int>(random() % (3 * height)) - height;
            }
            if (random() % 30 == 0) stage.SetSpriteVisible(i, random() % 2 == 0);
            stage.SetSpritePosition(i, cx[i], cy[i]);
        }
        // Look at the drawn frame now and then: sprites really are drawn.
        if (frame % 50 == 0) {
            stage.DrawPass();
            drawnFrames += !AllBlack(stage);
            stage.ErasePass();
            ASSERT_TRUE(AllBlack(stage)) << "frame " << frame << " (passes alone)";
        }
        fake::ClearCalls();
        stage.Render(kWindow);
        ASSERT_TRUE(AllBlack(stage)) << "frame " << frame;
    }
    EXPECT_GT(drawnFrames, 8);
}

// A window whose copies draw the layers themselves shows, after every frame, what
// the draw pass would have drawn, while the back buffer stays black: sprites of
// odd sizes, hidden, across the edges, far off, and one too large to erase.
TEST_F(SpriteStageTest, LayersShowWhatTheDrawPassDraws) {
    fake::Gdi().takesLayers = true;
    SpriteStage stage;
    const int width = 300, height = 200, count = 30;
    SetUpLikeTheSaver(stage, count, width, height);
    stage.SetSpriteSize(5, 33, 17);
    stage.SetSpriteSize(6, 7, 50);
    stage.SetSpriteSize(7, 20000, 20000);
    std::mt19937 random(2024);
    int differences = 0, compared = 0;
    for (int frame = 0; frame < 200; ++frame) {
        for (int i = 0; i < count; ++i) {
            const bool far = random() % 40 == 0;
            stage.SetSpritePosition(i, static_cast<int>(random() % (far ? 3 * width : width + 60)) - (far ? width : 30),
                                    static_cast<int>(random() % (far ? 3 * height : height + 60)) - (far ? height : 30));
            if (random() % 20 == 0) stage.SetSpriteVisible(i, random() % 2 == 0);
        }
        stage.Render(kWindow);
        ASSERT_TRUE(AllBlack(stage)) << "frame " << frame;
        stage.DrawPass();
        const IndexedImage& b = stage.BackBuffer();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int shown = fake::ShownPixel(x, y);
                if (shown == fake::kNeverShown) continue;
                ++compared;
                differences += shown != *b.PixelAddress(x, y);
            }
        stage.ErasePass();
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(compared, 200 * width * height / 2);
}

TEST_F(SpriteStageTest, OddWidthDrawsTwiceItsHalfAndErasesAndPresentsItsWhole) {
    fake::Files().builtInBitmaps["SPPAT_R0"] = gfxtest::PackedPicture([](int, int) { return 5; });
    SpriteStage stage;
    stage.Setup(kWindow, 1, 1, 1, 100, 100);
    stage.SetPattern(0, 0, 32, 32);
    stage.SetSpriteSize(0, 33, 33);
    stage.SetSpritePattern(0, 0);
    stage.SetSpritePosition(0, 50, 50);  // left = top = 50 - 16 = 34
    stage.SetSpriteVisible(0, true);
    stage.DrawPass();
    const IndexedImage& b = stage.BackBuffer();
    EXPECT_EQ(*b.PixelAddress(34, 34), 5);
    EXPECT_EQ(*b.PixelAddress(65, 65), 5);
    EXPECT_EQ(*b.PixelAddress(66, 40), 0);
    EXPECT_EQ(*b.PixelAddress(40, 66), 0);
    EXPECT_EQ(*b.PixelAddress(33, 40), 0);
    stage.ErasePass();
    // Fill the 33rd column and row by hand: the erase must cover them too.
    *b.PixelAddress(66, 66) = 9;
    *b.PixelAddress(66, 34) = 9;
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_TRUE(AllBlack(stage));
    EXPECT_EQ(Copies(), (Rects{{34, 34, 33, 33}}));
}

TEST_F(SpriteStageTest, SecondSetupChangesNothing) {
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 5, 200, 100);
    const std::uint8_t* bits = stage.BackBuffer().bits;
    const std::size_t calls = fake::Calls().size();
    stage.Setup(kWindow, 9, 1, 1, 50, 50);
    EXPECT_EQ(fake::Calls().size(), calls);
    EXPECT_EQ(stage.SpriteCount(), 5);
    EXPECT_EQ(stage.BackBuffer().bits, bits);
    EXPECT_EQ(stage.BackBuffer().width, 200);
}

TEST_F(SpriteStageTest, ReleaseGivesEverythingBackAndAllowsASetupAtANewSize) {
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 5, 200, 100);
    stage.Release();
    EXPECT_EQ(fake::Gdi().memoryDcsLive, 0);
    EXPECT_EQ(fake::Gdi().bitmapsLive, 0);
    EXPECT_EQ(fake::Gdi().palettesLive, 0);
    EXPECT_EQ(stage.SpriteCount(), 0);
    EXPECT_EQ(stage.BackBuffer().bits, nullptr);

    SetUpLikeTheSaver(stage, 7, 300, 120);
    EXPECT_EQ(stage.SpriteCount(), 7);
    EXPECT_EQ(stage.BackBuffer().width, 300);
    EXPECT_EQ(stage.BackBuffer().height, 120);
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(fake::Gdi().windowCopyCount, 7u);
    EXPECT_TRUE(AllBlack(stage));
}

TEST_F(SpriteStageTest, BadIndicesAreIgnoredAndUnknownPatternsMeanPatternZero) {
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 3, 200, 100);
    const Sprite* s = stage.SpriteAt(2);
    for (int bad : {-1, 3, INT32_MIN, INT32_MAX}) {
        stage.SetSpriteSize(bad, 8, 8);
        stage.SetSpritePattern(bad, 1);
        stage.SetSpritePosition(bad, 1, 1);
        stage.SetSpriteVisible(bad, false);
        stage.SetPattern(bad, 0, 1, 1);
        stage.SetPattern(0, bad, 1, 1);
    }
    stage.SetSpritePattern(2, -1);
    const Sprite* zero = stage.SpriteAt(0);
    EXPECT_EQ(s->pattern, stage.SpriteAt(0)->pattern);
    stage.SetSpritePattern(2, 3);
    EXPECT_EQ(s->pattern, zero->pattern);
    EXPECT_EQ(zero->pattern->centreX, 32);  // SetPattern(0, bad image, ...) was ignored
    EXPECT_EQ(s->width, 32);
    EXPECT_TRUE(s->visible);

    // A stage that was never set up ignores everything and draws nothing.
    SpriteStage empty;
    empty.SetSpriteSize(0, 8, 8);
    empty.SetSpriteVisible(0, true);
    fake::ClearCalls();
    empty.Render(kWindow);
    EXPECT_EQ(fake::Calls().size(), 0u);
}

TEST_F(SpriteStageTest, FrameWithoutSpritesOnlyHandlesTheWindowContext) {
    SpriteStage stage;
    stage.Setup(kWindow, 0, 3, 3, 64, 64);
    fake::ClearCalls();
    stage.Render(kWindow);
    std::vector<std::string> names;
    for (const fake::Call& c : fake::Calls()) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"AcquireWindowDc", "SelectDcPalette", "RealizeDcPalette",
                                               "ReleaseWindowDc"}));
}

TEST_F(SpriteStageTest, WithoutABackBufferFramesDrawNothing) {
    SpriteStage zero;
    SetUpLikeTheSaver(zero, 3, 0, 0);
    fake::Gdi().failPixelBuffer = true;
    SpriteStage failed;
    SetUpLikeTheSaver(failed, 3, 640, 480);
    EXPECT_EQ(fake::CountCalls("FillBlack"), 0u);
    fake::ClearCalls();
    for (int i = 0; i < 3; ++i) {
        zero.Render(kWindow);
        failed.Render(kWindow);
    }
    EXPECT_EQ(fake::Gdi().windowCopyCount, 0u);
    EXPECT_EQ(zero.BackBuffer().bits, nullptr);
    EXPECT_EQ(failed.BackBuffer().bits, nullptr);
}

TEST_F(SpriteStageTest, MissingPicturesLeaveBlackColoursAndSpritesThatDrawNothing) {
    fake::Files().builtInBitmaps.clear();
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 3, 200, 100);
    const plat::PaletteEntry* entries = fake::PaletteEntries(stage.BackBuffer().palette);
    ASSERT_NE(entries, nullptr);
    for (int i = 10; i < 246; ++i) ASSERT_EQ(entries[i].red | entries[i].green | entries[i].blue, 0) << i;
    stage.DrawPass();
    EXPECT_TRUE(AllBlack(stage));
    fake::ClearWindowCopies();
    stage.Render(kWindow);
    EXPECT_EQ(fake::Gdi().windowCopyCount, 3u) << "presents still run";

    // Setup with no pictures at all.
    SpriteStage none;
    none.Setup(kWindow, 1, 1, 0, 10, 10);
    none.Render(kWindow);
    EXPECT_TRUE(AllBlack(none));
}

TEST_F(SpriteStageTest, SpritesThatCannotBeErasedAreNotDrawn) {
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 1, 200, 100);
    stage.SetSpriteSize(0, 20000, 20000);  // too large for a blank tile
    stage.SetSpritePosition(0, 100, 50);
    stage.Render(kWindow);
    EXPECT_TRUE(AllBlack(stage));
}

TEST_F(SpriteStageTest, PositionsFarOffTheScreenSaturate) {
    SpriteStage stage;
    SetUpLikeTheSaver(stage, 2, 200, 100);
    stage.SetSpritePosition(0, INT32_MIN, INT32_MAX);
    stage.SetSpritePosition(1, INT32_MAX, INT32_MIN);
    EXPECT_EQ(stage.SpriteAt(0)->left, INT32_MIN);
    EXPECT_EQ(stage.SpriteAt(0)->top, INT32_MAX - 32);
    EXPECT_EQ(stage.SpriteAt(1)->top, INT32_MIN);
    for (int i = 0; i < 3; ++i) stage.Render(kWindow);
    EXPECT_TRUE(AllBlack(stage));
}

TEST_F(SpriteStageTest, DestructionReleasesInOrderAndOnlyWhatWasMade) {
    {
        SpriteStage stage;
        SetUpLikeTheSaver(stage, 3, 64, 64);
        fake::ClearCalls();
    }
    std::vector<std::string> names;
    for (const fake::Call& c : fake::Calls()) names.push_back(c.name);
    // The window's context and the memory context first let go of what the stage put in them.
    EXPECT_EQ(names, (std::vector<std::string>{"AcquireWindowDc", "SelectDcPalette", "ReleaseWindowDc",
                                               "SelectDcBitmap", "DestroyBitmap", "DeleteMemoryDc", "DestroyPalette"}));
    EXPECT_EQ(fake::Calls()[1].args[1], fake::Arg(fake::StockPalette()));
    EXPECT_EQ(fake::Calls()[3].args[1], fake::Arg(fake::StockBitmap()));
    EXPECT_EQ(fake::Gdi().memoryDcsLive, 0);
    EXPECT_EQ(fake::Gdi().bitmapsLive, 0);
    EXPECT_EQ(fake::Gdi().palettesLive, 0);

    fake::ClearCalls();
    { SpriteStage never; }
    EXPECT_EQ(fake::Calls().size(), 0u);
}
