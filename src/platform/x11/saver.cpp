// Pendral on Linux: the X11 front end.
//
// Platform:     X11 through Xlib, with the MIT-SHM extension where the display
//               allows it (plain XPutImage otherwise, e.g. a remote display). Runs
//               as an XScreenSaver hack (-root, -window-id, XSCREENSAVER_WINDOW) or
//               in a 1024x768 window of its own.
// Provides:     drawing.h, file.h, clock.h and bitmap_resource.h of the platform
//               boundary, which is what the animation uses; the window, the event
//               loop and the 20 ms tick live here (saver.h), and src/main/x11.cpp,
//               the program's top, calls them. Settings come from options
//               (app/saver_options.h) instead of CONTROL.INI.
// Limitations:  TrueColor visuals of depth 16, 24 or 32 only; one screen, one field
//               over all monitors; a change of window size sets the field up again
//               with a new scatter; no settings dialog, password or preview mode
//               (XScreenSaver has its own).
// Improvements: one field per monitor (Xinerama/RandR); no drawing while the
//               window is fully covered (VisibilityNotify); keeping the bodies
//               when only the window's size changes.
// Dependencies: libX11, libXext, the C and C++ runtimes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/x11/saver.h"

#include "app/animation.h"
#include "platform/x11/surface.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

int RecordError(Display*, XErrorEvent*) {
    ++plat::x11::xErrorCount;
    return 0;
}

std::uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

using plat::x11::Run;

::Window MakeOwnWindow(Run* run) {
    Display* d = run->surface.display;
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(d, screen);
    attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    ::Window w = XCreateWindow(d, RootWindow(d, screen), 0, 0, 1024, 768, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(d, w, "Pendral");
    XClassHint hint{const_cast<char*>("pendral"), const_cast<char*>("Pendral")};
    XSetClassHint(d, w, &hint);
    run->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, w, &run->deleteWindow, 1);
    XMapWindow(d, w);
    run->ownWindow = true;
    return w;
}

bool SetUp(Run* run, std::int32_t width, std::int32_t height) {
    if (!plat::x11::OpenSurface(&run->surface, width, height)) return false;
    clientWidth = run->surface.width;
    clientHeight = run->surface.height;
    SetUpScene(&run->surface);
    return true;
}

void TearDown(Run* run) {
    ReleaseScene();
    plat::x11::CloseSurface(&run->surface);
}

enum class Outcome { Continue, Stop };

Outcome HandleEvent(Run* run, const XEvent& event, std::int32_t* newWidth, std::int32_t* newHeight) {
    switch (event.type) {
        case ConfigureNotify:
            *newWidth = event.xconfigure.width;
            *newHeight = event.xconfigure.height;
            break;
        case Expose:
            plat::x11::RepaintSurface(&run->surface, event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                      event.xexpose.height);
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == run->surface.xid) return Outcome::Stop;
            break;
        case KeyPress: {
            if (!run->ownWindow) break;
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

// Ticks every 20 ms until a signal, a key, the close button or the window's end.
// A late tick is not caught up: the next one comes 20 ms after it.
int EventLoop(Run* run) {
    Display* d = run->surface.display;
    std::uint64_t nextTick = NowMs() + TICK_INTERVAL_MS;
    while (!stopRequested) {
        std::int32_t width = run->surface.width, height = run->surface.height;
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
            if (HandleEvent(run, event, &width, &height) == Outcome::Stop) return 0;
        }
        if (width != run->surface.width || height != run->surface.height) {
            TearDown(run);
            if (!SetUp(run, width, height)) return 1;
        }
        const std::uint64_t now = NowMs();
        if (now >= nextTick) {
            AdvanceFrame(&run->surface);
            nextTick = nextTick + TICK_INTERVAL_MS > now ? nextTick + TICK_INTERVAL_MS : now + TICK_INTERVAL_MS;
            continue;
        }
        pollfd connection{ConnectionNumber(d), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(nextTick - now));
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

namespace plat::x11 {

// SIGTERM and SIGINT only set a flag; the wait for the next tick is cut short by
// them (no SA_RESTART), so the loop ends within moments.
void CatchStopSignals() {
    struct sigaction action{};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool OpenRun(Run* run, const SaverOptions& options) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "pendral: cannot open display %s\n", name ? name : "(DISPLAY is not set)");
        return false;
    }
    XSetErrorHandler(RecordError);
    run->surface.display = d;
    ::Window target = 0;
    if (!ChooseTarget(options, d, &target)) return false;

    XWindowAttributes attributes{};
    if (target == 0) {
        const int screen = DefaultScreen(d);
        if (!SupportedVisual(DefaultVisual(d, screen), DefaultDepth(d, screen))) {
            std::fprintf(stderr, "pendral: the display's visual is not TrueColor of depth 16, 24 or 32\n");
            return false;
        }
        target = MakeOwnWindow(run);
    } else {
        XSelectInput(d, target, StructureNotifyMask | ExposureMask);
    }
    run->surface.xid = target;
    if (!XGetWindowAttributes(d, target, &attributes)) {
        std::fprintf(stderr, "pendral: there is no window 0x%lx\n", target);
        return false;
    }
    if (!SupportedVisual(attributes.visual, attributes.depth)) {
        std::fprintf(stderr, "pendral: window 0x%lx is not TrueColor of depth 16, 24 or 32 (depth %d)\n", target,
                     attributes.depth);
        return false;
    }
    run->surface.visual = attributes.visual;
    run->surface.depth = attributes.depth;
    run->width = attributes.width;
    run->height = attributes.height;
    return true;
}

int RunSaver(Run* run) {
    const int status = SetUp(run, run->width, run->height) ? EventLoop(run) : 1;
    TearDown(run);
    return status;
}

void CloseRun(Run* run) {
    Display* d = run->surface.display;
    if (!d) return;
    if (run->ownWindow) XDestroyWindow(d, run->surface.xid);
    XCloseDisplay(d);
    run->surface.display = nullptr;
}

}  // namespace plat::x11
