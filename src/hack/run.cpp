// Pendral on Linux: the saver's run, as an XScreenSaver hack.
//
// The Linux counterpart of src/host/ (the Windows run modes): it stands above the
// animation (app/) and draws through the X11 platform (platform/x11/), whose
// window, errors and clock it uses.
// Runs:         as an XScreenSaver hack (-root, -window-id, XSCREENSAVER_WINDOW) or
//               in a 1024x768 window of its own; settings come from options
//               (app/saver_options.h) instead of CONTROL.INI.
// Does:         opens the display and the window, ticks the animation every
//               -delay on the platform's clock (a late tick is not caught up),
//               gives each monitor that the window spans a field of its own, sets
//               the scene up again when the window's size or the monitors change
//               (RandR), repaints what is exposed, draws the -fps overlay
//               (fps.cpp), and ends on SIGTERM, SIGINT, the window's end, or (in
//               its own window) a key or the close button; with -fullscreen its own
//               window covers the screen and any key, button or pointer movement ends it.
// Limitations:  one screen of the display; a change of window size sets the field
//               up again with a new scatter; no settings dialog, password or
//               preview mode (XScreenSaver has its own).
// Improvements: no drawing while the window is fully covered (VisibilityNotify);
//               keeping the bodies when only the window's size changes.
// Dependencies: libX11 (and what platform/x11/ needs: libXext, libXrandr, libXinerama).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "hack/run.h"

#include "app/animation.h"
#include "app/pointer_rule.h"
#include "platform/x11/surface.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

using plat::x11::NowMicroseconds;
using hack::Run;
using hack::StartScene;
using hack::StopScene;

// Full screen, it asks the window manager for that state, covers the screen
// where there is none, hides the pointer and hears buttons and pointer movement.
::Window MakeOwnWindow(Run* run) {
    Display* d = run->surface.display;
    const int screen = DefaultScreen(d);
    const bool full = run->fullScreen;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(d, screen);
    attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask |
                            (full ? ButtonPressMask | PointerMotionMask : 0);
    ::Window w = XCreateWindow(d, RootWindow(d, screen), 0, 0, full ? DisplayWidth(d, screen) : 1024,
                               full ? DisplayHeight(d, screen) : 768, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (full) {
        const Atom state = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&state), 1);
        char none = 0;
        const Pixmap empty = XCreateBitmapFromData(d, w, &none, 1, 1);
        XColor black{};
        const Cursor hidden = XCreatePixmapCursor(d, empty, empty, &black, &black, 0, 0);
        XDefineCursor(d, w, hidden);
        XFreeCursor(d, hidden);
        XFreePixmap(d, empty);
    }
    XStoreName(d, w, "Pendral");
    XClassHint hint{const_cast<char*>("pendral"), const_cast<char*>("Pendral")};
    XSetClassHint(d, w, &hint);
    run->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, w, &run->deleteWindow, 1);
    XMapWindow(d, w);
    run->ownWindow = true;
    return w;
}

enum class Outcome { Continue, Stop };

// Notes a new size in *newWidth and *newHeight, and in *moved that the window
// may have moved over the monitors or they may have changed.
Outcome HandleEvent(Run* run, XEvent& event, std::int32_t* newWidth, std::int32_t* newHeight, bool* moved) {
    if (plat::x11::MonitorsChanged(&event)) {
        *moved = true;
        return Outcome::Continue;
    }
    switch (event.type) {
        case ConfigureNotify:
            *newWidth = event.xconfigure.width;
            *newHeight = event.xconfigure.height;
            *moved = true;
            break;
        case Expose:
            plat::x11::RepaintSurface(&run->surface, event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                      event.xexpose.height);
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == run->surface.xid) return Outcome::Stop;
            break;
        case MapNotify:
            // Keys come to it whichever window had the focus (a window manager
            // gives a new full-screen window the focus; without one nothing does).
            if (run->fullScreen && event.xmap.window == run->surface.xid)
                XGrabKeyboard(run->surface.display, run->surface.xid, True, GrabModeAsync, GrabModeAsync, CurrentTime);
            break;
        case ButtonPress:
            if (run->fullScreen) return Outcome::Stop;
            break;
        case MotionNotify: {
            if (!run->fullScreen) break;
            const plat::Point at{event.xmotion.x_root, event.xmotion.y_root};
            if (run->pointerSeen && PointerMovedFar(run->pointerFrom, at)) return Outcome::Stop;
            if (!run->pointerSeen) run->pointerFrom = at;
            run->pointerSeen = true;
            break;
        }
        case KeyPress: {
            if (!run->ownWindow) break;
            if (run->fullScreen) return Outcome::Stop;
            XKeyEvent key = event.xkey;
            const KeySym sym = XLookupKeysym(&key, 0);
            if (sym == XK_Escape || sym == XK_q || sym == XK_Q) return Outcome::Stop;
            break;
        }
        case ClientMessage:
            if (run->ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == run->deleteWindow)
                return Outcome::Stop;
            break;
        default:
            break;
    }
    return Outcome::Continue;
}

