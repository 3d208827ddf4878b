#include "sim/random.h"

#include "platform/clock.h"

namespace {
std::uint32_t randomState = 0;

// One step of the generator: bits 16 to 30 of the new state, 0 to 32767.
std::int32_t NextDraw() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<std::int32_t>((randomState >> 16) & 0x7FFFu);
}
}  // namespace

void SeedRandom() { randomState = plat::CalendarSeconds(); }

void SetRandomState(std::uint32_t state) { randomState = state; }

std::uint32_t SeedFromTimeAndProcess(std::int64_t seconds, std::int32_t nanoseconds, std::uint32_t processId) {
    const std::uint64_t time = static_cast<std::uint64_t>(seconds) * 1000000000u + static_cast<std::uint64_t>(nanoseconds);
    // The process id spread over all 64 bits by the golden ratio's multiplier.
    const std::uint64_t mixed = time ^ (static_cast<std::uint64_t>(processId) * 0x9E3779B97F4A7C15u);
    return static_cast<std::uint32_t>(mixed ^ (mixed >> 32));
}

double UniformRandom() { return NextDraw() * (1.0 / 32767.0); }
