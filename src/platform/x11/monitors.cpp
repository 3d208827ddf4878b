// The display's monitors, for a field on each: RandR 1.5's monitors, else
// Xinerama's screens. RandR also tells when they change.
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>


#include "platform/x11/surface.h"

namespace plat::x11 {
namespace {

int randrEvents = -1;  // RandR's first event code; -1 without RandR
bool randrMonitors = false;  // RandR 1.5 or later: XRRGetMonitors

}  // namespace

void WatchMonitors(::Display* display) {
    int events = 0, errors = 0, major = 0, minor = 0;
    randrEvents = -1;
    randrMonitors = false;
    if (!XRRQueryExtension(display, &events, &errors) || !XRRQueryVersion(display, &major, &minor)) return;
    randrEvents = events;
    randrMonitors = major > 1 || (major == 1 && minor >= 5);
    // The notices of single outputs and CRTCs came with RandR 1.2; an older
    // server refuses their mask.
    const bool outputs = major > 1 || (major == 1 && minor >= 2);
    XRRSelectInput(display, DefaultRootWindow(display),
                   RRScreenChangeNotifyMask | (outputs ? RRCrtcChangeNotifyMask | RROutputChangeNotifyMask : 0));
}

bool MonitorsChanged(::XEvent* event) {
    if (randrEvents < 0) return false;
    if (event->type == randrEvents + RRScreenChangeNotify) {
        XRRUpdateConfiguration(event);
        return true;
    }
    return event->type == randrEvents + RRNotify;
}

std::int32_t ListRandrMonitors(::Display* display, Rect* monitors, std::int32_t max) {
    std::int32_t count = 0;
    int listed = 0;
    if (XRRMonitorInfo* m = XRRGetMonitors(display, DefaultRootWindow(display), True, &listed)) {
        for (int i = 0; i < listed && count < max; ++i)
            monitors[count++] = {m[i].x, m[i].y, m[i].x + m[i].width, m[i].y + m[i].height};
        XRRFreeMonitors(m);
    }
    return count;
}

std::int32_t ListXineramaScreens(::Display* display, Rect* monitors, std::int32_t max) {
    std::int32_t count = 0;
    int listed = 0, unused = 0;
    if (XineramaQueryExtension(display, &unused, &unused) && XineramaIsActive(display)) {
        if (XineramaScreenInfo* s = XineramaQueryScreens(display, &listed)) {
            for (int i = 0; i < listed && count < max; ++i)
                monitors[count++] = {s[i].x_org, s[i].y_org, s[i].x_org + s[i].width, s[i].y_org + s[i].height};
            XFree(s);
        }
    }
    return count;
}

std::int32_t ListMonitors(::Display* display, Rect* monitors, std::int32_t max) {
    if (randrMonitors)
        if (const std::int32_t count = ListRandrMonitors(display, monitors, max); count > 0) return count;
    return ListXineramaScreens(display, monitors, max);
}

}  // namespace plat::x11
