// The Linux saver's clock for the tests that run it in their own process (X11
// and Wayland): real time, unless a test drives it by setting `atReading`,
// which then sees each reading, drivenStepUs after the last; a wait for the next
// tick then passes on that clock (at once when the connection has something to
// read) and is counted in drivenWaits, and in drivenTimeouts when it ran out.
#pragma once

#include <cstdint>
#include <functional>

extern std::uint64_t drivenUs;
extern std::uint64_t drivenStepUs;
extern int drivenWaits, drivenTimeouts;
extern std::function<void(std::uint64_t)> atReading;
