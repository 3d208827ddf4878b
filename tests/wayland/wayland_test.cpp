// pendral -wayland on a real compositor: a headless sway (sway_session.sh) with
// two outputs, HEADLESS-1 at 1024x768 at 0,0 and HEADLESS-2 at 800x600 at
// 1124,100, run by a user of its own. The saver runs as that user as its own
// process; grim reads the outputs back, wtype and swaymsg give it input. The
// saver's Wayland run also runs in this process, beside its X11 run on an Xvfb
// of the same size, to compare their pixels, with a clock of its own.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <wayland-client.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/animation.h"
#include "app/saver_options.h"
#include "hack/run.h"
#include "hack/wayland_run.h"
#include "../x11/driven_clock.h"
#include "sim/random.h"
#include "session_process.h"

namespace {

using namespace std::chrono_literals;

using session::Env;
using session::WaitFor;

// The saver as the session's user runs it: the copy that the test's command puts in the
// session's folder (PENDRAL_SAVER), since the build folder may be in a home folder that
// only its owner may enter.
const char* SaverPath() {
    static const std::string path = Env("PENDRAL_SAVER").empty() ? PENDRAL_BINARY : Env("PENDRAL_SAVER");
    return path.c_str();
}
#undef PENDRAL_BINARY
#define PENDRAL_BINARY SaverPath()

// A program as the session's user, in its session.
class Process : public session::Process {
public:
    explicit Process(const std::vector<std::string>& command, const std::string& display = Env("WAYLAND_DISPLAY"))
        : session::Process({"XDG_RUNTIME_DIR=" + Env("SWAY_DIR"), "WAYLAND_DISPLAY=" + display,
                            "SWAYSOCK=" + Env("SWAYSOCK")},
                           command, Env("SWAY_DIR") + "-" + std::to_string(counter_++)) {}

private:
    static inline int counter_ = 0;
};

int AsUserStatus(const std::vector<std::string>& command, const std::string& display = Env("WAYLAND_DISPLAY")) {
    Process p(command, display);
    return p.Exit(10s);
}

// All outputs as grim shoots them: the layout's bounding box, RGB.
struct Shot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    bool Lit(int x, int y) const { return At(x, y)[0] | At(x, y)[1] | At(x, y)[2]; }
    // Lit pixels of the rectangle [left, right) x [top, bottom); `outside`: of all but it.
    long CountLit(int left, int top, int right, int bottom) const {
        long n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += Lit(x, y);
        return n;
    }
};

Shot Screenshot(const std::string& display = Env("WAYLAND_DISPLAY")) {
    const std::string path = Env("SWAY_DIR") + "/shot.ppm";
    Shot shot;
    if (AsUserStatus({"grim", "-t", "ppm", path}, display) != 0) return shot;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get();
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    if (magic != "P6" || maxValue != 255 || !in) shot = Shot{};
    return shot;
}

// Pixels that differ between two shots in the rectangle.
long Changed(const Shot& a, const Shot& b, int left, int top, int right, int bottom) {
    long n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) n += std::memcmp(a.At(x, y), b.At(x, y), 3) != 0;
    return n;
}

// The compositor sockets in the session's runtime folder.
std::vector<std::string> Sockets() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(Env("SWAY_DIR").c_str())) {
        while (const dirent* e = readdir(dir))
            if (std::regex_match(e->d_name, std::regex("wayland-[0-9]+"))) names.push_back(e->d_name);
        closedir(dir);
    }
    return names;
}

// A sway of its own with the session's two outputs, for a row that stops it.
struct OwnSway {
    const std::vector<std::string> before = Sockets();
    Process sway{{"env", "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "sway", "-c",
                  Env("SWAY_DIR") + "/config"},
                 ""};
    std::string display;  // its socket: the one that was not there before it

    bool Start() {
        const std::string ipc = Env("SWAY_DIR") + "/sway-ipc." + Env("SWAY_UID") + "." + std::to_string(sway.Pid()) + ".sock";
        const bool up = WaitFor(
            [&] {
                for (const std::string& name : Sockets())
                    if (std::find(before.begin(), before.end(), name) == before.end()) display = name;
                return !display.empty() && access(ipc.c_str(), F_OK) == 0;
            },
            20s);
        return up && AsUserStatus({"swaymsg", "-s", ipc, "create_output"}) == 0 &&
               AsUserStatus({"swaymsg", "-s", ipc, "output", "HEADLESS-2", "resolution", "800x600", "position", "1124", "100"}) == 0;
    }
};

