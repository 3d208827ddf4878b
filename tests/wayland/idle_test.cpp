// pendral -wayland -idle on real compositors, headless, each run by the session's
// user (the one sway_session.sh made) in a runtime folder of its own: the sway of
// the session (HEADLESS-1 1024x768 at 0,0 and HEADLESS-2 800x600 at 1124,100, with
// wayvnc's keyboard), and kwin, mutter and weston started here under a session bus
// of their own. The watcher runs with WAYLAND_DEBUG=1: its protocol log, with
// times of the monotonic clock, tells when it asked for the idle time, which
// surfaces it made, how they were configured and which got buffers; on sway, grim
// shows the outputs too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "session_process.h"

namespace {

using namespace std::chrono_literals;

constexpr int IDLE_SECONDS = 2;
constexpr double IDLE_MS = IDLE_SECONDS * 1000.0;

using session::Env;
using session::Slurp;
using session::WaitFor;

std::uint64_t RealtimeUs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000u + static_cast<std::uint64_t>(t.tv_nsec) / 1000u;
}

// Milliseconds of the real-time clock, as the protocol log's times are read.
double NowMs() { return RealtimeUs() / 1000.0; }

// A runtime folder of the session's user: where a compositor serves, and its HOME.
struct Folder {
    std::string path;
    std::vector<std::string> env;  // XDG_RUNTIME_DIR, HOME, WAYLAND_DISPLAY, and the bus once known
};

// A program run as the session's user in the folder's environment and `env`.
class Process : public session::Process {
public:
    Process(const Folder& folder, const std::vector<std::string>& command, const std::vector<std::string>& env = {})
        : session::Process(Joined(folder.env, env), command, folder.path + "/out-" + std::to_string(counter_++)) {}

private:
    static std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    static inline int counter_ = 0;
};

int StatusOf(const Folder& folder, const std::vector<std::string>& command) { return Process(folder, command).Exit(20s); }

// The watcher's protocol log (WAYLAND_DEBUG=1 on its standard error): each line's
// time, and its other lines (what it says itself).
struct ProtocolLog {
    std::vector<std::pair<double, std::string>> lines;
    std::string said;

    // WAYLAND_DEBUG stamps a line with the real-time clock's microseconds cut to 32
    // bits, in milliseconds: the whole time is the last before now with those bits.
    explicit ProtocolLog(const std::string& text) {
        const std::uint64_t now = RealtimeUs();
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() < 2 || line[0] != '[') {
                said += line + "\n";
                continue;
            }
            const auto stamp = static_cast<std::uint32_t>(std::llround(std::atof(line.c_str() + 1) * 1000));
            lines.emplace_back((now - static_cast<std::uint32_t>(now - stamp)) / 1000.0, line);
        }
    }
    // When a line holding `text` came first after `after`; -1: none.
    double First(const std::string& text, double after = 0) const {
        for (const auto& [time, line] : lines)
            if (time > after && line.find(text) != std::string::npos) return time;
        return -1;
    }
    int Count(const std::string& text, double after = 0) const {
        int n = 0;
        for (const auto& [time, line] : lines) n += time > after && line.find(text) != std::string::npos;
        return n;
    }
    // When the last line holding `text` came; -1: none.
    double Last(const std::string& text) const {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->second.find(text) != std::string::npos) return it->first;
        return -1;
    }
    // The surfaces given buffers after `after`.
    std::size_t SurfacesDrawn(double after = 0) const {
        std::set<std::string> surfaces;
        for (const auto& [time, line] : lines) {
            const std::size_t at = line.find(".attach(wl_buffer@");
            const std::size_t from = line.find("wl_surface@");
            if (time > after && at != std::string::npos && from != std::string::npos)
                surfaces.insert(line.substr(from, at - from));
        }
        return surfaces.size();
    }
    // Its last lines, for a failure's message.
    std::string Tail(std::size_t n = 30) const {
        std::string text = said;
        for (std::size_t k = lines.size() > n ? lines.size() - n : 0; k < lines.size(); ++k) text += lines[k].second + "\n";
        return text;
    }
    // The sizes the compositor configured the toplevels to, "WxH" each.
    std::set<std::string> ToplevelSizes() const {
        std::set<std::string> sizes;
        for (const auto& [time, line] : lines) {
            int width = 0, height = 0;
            const std::size_t at = line.find(".configure(");
            if (line.find("xdg_toplevel@") != std::string::npos && at != std::string::npos &&
                std::sscanf(line.c_str() + at, ".configure(%d, %d", &width, &height) == 2)
                sizes.insert(std::to_string(width) + "x" + std::to_string(height));
        }
        return sizes;
    }
};

