// pendral-settings: the Linux settings window. Its controls read and write the
// settings file (app/settings_file.h) at once, each change saved (a scale's drags
// gathered for a moment); a live preview (preview.cpp) shows the field as the
// saver draws it; a switch drives the idle watcher's user service
// (idle_service.cpp) where the session allows it, or a sentence says what to do
// instead (app/settings_window_rules.h); "Test" shows the saver now.
#include <sys/random.h>
#include <unistd.h>

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/saver_options.h"
#include "app/settings_file.h"
#include "app/settings_window_rules.h"
#include "platform/x11/surface.h"
#include "settings/idle_service.h"
#include "settings/preview.h"
#include "sim/random.h"

namespace {

// A scale's drags and the minutes typed are saved once they rest this long.
constexpr guint SAVE_DELAY_MS = 300;
constexpr const char* INSTALLED_SAVER = "/usr/libexec/xscreensaver/pendral";

struct Window {
    SettingsFile file;
    std::string path;
    guint saveTimer = 0;
    bool wayland = false;
    GtkWidget* saveError = nullptr;  // a label, shown while the last save failed
    GtkWidget* notice = nullptr;     // a label for what the idle switch and Test report
    GtkWidget* idleSwitch = nullptr;
    bool settingSwitch = false;  // the switch is being set to the service's state
};

Window w;

void Show(GtkWidget* label, const std::string& text) {
    gtk_label_set_text(GTK_LABEL(label), text.c_str());
    gtk_widget_set_visible(label, !text.empty());
}

gboolean SaveNow(gpointer = nullptr) {
    w.saveTimer = 0;
    if (w.path.empty()) return G_SOURCE_REMOVE;  // said once at start
    std::string error;
    if (SaveSettingsFile(w.path, w.file, &error)) {
        Show(w.saveError, "");
    } else {
        std::fprintf(stderr, "pendral-settings: %s\n", error.c_str());
        Show(w.saveError, "The settings could not be saved: " + error);
    }
    return G_SOURCE_REMOVE;
}

void SaveSoon(guint delayMs) {
    if (w.saveTimer) g_source_remove(w.saveTimer);
    w.saveTimer = 0;
    if (delayMs == 0) SaveNow();
    else w.saveTimer = g_timeout_add(delayMs, SaveNow, nullptr);
}

void FlushSave() {
    if (w.saveTimer) SaveSoon(0);
}

// ---- The saver's settings ----

enum class Setting { Attraction, Count, Refresh, Red, Blue, IdleMinutes };

std::int32_t* NumberOf(Setting s) {
    SaverOptions& o = w.file.options;
    switch (s) {
        case Setting::Attraction: return &o.attraction;
        case Setting::Count: return &o.bodyCount;
        case Setting::Refresh: return &o.refreshMinutes;
        default: return nullptr;
    }
}

void Changed(Setting s) {
    ApplySaverOptions(w.file.options);
    if (s != Setting::IdleMinutes) preview::SettingsChanged(s == Setting::Attraction);
    SaveSoon(s == Setting::Red || s == Setting::Blue ? 0 : SAVE_DELAY_MS);
}

void OnScale(GtkRange* range, gpointer data) {
    const auto s = static_cast<Setting>(GPOINTER_TO_INT(data));
    const auto value = static_cast<std::int32_t>(std::lround(gtk_range_get_value(range)));
    if (*NumberOf(s) == value) return;
    *NumberOf(s) = value;
    Changed(s);
}

void OnCheck(GtkCheckButton* check, gpointer data) {
    const auto s = static_cast<Setting>(GPOINTER_TO_INT(data));
    (s == Setting::Red ? w.file.options.red : w.file.options.blue) = gtk_check_button_get_active(check);
    Changed(s);
}

void OnMinutes(GtkSpinButton* spin, gpointer) {
    w.file.options.idleSeconds = gtk_spin_button_get_value_as_int(spin) * 60;
    Changed(Setting::IdleMinutes);
}

GtkWidget* Label(const char* text, bool mnemonic = false) {
    GtkWidget* label = mnemonic ? gtk_label_new_with_mnemonic(text) : gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    return label;
}

GtkWidget* Heading(const char* mnemonicText) {
    GtkWidget* label = Label(mnemonicText, true);
    gtk_widget_add_css_class(label, "heading");
    return label;
}

// A scale of whole numbers from `low` to `high`, its value shown, labelled by `label`.
GtkWidget* Scale(GtkWidget* label, Setting s, double low, double high) {
    GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, low, high, 1);
    gtk_scale_set_digits(GTK_SCALE(scale), 0);
    gtk_scale_set_draw_value(GTK_SCALE(scale), TRUE);
    gtk_scale_set_value_pos(GTK_SCALE(scale), GTK_POS_RIGHT);
    gtk_range_set_round_digits(GTK_RANGE(scale), 0);
    gtk_range_set_increments(GTK_RANGE(scale), 1, 10);
    gtk_range_set_value(GTK_RANGE(scale), *NumberOf(s));
    gtk_widget_set_hexpand(scale, TRUE);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), scale);
    g_signal_connect(scale, "value-changed", G_CALLBACK(OnScale), GINT_TO_POINTER(static_cast<int>(s)));
    return scale;
}

