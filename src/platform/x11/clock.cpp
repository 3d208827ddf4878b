#include "platform/clock.h"
#include "platform/x11/surface.h"

#include <poll.h>

#include <ctime>

namespace plat {

std::uint32_t TickCount() { return static_cast<std::uint32_t>(x11::NowMicroseconds() / 1000u); }

std::uint32_t CalendarSeconds() { return static_cast<std::uint32_t>(std::time(nullptr)); }

namespace x11 {

std::uint64_t NowMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

bool WaitForInput(int fd, int timeoutMs) {
    pollfd connection{fd, POLLIN, 0};
    return poll(&connection, 1, timeoutMs) != 0;
}

}  // namespace x11
}  // namespace plat
