#include "fake_clock.h"

#include "fake.h"
#include "platform/clock.h"

namespace fake {
namespace {
ClockState clockState;
ResetHook resetClock([] { clockState = ClockState{}; });
}  // namespace

ClockState& Clock() { return clockState; }

}  // namespace fake

namespace plat {

std::uint32_t TickCount() {
    std::uint32_t now = fake::clockState.tick;
    fake::clockState.tick += fake::clockState.tickStep;
    return now;
}

std::uint32_t CalendarSeconds() { return fake::clockState.seconds; }

}  // namespace plat
