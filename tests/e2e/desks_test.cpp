// The full-screen saver on a desk of two monitors of different sizes at an
// offset (tests/e2e/desks.sh makes such a display): a field on each monitor and
// nothing where no monitor shows, no drawing while the display is off and
// drawing again on a small movement, changes of the display and the monitors
// that it follows without closing, up to sixteen monitors.
#include <algorithm>
#include <cstdio>
#include <utility>

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
    static BOOL CALLBACK AddInfo(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoA(monitor, &info)) reinterpret_cast<std::vector<MONITORINFO>*>(list)->push_back(info);
        return TRUE;
    }
    // The parts of each monitor that its work area leaves out (a taskbar's place).
    static std::vector<RECT> OutsideWorkAreas() {
        std::vector<MONITORINFO> infos;
        EnumDisplayMonitors(nullptr, nullptr, AddInfo, reinterpret_cast<LPARAM>(&infos));
        std::vector<RECT> parts;
        for (const MONITORINFO& i : infos) {
            const RECT& m = i.rcMonitor;
            RECT w;
            if (!IntersectRect(&w, &i.rcWork, &m)) w = RECT{m.left, m.top, m.left, m.top};
            for (const RECT& part : {RECT{m.left, m.top, m.right, w.top}, RECT{m.left, w.bottom, m.right, m.bottom},
                                     RECT{m.left, m.top, w.left, m.bottom}, RECT{w.right, m.top, m.right, m.bottom}})
                if (!IsRectEmpty(&part)) parts.push_back(part);
        }
        return parts;
    }
    // Has the X server change its monitors (desks.sh runs the xrandr commands,
    // one a line) and waits until Wine lists `count` of them.
    static bool Xrandr(const std::string& commands, size_t count) {
        const std::string request = WorkDir() + "\\xrandr";
        return WriteWholeFile(request, commands) &&
               WaitFor([&] { return GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES; },
                       WINDOW_WAIT_MS) &&
               WaitFor([&] { return Monitors().size() == count; }, WINDOW_WAIT_MS);
    }
    static RECT VirtualScreen() {
        const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }

    // Over several frames: the window covers the virtual screen, every monitor
    // shows green discs, also under its taskbar (where its work area ends), and no
    // pixel is lit where no monitor shows.
    static void ExpectAFieldOnEveryMonitorOnly(HWND window) {
        const RECT all = VirtualScreen();
        // After a change the saver places its window again, later on a busy machine.
        RECT placed;
        EXPECT_TRUE(WaitFor([&] { return GetWindowRect(window, &placed) && EqualRect(&placed, &all); }, WINDOW_WAIT_MS))
            << "the window is at " << placed.left << "," << placed.top << " to " << placed.right << ","
            << placed.bottom << ", the virtual screen " << all.left << "," << all.top << " to " << all.right << ","
            << all.bottom;
        const std::vector<RECT> monitors = Monitors();
        // The pixels of the virtual screen that some monitor shows, marked once for every frame.
        const int width = all.right - all.left;
        std::vector<char> shown(static_cast<size_t>(width) * (all.bottom - all.top), 0);
        for (const RECT& m : monitors) {
            RECT part;
            if (!IntersectRect(&part, &m, &all)) continue;
            for (int y = part.top; y < part.bottom; ++y)
                std::fill_n(shown.begin() + static_cast<size_t>(y - all.top) * width + (part.left - all.left),
                            part.right - part.left, 1);
        }
        // After a change the saver sets its fields up again, later on a busy machine: once
        // every monitor shows one, each frame must.
        WaitFor(
            [&] {
                return std::all_of(monitors.begin(), monitors.end(),
                                   [](const RECT& m) { return CountColours(Capture(m)).disc[2] > 2000u; });
            },
            WINDOW_WAIT_MS);
        for (int frame = 0; frame < 6; ++frame) {
            const Shot shot = Capture(all);
            ASSERT_EQ(shot.pixels.size(), shown.size());
            size_t deadLit = 0;
            for (size_t i = 0; i < shown.size(); ++i) deadLit += !shown[i] && shot.pixels[i] != 0;
            EXPECT_EQ(deadLit, 0u) << "lit where no monitor shows: " << SaveShot(shot, "desks-dead");
            for (const RECT& m : monitors)
                EXPECT_GT(CountColours(Capture(m)).disc[2], 2000u)
                    << "no field on the monitor at " << m.left << "," << m.top;
            Pump(250);
        }
        // Discs cross every part of a field now and then: the monitor's whole field
        // reaches under its taskbar.
        for (const RECT& bar : OutsideWorkAreas())
            EXPECT_TRUE(WaitFor([&] { return CountColours(Capture(bar)).NonBlack() > 200; }, WINDOW_WAIT_MS))
                << "no field under the taskbar at " << bar.left << "," << bar.top << " to " << bar.right << ","
                << bar.bottom;
    }

    // The Wine prefix of a Unix process, from its environment (Wine passes it on to
    // every process it starts): empty if none.
    static std::string PrefixOf(const std::string& dir) {
        const auto environment = ReadWholeFile(dir + "\\environ");
        if (!environment) return "";
        const std::string key = std::string(1, '\0') + "WINEPREFIX=";
        const std::string all = '\0' + *environment;
        const size_t at = all.find(key);
        if (at == std::string::npos) return "";
        const size_t from = at + key.size();
        return all.substr(from, all.find('\0', from) - from);
    }

    // Processor time (in 10 ms ticks) of the running pendral.scr, from its Unix
    // process's record: Wine tells no process the times of another. Only this
    // prefix's: savers of other prefixes may run beside it.
    static unsigned long long CpuTicks() {
        static const std::string prefix = PrefixOf("Z:\\proc\\self");
        unsigned long long ticks = 0;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
        if (find == INVALID_HANDLE_VALUE) return 0;
        do {
            const std::string dir = std::string("Z:\\proc\\") + entry.cFileName;
            const auto command = ReadWholeFile(dir + "\\cmdline");
            const auto stat = ReadWholeFile(dir + "\\stat");
            // The saver's own command line starts with its path (the driver's names it too);
            // savers of other builds, or of other prefixes, on the same machine are not it.
            if (!command || !stat) continue;
            if (lstrcmpiA(command->substr(0, command->find('\0')).c_str(), SaverPath().c_str()) != 0 ||
                PrefixOf(dir) != prefix)
                continue;
            unsigned long long user = 0, system = 0;  // the 14th and 15th fields
            const size_t end = stat->rfind(')');
            if (end != std::string::npos &&
                std::sscanf(stat->c_str() + end + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user,
                            &system) == 2)
                ticks += user + system;
        } while (FindNextFileA(find, &entry));
        FindClose(find);
        return ticks;
    }

    DEVMODEA primaryMode_{};
};