// The lit pixels of the rectangle in grim's shot of all sway's outputs; -1 when there is none.
long LitOnSway(const Folder& folder, int left, int top, int right, int bottom) {
    const std::string path = folder.path + "/shot.ppm";
    if (StatusOf(folder, {"grim", "-t", "ppm", path}) != 0) return -1;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (magic != "P6" || !in || right > width || bottom > height) return -1;
    long lit = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            lit += (p[0] | p[1] | p[2]) != 0;
        }
    return lit;
}

// Both of sway's outputs lit (true), or nothing lit anywhere (false).
bool SwayShows(const Folder& folder, bool fields) {
    if (!fields) return LitOnSway(folder, 0, 0, 1924, 768) == 0;
    return LitOnSway(folder, 0, 0, 1024, 768) > 2000 && LitOnSway(folder, 1124, 100, 1924, 700) > 2000;
}

struct Compositor {
    const char* name;
    // Run under dbus-run-session in a folder of its own, serving wayland-1; empty: the session's sway.
    std::vector<std::string> command;
    const char* idleRequest;  // how the watcher asks for the idle time in its log; null: on the bus
    std::size_t fields;       // surfaces drawn once idle; 0: the watcher ends with `error`
    std::set<std::string> sizes;  // the toplevels' sizes as configured ("WxH"), besides 0x0
    const char* error;
};

class IdleWatcher : public testing::Test {
protected:
    void SetUp() override {
        if (Env("SWAYSOCK").empty()) GTEST_SKIP() << "not in a sway session (sway_session.sh)";
    }
};

// A folder of the session's user for a compositor's run, and the compositor in it.
Folder CompositorFolder(const Compositor& row) {
    if (row.command.empty())
        return {Env("SWAY_DIR"), {"XDG_RUNTIME_DIR=" + Env("SWAY_DIR"), "HOME=" + Env("SWAY_DIR"),
                                  "WAYLAND_DISPLAY=" + Env("WAYLAND_DISPLAY"), "SWAYSOCK=" + Env("SWAYSOCK")}};
    const std::string path = Env("SWAY_DIR") + "/" + row.name;
    std::filesystem::create_directories(path);
    chown(path.c_str(), std::stoi(Env("SWAY_UID")), std::stoi(Env("SWAY_GID")));
    chmod(path.c_str(), 0700);
    return {path, {"XDG_RUNTIME_DIR=" + path, "HOME=" + path}};
}

