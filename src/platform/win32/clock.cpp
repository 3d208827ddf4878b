#include "platform/clock.h"

#include <windows.h>

#include <ctime>

namespace plat {

std::uint32_t TickCount() { return GetTickCount(); }

std::uint32_t CalendarSeconds() { return static_cast<std::uint32_t>(std::time(nullptr)); }

}  // namespace plat
