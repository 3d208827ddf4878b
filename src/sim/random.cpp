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

double UniformRandom() { return NextDraw() * (1.0 / 32767.0); }
