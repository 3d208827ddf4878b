// The Linux saver's run on Wayland: a full-screen surface on every output of the
// compositor, a field on each, ticked until input, a signal, a closed surface or
// the compositor's end. The program's top (src/main/x11.cpp) calls these for -wayland.
#pragma once

#include <cstdint>

#include "app/animation.h"
#include "app/saver_options.h"
#include "platform/wayland/surface.h"

namespace hack {

struct WaylandRun {
    plat::wayland::Connection connection;
    std::uint32_t delayUs = 20000;
    plat::Rect areas[MAX_FIELDS]{};
    std::int32_t areaCount = 0;
    bool sceneUp = false;
};

// Connects to the compositor and asks for a surface on every output. False,
// after one line on standard error, when there is no compositor or it lacks
// what the saver needs.
bool OpenWaylandRun(WaylandRun* run, const SaverOptions& options);

// Follows the outputs: new ones get a surface, and once every surface is
// configured after a change, the scene is set up again over them. False, after
// one line on standard error, without memory for it.
bool FollowOutputs(WaylandRun* run);

// Ticks the animation until a key, a button, a touch, the pointer moved beyond
// a few pixels, SIGTERM, SIGINT or SIGHUP, a closed surface or the compositor's
// end; the exit status.
int RunWaylandSaver(WaylandRun* run);

void CloseWaylandRun(WaylandRun* run);

// Takes new settings for the next showing: the bodies, the pictures' folder (which
// `options` must keep) and the delay.
void UseSettings(WaylandRun* run, const SaverOptions& options);

// SIGTERM, SIGINT and SIGHUP end the run with status 0.
void CatchWaylandStopSignals();

// Whether one of those signals came.
bool WaylandStopRequested();

// All of it, for pendral -wayland: the exit status.
int RunOnWayland(const SaverOptions& options);

}  // namespace hack
