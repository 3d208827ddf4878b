// Whether a surface asked to be full screen on an output shares its area with
// another one: the Wayland saver's surfaces, one per output, on a compositor that
// may place them elsewhere (cage gives every toplevel its whole layout). Pure:
// the Wayland platform (src/platform/wayland/) reads the configures and asks.
#pragma once

#include <cstddef>
#include <cstdint>

// The states of a configure that tell where the compositor put a toplevel (the
// values of xdg_toplevel.state).
inline constexpr std::uint32_t TOPLEVEL_MAXIMIZED = 1, TOPLEVEL_FULLSCREEN = 2, TOPLEVEL_TILED_LEFT = 5,
                               TOPLEVEL_TILED_BOTTOM = 8;

// What a configure shows of the full screen asked for.
enum class FullScreenShown {
    Untold,   // no state of placement: taken as granted (a compositor may leave it out)
    Granted,  // the full-screen state
    Refused,  // maximized or tiled instead
};

inline FullScreenShown ReadFullScreenShown(const std::uint32_t* states, std::size_t count) {
    FullScreenShown shown = FullScreenShown::Untold;
    for (std::size_t k = 0; k < count; ++k) {
        if (states[k] == TOPLEVEL_FULLSCREEN) return FullScreenShown::Granted;
        if (states[k] == TOPLEVEL_MAXIMIZED || (states[k] >= TOPLEVEL_TILED_LEFT && states[k] <= TOPLEVEL_TILED_BOTTOM))
            shown = FullScreenShown::Refused;
    }
    return shown;
}

// A surface as its last configure left it.
struct ConfiguredSurface {
    std::int32_t width = 0, height = 0;  // 0: the compositor leaves the size to it
    FullScreenShown fullScreen = FullScreenShown::Untold;
};

// True when `a` and `b` were both positively refused full screen and given one
// size: the compositor put them over one area, where one of them is enough. Only
// a configure that shows the refusal counts, so that two outputs of one size on a
// compositor that leaves the full-screen state out both keep their surfaces.
inline bool ShareOneArea(const ConfiguredSurface& a, const ConfiguredSurface& b) {
    return a.fullScreen == FullScreenShown::Refused && b.fullScreen == FullScreenShown::Refused && a.width > 0 &&
           a.height > 0 && a.width == b.width && a.height == b.height;
}
