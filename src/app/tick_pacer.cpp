#include "app/tick_pacer.h"

#include "app/animation.h"

std::int32_t DueTicks(TickPacer* pacer, double nowMs) {
    const double period = TICK_INTERVAL_MS;
    if (!pacer->started || nowMs < pacer->nextTickMs - period) {
        // The first frame, or a clock that went back: start counting from now.
        pacer->started = true;
        pacer->nextTickMs = nowMs + period;
        return 1;
    }
    if (nowMs < pacer->nextTickMs) return 0;
    const double behind = (nowMs - pacer->nextTickMs) / period;
    if (behind >= MAX_CATCH_UP_STEPS) {
        pacer->nextTickMs = nowMs + period;
        return MAX_CATCH_UP_STEPS;
    }
    const std::int32_t due = static_cast<std::int32_t>(behind) + 1;
    pacer->nextTickMs += due * period;
    return due;
}