// The parts of the window that show a field each, in window coordinates: one
// per monitor when the window spans two or more; none (one field over the whole
// window) when it spans one, or the display names no monitors.
std::int32_t MonitorAreas(const Run& run, std::int32_t width, std::int32_t height, plat::Rect* areas) {
    constexpr std::int32_t MAX_MONITORS = 64;
    plat::Rect monitors[MAX_MONITORS];
    Display* d = run.surface.display;
    const std::int32_t listed = plat::x11::ListMonitors(d, monitors, MAX_MONITORS);
    if (listed < 2) return 0;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(d, run.surface.xid, DefaultRootWindow(d), 0, 0, &x, &y, &child)) return 0;
    const std::int32_t count = FieldAreas({x, y, x + width, y + height}, monitors, listed, areas);
    return count >= 2 ? count : 0;
}

// Whether the window's fields would now lie elsewhere than where its scene has them.
bool FieldsMoved(const Run& run) {
    plat::Rect areas[MAX_FIELDS];
    const std::int32_t count = MonitorAreas(run, run.surface.width, run.surface.height, areas);
    const auto same = [](const plat::Rect& a, const plat::Rect& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    return count != run.areaCount || !std::equal(areas, areas + count, run.areas, same);
}

// Ticks every run->delayUs until a signal, a key, the close button or the
// window's end. A late tick is not caught up: the next one comes a delay after it.
int EventLoop(Run* run) {
    Display* d = run->surface.display;
    std::uint64_t nextTick = NowMicroseconds() + run->delayUs;
    // The connection is read only when poll says it has something: a tick that
    // finds nothing there costs no read. Events Xlib has already read (a round
    // trip reads them too) are handled either way.
    bool readable = true;
    bool unsent = true;  // requests wait in Xlib's buffer (a frame sends its own)
    while (!stopRequested) {
        std::int32_t width = run->surface.width, height = run->surface.height;
        bool moved = false;
        while (XEventsQueued(d, readable ? QueuedAfterReading : QueuedAlready) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (HandleEvent(run, event, &width, &height, &moved) == Outcome::Stop) return 0;
            unsent = true;
        }
        readable = false;
        if (width != run->surface.width || height != run->surface.height || (moved && FieldsMoved(*run))) {
            StopScene(run);
            if (!StartScene(run, width, height)) return 1;
        }
        const std::uint64_t now = NowMicroseconds();
        if (now >= nextTick) {
            AdvanceFrame(&run->surface);
            if (!run->surface.image) return 1;  // its drawing failed, and said why
            if (run->fps.shown) {
                hack::DrawFps(&run->fps, &run->surface, now);
                unsent = true;
            }
            nextTick = nextTick + run->delayUs > now ? nextTick + run->delayUs : now + run->delayUs;
            continue;
        }
        if (unsent) XFlush(d);  // e.g. a repaint, or the frame rate
        unsent = false;
        // A signal cuts the wait short; one that comes just before it waits at
        // most one delay (0.1 s at most). The wait is rounded up to whole
        // milliseconds, so that one wait reaches the tick: rounded down, it would
        // end before it and the loop would spin until then.
        readable = plat::x11::WaitForInput(ConnectionNumber(d), static_cast<int>((nextTick - now + 999) / 1000));
    }
    return 0;
}

// The window to draw on: -window-id, then XSCREENSAVER_WINDOW (the daemon's
// window is the hack's root, so -root with it set draws there too), then -root,
// else a window of its own (0 here).
bool ChooseTarget(const SaverOptions& options, Display* d, ::Window* target) {
    if (options.target == SaverOptions::Target::WindowId) {
        *target = options.windowId;
        return true;
    }
    const char* given = std::getenv("XSCREENSAVER_WINDOW");
    if (given && given[0] != '\0') {
        std::uint32_t id = 0;
        if (!ParseWindowId(given, &id)) {
            std::fprintf(stderr, "pendral: XSCREENSAVER_WINDOW is not a window id: %s\n", given);
            return false;
        }
        *target = id;
        return true;
    }
    *target = options.target == SaverOptions::Target::Root ? DefaultRootWindow(d) : 0;
    return true;
}

}  // namespace

