#include "driven_clock.h"

#include <poll.h>

#include <chrono>
#include <ctime>

#include "platform/clock.h"
#include "platform/x11/surface.h"

std::uint64_t drivenUs = 0;
std::uint64_t drivenStepUs = 4000;
int drivenWaits = 0, drivenTimeouts = 0;
std::function<void(std::uint64_t)> atReading;

namespace {

std::uint64_t RealMicroseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

namespace plat {
std::uint32_t TickCount() { return static_cast<std::uint32_t>((atReading ? drivenUs : RealMicroseconds()) / 1000); }
std::uint32_t CalendarSeconds() { return static_cast<std::uint32_t>(std::time(nullptr)); }
std::uint64_t x11::NowMicroseconds() {
    if (!atReading) return RealMicroseconds();
    atReading(drivenUs += drivenStepUs);
    return drivenUs;
}
bool x11::WaitForInput(int fd, int timeoutMs) {
    pollfd connection{fd, POLLIN, 0};
    if (!atReading) return poll(&connection, 1, timeoutMs) != 0;
    ++drivenWaits;
    const bool readable = poll(&connection, 1, 0) != 0;
    if (!readable) {
        ++drivenTimeouts;
        drivenUs += static_cast<std::uint64_t>(timeoutMs) * 1000;
    }
    return readable;
}
}  // namespace plat
