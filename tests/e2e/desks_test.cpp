// The full-screen saver on a desk of two monitors of different sizes at an
// offset (tests/e2e/desks.sh makes such a display): a field on each monitor and
// nothing where no monitor shows, no drawing while the display is off, a change
// of the display that it follows without closing, and a monitor added while it
// runs.
#include "cases.h"

namespace e2e {
namespace {

class Desks : public SaverCase {
protected:
    void SetUp() override {
        SaverCase::SetUp();
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
        primaryMode_ = mode;
        ASSERT_EQ(Monitors().size(), 2u) << "this group runs on a display with two monitors";
    }
    void TearDown() override { ChangeDisplaySettingsA(&primaryMode_, 0); }

    static BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
        return TRUE;
    }
    static std::vector<RECT> Monitors() {
        std::vector<RECT> list;
        EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&list));
        return list;
    }
    static RECT VirtualScreen() {
        const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }

    // Over several frames: the window covers the virtual screen, every monitor
    // shows green discs, and no pixel is lit where no monitor shows.
    static void ExpectAFieldOnEveryMonitorOnly(HWND window) {
        const RECT all = VirtualScreen();
        RECT placed;
        GetWindowRect(window, &placed);
        EXPECT_TRUE(EqualRect(&placed, &all)) << "the window does not cover the virtual screen";
        const std::vector<RECT> monitors = Monitors();
        for (int frame = 0; frame < 6; ++frame) {
            const Shot shot = Capture(all);
            size_t deadLit = 0;
            for (int y = 0; y < shot.height; ++y)
                for (int x = 0; x < shot.width; ++x) {
                    const POINT p{all.left + x, all.top + y};
                    bool seen = false;
                    for (const RECT& m : monitors) seen = seen || PtInRect(&m, p);
                    deadLit += !seen && shot.At(x, y) != 0;
                }
            EXPECT_EQ(deadLit, 0u) << "lit where no monitor shows: " << SaveShot(shot, "desks-dead");
            for (const RECT& m : monitors)
                EXPECT_GE(CountPatches(Capture(m), Disc::green), 5)
                    << "no field on the monitor at " << m.left << "," << m.top;
            Pump(250);
        }
    }

    static ULONGLONG CpuMs(const Saver& saver) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, saver.Pid());
        FILETIME created, ended, kernel, user;
        ULONGLONG total = 0;
        if (process && GetProcessTimes(process, &created, &ended, &kernel, &user))
            total = (ULARGE_INTEGER{{kernel.dwLowDateTime, kernel.dwHighDateTime}}.QuadPart +
                     ULARGE_INTEGER{{user.dwLowDateTime, user.dwHighDateTime}}.QuadPart) / 10000;
        if (process) CloseHandle(process);
        return total;
    }

    DEVMODEA primaryMode_{};
};

TEST_F(Desks, EachMonitorShowsAFieldOfItsOwnAndNothingLiesWhereNoMonitorShows) {
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    ExpectAFieldOnEveryMonitorOnly(window);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Desks, NothingIsDrawnWhileTheDisplayIsOffAndItMovesAgainWhenOn) {
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    const RECT all = VirtualScreen();
    auto command = [&](LPARAM power) {
        // The low four bits of a system command are the system's own.
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, WM_SYSCOMMAND, SC_MONITORPOWER | 0x3, power, SMTO_ABORTIFHUNG, 3000, &result);
        Pump(300);
    };
    const ULONGLONG drawingFrom = CpuMs(saver);
    Pump(1500);
    const ULONGLONG drawingMs = CpuMs(saver) - drawingFrom;

    command(2);
    const Shot off = Capture(all);
    const ULONGLONG offFrom = CpuMs(saver);
    Pump(1500);
    const ULONGLONG offMs = CpuMs(saver) - offFrom;
    EXPECT_EQ(CountDifferent(off, Capture(all)), 0u) << "the screen changes while the display is off";
    EXPECT_LE(offMs * 10, drawingMs) << "CPU time over 1.5 s: " << offMs << " ms off, " << drawingMs << " ms on";
    EXPECT_TRUE(saver.Running());

    command(-1);
    EXPECT_TRUE(SomeFrame([&](const Shot& s) { return CountDifferent(off, s) > 100; }, 3000))
        << "nothing moves once the display is on";

    command(1);  // low power is off too; input still closes the saver
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Desks, ADisplayChangeIsFollowedWithoutClosing) {
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    DEVMODEA smaller = primaryMode_;
    smaller.dmPelsWidth = 800;
    smaller.dmPelsHeight = 600;
    smaller.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    ASSERT_EQ(ChangeDisplaySettingsA(&smaller, 0), DISP_CHANGE_SUCCESSFUL);
    Pump(1500);
    ASSERT_TRUE(saver.Running()) << "the display change closed the saver";
    ExpectAFieldOnEveryMonitorOnly(window);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

// Last: the third monitor stays. desks.sh adds it when the file appears.
TEST_F(Desks, AMonitorAddedWhileItRunsIsCovered) {
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    ASSERT_TRUE(WriteWholeFile(WorkDir() + "\\add-monitor", ""));
    ASSERT_TRUE(WaitFor([] { return Monitors().size() == 3; }, 10000)) << "no third monitor came";
    Pump(1500);
    ASSERT_TRUE(saver.Running());
    ExpectAFieldOnEveryMonitorOnly(window);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

}  // namespace
}  // namespace e2e
