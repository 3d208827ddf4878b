// The program's one random generator: 15-bit linear congruential, 32-bit state.
#pragma once

#include <cstdint>

// Seeds the generator with the calendar time in whole seconds.
void SeedRandom();

// Sets the generator's state directly (tools and tests).
void SetRandomState(std::uint32_t state);

// Next draw scaled to [0, 1]: draw * (1.0 / 32767).
double UniformRandom();