namespace hack {

// SIGTERM and SIGINT only set a flag; the wait for the next tick is cut short by
// them (no SA_RESTART), so the loop ends within moments.
void CatchStopSignals() {
    struct sigaction action{};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StartScene(Run* run, std::int32_t width, std::int32_t height) {
    if (!plat::x11::OpenSurface(&run->surface, width, height)) return false;
    clientWidth = run->surface.width;
    clientHeight = run->surface.height;
    run->areaCount = MonitorAreas(*run, clientWidth, clientHeight, run->areas);
    if (run->areaCount > 0) SetUpScenes(&run->surface, run->areas, run->areaCount);
    else SetUpScene(&run->surface);
    for (std::int32_t k = 0; k < sceneCount; ++k) {
        if (!scenes[k].stage.BackBuffer().bits || scenes[k].field.Count() == 0) {
            const plat::Rect a = run->areaCount > 0 ? run->areas[k] : plat::Rect{0, 0, clientWidth, clientHeight};
            std::fprintf(stderr, "pendral: out of memory for a field of %dx%d\n", a.right - a.left, a.bottom - a.top);
            return false;
        }
    }
    return true;
}

void StopScene(Run* run) {
    ReleaseScene();
    plat::x11::CloseSurface(&run->surface);
}

bool OpenRun(Run* run, const SaverOptions& options) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "pendral: cannot open display %s\n", name ? name : "(DISPLAY is not set)");
        return false;
    }
    plat::x11::WatchErrors(d);
    plat::x11::WatchMonitors(d);
    run->surface.display = d;
    run->delayUs = static_cast<std::uint32_t>(options.delayMicroseconds);
    run->fullScreen = options.fullScreen;
    ::Window target = 0;
    if (!ChooseTarget(options, d, &target)) return false;

    XWindowAttributes attributes{};
    if (target == 0) {
        const int screen = DefaultScreen(d);
        if (!plat::x11::SupportedVisual(DefaultVisual(d, screen), DefaultDepth(d, screen))) {
            std::fprintf(stderr, "pendral: the display's visual is not TrueColor of depth 16, 24 or 32\n");
            return false;
        }
        target = MakeOwnWindow(run);
    } else {
        XSelectInput(d, target, StructureNotifyMask | ExposureMask);
    }
    run->surface.xid = target;
    plat::x11::ExpectErrorsOnceGone(target);
    if (!XGetWindowAttributes(d, target, &attributes)) {
        std::fprintf(stderr, "pendral: there is no window 0x%lx\n", target);
        return false;
    }
    if (!plat::x11::SupportedVisual(attributes.visual, attributes.depth)) {
        std::fprintf(stderr, "pendral: window 0x%lx is not TrueColor of depth 16, 24 or 32 (depth %d)\n", target,
                     attributes.depth);
        return false;
    }
    run->surface.visual = attributes.visual;
    run->surface.depth = attributes.depth;
    run->width = attributes.width;
    run->height = attributes.height;
    if (options.showFps) OpenFps(&run->fps, &run->surface);
    return true;
}

int RunSaver(Run* run) {
    const int status = StartScene(run, run->width, run->height) ? EventLoop(run) : 1;
    StopScene(run);
    return status;
}

void CloseRun(Run* run) {
    Display* d = run->surface.display;
    if (!d) return;
    CloseFps(&run->fps, d);
    if (run->ownWindow) XDestroyWindow(d, run->surface.xid);
    XCloseDisplay(d);
    run->surface.display = nullptr;
}

}  // namespace hack
