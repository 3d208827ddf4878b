// Pendral on Linux: the X11 front end.
//
// Platform:     X11 through Xlib, with the MIT-SHM extension where the display
//               allows it (plain XPutImage otherwise, e.g. a remote display, or
//               once a shared-memory request fails). Runs as an XScreenSaver hack
//               (-root, -window-id, XSCREENSAVER_WINDOW) or in a 1024x768 window
//               of its own.
// Provides:     drawing.h, file.h, clock.h and bitmap_resource.h of the platform
//               boundary, which is what the animation uses; the window, the event
//               loop, the tick (-delay) and the -fps overlay live here (saver.h),
//               and src/main/x11.cpp, the program's top, calls them. Settings come
//               from options (app/saver_options.h) instead of CONTROL.INI.
// Drawing:      a frame's copies from the 8-bit back buffer are collected, joined
//               where that is cheaper, converted a row at a time through the
//               palette's table of pixel values, and put from a staging memory
//               of at most 2 MB that frames pass through as a ring (one round
//               trip per turn); no image is as large as the window, so any size
//               X allows (up to 32767 x 32767) works, the back buffer's
//               untouched pages costing nothing.
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
#include <iterator>

#include "platform/x11/saver.h"

#include "app/animation.h"
#include "platform/x11/surface.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// ---- X errors ----------------------------------------------------------------

struct ErrorKind {
    unsigned char error, request, minor;
};

struct ErrorWatch {
    ::Window window = 0;       // errors naming it, once it is gone, are expected
    int shmOpcode = -1;        // the MIT-SHM extension's request code
    bool trapping = false;
    int trapped = 0;
    bool shmFailed = false;
    ErrorKind seen[32]{};
    int seenCount = 0;
} errors;

// The request's name from Xlib's error database ("X_PutImage", "X_ShmPutImage").
void RequestName(Display* d, const XErrorEvent& e, char* name, int size) {
    char key[32];
    if (e.request_code < 128) std::snprintf(key, sizeof key, "%d", e.request_code);
    else if (e.request_code == errors.shmOpcode) std::snprintf(key, sizeof key, "MIT-SHM.%d", e.minor_code);
    else std::snprintf(key, sizeof key, "extension %d.%d", e.request_code, e.minor_code);
    XGetErrorDatabaseText(d, "XRequest", key, key, name, size);
}

// Runs inside Xlib, so it makes no request: it notes and prints.
int OnXError(Display* d, XErrorEvent* e) {
    if (errors.trapping) {
        ++errors.trapped;
        return 0;
    }
    // XScreenSaver may destroy the window at any moment: requests already on
    // their way then name a window that is gone, and its DestroyNotify ends the run.
    if (e->resourceid == errors.window && (e->error_code == BadWindow || e->error_code == BadDrawable)) return 0;
    if (e->request_code == errors.shmOpcode) errors.shmFailed = true;
    for (int i = 0; i < errors.seenCount; ++i) {
        const ErrorKind& k = errors.seen[i];
        if (k.error == e->error_code && k.request == e->request_code && k.minor == e->minor_code) return 0;
    }
    if (errors.seenCount < static_cast<int>(std::size(errors.seen)))
        errors.seen[errors.seenCount++] = ErrorKind{e->error_code, e->request_code, e->minor_code};
    char text[160], request[80];
    XGetErrorText(d, e->error_code, text, sizeof text);
    RequestName(d, *e, request, sizeof request);
    std::fprintf(stderr, "pendral: X error %s in %s (request %d.%d, resource 0x%lx)%s\n", text, request,
                 e->request_code, e->minor_code, e->resourceid,
                 e->request_code == errors.shmOpcode ? "; drawing without shared memory from now on" : "");
    return 0;
}

using plat::x11::NowMicroseconds;
using plat::x11::StartScene;
using plat::x11::StopScene;
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
        while (XEventsQueued(d, readable ? QueuedAfterReading : QueuedAlready) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (HandleEvent(run, event, &width, &height) == Outcome::Stop) return 0;
            unsent = true;
        }
        readable = false;
        if (width != run->surface.width || height != run->surface.height) {
            StopScene(run);
            if (!StartScene(run, width, height)) return 1;
        }
        const std::uint64_t now = NowMicroseconds();
        if (now >= nextTick) {
            AdvanceFrame(&run->surface);
            if (!run->surface.image) return 1;  // its drawing failed, and said why
            if (run->fps.shown) {
                plat::x11::DrawFps(&run->fps, &run->surface, now);
                unsent = true;
            }
            nextTick = nextTick + run->delayUs > now ? nextTick + run->delayUs : now + run->delayUs;
            continue;
        }
        if (unsent) XFlush(d);  // e.g. a repaint, or the frame rate
        unsent = false;
        // A signal cuts the wait short; one that comes just before it waits at
        // most one delay (0.1 s at most).
        pollfd connection{ConnectionNumber(d), POLLIN, 0};
        readable = poll(&connection, 1, static_cast<int>((nextTick - now + 999) / 1000)) != 0;
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

void BeginErrorTrap() {
    errors.trapping = true;
    errors.trapped = 0;
}

int EndErrorTrap(::Display* display) {
    XSync(display, False);
    errors.trapping = false;
    return errors.trapped;
}

bool TakeSharedMemoryFailure() {
    const bool failed = errors.shmFailed;
    errors.shmFailed = false;
    return failed;
}

bool StartScene(Run* run, std::int32_t width, std::int32_t height) {
    if (!OpenSurface(&run->surface, width, height)) return false;
    clientWidth = run->surface.width;
    clientHeight = run->surface.height;
    SetUpScene(&run->surface);
    if (!spriteStage.BackBuffer().bits || bodyField.Count() == 0) {
        std::fprintf(stderr, "pendral: out of memory for a field of %dx%d\n", clientWidth, clientHeight);
        return false;
    }
    return true;
}

void StopScene(Run* run) {
    ReleaseScene();
    CloseSurface(&run->surface);
}

bool OpenRun(Run* run, const SaverOptions& options) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "pendral: cannot open display %s\n", name ? name : "(DISPLAY is not set)");
        return false;
    }
    XSetErrorHandler(OnXError);
    int event = 0, error = 0;
    if (!XQueryExtension(d, "MIT-SHM", &errors.shmOpcode, &event, &error)) errors.shmOpcode = -1;
    run->surface.display = d;
    run->delayUs = static_cast<std::uint32_t>(options.delayMicroseconds);
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
    errors.window = target;
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

}  // namespace plat::x11
