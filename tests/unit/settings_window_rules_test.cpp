// The settings window's rules: the idle minutes shown for the file's seconds, and
// where its switch may drive the idle service or a sentence says what to do instead.
#include <gtest/gtest.h>

#include "app/settings_window_rules.h"

namespace {

TEST(SettingsWindowRules, IdleMinutesRoundUpWithinTheirRange) {
    const std::int32_t rows[][2] = {{0, 4}, {-5, 4}, {240, 4}, {60, 1}, {1, 1}, {61, 2},
                                    {86400, 1440}, {86341, 1440}, {90000, 1440}};
    for (const auto& row : rows) EXPECT_EQ(IdleMinutesOf(row[0]), row[1]) << row[0] << " s";
}

TEST(SettingsWindowRules, TheFirstMissingConditionDecides) {
    using C = IdleControl;
    struct Row {
        SessionFacts facts;
        C control;
    } rows[] = {
        {{"wayland", "wayland-0", "KDE", true, true}, C::Switch},
        {{"wayland", nullptr, "ubuntu:GNOME", true, true}, C::Switch},
        {{nullptr, "wayland-1", "gnome", true, true}, C::Switch},   // no session type: the display decides
        {{"tty", "wayland-1", "KDE", true, true}, C::Switch},
        {{"x11", "wayland-0", "GNOME", true, true}, C::X11Session}, // the session type over the display
        {{nullptr, "", "GNOME", true, true}, C::X11Session},
        {{"wayland", nullptr, "sway", true, true}, C::NoSessionTarget},
        {{"wayland", nullptr, "sway", true, true, true}, C::Switch},  // its session target started
        {{"wayland", nullptr, "GNOME-Flashback", true, true}, C::NoSessionTarget},
        {{"wayland", nullptr, nullptr, true, true}, C::NoSessionTarget},
        {{"wayland", nullptr, "KDE", false, false}, C::NoUserManager},
        {{"wayland", nullptr, "KDE", true, false}, C::NoService},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseIdleControl(row.facts), row.control) << (row.facts.currentDesktop ? row.facts.currentDesktop : "-");
        EXPECT_EQ(IdleControlAdvice(row.control) == nullptr, row.control == C::Switch);
    }
}

}  // namespace
