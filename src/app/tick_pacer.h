// Steps paced by real time for front ends whose frames come when the system gives
// them (a browser's animation frames): one step per 20 ms tick that has passed, so
// that late frames catch up, but after a long gap (a hidden page, a suspended
// machine) only a few, and the ticks count on from then. Pure.
#pragma once

#include <cstdint>

// Most steps taken at one frame.
inline constexpr std::int32_t MAX_CATCH_UP_STEPS = 4;

struct TickPacer {
    double nextTickMs = 0;  // when the next tick falls due
    bool started = false;
};

// How many ticks have fallen due by `nowMs` (a monotonic clock in milliseconds):
// 1 at the first call, then 0 until the next tick's time, then one per 20 ms that
// has passed, at most MAX_CATCH_UP_STEPS.
std::int32_t DueTicks(TickPacer* pacer, double nowMs);
