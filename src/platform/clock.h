// Time sources.
#pragma once

#include <cstdint>

namespace plat {

// Milliseconds since the system started; unsigned 32-bit, wraps around at 2^32.
std::uint32_t TickCount();

// Calendar time in whole seconds (the random generator's seed).
std::uint32_t CalendarSeconds();

}  // namespace plat