class OnSway : public testing::Test {
protected:
    void SetUp() override {
        if (Env("SWAYSOCK").empty()) GTEST_SKIP() << "not in a sway session (sway_session.sh)";
    }
};

// The layout's outputs in the shots.
struct Area {
    int left, top, right, bottom;
};
constexpr Area FIRST{0, 0, 1024, 768}, SECOND{1124, 100, 1924, 700};

// Each row starts the saver, sees both outputs lit and moving and nothing lit
// outside them, does something, and sees how the saver ends: with 0 and nothing
// said. A key ends it when pressed, not when released; the compositor's end is
// no error of the saver's.
TEST_F(OnSway, BothOutputsShowAFieldAndAKeyThePointerASignalOrTheCompositorsEndEndIt) {
    struct Row {
        const char* what;
        std::vector<std::string> action;  // as the session's user; none: SIGTERM
        bool held = false;                // the action is still running once the saver ended
        bool ownSway = false;             // the saver runs on a sway of its own, which is stopped
        bool fps = false;                 // with -fps: its white figures at the first output's lower left
    };
    const Row rows[] = {
        {"a key", {"wtype", "k"}, false, false, true},
        {"a key held", {"wtype", "-s", "300", "-P", "space", "-s", "60000", "-p", "space"}, true},
        {"the pointer moved", {"swaymsg", "seat", "-", "cursor", "move", "40", "30"}},
        {"SIGTERM", {}},
        {"the compositor stopped", {}, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::optional<OwnSway> own;
        if (row.ownSway) {
            ASSERT_TRUE(own.emplace().Start()) << own->sway.Err();
        }
        const std::string display = own ? own->display : Env("WAYLAND_DISPLAY");
        Process saver({PENDRAL_BINARY, "-wayland", row.fps ? "-fps" : "-no-fps"}, display);
        Shot before, after;
        ASSERT_TRUE(WaitFor([&] { return (before = Screenshot(display)).CountLit(0, 0, 1024, 768) > 2000; }, 20s))
            << saver.Err();
        // Moving: a later shot differs on each output (bodies start at rest, and a
        // shot may come before the compositor has repainted).
        for (const Area& a : {FIRST, SECOND})
            EXPECT_TRUE(WaitFor(
                [&] { return Changed(before, after = Screenshot(display), a.left, a.top, a.right, a.bottom) > 100; }, 20s))
                << a.left;
        ASSERT_EQ(std::vector<int>({after.width, after.height}), std::vector<int>({1924, 768}));
        for (const Area& a : {FIRST, SECOND}) EXPECT_GT(after.CountLit(a.left, a.top, a.right, a.bottom), 2000) << a.left;
        // The -fps figures, white (which no body is), 10 pixels from the lower left corner.
        const auto white = [&](int left, int top, int right, int bottom) {
            long n = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x) n += std::memcmp(after.At(x, y), "\xff\xff\xff", 3) == 0;
            return n;
        };
        EXPECT_EQ(white(0, 0, 1924, 768), row.fps ? white(10, 768 - 36, 100, 768 - 10) : 0);
        if (row.fps) {
            EXPECT_GT(white(10, 768 - 36, 100, 768 - 10), 100);
        }
        const long all = after.CountLit(0, 0, 1924, 768);
        EXPECT_EQ(all, after.CountLit(FIRST.left, FIRST.top, FIRST.right, FIRST.bottom) +
                           after.CountLit(SECOND.left, SECOND.top, SECOND.right, SECOND.bottom));
        std::optional<Process> action;
        if (own) kill(own->sway.Pid(), SIGTERM);
        else if (row.action.empty()) kill(saver.Pid(), SIGTERM);
        else action.emplace(row.action);
        EXPECT_EQ(saver.Exit(20s), 0) << saver.Err();
        EXPECT_EQ(saver.Err(), "");
        if (row.held) {
            EXPECT_EQ(action->Exit(0ms), -1);  // still holding the key
            kill(action->Pid(), SIGTERM);
        } else if (action) {
            EXPECT_EQ(action->Exit(20s), 0) << action->Err();
        }
    }
}

