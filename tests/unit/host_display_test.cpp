// The saver window and the display: its power (the power-setting notifications
// and the monitor-power command), a change of the screens, and a preview whose
// parent is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/animation_window.h"
#include "host/display_power.h"
#include "host/run_modes.h"
#include "host_test_support.h"

using namespace hosttest;

namespace {

// The record a power-setting change points to: the setting's id, the length of
// its data, the data.
struct SettingRecord {
    plat::Guid id;
    std::uint32_t length, value;
};

plat::MessageResult Send(std::uint32_t message, plat::WordParam wParam = 0, plat::LongParam lParam = 0) {
    return SaverWindowProc(kSaver, message, wParam, lParam);
}

TEST(DisplayPower, WhatEachSettingSaysAndWhichOneIsWatched) {
    const plat::Guid& session = SESSION_DISPLAY_STATUS_SETTING;
    const plat::Guid& monitor = MONITOR_POWER_ON_SETTING;
    const plat::Guid other{0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
    const struct {
        SettingRecord record;
        DisplayPower expected;
    } rows[] = {
        {{session, 4, 0}, DisplayPower::off},     {{session, 4, 1}, DisplayPower::on},
        {{session, 4, 2}, DisplayPower::dimmed},  {{session, 4, 3}, DisplayPower::unknown},
        {{session, 1, 0}, DisplayPower::unknown}, {{monitor, 4, 0}, DisplayPower::off},
        {{monitor, 4, 1}, DisplayPower::on},      {{monitor, 4, 2}, DisplayPower::unknown},
        {{other, 4, 0}, DisplayPower::unknown},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PowerSettingChange(&row.record), row.expected) << row.record.id.data1 << " " << row.record.value;
    EXPECT_EQ(PowerSettingChange(nullptr), DisplayPower::unknown);
    EXPECT_EQ(MonitorPowerCommand(1), DisplayPower::off);  // low power; 2 (off) and -1 (on) below
    EXPECT_EQ(MonitorPowerCommand(0), DisplayPower::unknown);
    EXPECT_EQ(&DisplayPowerSetting(0x601), &monitor);  // Windows 7
    EXPECT_EQ(&DisplayPowerSetting(0x602), &session);  // Windows 8
}

TEST(DisplayPower, TheAnimationStopsWhileTheDisplayIsOffAndDrawsAgainWhenItIsOnOrDimmed) {
    ResetHost();
    animationPaused = false;
    fake::System().version = 0xA00;
    fake::Windows().cursor = {500, 300};
    Send(msg::CREATE);
    EXPECT_EQ(fake::Windows().watchedSetting, &SESSION_DISPLAY_STATUS_SETTING);
    timerId = 1;  // the animation's timer runs

    const plat::Guid& session = SESSION_DISPLAY_STATUS_SETTING;
    const std::uint32_t power = msg::POWERBROADCAST, command = msg::SYSCOMMAND;
    const struct {
        std::uint32_t message;
        SettingRecord record;   // the power-setting change
        plat::LongParam lParam; // the monitor-power command's
        plat::MessageResult result;
        std::size_t stops, starts, repaints;  // the animation timer's, from the start
    } steps[] = {
        {power, {session, 4, 1}, 0, 1, 0, 0, 0},  // the state sent at registration
        {power, {session, 4, 0}, 0, 1, 1, 0, 0},
        {power, {MONITOR_POWER_ON_SETTING, 4, 0}, 0, 1, 1, 0, 0},
        {power, {session, 4, 2}, 0, 1, 1, 1, 1},
        {command, {}, 2, 0xDEF, 2, 1, 1},
        {command, {}, -1, 0xDEF, 2, 2, 2},
    };
    for (const auto& step : steps) {
        const plat::MessageResult result =
            step.message == power
                ? Send(power, msg::POWER_SETTING_CHANGE, reinterpret_cast<plat::LongParam>(&step.record))
                : Send(command, msg::SYSCMD_MONITORPOWER | 0x2, step.lParam);  // low bits are the system's
        EXPECT_EQ(result, step.result) << step.stops << step.starts;
        EXPECT_EQ(fake::CountCalls("StopTimer"), step.stops) << step.stops << step.starts;
        EXPECT_EQ(fake::CountCalls("StartTimer"), step.starts) << step.stops << step.starts;
        EXPECT_EQ(fake::CountCalls("RepaintWindow"), step.repaints) << step.stops << step.starts;
    }
    // Most systems say nothing when the display wakes: a movement too small to
    // close the saver says it, a pointer message without a movement does not.
    Send(command, msg::SYSCMD_MONITORPOWER, 2);
    Send(msg::MOUSEMOVE);
    EXPECT_EQ(fake::CountCalls("StartTimer"), 2u);
    fake::Windows().cursor.x += 2;
    Send(msg::MOUSEMOVE);
    EXPECT_EQ(fake::CountCalls("StartTimer"), 3u);
    EXPECT_FALSE(animationPaused);
    // The display goes off with the pointer elsewhere than at the last pause: a
    // pointer message there is no movement either.
    fake::Windows().cursor = {503, 301};
    Send(command, msg::SYSCMD_MONITORPOWER, 2);
    Send(msg::MOUSEMOVE);
    EXPECT_EQ(fake::CountCalls("StartTimer"), 3u);
    EXPECT_TRUE(animationPaused);
    // Nor does the pointer where a change of the screens put it, whether the
    // window is told of the change or a movement's close finds it.
    fake::Windows().cursor = {100, 100};
    Send(msg::DISPLAYCHANGE);
    Send(msg::MOUSEMOVE);
    fake::Windows().cursor = {900, 100};
    fake::Windows().desktop = {-800, 0, 1024, 768};
    Send(msg::MOUSEMOVE);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    Send(msg::MOUSEMOVE);
    EXPECT_EQ(fake::CountCalls("StartTimer"), 4u);  // the close's timer
    EXPECT_TRUE(animationPaused);
    EXPECT_EQ(Posted(msg::CLOSE), 0u);
    EXPECT_EQ(Send(power, 0x000A, 0), 0xDEF);  // another power event is the system's
    Send(msg::DESTROY);
    ASSERT_EQ(fake::CountCalls("StopWatchingPowerSetting"), 1u);
    EXPECT_EQ(fake::CallsNamed("StopWatchingPowerSetting")[0].args[0], fake::Arg(fake::Windows().powerWatch));
}

TEST(DisplayChange, IsCoveredAndThePointerItMovedClosesNothing) {
    ResetHost();
    fake::Windows().cursor = {100, 100};
    Send(msg::CREATE);
    // The pointer moves, and only then does the desktop change.
    fake::Windows().cursor = {900, 100};
    Send(msg::MOUSEMOVE);
    fake::Windows().desktop = {-800, 0, 1280, 1024};
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Posted(msg::CLOSE), 0u);

    // Told of the change: the window covers the new desktop, a pending close is dropped.
    fake::Windows().cursor = {300, 100};
    Send(msg::MOUSEMOVE);
    Send(msg::DISPLAYCHANGE, 32, 0x04000500);
    ASSERT_EQ(fake::CountCalls("PlaceWindow"), 1u);
    const fake::Call placed = fake::CallsNamed("PlaceWindow")[0];
    EXPECT_EQ(std::vector<std::intptr_t>(placed.args + 1, placed.args + 5),
              (std::vector<std::intptr_t>{-800, 0, 1280, 1024}));
    EXPECT_EQ(fake::CallsNamed("StopTimer").back().args[1], static_cast<std::intptr_t>(MOVE_CLOSE_TIMER_ID));
    EXPECT_EQ(fake::CallsNamed("PassOn").back().args[0], static_cast<std::intptr_t>(msg::DISPLAYCHANGE));
    fake::Windows().cursor = {310, 100};  // from now on a movement closes again
    Send(msg::MOUSEMOVE);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Posted(msg::CLOSE), 1u);

