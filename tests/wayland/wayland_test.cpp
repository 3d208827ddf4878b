// pendral -wayland on a real compositor: a headless sway (sway_session.sh) with
// two outputs, HEADLESS-1 at 1024x768 at 0,0 and HEADLESS-2 at 800x600 at
// 1124,100, run by a user of its own. The saver runs as that user as its own
// process; grim reads the outputs back, wtype and swaymsg give it input. The
// saver's Wayland run also runs in this process, beside its X11 run on an Xvfb
// of the same size, to compare their pixels.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/animation.h"
#include "app/saver_options.h"
#include "hack/run.h"
#include "hack/wayland_run.h"
#include "sim/random.h"

namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The saver as the session's user runs it: the copy that the test's command puts in the
// session's folder (PENDRAL_SAVER), since the build folder may be in a home folder that
// only its owner may enter.
const char* SaverPath() {
    static const std::string path = Env("PENDRAL_SAVER").empty() ? PENDRAL_BINARY : Env("PENDRAL_SAVER");
    return path.c_str();
}
#undef PENDRAL_BINARY
#define PENDRAL_BINARY SaverPath()

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// The words that run a program as the session's user, in its session.
std::vector<std::string> AsUser(const std::vector<std::string>& command, const std::string& display) {
    std::vector<std::string> words{"setpriv", "--reuid=" + Env("SWAY_UID"), "--regid=" + Env("SWAY_GID"),
                                   "--init-groups", "env", "-i", "PATH=" + Env("PATH"),
                                   "XDG_RUNTIME_DIR=" + Env("SWAY_DIR"), "WAYLAND_DISPLAY=" + display,
                                   "SWAYSOCK=" + Env("SWAYSOCK")};
    words.insert(words.end(), command.begin(), command.end());
    return words;
}