// Each row: the watcher shows nothing before the idle time, then a field on every
// output, and SIGTERM ends it with 0; where the compositor tells no idle time it
// ends with 1 and says so. On sway also: an idle inhibitor keeps the fields away
// until it goes, and a key takes them away until the next idle time.
TEST_F(IdleWatcher, ShowsAFieldOnEveryOutputOnceIdleOnEachCompositor) {
    // kwin carries a file capability that a sandbox may refuse; a copy has none
    // (and keeps its name, which its own platform plugin checks).
    const std::string kwin = Env("SWAY_DIR") + "/kwin-copy/kwin_wayland";
    std::filesystem::create_directories(Env("SWAY_DIR") + "/kwin-copy");
    std::filesystem::copy_file("/usr/bin/kwin_wayland", kwin, std::filesystem::copy_options::overwrite_existing);
    chmod((Env("SWAY_DIR") + "/kwin-copy").c_str(), 0755);
    chmod(kwin.c_str(), 0755);
    const Compositor rows[] = {
        {"sway", {}, "org_kde_kwin_idle@", 2, {"1024x768", "800x600"}, nullptr},
        {"kwin", {kwin, "--virtual", "--width", "1024", "--height", "768", "--output-count", "2", "--socket", "wayland-1"},
         "ext_idle_notifier_v1@", 2, {"1024x768"}, nullptr},
        // cage grants no full screen on the output asked for: it gives every toplevel its
        // whole layout, where one field is drawn, not one above another.
        {"cage", {"env", "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
                  "WLR_HEADLESS_OUTPUTS=2", "cage", "--", "sleep", "600"},
         "org_kde_kwin_idle@", 1, {"2560x720"}, nullptr},
        {"mutter", {"mutter", "--wayland", "--headless", "--no-x11", "--virtual-monitor", "1024x768", "--virtual-monitor",
                    "1280x720", "--wayland-display", "wayland-1"},
         nullptr, 2, {"1024x768", "1280x720"}, nullptr},
        {"weston", {"weston", "--backend=headless-backend.so", "--use-pixman", "--width=1024", "--height=768",
                    "--socket=wayland-1"},
         nullptr, 0, {},
         "pendral: this Wayland compositor tells no idle time (no ext-idle-notify-v1, org_kde_kwin_idle or GNOME idle "
         "monitor): have its own idle daemon start pendral -wayland instead\n"},
    };
    for (const Compositor& row : rows) {
        SCOPED_TRACE(row.name);
        Folder folder = CompositorFolder(row);
        const double started = NowMs();
        std::unique_ptr<Process> compositor;
        if (!row.command.empty()) {
            std::string line = "printf %s \"$DBUS_SESSION_BUS_ADDRESS\" >\"$XDG_RUNTIME_DIR/bus\"; exec";
            for (const std::string& word : row.command) line += " '" + word + "'";
            compositor = std::make_unique<Process>(folder, std::vector<std::string>{"dbus-run-session", "--", "sh", "-c", line});
            // The compositor's socket: wayland-1 where it is told, the first free one where not (cage).
            std::string display;
            ASSERT_TRUE(WaitFor([&] {
                for (const char* name : {"wayland-0", "wayland-1"})
                    if (std::filesystem::exists(folder.path + "/" + name)) display = name;
                return !display.empty();
            }, 60s)) << compositor->Err();
            folder.env.push_back("WAYLAND_DISPLAY=" + display);
            folder.env.push_back("DBUS_SESSION_BUS_ADDRESS=" + Slurp(folder.path + "/bus"));
        }
        if (row.name == std::string("mutter")) {
            // Its idle monitor comes on the bus a moment after its socket.
            ASSERT_TRUE(WaitFor([&] {
                return StatusOf(folder, {"dbus-send", "--session", "--print-reply", "--dest=org.gnome.Mutter.IdleMonitor",
                                         "/org/gnome/Mutter/IdleMonitor/Core", "org.gnome.Mutter.IdleMonitor.GetIdletime"}) == 0;
            }, 30s));
        }
        const std::string saver = Env("PENDRAL_SAVER");
        if (row.error) {
            Process watcher(folder, {saver, "-wayland", "-idle", std::to_string(IDLE_SECONDS)});
            EXPECT_EQ(watcher.Exit(20s), 1);
            EXPECT_EQ(watcher.Err(), row.error);
            continue;
        }
        // On sway, an inhibitor first: the watcher shows nothing while it is there.
        std::unique_ptr<Process> inhibitor;
        if (row.command.empty()) {
            inhibitor = std::make_unique<Process>(folder, std::vector<std::string>{Env("PENDRAL_INHIBITOR")});
            ASSERT_TRUE(WaitFor([&] { return inhibitor->Out() == "inhibiting\n"; }, 20s)) << inhibitor->Err();
        }
        Process watcher(folder, {saver, "-wayland", "-idle", std::to_string(IDLE_SECONDS)}, {"WAYLAND_DEBUG=1"});
        const auto log = [&] { return ProtocolLog(watcher.Err()); };
        double since = row.idleRequest ? -1 : started;  // when the idle time began to count
        if (row.idleRequest) {
            ASSERT_TRUE(WaitFor([&] { return (since = log().First(row.idleRequest)) > 0; }, 20s)) << log().said;
            EXPECT_EQ(log().Count("get_idle_"), 1);  // one source, the first offered
        }
        if (inhibitor) {
            // Nothing shows however long it waits; a span can only be seen by waiting it out.
            std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(2 * IDLE_MS)));
            EXPECT_EQ(log().Count("create_surface"), 0);
            since = NowMs();
            kill(-inhibitor->Pid(), SIGTERM);
            EXPECT_NE(inhibitor->Exit(5s), -1);
        }
        // Frames drawn since the compositor last configured a surface: on every surface
        // that shows a field of its own, and on no other.
        const auto settled = [&] { return log().Last(".configure("); };
        ASSERT_TRUE(WaitFor([&] { return log().Count(".attach(wl_buffer@", settled()) >= 20 * static_cast<int>(row.fields); }, 30s))
            << log().Tail();
        const ProtocolLog shown = log();
        // kwin's timers may fire a few per cent early.
        EXPECT_GE(shown.First("create_surface") - since, 0.9 * IDLE_MS);
        EXPECT_EQ(shown.SurfacesDrawn(shown.Last(".configure(")), row.fields);
        if (row.command.empty()) {
            EXPECT_TRUE(WaitFor([&] { return SwayShows(folder, true); }, 10s));
            // A key takes the fields away; they come back after the next idle time; a
            // second key takes them away again, and SIGTERM ends the watcher as it waits.
            const auto gone = [&](double since) {
                int destroyed = 0;
                for (const auto& [time, line] : log().lines)
                    destroyed += time > since && line.find("wl_surface@") != std::string::npos &&
                                 line.find(".destroy()") != std::string::npos;
                return destroyed >= static_cast<int>(row.fields) && SwayShows(folder, false);
            };
            double key = NowMs();
            ASSERT_EQ(StatusOf(folder, {"wtype", "-s", "300", "k"}), 0);
            EXPECT_TRUE(WaitFor([&] { return gone(key); }, 10s)) << log().Tail();
            ASSERT_TRUE(WaitFor([&] { return log().SurfacesDrawn(key) >= row.fields && SwayShows(folder, true); }, 30s));
            EXPECT_GE(log().First("create_surface", key) - key, 0.9 * IDLE_MS);
            key = NowMs();
            ASSERT_EQ(StatusOf(folder, {"wtype", "-s", "300", "k"}), 0);
            EXPECT_TRUE(WaitFor([&] { return gone(key); }, 10s));
        }
        const double stop = NowMs();
        kill(watcher.Pid(), SIGTERM);
        EXPECT_EQ(watcher.Exit(5s), 0);
        EXPECT_EQ(log().Count("create_surface", stop), 0);  // on sway it was waiting: it ended, showing nothing
        EXPECT_EQ(log().said, "");
        std::set<std::string> sizes = log().ToplevelSizes();
        sizes.erase("0x0");  // the size left to the toplevel, before the full-screen one
        EXPECT_EQ(sizes, row.sizes);
        if (row.command.empty()) {
            // -watch: 240 s with no settings file, nor its folder; once the folder and
            // the file come (a rename, as an editor or the settings window writes
            // it), the file's idle time is asked for at once, the saver then showing after it.
            const std::string config = folder.path + "/xdg-config", file = config + "/pendral/pendral.conf";
            Process watching(folder, {saver, "-wayland", "-watch"}, {"WAYLAND_DEBUG=1", "XDG_CONFIG_HOME=" + config});
            const auto watchLog = [&] { return ProtocolLog(watching.Err()); };
            ASSERT_TRUE(WaitFor([&] { return watchLog().First(", 240000)") > 0; }, 20s)) << watchLog().Tail();
            const double rewritten = NowMs();
            std::filesystem::create_directories(config + "/pendral");
            std::ofstream(file + ".new") << "# shorter\nidle = " << IDLE_SECONDS << "\n";
            std::filesystem::rename(file + ".new", file);
            ASSERT_TRUE(WaitFor([&] { return watchLog().SurfacesDrawn(rewritten) >= row.fields; }, 30s)) << watchLog().Tail();
            EXPECT_GT(watchLog().First(", " + std::to_string(IDLE_SECONDS * 1000) + ")", rewritten), 0);
            EXPECT_GE(watchLog().First("create_surface", rewritten) - rewritten, 0.9 * IDLE_MS);
            kill(watching.Pid(), SIGTERM);
            EXPECT_EQ(watching.Exit(5s), 0);
            EXPECT_EQ(watchLog().said, "");
        }
    }
}

}  // namespace