// A screen reader reads `name`: GTK 4.8 would give it the mnemonic's underscore too.
void Name(GtkWidget* widget, const char* name) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, name, -1);
}

GtkWidget* Check(const char* mnemonicText, const char* name, bool active, Setting s) {
    GtkWidget* check = gtk_check_button_new_with_mnemonic(mnemonicText);
    Name(check, name);
    gtk_check_button_set_active(GTK_CHECK_BUTTON(check), active);
    g_signal_connect(check, "toggled", G_CALLBACK(OnCheck), GINT_TO_POINTER(static_cast<int>(s)));
    return check;
}

GtkWidget* SaverSettingsGrid() {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    int row = 0;
    GtkWidget* magnitude = Heading("_Magnitude of the Pendral");
    gtk_grid_attach(GTK_GRID(grid), magnitude, 0, row++, 3, 1);
    GtkWidget* distract = Label("distract");
    GtkWidget* attract = Label("attract");
    gtk_widget_add_css_class(distract, "dim-label");
    gtk_widget_add_css_class(attract, "dim-label");
    gtk_grid_attach(GTK_GRID(grid), distract, 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), Scale(magnitude, Setting::Attraction, -100, 100), 1, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), attract, 2, row++, 1, 1);
    const struct {
        const char* text;
        Setting setting;
        double low, high;
    } scales[] = {{"_Number of the moving objects", Setting::Count, 3, 100},
                  {"Screen refresh _interval (minutes)", Setting::Refresh, 1, 100}};
    for (const auto& s : scales) {
        GtkWidget* heading = Heading(s.text);
        gtk_widget_set_margin_top(heading, 6);
        gtk_grid_attach(GTK_GRID(grid), heading, 0, row++, 3, 1);
        gtk_grid_attach(GTK_GRID(grid), Scale(heading, s.setting, s.low, s.high), 0, row++, 3, 1);
    }
    GtkWidget* bodies = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
    gtk_widget_set_margin_top(bodies, 6);
    gtk_box_append(GTK_BOX(bodies), Check("_Red object", "Red object", w.file.options.red, Setting::Red));
    gtk_box_append(GTK_BOX(bodies), Check("_Blue object", "Blue object", w.file.options.blue, Setting::Blue));
    gtk_grid_attach(GTK_GRID(grid), bodies, 0, row++, 3, 1);
    return grid;
}

// ---- Idleness ----

gboolean OnSwitch(GtkSwitch* control, gboolean on, gpointer) {
    if (w.settingSwitch) return FALSE;
    FlushSave();  // the watcher reads the idle time from the file
    std::string error;
    if (!idle_service::Switch(on, &error)) {
        std::fprintf(stderr, "pendral-settings: %s\n", error.c_str());
        Show(w.notice, "The idle watcher could not be switched " + std::string(on ? "on" : "off") + ": " + error);
    } else {
        Show(w.notice, "");
    }
    gtk_switch_set_state(control, idle_service::Query().enabled);
    return TRUE;
}

