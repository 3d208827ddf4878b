// Pendral on Wayland: the saver's run.
//
// Beside run.cpp (the X11 run), above the animation (app/), drawing through the
// Wayland platform (platform/wayland/). The outputs lie side by side in one
// window, each a field of its own size in device pixels; every -delay of the
// clock, while some output can show a new frame, the animation advances one
// tick and each output that can gets what changed on it. A late tick is not
// caught up. Ends with 0 on input (the pointer rule of app/pointer_rule.h), on
// SIGTERM, SIGINT or SIGHUP, when the compositor closes a surface or goes
// away; with 1 when it cannot start or the compositor reports an error of ours.
#include "hack/wayland_run.h"

#include <errno.h>
#include <wayland-client.h>

#include <csignal>
#include <cstdio>

#include "app/pointer_rule.h"
#include "platform/x11/surface.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

using hack::WaylandRun;
using plat::x11::NowMicroseconds;

void StopScene(WaylandRun* run) {
    if (!run->sceneUp) return;
    ReleaseScene();
    plat::wayland::CloseWindow(&run->connection);
    run->sceneUp = false;
}

bool StartScene(WaylandRun* run) {
    plat::wayland::Connection& c = run->connection;
    plat::Point sizes[64];
    const std::int32_t count = plat::wayland::ConfiguredSizes(c, sizes, 64);
    std::int32_t width = 0, height = 0;
    run->areaCount = SideBySideAreas(sizes, count, plat::MAX_WINDOW_SIDE, run->areas, &width, &height);
    if (!plat::wayland::OpenWindow(&c, run->areas, run->areaCount, width, height)) return false;
    run->sceneUp = true;
    clientWidth = c.width;
    clientHeight = c.height;
    if (run->areaCount == 0) return true;  // nothing to animate: the outputs stay black
    SetUpScenes(&c, run->areas, run->areaCount);
    for (std::int32_t k = 0; k < sceneCount; ++k) {
        if (!scenes[k].stage.BackBuffer().bits || scenes[k].field.Count() == 0) {
            const plat::Rect& a = run->areas[k];
            std::fprintf(stderr, "pendral: out of memory for a field of %dx%d\n", a.right - a.left, a.bottom - a.top);
            return false;
        }
    }
    plat::wayland::PresentOutputs(&c);  // black at once, before the first tick
    return true;
}

// The status once the connection is gone: 0 when the compositor went away, 1
// (after a line) when it ended the connection for an error of ours.
int GoneStatus(const plat::wayland::Connection& c) {
    const int error = wl_display_get_error(c.display);
    if (error != EPROTO) return 0;
    std::fputs("pendral: the Wayland compositor reported a protocol error\n", stderr);
    return 1;
}

bool InputEnds(const plat::wayland::Connection& c) {
    return c.ended || (c.pointerSeen && PointerMovedFar(c.pointerFrom, c.pointerAt));
}

int EventLoop(WaylandRun* run) {
    plat::wayland::Connection& c = run->connection;
    std::uint64_t nextTick = NowMicroseconds() + run->delayUs;
    while (!stopRequested) {
        if (InputEnds(c)) return 0;
        if (!hack::FollowOutputs(run)) return 1;
        const std::uint64_t now = NowMicroseconds();
        if (now >= nextTick) {
            // Nothing is drawn while no output shows the last frame.
            if (run->sceneUp && run->areaCount > 0 && plat::wayland::AnyOutputReady(c)) AdvanceFrame(&c);
            nextTick = nextTick + run->delayUs > now ? nextTick + run->delayUs : now + run->delayUs;
            continue;
        }
        // A signal cuts the wait short.
        if (!plat::wayland::Dispatch(&c, static_cast<int>((nextTick - now + 999) / 1000))) return GoneStatus(c);
    }
    return 0;
}

}  // namespace

namespace hack {

void CatchWaylandStopSignals() {
    struct sigaction action{};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool WaylandStopRequested() { return stopRequested != 0; }

bool OpenWaylandRun(WaylandRun* run, const SaverOptions& options) {
    run->delayUs = static_cast<std::uint32_t>(options.delayMicroseconds);
    if (!plat::wayland::Connect(&run->connection)) return false;
    plat::wayland::ShowOnOutputs(&run->connection);
    return true;
}

bool FollowOutputs(WaylandRun* run) {
    plat::wayland::Connection& c = run->connection;
    if (!c.outputsChanged) return true;
    plat::wayland::ShowOnOutputs(&c);
    if (!plat::wayland::AllConfigured(c)) return true;  // the new ones' sizes come first
    c.outputsChanged = false;
    StopScene(run);
    return StartScene(run);
}

int RunWaylandSaver(WaylandRun* run) {
    const int status = EventLoop(run);
    StopScene(run);
    return status;
}

void CloseWaylandRun(WaylandRun* run) {
    StopScene(run);
    plat::wayland::Disconnect(&run->connection);
}

void UseSettings(WaylandRun* run, const SaverOptions& options) {
    ApplySaverOptions(options);
    plat::x11::SetFileFolder(options.spritesFolder);
    run->delayUs = static_cast<std::uint32_t>(options.delayMicroseconds);
}

int RunOnWayland(const SaverOptions& options) {
    CatchWaylandStopSignals();
    WaylandRun run;
    const int status = OpenWaylandRun(&run, options) ? RunWaylandSaver(&run) : 1;
    CloseWaylandRun(&run);
    return status;
}

}  // namespace hack