// An output that comes while the saver runs gets a field of its own; without a
// compositor the saver says so and ends with 1.
TEST_F(OnSway, AnOutputAddedGetsAFieldAndNoCompositorEndsWithOne) {
    Process saver({PENDRAL_BINARY, "-wayland", "-count", "100"});
    ASSERT_TRUE(WaitFor([&] { return Screenshot().CountLit(0, 0, 1024, 768) > 2000; }, 20s)) << saver.Err();
    ASSERT_EQ(AsUserStatus({"swaymsg", "create_output"}), 0);
    ASSERT_EQ(AsUserStatus({"swaymsg", "output", "HEADLESS-3", "resolution", "640x480", "position", "1924", "0"}), 0);
    Shot shot;
    EXPECT_TRUE(WaitFor(
        [&] {
            shot = Screenshot();
            return shot.width == 2564 && shot.CountLit(1924, 0, 2564, 480) > 2000 && shot.CountLit(0, 0, 1024, 768) > 2000;
        },
        10s));
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.Exit(10s), 0) << saver.Err();
    EXPECT_EQ(AsUserStatus({"swaymsg", "output", "HEADLESS-3", "disable"}), 0);

    Process lost({PENDRAL_BINARY, "-wayland"}, "wayland-none");
    EXPECT_EQ(lost.Exit(5000ms), 1);
    EXPECT_EQ(lost.Err(), "pendral: cannot connect to a Wayland compositor (WAYLAND_DISPLAY is wayland-none)\n");
}

// swayidle starts the saver once the seat has been idle for its timeout, and
// input ends it.
TEST_F(OnSway, SwayidleStartsItAfterItsTimeout) {
    Process idle({"swayidle", "-w", "timeout", "2", std::string(PENDRAL_BINARY) + " -wayland"});
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Screenshot().CountLit(0, 0, 1924, 768), 0);  // not yet
    Shot shot;
    EXPECT_TRUE(WaitFor([&] { return (shot = Screenshot()).CountLit(0, 0, 1024, 768) > 2000; }, 10s));
    EXPECT_EQ(AsUserStatus({"wtype", "k"}), 0);
    EXPECT_TRUE(WaitFor([&] { return Screenshot().CountLit(0, 0, 1924, 768) == 0; }, 3s));
    kill(idle.Pid(), SIGTERM);
    EXPECT_EQ(idle.Exit(10s), 0) << idle.Err();
}

SaverOptions Options(std::vector<const char*> args) {
    args.insert(args.begin(), "pendral");
    SaverOptions options;
    char error[200];
    EXPECT_TRUE(ParseSaverOptions(static_cast<int>(args.size()), args.data(), &options, error, sizeof error)) << error;
    ApplySaverOptions(options);
    return options;
}

// The saver's Wayland run in this process, on the session's sway. Its protocol
// log (WAYLAND_DEBUG, on standard error) goes to a file, and Look() reads the
// requests sent since the last look: each commit must damage every pixel of its
// output that changed since that output's last commit.
class InProcess {
public:
    explicit InProcess(const std::vector<const char*>& args) {
        setenv("XDG_RUNTIME_DIR", Env("SWAY_DIR").c_str(), 1);
        std::fflush(stderr);
        savedErr_ = dup(2);
        const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(log, 2);
        close(log);
        setenv("WAYLAND_DEBUG", "1", 1);
        opened = hack::OpenWaylandRun(&run, Options(args));
        unsetenv("WAYLAND_DEBUG");
        log_.open(logPath_);
    }
    ~InProcess() {
        hack::CloseWaylandRun(&run);
        std::fflush(stderr);
        dup2(savedErr_, 2);
        close(savedErr_);
        std::remove(logPath_.c_str());
    }

    hack::WaylandRun run;
    plat::wayland::Connection& c = run.connection;
    bool opened = false;
    long undamaged = 0;  // pixels that changed before a commit that did not damage them