TEST_F(Desks, NothingIsDrawnWhileTheDisplayIsOffAndItMovesAgainWhenOnOrMoved) {
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    const RECT all = VirtualScreen();
    // The low four bits of a system command are the system's own. Handled once sent.
    auto command = [&](LPARAM power) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, WM_SYSCOMMAND, SC_MONITORPOWER | 0x3, power, SMTO_NORMAL, WINDOW_WAIT_MS, &result);
    };
    // Turned off, the last frame drawn reaches the screen: then the screen stands still.
    auto turnedOff = [&](LPARAM power) {
        command(power);
        Answers(window);
        Shot still = Capture(all);
        EXPECT_TRUE(WaitFor(
            [&] {
                Pump(300);
                Shot now = Capture(all);
                return CountDifferent(std::exchange(still, now), now) == 0;
            },
            WINDOW_WAIT_MS))
            << "the screen goes on changing while the display is off";
        return still;
    };
    // Processor time in 10 ms ticks: it is read while drawing (about 5 a second),
    // and at most 2 (1 %) in 1.5 s while off.
    const unsigned long long drawingFrom = CpuTicks();
    EXPECT_TRUE(WaitFor([&] { return CpuTicks() > drawingFrom + 2; }, WINDOW_WAIT_MS))
        << "no processor time read while drawing";

    Shot dark = turnedOff(2);
    const unsigned long long offFrom = CpuTicks();
    Pump(1500);
    const unsigned long long off = CpuTicks() - offFrom;
    EXPECT_EQ(CountDifferent(dark, Capture(all)), 0u) << "the screen changes while the display is off";
    EXPECT_LE(off, 2u) << "ticks while off";
    EXPECT_TRUE(saver.Running());

    // Before Vista nothing tells that the display is back: a movement too small
    // to close the saver does.
    const POINT at = CursorPos();
    MoveCursorTo(at.x + 2, at.y);
    // The same rectangle as the dark shot: shots of different sizes always differ.
    EXPECT_TRUE(MovesFrom(dark, all)) << "nothing moves after a small movement";
    EXPECT_TRUE(saver.Running());

    dark = turnedOff(2);
    command(-1);
    EXPECT_TRUE(MovesFrom(dark, all)) << "nothing moves once the display is on";

    command(1);  // low power is off too; input still closes the saver
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