GtkWidget* IdleRow() {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    GtkWidget* before = Label("Show _after", true);
    GtkWidget* minutes = gtk_spin_button_new_with_range(IDLE_MINUTES_MIN, IDLE_MINUTES_MAX, 1);
    GtkWidget* after = Label("minutes of idleness");
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(minutes), IdleMinutesOf(w.file.options.idleSeconds));
    gtk_label_set_mnemonic_widget(GTK_LABEL(before), minutes);
    gtk_accessible_update_relation(GTK_ACCESSIBLE(minutes), GTK_ACCESSIBLE_RELATION_LABELLED_BY, before, after,
                                   nullptr, -1);
    g_signal_connect(minutes, "value-changed", G_CALLBACK(OnMinutes), nullptr);
    gtk_widget_set_hexpand(after, TRUE);
    gtk_box_append(GTK_BOX(row), before);
    gtk_box_append(GTK_BOX(row), minutes);
    gtk_box_append(GTK_BOX(row), after);

    // The file keeps the idle time that the window shows.
    w.file.options.idleSeconds = IdleMinutesOf(w.file.options.idleSeconds) * 60;

    const idle_service::State service = idle_service::Query();
    SessionFacts facts{std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"),
                       std::getenv("XDG_CURRENT_DESKTOP"), service.managerAnswers, service.known,
                       service.sessionTargetActive};
    w.wayland = IsWaylandSession(facts);
    const IdleControl control = ChooseIdleControl(facts);
    if (control == IdleControl::Switch) {
        w.idleSwitch = gtk_switch_new();
        gtk_widget_set_valign(w.idleSwitch, GTK_ALIGN_CENTER);
        w.settingSwitch = true;
        gtk_switch_set_active(GTK_SWITCH(w.idleSwitch), service.enabled);
        w.settingSwitch = false;
        gtk_accessible_update_relation(GTK_ACCESSIBLE(w.idleSwitch), GTK_ACCESSIBLE_RELATION_LABELLED_BY, before, after,
                                       nullptr, -1);
        g_signal_connect(w.idleSwitch, "state-set", G_CALLBACK(OnSwitch), nullptr);
        gtk_box_append(GTK_BOX(row), w.idleSwitch);
    }
    gtk_box_append(GTK_BOX(box), row);
    if (const char* advice = IdleControlAdvice(control)) {
        GtkWidget* label = Label(advice);
        gtk_label_set_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
        gtk_label_set_selectable(GTK_LABEL(label), TRUE);
        gtk_widget_add_css_class(label, "dim-label");
        gtk_box_append(GTK_BOX(box), label);
    }
    return box;
}

// ---- Test ----

// The saver beside this program (a build tree), else the installed one.
std::string SaverBinary() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string path(self, static_cast<std::size_t>(length));
        path = path.substr(0, path.rfind('/') + 1) + "pendral";
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return INSTALLED_SAVER;
}

void OnSaverEnded(GPid pid, gint status, gpointer) {
    g_spawn_close_pid(pid);
    GError* error = nullptr;
    if (!g_spawn_check_wait_status(status, &error)) {
        Show(w.notice, std::string("The saver ended with an error (") + error->message + "); its messages are on standard error.");
        g_error_free(error);
    }
}

void OnTest(GtkButton*, gpointer) {
    FlushSave();
    const std::string saver = SaverBinary();
    // Full screen at once, ended by input as always.
    const char* argv[] = {saver.c_str(), w.wayland ? "-wayland" : "-fullscreen", nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid,
                       &error)) {
        std::fprintf(stderr, "pendral-settings: %s\n", error->message);
        Show(w.notice, std::string("The saver could not be started: ") + error->message);
        g_error_free(error);
        return;
    }
    Show(w.notice, "");
    g_child_watch_add(pid, OnSaverEnded, nullptr);
}

// ---- The window ----

gboolean OnCloseRequest(GtkWindow*, gpointer) {
    FlushSave();
    return FALSE;
}

