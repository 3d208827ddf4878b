// Which movement of the pointer ends the saver: more than a few pixels from where
// it was last seen, so that a nudged desk or a trembling hand does not. The
// Windows saver and the Wayland one both follow it.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr std::uint32_t MOUSE_CLOSE_THRESHOLD = 4;

// Sum of the absolute coordinate differences, as an unsigned number.
inline std::uint32_t CursorDistance(plat::Point from, plat::Point to) {
    // Unsigned arithmetic: no overflow whatever the coordinates.
    std::uint32_t dx = static_cast<std::uint32_t>(to.x) - static_cast<std::uint32_t>(from.x);
    std::uint32_t dy = static_cast<std::uint32_t>(to.y) - static_cast<std::uint32_t>(from.y);
    if (to.x < from.x) dx = 0u - dx;
    if (to.y < from.y) dy = 0u - dy;
    return dx + dy;
}

// True when the pointer at `to` has gone far enough from `from` to end the saver.
inline bool PointerMovedFar(plat::Point from, plat::Point to) { return CursorDistance(from, to) > MOUSE_CLOSE_THRESHOLD; }
