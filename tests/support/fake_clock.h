// Test double of the time sources: a settable tick count and calendar clock.
#pragma once

#include <cstdint>

namespace fake {

struct ClockState {
    std::uint32_t tick = 0;         // what TickCount() answers
    std::uint32_t tickStep = 0;     // added to tick after each TickCount() call
    std::uint32_t seconds = 0;      // what CalendarSeconds() answers
};

ClockState& Clock();

}  // namespace fake
