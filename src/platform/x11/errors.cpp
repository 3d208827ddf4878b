// X errors: the handler that prints an unexpected one once per kind, with its
// request, and the trap that counts the errors of a few requests instead.
#include <X11/Xlib.h>

#include <cstdio>
#include <iterator>

#include "platform/x11/surface.h"

namespace plat::x11 {
namespace {

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

}  // namespace

void WatchErrors(::Display* display) {
    XSetErrorHandler(OnXError);
    int event = 0, error = 0;
    if (!XQueryExtension(display, "MIT-SHM", &errors.shmOpcode, &event, &error)) errors.shmOpcode = -1;
}

void ExpectErrorsOnceGone(::Window window) { errors.window = window; }

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

}  // namespace plat::x11