    // Reads what the compositor sent (waiting at most 20 ms) and follows the outputs.
    bool Step() {
        const bool up = plat::wayland::Dispatch(&c, 20) && hack::FollowOutputs(&run);
        Look();
        return up;
    }
    // A tick as the saver's loop makes it: a frame once some output can show one.
    void Frame() {
        if (!Step() || !run.sceneUp || !plat::wayland::AnyOutputReady(c)) return;
        AdvanceFrame(&c);
        Look();
    }
    bool StepUntil(const std::function<bool()>& condition) {
        return WaitFor([&] { return Step() && condition(); }, 20s);
    }
    // Every output has been sent all it drew, and has shown it (its frame done).
    bool AllShown() {
        plat::wayland::PresentOutputs(&c);
        Look();
        return std::all_of(c.outputs.begin(), c.outputs.end(),
                           [](const plat::wayland::Output* o) { return o->shown && !o->frame && o->damage.count == 0; });
    }
    int Commits(const plat::wayland::Output& o) { return seen_[Id(o)].commits; }

    // Shots come to show exactly the output's pixels, at `a` in them (the
    // compositor may repaint a moment after the frame event); the wrong pixels
    // of the last one.
    long WrongPixels(const plat::wayland::Output& o, const Area& a, Shot* shot) {
        long wrong = -1;
        WaitFor(
            [&] {
                *shot = Screenshot();
                if (shot->width < a.right || shot->height < a.bottom) return !Step();
                wrong = 0;
                for (int y = 0; y < o.pixelsHeight; ++y)
                    for (int x = 0; x < o.pixelsWidth; ++x) {
                        const std::uint32_t p = o.pixels[static_cast<std::size_t>(y) * o.pixelsWidth + x];
                        const unsigned char* q = shot->At(a.left + x, a.top + y);
                        wrong += q[0] != ((p >> 16) & 0xFF) || q[1] != ((p >> 8) & 0xFF) || q[2] != (p & 0xFF);
                    }
                return wrong == 0 || !Step();
            },
            60s);
        return wrong;
    }

    void Look() {
        static const std::regex request(
            R"(-> wl_surface@(\d+)\.(attach\(wl_buffer@(\d+)|commit|damage_buffer\((-?\d+), (-?\d+), (-?\d+), (-?\d+)\)))");
        std::string line;
        std::streampos at;
        for (at = log_.tellg(); std::getline(log_, line) && !log_.eof(); at = log_.tellg()) {
            std::smatch m;
            if (!std::regex_search(line, m, request)) continue;
            Surface& s = seen_[std::stoul(m[1])];
            if (m[3].matched) s.buffer = std::stoul(m[3]);
            if (m[4].matched) s.damage.push_back({std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[4]) + std::stoi(m[6]),
                                                  std::stoi(m[5]) + std::stoi(m[7])});
            if (m[2] != "commit") continue;
            const auto o = std::find_if(c.outputs.begin(), c.outputs.end(), [&](const plat::wayland::Output* o) {
                return o->surface && Id(*o) == std::stoul(m[1]);
            });
            if (o != c.outputs.end()) Committed(**o, &s);
            s.damage.clear();
            s.buffer = 0;
        }
        log_.clear();  // a line not yet whole is read again at the next look
        log_.seekg(at);
    }

private:
    // A surface's buffer and damage since its last commit, and the pixels of
    // the buffer it committed last.
    struct Surface {
        std::uint32_t buffer = 0;
        std::vector<plat::Rect> damage;
        std::vector<std::uint32_t> pixels;
        int commits = 0;
    };
    static std::uint32_t Id(const plat::wayland::Output& o) {
        return wl_proxy_get_id(reinterpret_cast<wl_proxy*>(o.surface));
    }
    // A buffer committed: what it shows (unchanged until the output's next
    // commit, and a frame commits at most once on each output).
    void Committed(const plat::wayland::Output& o, Surface* s) {
        const auto b = std::find_if(std::begin(o.buffers), std::end(o.buffers), [&](const plat::wayland::Buffer& b) {
            return b.buffer && wl_proxy_get_id(reinterpret_cast<wl_proxy*>(b.buffer)) == s->buffer;
        });
        if (b == std::end(o.buffers)) return;  // none (a new surface's first commit)
        const std::uint32_t* shown = b->pixels;
        const std::size_t count = static_cast<std::size_t>(o.pixelsWidth) * o.pixelsHeight;
        const bool known = s->pixels.size() == count;  // else every pixel counts as changed
        for (std::size_t k = 0; k < count; ++k) {
            if (known && s->pixels[k] == shown[k]) continue;
            const int x = static_cast<int>(k % o.pixelsWidth), y = static_cast<int>(k / o.pixelsWidth);
            const bool miss = std::none_of(s->damage.begin(), s->damage.end(), [&](const plat::Rect& r) {
                return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            });
            undamaged += miss;
        }
        s->pixels.assign(shown, shown + count);
        ++s->commits;
    }

    std::string logPath_ = Env("SWAY_DIR") + "-protocol.log";
    int savedErr_ = -1;
    std::ifstream log_;
    std::map<std::uint32_t, Surface> seen_;
};

