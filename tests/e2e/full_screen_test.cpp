// The full-screen saver: what it shows, what closes it, and that only one runs.
#include "cases.h"

namespace e2e {
namespace {

class FullScreen : public SaverCase {};

TEST_F(FullScreen, CoversTheScreenWithMovingDiscsInThePicturesColours) {
    ASSERT_TRUE(SaverPictures().loaded) << "the sprite pictures of " << SaverPath() << " could not be read";
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));

    // The whole virtual screen, which here is the one monitor's.
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(rect.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetForegroundWindow(), window);
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    EXPECT_TRUE(WaitFor([&] { return GetCursorInfo(&cursor) && cursor.hCursor == nullptr; }, WINDOW_WAIT_MS))
        << "the cursor is not hidden";

    // The first frame with discs, then one where they moved.
    Shot first, second;
    ASSERT_TRUE(SomeFrame([&](const Shot& shot) { return CountColours(first = shot).disc[2] > 2000u; }))
        << "no green discs";
    EXPECT_TRUE(SomeFrame([&](const Shot& shot) { return CountDifferent(first, second = shot) > 100u; }))
        << "the picture does not move";

    for (const Shot* shot : {&first, &second}) {
        ColourCount count = CountColours(*shot);
        const size_t all = shot->pixels.size();
        EXPECT_GT(count.black, all * 8 / 10) << "the screen is not black";
        // 51 plain bodies by default, no red and no blue one.
        EXPECT_GT(count.disc[2], 2000u) << "no green discs";
        EXPECT_EQ(count.disc[0], 0u);
        EXPECT_EQ(count.disc[1], 0u);
        EXPECT_LE(count.other, count.NonBlack() / 100)
            << "colours that are not the pictures': " << SaveShot(*shot, "full-screen");
        EXPECT_GE(CountPatches(*shot, Disc::green), 5);
    }
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(FullScreen, ClosesOnAnyKeyOrMouseButton) {
    struct Way {
        const char* name;
        void (*act)();
    };
    const Way ways[] = {
        {"key", [] { KeyPress('Q'); }},
        {"system key", [] { KeyPress(VK_MENU); }},
        {"left button", [] { ClickHere(Button::left); }},
        {"right button", [] { ClickHere(Button::right); }},
        {"middle button", [] { ClickHere(Button::middle); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Saver saver;
        ASSERT_TRUE(StartFullScreen(saver));
        way.act();
        EXPECT_TRUE(ExitsWith(saver, 0));
    }
}

TEST_F(FullScreen, ClosesWhenAnotherWindowIsActivated) {
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    HostWindow other(200, 100);
    SetForegroundWindow(other.Handle());
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(FullScreen, SmallMouseMovementsAddUpUntilTheyPassFourPixels) {
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    MoveCursorTo(CURSOR_X + 3, CURSOR_Y + 1);
    POINT p{};
    ASSERT_TRUE(WaitFor([&] { return p = CursorPos(), p.x == CURSOR_X + 3 && p.y == CURSOR_Y + 1; }, WINDOW_WAIT_MS))
        << "the cursor is at " << p.x << "," << p.y;
    // Time for the saver to take the movement in: it must not close.
    Pump(500);
    EXPECT_TRUE(saver.Running()) << "closed on a movement of 4 pixels";
    MoveCursorTo(CURSOR_X + 4, CURSOR_Y + 1);
    EXPECT_TRUE(ExitsWith(saver, 0)) << "a movement of 5 pixels in all did not close it";
}

TEST_F(FullScreen, OnTheNtFamilyThePasswordSettingIsLeftToTheSystem) {
    ASSERT_FALSE(IsWin95Family());
    SetUsePassword(1);
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
    SetUsePassword(std::nullopt);
    EXPECT_EQ(StandInLog(), std::vector<std::string>{}) << "the verifier was loaded or asked";
}

TEST_F(FullScreen, ASecondStartEndsAtOnceWithoutASecondWindow) {
    Saver first;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(first, "/s", "", &window));
    Saver second;
    ASSERT_TRUE(second.Start(CommandFor("/s")));
    EXPECT_TRUE(ExitsWith(second, 0));
    EXPECT_FALSE(second.SawWindow());
    EXPECT_EQ(FindWindowA(SAVER_CLASS, "Screen Saver"), window);
    EXPECT_TRUE(first.Running());
    ASSERT_TRUE(Activate(window));
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(first, 0));
}

}  // namespace
}  // namespace e2e