void Activate(GtkApplication* application, gpointer) {
    GtkWidget* window = gtk_application_window_new(application);
    gtk_window_set_title(GTK_WINDOW(window), "Pendral Settings");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    g_signal_connect(window, "close-request", G_CALLBACK(OnCloseRequest), nullptr);

    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_widget_set_margin_top(page, 18);
    gtk_widget_set_margin_bottom(page, 18);
    gtk_widget_set_margin_start(page, 18);
    gtk_widget_set_margin_end(page, 18);
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_widget_set_halign(frame, GTK_ALIGN_CENTER);
    gtk_frame_set_child(GTK_FRAME(frame), preview::Create());
    gtk_box_append(GTK_BOX(page), frame);

    GtkWidget* load = Label("");
    gtk_label_set_wrap(GTK_LABEL(load), TRUE);
    gtk_widget_add_css_class(load, "error");
    gtk_box_append(GTK_BOX(page), load);
    gtk_box_append(GTK_BOX(page), SaverSettingsGrid());
    gtk_box_append(GTK_BOX(page), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL));
    gtk_box_append(GTK_BOX(page), IdleRow());

    for (GtkWidget** label : {&w.saveError, &w.notice}) {
        *label = Label("");
        gtk_label_set_wrap(GTK_LABEL(*label), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(*label), 60);
        gtk_widget_add_css_class(*label, "error");
        gtk_widget_set_visible(*label, FALSE);
        gtk_box_append(GTK_BOX(page), *label);
    }
    // Its label a child of its own: GTK 4.8 would name the button by both.
    GtkWidget* test = gtk_button_new();
    GtkWidget* testLabel = gtk_label_new_with_mnemonic("_Test");
    gtk_label_set_mnemonic_widget(GTK_LABEL(testLabel), test);
    gtk_button_set_child(GTK_BUTTON(test), testLabel);
    gtk_widget_set_halign(test, GTK_ALIGN_END);
    g_signal_connect(test, "clicked", G_CALLBACK(OnTest), nullptr);
    gtk_box_append(GTK_BOX(page), test);

    const char* loadError = static_cast<const char*>(g_object_get_data(G_OBJECT(application), "load-error"));
    Show(load, loadError ? loadError : "");
    gtk_window_set_child(GTK_WINDOW(window), page);
    gtk_window_present(GTK_WINDOW(window));
}

}  // namespace

int main(int argc, char** argv) {
    // GTK's cairo renderer, unless the user chose one: the window is plain, and
    // where GL is drawn in software the preview would cost several times the saver.
    g_setenv("GSK_RENDERER", "cairo", FALSE);
    // The file's settings, read once; what it cannot use is said on standard error.
    w.path = SettingsFilePath();
    std::string loadError;
    if (w.path.empty()) {
        loadError = "Neither XDG_CONFIG_HOME nor HOME is set: the settings cannot be kept.";
    } else if (!LoadSettingsFile(w.path, &w.file, stderr)) {
        // Not written over: what it holds may be more than this window knows.
        loadError = "The settings file " + w.path + " could not be read: the defaults are shown, and changes are not kept.";
        w.path.clear();
    }
    if (!loadError.empty()) std::fprintf(stderr, "pendral-settings: %s\n", loadError.c_str());
    w.file.options.spritesFolder = w.file.spritesFolder.empty() ? nullptr : w.file.spritesFolder.c_str();
    ApplySaverOptions(w.file.options);
    plat::x11::SetFileFolder(w.file.options.spritesFolder);
    std::uint32_t seed = 0;
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed))
        seed = static_cast<std::uint32_t>(g_get_real_time()) ^ static_cast<std::uint32_t>(getpid());
    SetRandomState(seed);

    GtkApplication* application = gtk_application_new("org.pendral.Settings", G_APPLICATION_NON_UNIQUE);
    if (!loadError.empty()) g_object_set_data_full(G_OBJECT(application), "load-error", g_strdup(loadError.c_str()), g_free);
    g_signal_connect(application, "activate", G_CALLBACK(Activate), nullptr);
    const int status = g_application_run(G_APPLICATION(application), argc, argv);
    g_object_unref(application);
    return status;
}
