// The saver window and the display: its power (the power-setting notifications
// and the monitor-power command), a change of the screens, the system command
// masks, and a preview whose parent is gone.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "app/animation_window.h"
#include "host/display_power.h"
#include "host/run_modes.h"
#include "host_test_support.h"

using namespace hosttest;

namespace {

// The record a power-setting change points to: the setting's id, the length of
// its data, the data.
std::vector<std::uint8_t> SettingRecord(const plat::Guid& id, std::uint32_t value, std::uint32_t length = 4) {
    std::vector<std::uint8_t> record(sizeof id + 4 + 4);
    std::memcpy(record.data(), &id, sizeof id);
    std::memcpy(record.data() + sizeof id, &length, 4);
    std::memcpy(record.data() + sizeof id + 4, &value, 4);
    return record;
}

TEST(DisplayPowerRules, SettingsCommandsAndTheSettingWatched) {
    const plat::Guid other{0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
    const struct {
        const plat::Guid* id;
        std::uint32_t value, length;
        DisplayPower expected;
    } settings[] = {
        {&CONSOLE_DISPLAY_STATE_SETTING, 0, 4, DisplayPower::off},
        {&CONSOLE_DISPLAY_STATE_SETTING, 1, 4, DisplayPower::on},
        {&CONSOLE_DISPLAY_STATE_SETTING, 2, 4, DisplayPower::dimmed},
        {&CONSOLE_DISPLAY_STATE_SETTING, 3, 4, DisplayPower::unknown},
        {&CONSOLE_DISPLAY_STATE_SETTING, 0, 1, DisplayPower::unknown},
        {&MONITOR_POWER_ON_SETTING, 0, 4, DisplayPower::off},
        {&MONITOR_POWER_ON_SETTING, 1, 4, DisplayPower::on},
        {&MONITOR_POWER_ON_SETTING, 2, 4, DisplayPower::unknown},
        {&other, 0, 4, DisplayPower::unknown},
    };
    for (const auto& row : settings) {
        const auto record = SettingRecord(*row.id, row.value, row.length);
        EXPECT_EQ(PowerSettingChange(record.data()), row.expected) << row.id->data1 << " " << row.value;
    }
    EXPECT_EQ(PowerSettingChange(nullptr), DisplayPower::unknown);

    const struct {
        plat::LongParam lParam;
        DisplayPower expected;
    } commands[] = {{1, DisplayPower::off}, {2, DisplayPower::off}, {-1, DisplayPower::on}, {0, DisplayPower::unknown}};
    for (const auto& row : commands) EXPECT_EQ(MonitorPowerCommand(row.lParam), row.expected) << row.lParam;

    EXPECT_EQ(&DisplayPowerSetting(0x600), &MONITOR_POWER_ON_SETTING);   // Vista
    EXPECT_EQ(&DisplayPowerSetting(0x601), &MONITOR_POWER_ON_SETTING);   // 7
    EXPECT_EQ(&DisplayPowerSetting(0x602), &CONSOLE_DISPLAY_STATE_SETTING);  // 8
    EXPECT_EQ(&DisplayPowerSetting(0xA00), &CONSOLE_DISPLAY_STATE_SETTING);
}

class SaverDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHost();
        timerId = 0;
        animationPaused = false;
        fake::Windows().timerResult = 1;
    }
    plat::MessageResult Send(std::uint32_t message, plat::WordParam wParam = 0, plat::LongParam lParam = 0) {
        return SaverWindowProc(kSaver, message, wParam, lParam);
    }
    plat::MessageResult Power(const plat::Guid& id, std::uint32_t value) {
        const auto record = SettingRecord(id, value);
        return Send(msg::POWERBROADCAST, msg::POWER_SETTING_CHANGE, reinterpret_cast<plat::LongParam>(record.data()));
    }
};