// The same seed, size and options give the same pixels on Wayland (the first
// output) as on X11 (an Xvfb of 1024x768, -root): both back ends draw through
// the same composition. Then frames as the compositor paces them, each sending
// only what changed (and damaging it) through the buffer it does not hold: what
// the second output then shows is what the saver drew.
TEST_F(OnSway, OutputsShowExactlyWhatX11ShowsForTheSameSeedAndWhatPacedFramesDrew) {
    if (Env("DISPLAY").empty()) GTEST_SKIP() << "no DISPLAY";
    constexpr std::uint32_t SEED = 20261208;
    constexpr int FRAMES = 40;

    Shot shot, paced;
    {
        InProcess w({"-wayland", "-count", "100", "-red", "-blue"});
        ASSERT_TRUE(w.opened);
        ASSERT_TRUE(w.StepUntil([&] { return w.run.sceneUp && w.c.outputs.size() >= 2; }));
        w.c.outputsChanged = true;  // set up again from the seed
        SetRandomState(SEED);
        ASSERT_TRUE(hack::FollowOutputs(&w.run));
        for (int frame = 0; frame < FRAMES; ++frame) {
            AdvanceFrame(&w.c);
            w.Look();
        }
        ASSERT_TRUE(w.StepUntil([&] { return w.AllShown(); }));
        EXPECT_EQ(w.WrongPixels(*w.c.outputs[0], FIRST, &shot), 0);
        for (int tick = 0; tick < 60; ++tick) w.Frame();
        ASSERT_TRUE(w.StepUntil([&] { return w.AllShown(); }));
        EXPECT_EQ(w.WrongPixels(*w.c.outputs[1], SECOND, &paced), 0);
        EXPECT_EQ(w.undamaged, 0);
    }

    hack::Run x11;
    ASSERT_TRUE(hack::OpenRun(&x11, Options({"-root", "-count", "100", "-red", "-blue"})));
    ASSERT_EQ(std::vector<int>({x11.width, x11.height}), std::vector<int>({1024, 768}));
    SetRandomState(SEED);
    ASSERT_TRUE(hack::StartScene(&x11, x11.width, x11.height));
    for (int frame = 0; frame < FRAMES; ++frame) AdvanceFrame(&x11.surface);
    XSync(x11.surface.display, False);
    XImage* image = XGetImage(x11.surface.display, x11.surface.xid, 0, 0, 1024, 768, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    ASSERT_GE(shot.width, 1024);
    long differ = 0, lit = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const unsigned char* q = shot.At(x, y);
            differ += q[0] != ((p >> 16) & 0xFF) || q[1] != ((p >> 8) & 0xFF) || q[2] != (p & 0xFF);
            lit += shot.Lit(x, y);
        }
    XDestroyImage(image);
    hack::StopScene(&x11);
    hack::CloseRun(&x11);
    EXPECT_GT(lit, 5000);
    EXPECT_EQ(differ, 0);
}

