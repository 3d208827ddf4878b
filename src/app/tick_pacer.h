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

// One animation frame at `nowMs`: a step of the field for each tick due, the last
// of them with the frame drawn (`stepAndDraw`), the others by `step` alone. The
// number of ticks run.
template <typename Step, typename StepAndDraw>
std::int32_t RunDueTicks(TickPacer* pacer, double nowMs, Step step, StepAndDraw stepAndDraw) {
    const std::int32_t due = DueTicks(pacer, nowMs);
    if (due == 0) return 0;
    for (std::int32_t k = 1; k < due; ++k) step();
    stepAndDraw();
    return due;
}
