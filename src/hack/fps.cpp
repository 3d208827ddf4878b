// The -fps overlay, drawn as XScreenSaver's savers draw theirs: two lines of text
// 10 pixels from the lower left corner, updated once a second, on black so that
// each drawing covers the last. The figures are every back end's; on X11 the
// server's font draws them, on Wayland the shared composition (pixels::DrawText).
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include "hack/run.h"

namespace hack {

using plat::x11::SpareBits;
namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

void OpenFps(FpsOverlay* fps, WindowObject* s) {
    // "fixed" is the one font every X server has.
    fps->font = XLoadQueryFont(s->display, "fixed");
    if (!fps->font) {
        std::fputs("pendral: -fps: the display has no font \"fixed\"\n", stderr);
        return;
    }
    XGCValues values{};
    // White on black, opaque like every other pixel (an ARGB window's alpha set).
    values.background = SpareBits(s->visual, s->depth);
    values.foreground = s->visual->red_mask | s->visual->green_mask | s->visual->blue_mask | values.background;
    values.font = fps->font->fid;
    fps->gc = XCreateGC(s->display, s->xid, GCForeground | GCBackground | GCFont, &values);
    fps->shown = true;
}

void CountFpsFrame(FpsFigures* fps, std::uint64_t nowUs) {
    ++fps->frames;
    const double elapsed = static_cast<double>(nowUs - fps->periodStartUs) * 1e-6;
    if (fps->periodStartUs != 0 && elapsed < 1.0) return;
    const double cpu = CpuSeconds();
    if (fps->periodStartUs != 0) {
        // Trailing spaces cover the end of a longer line before.
        std::snprintf(fps->lines[0], sizeof fps->lines[0], "FPS: %.1f   ", fps->frames / elapsed);
        std::snprintf(fps->lines[1], sizeof fps->lines[1], "Load: %.1f%%   ", 100.0 * (cpu - fps->periodStartCpu) / elapsed);
    }
    fps->periodStartUs = nowUs;
    fps->periodStartCpu = cpu;
    fps->frames = 0;
}

void DrawFps(FpsOverlay* fps, WindowObject* s, std::uint64_t nowUs) {
    CountFpsFrame(fps, nowUs);
    const int lineHeight = fps->font->ascent + fps->font->descent;
    int y = s->height - 10 - lineHeight - fps->font->descent;
    for (const char* line : fps->lines) {
        XDrawImageString(s->display, s->xid, fps->gc, 10, y, line, static_cast<int>(std::strlen(line)));
        y += lineHeight;
    }
}

void CloseFps(FpsOverlay* fps, ::Display* display) {
    if (fps->gc) XFreeGC(display, fps->gc);
    if (fps->font) XFreeFont(display, fps->font);
    *fps = FpsOverlay{};
}

}  // namespace hack