// A program as the session's user, its standard error kept.
class Process {
public:
    explicit Process(const std::vector<std::string>& command, const std::string& display = Env("WAYLAND_DISPLAY")) {
        errPath_ = Env("SWAY_DIR") + "-" + std::to_string(counter_++) + ".err";
        std::vector<std::string> words = AsUser(command, display);
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawnp(&pid_, "setpriv", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (pid_ > 0 && status_ == -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(errPath_.c_str());
    }
    pid_t Pid() const { return pid_; }
    // The exit status once it ended within `limit`; -1 while it runs, -2 for a death by signal.
    int Exit(std::chrono::milliseconds limit) {
        WaitFor(
            [&] {
                int raw = 0;
                if (status_ != -1 || waitpid(pid_, &raw, WNOHANG) != pid_) return status_ != -1;
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -2;
                return true;
            },
            limit);
        return status_;
    }
    std::string Err() const {
        std::ifstream in(errPath_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    static inline int counter_ = 0;
    std::string errPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

int AsUserStatus(const std::vector<std::string>& command) {
    Process p(command);
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

Shot Screenshot() {
    const std::string path = Env("SWAY_DIR") + "/shot.ppm";
    Shot shot;
    if (AsUserStatus({"grim", "-t", "ppm", path}) != 0) return shot;
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
// outside them, does something, and sees how the saver ends.
TEST_F(OnSway, BothOutputsShowAFieldAndAKeyThePointerOrASignalEndItWithinASecond) {
    struct Row {
        const char* what;
        std::vector<std::string> action;  // as the session's user; none: SIGTERM
    };
    const Row rows[] = {
        {"a key", {"wtype", "k"}},
        {"the pointer moved", {"swaymsg", "seat", "-", "cursor", "move", "40", "30"}},
        {"SIGTERM", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Process saver({PENDRAL_BINARY, "-wayland"});
        Shot before, after;
        ASSERT_TRUE(WaitFor([&] { return (before = Screenshot()).CountLit(0, 0, 1024, 768) > 2000; }, 20s))
            << saver.Err();
        // Moving: a later shot differs on each output (bodies start at rest, and a
        // shot may come before the compositor has repainted).
        for (const Area& a : {FIRST, SECOND})
            EXPECT_TRUE(WaitFor([&] { return Changed(before, after = Screenshot(), a.left, a.top, a.right, a.bottom) > 100; },
                                5s))
                << a.left;
        ASSERT_EQ(std::vector<int>({after.width, after.height}), std::vector<int>({1924, 768}));
        for (const Area& a : {FIRST, SECOND}) EXPECT_GT(after.CountLit(a.left, a.top, a.right, a.bottom), 2000) << a.left;
        const long all = after.CountLit(0, 0, 1924, 768);
        EXPECT_EQ(all, after.CountLit(FIRST.left, FIRST.top, FIRST.right, FIRST.bottom) +
                           after.CountLit(SECOND.left, SECOND.top, SECOND.right, SECOND.bottom));
        if (row.action.empty()) kill(saver.Pid(), SIGTERM);
        else ASSERT_EQ(AsUserStatus(row.action), 0);
        EXPECT_EQ(saver.Exit(1000ms), 0) << saver.Err();
        EXPECT_EQ(saver.Err(), "");
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
    EXPECT_EQ(saver.Exit(2000ms), 0) << saver.Err();
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
    EXPECT_EQ(idle.Exit(2000ms), 0) << idle.Err();
}

SaverOptions Options(std::vector<const char*> args) {
    args.insert(args.begin(), "pendral");
    SaverOptions options;
    char error[200];
    EXPECT_TRUE(ParseSaverOptions(static_cast<int>(args.size()), args.data(), &options, error, sizeof error)) << error;
    ApplySaverOptions(options);
    return options;
}

// The same seed, size and options give the same pixels on Wayland (the first
// output) as on X11 (an Xvfb of 1024x768, -root): both back ends draw through
// the same composition. Then frames as the compositor paces them.
TEST_F(OnSway, OutputsShowExactlyWhatX11ShowsForTheSameSeedAndWhatPacedFramesDrew) {
    if (Env("DISPLAY").empty()) GTEST_SKIP() << "no DISPLAY";
    constexpr std::uint32_t SEED = 20261208;
    constexpr int FRAMES = 40;

    setenv("XDG_RUNTIME_DIR", Env("SWAY_DIR").c_str(), 1);
    hack::WaylandRun wayland;
    ASSERT_TRUE(hack::OpenWaylandRun(&wayland, Options({"-wayland", "-count", "100", "-red", "-blue"})));
    plat::wayland::Connection& c = wayland.connection;
    ASSERT_TRUE(WaitFor([&] { return plat::wayland::Dispatch(&c, 20) && hack::FollowOutputs(&wayland) && wayland.sceneUp; }, 10s));
    c.outputsChanged = true;  // set up again from the seed
    SetRandomState(SEED);
    ASSERT_TRUE(hack::FollowOutputs(&wayland));
    for (int frame = 0; frame < FRAMES; ++frame) AdvanceFrame(&c);
    // What the frames left undelivered goes once the outputs can take it.
    ASSERT_TRUE(WaitFor([&] { return plat::wayland::Dispatch(&c, 20) && plat::wayland::AnyOutputReady(c); }, 5s));
    plat::wayland::PresentOutputs(&c);
    ASSERT_TRUE(WaitFor([&] { return plat::wayland::Dispatch(&c, 20) && plat::wayland::AnyOutputReady(c); }, 5s));
    const Shot shot = Screenshot();
    // Frames paced by the compositor, each sending only what changed through
    // the buffer it does not hold: what it shows then is what the saver drew.
    // Checked on the second output: on this headless sway, the first output's
    // captures stop following its frames after the first capture (even a
    // repaint with every pixel damaged shows the same older picture).
    for (int tick = 0; tick < 60; ++tick) {
        ASSERT_TRUE(plat::wayland::Dispatch(&c, 20));
        if (plat::wayland::AnyOutputReady(c)) AdvanceFrame(&c);
    }
    plat::wayland::Output* second = nullptr;
    for (plat::wayland::Output* o : c.outputs) second = o->width == 800 ? o : second;
    ASSERT_NE(second, nullptr);
    const auto shown = [&] { return plat::wayland::Dispatch(&c, 20) && !second->frame; };
    ASSERT_TRUE(WaitFor(shown, 5s));
    plat::wayland::PresentOutputs(&c);  // what the last frames left
    ASSERT_TRUE(WaitFor(shown, 5s));
    // On a loaded machine the compositor may show the last frame a moment after
    // its frame event; nothing is drawn meanwhile, so the output must come to
    // show exactly what the saver drew.
    long wrong = -1;
    WaitFor([&] {
        const Shot paced = Screenshot();
        if (paced.rgb.empty()) return false;
        wrong = 0;
        for (int y = 0; y < second->height; ++y)
            for (int x = 0; x < second->width; ++x) {
                const std::uint32_t p = second->pixels[static_cast<std::size_t>(y) * second->width + x];
                const unsigned char* q = paced.At(SECOND.left + x, SECOND.top + y);
                wrong += q[0] != ((p >> 16) & 0xFF) || q[1] != ((p >> 8) & 0xFF) || q[2] != (p & 0xFF);
            }
        return wrong == 0 || !plat::wayland::Dispatch(&c, 50);
    }, 3s);
    EXPECT_EQ(wrong, 0);
    hack::CloseWaylandRun(&wayland);

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

}  // namespace
