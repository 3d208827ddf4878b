// The program's one random generator: 15-bit linear congruential, 32-bit state.
#pragma once

#include <cstdint>

// Seeds the generator with the calendar time in whole seconds.
void SeedRandom();

// Sets the generator's state directly (tools and tests).
void SetRandomState(std::uint32_t state);

// A seed from the calendar time to the nanosecond and the process id, for a
// system that has no random seed to give: processes started within the same
// second, even the same nanosecond, still seed differently; the same time and
// process give the same seed.
std::uint32_t SeedFromTimeAndProcess(std::int64_t seconds, std::int32_t nanoseconds, std::uint32_t processId);

// Next draw scaled to [0, 1]: draw * (1.0 / 32767).
double UniformRandom();