    // A change that the window was not told of is found by its check.
    hostState.saverWindow = kSaver;
    fake::Windows().desktop = {0, 0, 1920, 1080};
    CheckSaverWindow();
    CheckSaverWindow();
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 2u);

    // So is a screen that changes within the same desktop, for the check and
    // for a movement's close alike.
    fake::Windows().screens = {{0, 0, 1280, 1080}, {1280, 28, 1920, 1080}};
    std::copy(fake::Windows().screens.begin(), fake::Windows().screens.end(), fieldScreens);
    fieldScreenCount = 2;
    CheckSaverWindow();
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 2u);
    fake::Windows().cursor = {900, 500};
    Send(msg::MOUSEMOVE);
    fake::Windows().screens[1] = {1280, 156, 1920, 1080};
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Posted(msg::CLOSE), 1u);
    CheckSaverWindow();
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 3u);
    // And one unplugged, or a mirror plugged in, while the desktop keeps its bounds.
    const plat::Rect left{0, 0, 1280, 1080}, right{1280, 28, 1920, 1080};
    for (const std::vector<plat::Rect>& screens : {std::vector<plat::Rect>{left}, {left, right, left}}) {
        fieldScreens[0] = left, fieldScreens[1] = right, fieldScreenCount = 2;
        fake::Windows().screens = screens;
        const std::size_t placed = fake::CountCalls("PlaceWindow");
        CheckSaverWindow();
        EXPECT_EQ(fake::CountCalls("PlaceWindow"), placed + 1) << screens.size();
    }

    // A preview keeps its parent's size.
    ResetHost();
    hostState.previewMode = 1;
    Send(msg::DISPLAYCHANGE);
    EXPECT_EQ(fake::CountCalls("PlaceWindow"), 0u);
}

TEST(OrphanedPreview, EndsOnceItsParentOrItsWindowIsGone) {
    ResetHost();
    hostState.appInstance = reinterpret_cast<plat::Module>(0x400000);
    fake::Windows().created = kSaver;
    fake::Windows().liveWindows[0] = kParent;
    RunPreview("4660");
    ASSERT_EQ(fake::CountCalls("StartThreadTimer"), 1u);
    EXPECT_EQ(fake::CallsNamed("StartThreadTimer")[0].args[0], static_cast<std::intptr_t>(WINDOW_CHECK_INTERVAL_MS));

    const struct {
        plat::Window liveParent, liveSaver, parentOf;
        std::size_t quits;
    } rows[] = {{kParent, kSaver, kParent, 0}, {nullptr, kSaver, kParent, 1}, {kParent, nullptr, nullptr, 1}};
    for (const auto& row : rows) {
        fake::ClearCalls();
        fake::Windows().liveWindows[0] = row.liveParent;
        fake::Windows().liveWindows[1] = row.liveSaver;
        fake::Windows().parent = row.parentOf;
        fake::Windows().threadTick();
        EXPECT_EQ(fake::CountCalls("PostQuit"), row.quits) << row.quits;
        EXPECT_EQ(fake::CountCalls("DestroyWindowNow"), row.quits) << row.quits;
    }
}

}  // namespace