// Ticks come every -delay of the saver's own clock: read every 10 us, one wait
// runs out before each tick (one that ran out early would spin until it). Input
// (here at 1.2 s of that clock) ends the run with 0.
TEST_F(OnSway, OneWaitRunsOutBeforeEachTick) {
    for (const char* delay : {"20000", "30000"}) {
        SCOPED_TRACE(delay);
        InProcess w({"-wayland", "-delay", delay, "-count", "5"});
        ASSERT_TRUE(w.opened);
        drivenUs = 0;
        drivenStepUs = 10;
        drivenTimeouts = 0;
        atReading = [&](std::uint64_t now) { w.c.ended = w.c.ended || now >= 1200000; };
        EXPECT_EQ(hack::RunWaylandSaver(&w.run), 0);
        atReading = {};
        EXPECT_LE(drivenTimeouts, static_cast<int>(drivenUs / std::stoul(delay)) + 2) << "waits of " << drivenUs << " us";
    }
}

// The compositor gives the second output another size: the saver sets its field
// up again at that size, each commit damaging what changed. Where an output is
// plugged in at the same time, the run waits for that one's first configure, and
// meanwhile draws nothing on the changed output and shows nothing there. (This
// sway cannot disable an output it made: the one plugged in stays.)
TEST_F(OnSway, AnOutputGivenAnotherSizeGetsAFieldOfThatSize) {
    using Commands = std::vector<std::vector<std::string>>;
    struct Change {
        const char* what;
        Commands commands, undo;  // as the session's user
        int width, height;        // the second output's, after the commands
        bool plugIn;              // the commands add an output
    };
    const std::string view = "[app_id=pendral workspace=2]";  // the saver's surface on the second output
    const std::vector<std::string> size800x600{"swaymsg", "output", "HEADLESS-2", "resolution", "800x600"};
    const Change changes[] = {
        {"its width alone", {{"swaymsg", "output", "HEADLESS-2", "resolution", "1000x600"}}, {size800x600}, 1000, 600, false},
        {"its height alone, a floating window",
         {{"swaymsg", view, "fullscreen", "disable,", "floating", "enable,", "resize", "set", "800", "500"}},
         {{"swaymsg", view, "floating", "disable,", "fullscreen", "enable"}},
         800,
         500,
         false},
        {"its mode, with an output plugged in",
         {{"swaymsg", "create_output"}, {"swaymsg", "output", "HEADLESS-2", "resolution", "1000x700"}},
         {size800x600},
         1000,
         700,
         true},
    };
    InProcess w({"-wayland", "-count", "100"});
    ASSERT_TRUE(w.opened);
    ASSERT_TRUE(w.StepUntil([&] { return w.run.sceneUp && w.c.outputs.size() >= 2; }));
    plat::wayland::Output& second = *w.c.outputs[1];  // the registry's order
    std::size_t outputs = w.c.outputs.size();
    // The second output drawn at that size.
    const auto sized = [&](int width, int height) {
        return WaitFor(
            [&] {
                w.Frame();
                return second.pixelsWidth == width && second.pixelsHeight == height && w.c.outputs.size() == outputs &&
                       w.run.sceneUp;
            },
            20s);
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        for (const auto& command : change.commands) ASSERT_EQ(AsUserStatus(command), 0);
        if (change.plugIn) {
            // Both read before the run follows them: it asks for a surface on the
            // new output and waits for its configure.
            ASSERT_TRUE(WaitFor(
                [&] {
                    return plat::wayland::Dispatch(&w.c, 20) && second.width == change.width &&
                           second.height == change.height && w.c.outputs.size() == outputs + 1 &&
                           w.c.outputs.back()->described;
                },
                20s));
            ASSERT_TRUE(hack::FollowOutputs(&w.run));
            w.Look();
            ASSERT_FALSE(w.c.outputs.back()->configured);
            ++outputs;
            const std::vector<std::uint32_t> before(second.pixels, second.pixels + 800 * 600);
            const int commits = w.Commits(second);
            for (int frame = 0; frame < 10; ++frame) {
                AdvanceFrame(&w.c);
                w.Look();
            }
            EXPECT_EQ(w.Commits(second), commits);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), second.pixels));
        }
        EXPECT_TRUE(sized(change.width, change.height));
        for (const auto& command : change.undo) ASSERT_EQ(AsUserStatus(command), 0);
        ASSERT_TRUE(sized(800, 600));
    }
    EXPECT_EQ(w.undamaged, 0);
}

}  // namespace
