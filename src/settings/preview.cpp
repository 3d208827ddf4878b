// Pendral's settings window: the preview's platform.
//
// Platform:     GTK 4: a GtkDrawingArea paced by its frame clock.
// Provides:     drawing.h through the drawing that X11 and Wayland share
//               (platform/pixels/): the window the animation draws on is a cairo
//               image surface (XRGB, in device pixels: the widget's size times its
//               scale factor), painted into the drawing area scaled back to its
//               logical size. Files, the clock and the built-in pictures are
//               X11's (platform/x11/), which are plain POSIX.
// Drawing:      one tick every 20 ms of the frame clock (a late tick is not caught
//               up), only while the widget is mapped (GTK runs no tick callback
//               otherwise) and its window not minimised. The pixels' memory is
//               made once per size; each frame GTK is given a view of it.
// Limitations:  one preview per program; integer scale factors (GTK 4.8's).
// Dependencies: GTK 4, cairo.
#include "settings/preview.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/animation.h"
#include "app/settings.h"
#include "platform/pixels/pixel_window.h"

namespace preview {
namespace {

constexpr gint64 TICK_US = gint64{TICK_INTERVAL_MS} * 1000;

struct PreviewWindow : plat::WindowObject {
    GtkWidget* area = nullptr;
    cairo_surface_t* surface = nullptr;
    unsigned char* data = nullptr;
    int stride = 0;
    bool sceneUp = false;
    bool scatterAfresh = false;
    guint tick = 0;
    gint64 nextTick = 0;
    GdkSurface* watched = nullptr;  // the toplevel whose minimised state is followed
};

PreviewWindow window;

char* BeginPiece(plat::WindowObject*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t*,
                 std::int64_t* rowBytes) {
    if (!window.data) return nullptr;
    *rowBytes = window.stride;
    return reinterpret_cast<char*>(window.data + std::int64_t{y} * window.stride + std::int64_t{x} * 4);
}

void PutPiece(plat::WindowObject*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}

void FillBlack(plat::WindowObject*, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (!window.data) return;
    for (std::int32_t row = std::max(y, 0); row < std::min(y + height, window.height); ++row)
        std::memset(window.data + std::int64_t{row} * window.stride + std::int64_t{x} * 4, 0,
                    static_cast<std::size_t>(width) * 4);
}

void FrameEnd(plat::WindowObject*) {
    cairo_surface_mark_dirty(window.surface);
    gtk_widget_queue_draw(window.area);
}

const plat::PixelTarget PREVIEW_TARGET{BeginPiece, PutPiece, FillBlack, FrameEnd};

void StopScene() {
    if (!window.sceneUp) return;
    ReleaseScene();
    plat::pixels::CloseWindow(&window);
    window.sceneUp = false;
}

void FreeSurface() {
    StopScene();
    if (window.surface) cairo_surface_destroy(window.surface);
    window.surface = nullptr;
    window.data = nullptr;
}

// The scene at the widget's size in device pixels, made again when that changed
// or the settings asked for a new scatter. False when it cannot be drawn.
bool EnsureScene() {
    const int scale = gtk_widget_get_scale_factor(window.area);
    const int width = gtk_widget_get_width(window.area) * scale;
    const int height = gtk_widget_get_height(window.area) * scale;
    if (width <= 0 || height <= 0) return false;
    const bool sameSize = window.surface && cairo_image_surface_get_width(window.surface) == width &&
                          cairo_image_surface_get_height(window.surface) == height;
    if (sameSize && window.sceneUp && !window.scatterAfresh) return true;
    window.scatterAfresh = false;
    if (!sameSize) {
        FreeSurface();
        window.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        if (cairo_surface_status(window.surface) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "pendral-settings: out of memory for a preview of %dx%d\n", width, height);
            FreeSurface();
            return false;
        }
        window.data = cairo_image_surface_get_data(window.surface);
        window.stride = cairo_image_surface_get_stride(window.surface);
    }
    StopScene();
    cairo_surface_flush(window.surface);
    std::memset(window.data, 0, static_cast<std::size_t>(window.stride) * height);
    const plat::PixelFormat format{0xFF0000, 0xFF00, 0xFF, 0, 32, G_BYTE_ORDER == G_LITTLE_ENDIAN};
    if (!plat::pixels::OpenWindow(&window, &PREVIEW_TARGET, format, width, height)) return false;
    window.sceneUp = true;
    clientWidth = width;
    clientHeight = height;
    SetUpScene(&window);
    if (!scenes[0].stage.BackBuffer().bits || scenes[0].field.Count() == 0) {
        std::fprintf(stderr, "pendral-settings: out of memory for a preview of %dx%d\n", width, height);
        StopScene();
        return false;
    }
    cairo_surface_mark_dirty(window.surface);
    return true;
}

gboolean Tick(GtkWidget*, GdkFrameClock* clock, gpointer) {
    const gint64 now = gdk_frame_clock_get_frame_time(clock);
    if (now < window.nextTick) return G_SOURCE_CONTINUE;
    window.nextTick = window.nextTick + TICK_US > now ? window.nextTick + TICK_US : now + TICK_US;
    if (EnsureScene()) AdvanceFrame(&window);
    return G_SOURCE_CONTINUE;
}

bool Minimised(GdkSurface* surface) {
    return GDK_IS_TOPLEVEL(surface) && (gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

// Ticks while the toplevel is not minimised (and, by GTK, while the widget is mapped).
void FollowState(GdkSurface* surface) {
    const bool run = !Minimised(surface);
    if (run && !window.tick) {
        window.nextTick = 0;
        window.tick = gtk_widget_add_tick_callback(window.area, Tick, nullptr, nullptr);
    } else if (!run && window.tick) {
        gtk_widget_remove_tick_callback(window.area, window.tick);
        window.tick = 0;
    }
}

void OnStateChanged(GdkSurface* surface, GParamSpec*, gpointer) { FollowState(surface); }

void OnMap(GtkWidget* area, gpointer) {
    GdkSurface* surface = gtk_native_get_surface(gtk_widget_get_native(area));
    if (surface != window.watched) {
        if (window.watched) g_signal_handlers_disconnect_by_func(window.watched, (gpointer)OnStateChanged, nullptr);
        window.watched = surface;
        g_signal_connect(surface, "notify::state", G_CALLBACK(OnStateChanged), nullptr);
    }
    FollowState(surface);
}

void OnUnmap(GtkWidget*, gpointer) {
    if (window.tick) gtk_widget_remove_tick_callback(window.area, window.tick);
    window.tick = 0;
}

void Draw(GtkDrawingArea*, cairo_t* cr, int, int, gpointer) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    if (!window.sceneUp) return;
    // GTK records the drawing and replays it later: it is given a view of the
    // pixels that cairo copies once the view goes, so that the next frame may
    // change them (the surface itself, used as a source, could not be changed).
    cairo_surface_t* view = cairo_image_surface_create_for_data(window.data, CAIRO_FORMAT_RGB24, window.width,
                                                                window.height, window.stride);
    const double scale = gtk_widget_get_scale_factor(window.area);
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, view, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_surface_destroy(view);
}

void OnDestroy(GtkWidget*, gpointer) {
    if (window.watched) g_signal_handlers_disconnect_by_func(window.watched, (gpointer)OnStateChanged, nullptr);
    window.watched = nullptr;
    FreeSurface();
    window.area = nullptr;
}

}  // namespace

GtkWidget* Create() {
    GtkWidget* area = gtk_drawing_area_new();
    window.area = area;
    gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(area), 480);
    gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(area), 270);
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), Draw, nullptr, nullptr);
    gtk_accessible_update_property(GTK_ACCESSIBLE(area), GTK_ACCESSIBLE_PROPERTY_LABEL, "Preview", -1);
    g_signal_connect(area, "map", G_CALLBACK(OnMap), nullptr);
    g_signal_connect(area, "unmap", G_CALLBACK(OnUnmap), nullptr);
    g_signal_connect(area, "destroy", G_CALLBACK(OnDestroy), nullptr);
    return area;
}

void SettingsChanged(bool attractionOnly) {
    if (!attractionOnly) {
        window.scatterAfresh = true;
        return;
    }
    for (std::int32_t k = 0; k < sceneCount; ++k) scenes[k].field.SetAttraction(saverSettings.attractionSetting);
}

}  // namespace preview
