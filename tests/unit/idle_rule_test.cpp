// The idle watcher's rules: which source wins, and when the saver is shown and
// taken away, with an inhibitor standing in for a playing video.
#include <gtest/gtest.h>

#include <vector>

#include "app/idle_rule.h"

namespace {

TEST(IdleRule, TheFirstSourceOfferedWins) {
    struct Row {
        IdleOffers offers;
        IdleSource chosen;
    } rows[] = {
        {{true, true, true}, IdleSource::ExtIdleNotify},  // kwin: both protocols
        {{false, true, true}, IdleSource::KdeIdle},       // sway, cage
        {{false, false, true}, IdleSource::GnomeIdleMonitor},
        {{false, false, false}, IdleSource::None},  // weston
    };
    for (const Row& row : rows) EXPECT_EQ(ChooseIdleSource(row.offers), row.chosen);
}

TEST(IdleRule, ShownWhenIdleAndNotInhibitedTakenAwayByInputOrAnInhibitor) {
    struct Event {
        IdleEvent event;
        bool inhibited;
        IdleStep step;
    };
    using E = IdleEvent;
    using S = IdleStep;
    const std::vector<std::vector<Event>> rows = {
        // Idle, input, idle again.
        {{E::Idle, false, S::Show}, {E::Active, false, S::Hide}, {E::Active, false, S::Nothing},
         {E::Idle, false, S::Show}},
        // Idle while a video plays: nothing until it stops, then shown; one that starts takes it away.
        {{E::Idle, true, S::Nothing}, {E::InhibitorsChanged, true, S::Nothing},
         {E::InhibitorsChanged, false, S::Show}, {E::InhibitorsChanged, true, S::Hide}},
        // An inhibitor that goes after input came shows nothing: the session is no longer idle.
        {{E::Idle, true, S::Nothing}, {E::Active, true, S::Nothing}, {E::InhibitorsChanged, false, S::Nothing}},
        // Inhibitors coming and going while the session is in use show nothing.
        {{E::InhibitorsChanged, false, S::Nothing}, {E::InhibitorsChanged, true, S::Nothing}},
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        IdleWatchState state;
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            const Event& e = rows[r][k];
            EXPECT_EQ(NextIdleStep(&state, e.event, e.inhibited), e.step) << "row " << r << ", event " << k;
        }
    }
}

}  // namespace
