#include "platform/clock.h"

#include <emscripten/emscripten.h>

#include <cmath>
#include <ctime>

namespace plat {

// The page's monotonic clock (performance.now), in whole milliseconds modulo 2^32.
std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::floor(emscripten_get_now())));
}

std::uint32_t CalendarSeconds() { return static_cast<std::uint32_t>(std::time(nullptr)); }

}  // namespace plat