TEST_F(SaverDisplay, TheAnimationStopsWhileTheDisplayIsOffAndDrawsAgainWhenItIsOnOrDimmed) {
    fake::System().version = 0x601;
    Send(msg::CREATE);
    EXPECT_EQ(fake::Windows().watchedSetting, &MONITOR_POWER_ON_SETTING);
    timerId = 1;  // the animation's timer runs

    struct Step {
        const char* what;
        std::function<plat::MessageResult()> send;
        plat::MessageResult result;
        std::size_t stops, starts, repaints;  // the animation timer's, from the start
    };
    const plat::Guid& console = CONSOLE_DISPLAY_STATE_SETTING;
    const std::vector<Step> steps = {
        {"the state sent at registration: on", [&] { return Power(console, 1); }, 1, 0, 0, 0},
        {"off", [&] { return Power(console, 0); }, 1, 1, 0, 0},
        {"off again", [&] { return Power(MONITOR_POWER_ON_SETTING, 0); }, 1, 1, 0, 0},
        {"dimmed", [&] { return Power(console, 2); }, 1, 1, 1, 1},
        {"another event", [&] { return Send(msg::POWERBROADCAST, 0x000A, 0); }, 0xDEF, 1, 1, 1},
        {"monitor-power command, off", [&] { return Send(msg::SYSCOMMAND, msg::SYSCMD_MONITORPOWER | 0x2, 2); },
         0xDEF, 2, 1, 1},
        {"monitor-power command, on", [&] { return Send(msg::SYSCOMMAND, msg::SYSCMD_MONITORPOWER, -1); }, 0xDEF,
         2, 2, 2},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.send(), step.result) << step.what;
        EXPECT_EQ(fake::CountCalls("StopTimer"), step.stops) << step.what;
        EXPECT_EQ(fake::CountCalls("StartTimer"), step.starts) << step.what;
        EXPECT_EQ(fake::CountCalls("RepaintWindow"), step.repaints) << step.what;
    }
    // The command still gets the system's own handling.
    EXPECT_EQ(fake::CallsNamed("DefaultWindowProc").back().args[1], static_cast<std::intptr_t>(msg::SYSCOMMAND));

    Send(msg::DESTROY);
    auto stop = fake::CallsNamed("StopWatchingPowerSetting");
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].args[0], fake::Arg(fake::Windows().powerWatch));
}

TEST_F(SaverDisplay, AChangeOfTheScreensIsCoveredAndThePointerItMovedClosesNothing) {
    fake::Windows().cursor = {100, 100};
    Send(msg::CREATE);
    // The pointer moves, and only then does the desktop change.
    fake::Windows().cursor = {900, 100};
    Send(msg::MOUSEMOVE);
    fake::Windows().desktop = {-800, 0, 1280, 1024};
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Posted(msg::CLOSE), 0u);
    EXPECT_EQ(hostState.lastCursorPos.x, 900);

    // The change is told: the window covers the new desktop, a pending close is dropped.
    fake::Windows().cursor = {300, 100};
    Send(msg::MOUSEMOVE);
    Send(msg::DISPLAYCHANGE, 32, 0x04000500);
    auto placed = fake::CallsNamed("PlaceWindow");
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(std::vector<std::intptr_t>(placed[0].args + 1, placed[0].args + 5),
              (std::vector<std::intptr_t>{-800, 0, 1280, 1024}));
    EXPECT_EQ(fake::CallsNamed("StopTimer").back().args[1], static_cast<std::intptr_t>(MOVE_CLOSE_TIMER_ID));
    EXPECT_EQ(fake::CallsNamed("PassOn").back().args[0], static_cast<std::intptr_t>(msg::DISPLAYCHANGE));
    // From now on a movement closes again.
    fake::Windows().cursor = {310, 100};
    Send(msg::MOUSEMOVE);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Posted(msg::CLOSE), 1u);

    // A change that the window was not told of is found by its check.
    hostState.saverWindow = kSaver;
    fake::Windows().desktop = {0, 0, 1920, 1080};
    CheckSaverWindow();
    CheckSaverWindow();
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 2u);

    // A preview keeps its parent's size.
    ResetHost();
    hostState.previewMode = 1;
    Send(msg::DISPLAYCHANGE);
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 0u);
}

TEST_F(SaverDisplay, APreviewEndsOnceItsParentOrItsWindowIsGone) {
    hostState.previewMode = 1;
    hostState.appInstance = reinterpret_cast<plat::Module>(0x400000);
    fake::Windows().created = kSaver;
    fake::Windows().liveWindows[0] = kParent;
    fake::Windows().liveWindows[1] = kSaver;
    fake::Windows().parent = kParent;
    RunPreview("4660");
    auto started = fake::CallsNamed("StartThreadTimer");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].args[0], static_cast<std::intptr_t>(WINDOW_CHECK_INTERVAL_MS));
    ASSERT_NE(fake::Windows().threadTick, nullptr);

    const struct {
        const char* what;
        plat::Window liveParent, liveSaver, parentOf;
        std::size_t quits;
    } rows[] = {
        {"both there", kParent, kSaver, kParent, 0},
        {"the parent is gone", nullptr, kSaver, kParent, 1},
        {"the window itself is gone", kParent, nullptr, nullptr, 1},
    };
    for (const auto& row : rows) {
        fake::ClearCalls();
        fake::Windows().liveWindows[0] = row.liveParent;
        fake::Windows().liveWindows[1] = row.liveSaver;
        fake::Windows().parent = row.parentOf;
        fake::Windows().threadTick();
        EXPECT_EQ(fake::CountCalls("PostQuit"), row.quits) << row.what;
        EXPECT_EQ(fake::CountCalls("DestroyWindowNow"), row.quits) << row.what;
    }
}

}  // namespace