// A field on every monitor and nothing lit where none shows: as it starts, after
// a change of the display (which moves the pointer: no close), and after changes
// of the monitors while it runs: one that shrinks while the virtual screen stays,
// one added, sixteen in a grid with gaps (the last rows, since their monitors stay).
TEST_F(Desks, EveryMonitorShowsAFieldOfItsOwnAndNothingLiesWhereNoneShows) {
    const struct {
        const char* what;
        bool (*change)(const DEVMODEA& primary);
    } rows[] = {
        {"as it starts", [](const DEVMODEA&) { return true; }},
        {"after a display change",
         [](const DEVMODEA& primary) {
             DEVMODEA smaller = primary;
             smaller.dmPelsWidth = 800;
             smaller.dmPelsHeight = 600;
             smaller.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
             return ChangeDisplaySettingsA(&smaller, 0) == DISP_CHANGE_SUCCESSFUL;
         }},
        {"with a monitor shrinking within the same virtual screen",
         [](const DEVMODEA&) {
             return Xrandr("--addmode DUMMY1 640x480\n--output DUMMY1 --mode 640x480 --pos 1184x420\n", 2);
         }},
        {"with a monitor added",
         [](const DEVMODEA&) {
             return Xrandr("--output DUMMY1 --mode 800x600 --pos 1024x300\n--addmode DUMMY2 640x480\n"
                           "--output DUMMY2 --mode 640x480 --pos 0x768\n", 3);
         }},
        {"on sixteen monitors with gaps between them",
         [](const DEVMODEA&) {
             // The modes first, then the whole layout in one change: each step of a
             // layout built monitor by monitor would be a change of its own.
             std::string modes, layout;
             for (int n = 0; n < 16; ++n) {
                 modes += "--addmode DUMMY" + std::to_string(n) + " 640x480\n";
                 layout += " --output DUMMY" + std::to_string(n) + " --mode 640x480 --pos " +
                           std::to_string(n % 4 * 740) + "x" + std::to_string(n / 4 * 580);
             }
             return Xrandr(modes + layout.substr(1) + "\n", 16);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // The pointer where every layout shows it: one in a gap between monitors is
        // moved into a monitor by the X server, and a movement that comes before the
        // saver can see the new layout closes it, as a hand's movement would.
        PlaceCursor(100, 100);
        Saver saver;
        HWND window = nullptr;
        ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
        ASSERT_TRUE(row.change(primaryMode_));
        Pump(1500);
        ASSERT_TRUE(saver.Running()) << "closed";
        if (&row == rows) {
            EXPECT_FALSE(OutsideWorkAreas().empty()) << "no work area smaller than its monitor (desks.sh's bar)";
        }
        ExpectAFieldOnEveryMonitorOnly(window);
        KeyPress(VK_SPACE);
        EXPECT_TRUE(ExitsWith(saver, 0));
        ChangeDisplaySettingsA(&primaryMode_, 0);
    }
}

}  // namespace
}  // namespace e2e
