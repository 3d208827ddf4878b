// The native saver as a black box on X servers: it is started as its own process,
// its pixels are read back from the server, it is ended by signals and input, and
// its exit status, its error line and the windows it made are checked.
// GoogleTest before Xlib, whose macros (None, Bool, Status) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/animation.h"
#include "gfx/indexed_image.h"
#include "app/saver_options.h"
#include "hack/run.h"
#include "driven_clock.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Generous: the sanitizer build on a busy two-core machine is slow to start.
constexpr auto kPatience = 20s;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

// Whether the process has a handler of its own for SIGTERM (/proc's SigCgt mask).
bool CatchesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// The shared memory segments that process `creator` made and that still exist:
// their ids and modes (SHM_DEST, 01000, once marked for removal).
std::vector<std::pair<long long, int>> SegmentsOf(pid_t creator) {
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line);  // the column names
    std::vector<std::pair<long long, int>> found;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long long key, id, size, by;
        int mode;
        if (fields >> key >> id >> std::oct >> mode >> std::dec >> size >> by && by == creator) found.emplace_back(id, mode);
    }
    return found;
}

// One run of the saver, its standard error going to a file.
class Saver {
public:
    Saver(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
          const char* display = nullptr) {
        errPath_ = "/tmp/pendral-x11-test-" + std::to_string(getpid()) + "-" + std::to_string(counter_++) + ".err";
        std::vector<std::string> argStrings{PENDRAL_BINARY};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0) continue;
            if (display && entry.rfind("DISPLAY=", 0) == 0) continue;
            envStrings.push_back(entry);
        }
        if (display) envStrings.push_back(std::string("DISPLAY=") + display);
        envStrings.insert(envStrings.end(), env.begin(), env.end());
        std::vector<char*> argv, envp;
        for (auto& s : argStrings) argv.push_back(s.data());
        for (auto& s : envStrings) envp.push_back(s.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (errPath_ + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, PENDRAL_BINARY, &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~Saver() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(errPath_.c_str());
        std::remove((errPath_ + ".out").c_str());
    }

    pid_t Pid() const { return pid_; }
    bool Running() { return pid_ > 0 && Exit(0ms) < 0; }

    // The exit status once it ended within `limit`; -1 while it runs, -2 for a
    // death by signal.
    int Exit(std::chrono::milliseconds limit = kPatience) {
        if (status_ >= 0 || pid_ <= 0) return status_;
        WaitFor(
            [&] {
                int raw = 0;
                if (waitpid(pid_, &raw, WNOHANG) != pid_) return false;
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000;
                return true;
            },
            limit);
        return status_ == 1000 ? -2 : status_;
    }

    int EndWith(int signal) {
        kill(pid_, signal);
        return Exit();
    }

    std::string Errors() const { return Read(errPath_); }
    std::string Output() const { return Read(errPath_ + ".out"); }

    // Shared memory segments that the process made and that still exist.
    int SharedSegments() const { return static_cast<int>(SegmentsOf(pid_).size()); }

private:
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static inline int counter_ = 0;
    std::string errPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

struct Colours {
    long green = 0, red = 0, blue = 0, other = 0;
    std::vector<unsigned long> pixels;
};

int ChannelOf(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctzl(mask);
    const int bits = __builtin_popcountl(mask);
    const unsigned long v = (pixel & mask) >> shift;
    return bits >= 8 ? static_cast<int>(v >> (bits - 8)) : static_cast<int>(v << (8 - bits));
}

// What the server shows in the rectangle of `window`.
Colours Look(Display* d, Window window, int x, int y, int w, int h) {
    Colours c;
    XWindowAttributes a{};
    XGetWindowAttributes(d, window, &a);
    XImage* image = XGetImage(d, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return c;
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const unsigned long p = XGetPixel(image, px, py);
            c.pixels.push_back(p);
            const int r = ChannelOf(p, a.visual->red_mask), g = ChannelOf(p, a.visual->green_mask),
                      b = ChannelOf(p, a.visual->blue_mask);
            if (g > 80 && g > 2 * r && g > 2 * b) ++c.green;
            else if (r > 80 && r > 2 * g && r > 2 * b) ++c.red;
            else if (b > 80 && b > 2 * r && b > 2 * g) ++c.blue;
            else if (r + g + b > 60) ++c.other;
        }
    XDestroyImage(image);
    return c;
}

// Whether discs show anywhere in a window larger than the screen: the window is slid
// under the screen a screenful at a time, the middle first, where the bodies gather.
bool DiscsAnywhere(Display* d, Window window, int width, int height) {
    const int sw = std::min(width, DisplayWidth(d, DefaultScreen(d)));
    const int sh = std::min(height, DisplayHeight(d, DefaultScreen(d)));
    std::vector<std::pair<int, int>> parts;
    for (int y = 0; y < height; y += sh)
        for (int x = 0; x < width; x += sw) parts.emplace_back(std::min(x, width - sw), std::min(y, height - sh));
    const auto offMiddle = [&](const std::pair<int, int>& p) {
        return std::abs(p.first + sw / 2 - width / 2) + std::abs(p.second + sh / 2 - height / 2);
    };
    std::stable_sort(parts.begin(), parts.end(), [&](auto& a, auto& b) { return offMiddle(a) < offMiddle(b); });
    for (const auto& [x, y] : parts) {
        XMoveWindow(d, window, -x, -y);
        XSync(d, False);
        std::this_thread::sleep_for(100ms);  // the uncovered part is repainted
        if (Look(d, window, x, y, sw, sh).green > 200) return true;
    }
    return false;
}

Colours LookAll(Display* d, Window window) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, window, &a);
    return Look(d, window, 0, 0, a.width, a.height);
}

std::string Hex(Window w) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", w);
    return text;
}

// A connection to the display that scripts/test started.
class OnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
        // One connection for every test: while it is open the server never resets.
        static Display* shared = nullptr;
        if (!shared) WaitFor([&] { return (shared = XOpenDisplay(nullptr)) != nullptr; }, 10s);
        d_ = shared;
        ASSERT_NE(d_, nullptr);
        root_ = DefaultRootWindow(d_);
        Clear(root_);
    }
    void Clear(Window w) {
        XSetWindowBackground(d_, w, BlackPixel(d_, DefaultScreen(d_)));
        XClearWindow(d_, w);
        XSync(d_, False);
    }

    // A mapped child of the root; of the ARGB visual (depth 32) when `argb`.
    Window MakeWindow(int width, int height, bool argb = false) {
        XSetWindowAttributes a{};
        unsigned long mask = CWBackPixel;
        int depth = CopyFromParent;
        Visual* visual = CopyFromParent;
        XVisualInfo info{};
        if (argb) {
            if (!XMatchVisualInfo(d_, DefaultScreen(d_), 32, TrueColor, &info)) return 0;
            visual = info.visual;
            depth = 32;
            a.colormap = XCreateColormap(d_, root_, visual, AllocNone);
            a.border_pixel = 0;
            mask |= CWColormap | CWBorderPixel;
        }
        a.background_pixel = argb ? 0xFFFFFFFFul : WhitePixel(d_, DefaultScreen(d_));
        Window w = XCreateWindow(d_, root_, 10, 10, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                 depth, InputOutput, visual, mask, &a);
        XMapWindow(d_, w);
        XSync(d_, False);
        return w;
    }

    // Waits until the window shows discs of the saver, then shows that they move.
    void ExpectMovingDiscs(Window w) {
        Colours first;
        ASSERT_TRUE(WaitFor([&] { return (first = LookAll(d_, w)).green > 500; })) << "no green discs";
        ASSERT_TRUE(WaitFor([&] { return LookAll(d_, w).pixels != first.pixels; })) << "the discs stand still";
    }

    Display* d_ = nullptr;
    Window root_ = 0;
};

TEST_F(OnDisplay, RootWindowGreenDiscsMoveOnBlackAndSigtermEndsWithZeroLeavingNoMemory) {
    Saver saver({"-root", "-count", "30", "-fps"});
    ExpectMovingDiscs(root_);
    EXPECT_TRUE(WaitFor([&] { return Look(d_, root_, 10, 768 - 40, 60, 30).other > 40; })) << "no frame rate shown";
    const Colours c = LookAll(d_, root_);
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.blue, 0);
    EXPECT_LT(c.green + c.other, static_cast<long>(c.pixels.size()) / 4) << "mostly black";
    EXPECT_EQ(saver.SharedSegments(), 1) << "the image goes through shared memory";
    EXPECT_EQ(saver.EndWith(SIGTERM), 0) << saver.Errors();
    EXPECT_TRUE(WaitFor([&] { return saver.SharedSegments() == 0; }));
    EXPECT_EQ(saver.Errors(), "");
}

TEST_F(OnDisplay, GivenArgbWindowRedAndBlueDiscsAndFrameRateOpaqueInsideAndSigintEndsWithZero) {
    const Window w = MakeWindow(320, 240, true);
    ASSERT_NE(w, 0u) << "the server offers no depth-32 visual";
    Saver saver({"--window-id", Hex(w), "-red", "--blue", "-count", "6", "-fps"});
    ExpectMovingDiscs(w);
    Colours c;
    ASSERT_TRUE(WaitFor([&] {
        c = LookAll(d_, w);
        return c.red > 300 && c.blue > 300 && Look(d_, w, 10, 240 - 40, 60, 30).other > 40;
    }));
    EXPECT_EQ(std::count_if(c.pixels.begin(), c.pixels.end(), [](unsigned long p) { return (p >> 24) != 0xFF; }), 0)
        << "every pixel, the black ones and the frame rate's too, is opaque";
    const Colours outside = Look(d_, root_, 400, 300, 600, 400);
    EXPECT_EQ(outside.green + outside.red + outside.blue, 0);
    // Input belongs to XScreenSaver in a window it gives.
    XSelectInput(d_, w, 0);
    XEvent key{};
    key.xkey = XKeyEvent{KeyPress, 0, True, d_, w, root_, None, CurrentTime, 5, 5, 5, 5, 0,
                         XKeysymToKeycode(d_, XK_Escape), True};
    XSendEvent(d_, w, True, KeyPressMask, &key);
    XSync(d_, False);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(saver.Running());
    EXPECT_EQ(saver.EndWith(SIGINT), 0) << saver.Errors();
    XDestroyWindow(d_, w);
}

TEST_F(OnDisplay, XscreensaverWindowIsUsedAResizeSetsTheFieldUpAgainAndExposedPartsTurnBlack) {
    const Window w = MakeWindow(300, 200);
    Saver saver({"-root", "-count", "40"}, {"XSCREENSAVER_WINDOW=" + std::to_string(w)});
    ExpectMovingDiscs(w);
    // Each size has its own image: the last one's shared memory is given back.
    for (int i = 0; i < 6; ++i) {
        XResizeWindow(d_, w, 300 + 80 * i, 200 + 60 * i);
        XSync(d_, False);
        std::this_thread::sleep_for(100ms);
    }
    // Bodies scattered over the new size reach the parts that were outside the old
    // one; the second size changes only the height.
    struct Resize {
        int width, height;
        int x, y, w, h;  // a part outside the size before
    };
    for (const Resize& r : {Resize{700, 500, 320, 220, 380, 280}, Resize{700, 740, 0, 520, 700, 220}}) {
        XResizeWindow(d_, w, static_cast<unsigned>(r.width), static_cast<unsigned>(r.height));
        XSync(d_, False);
        EXPECT_TRUE(WaitFor([&] { return Look(d_, w, r.x, r.y, r.w, r.h).green > 200; })) << r.height;
    }
    EXPECT_EQ(Look(d_, root_, 720, 0, 304, 768).green + Look(d_, root_, 0, 750, 720, 18).green, 0)
        << "drawn only in the window";
    EXPECT_EQ(saver.SharedSegments(), 1);
    // The window's white background shows wherever the saver does not paint again.
    XClearArea(d_, w, 0, 0, 0, 0, True);
    XSync(d_, False);
    EXPECT_TRUE(WaitFor([&] { return LookAll(d_, w).other < 700 * 740 / 20; })) << "exposed parts stay white";
    EXPECT_EQ(saver.EndWith(SIGTERM), 0) << saver.Errors();
    EXPECT_EQ(saver.Errors(), "");
    XDestroyWindow(d_, w);
}

// XScreenSaver starts a saver on each monitor within one second: on equal windows,
// each scatters its own bodies. Caught in the same frame (one every 0.1 s), two
// savers of one seed would show the same picture.
TEST_F(OnDisplay, SaversStartedInTheSameSecondOnEqualWindowsScatterApart) {
    const Window left = MakeWindow(320, 240), right = MakeWindow(320, 240);
    XMoveWindow(d_, right, 400, 10);
    XSync(d_, False);
    const std::time_t started = std::time(nullptr);
    while (std::time(nullptr) == started) std::this_thread::sleep_for(5ms);
    const std::vector<std::string> args{"-count", "10", "-delay", "100000", "-window-id"};
    Saver first([&] { auto v = args; v.push_back(Hex(left)); return v; }());
    Saver second([&] { auto v = args; v.push_back(Hex(right)); return v; }());
    // Thirty looks at both once both show discs.
    int compared = 0, same = 0;
    WaitFor([&] {
        const Colours l = LookAll(d_, left), r = LookAll(d_, right);
        if (l.green >= 200 && r.green >= 200) {
            ++compared;
            same += l.pixels == r.pixels;
        }
        return compared == 30;
    });
    EXPECT_EQ(compared, 30);
    EXPECT_EQ(same, 0) << "the same picture on both windows";
    EXPECT_EQ(first.EndWith(SIGTERM), 0);
    EXPECT_EQ(second.EndWith(SIGTERM), 0);
    XDestroyWindow(d_, left);
    XDestroyWindow(d_, right);
}

// Pictures are found by their name with and without ".bmp"; a hostile one is
// skipped, its sprites left out, and named on standard error with its reason.
// The blue body is drawn with -blue.
TEST_F(OnDisplay, SpritesFolderReplacesPicturesAndAHostileOneIsSkipped) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;  // name in the folder, picture of res/, junk or huge
        long red, blue, green;  // at least these many pixels of each colour; 0: none
        std::string errors;     // after the folder's path
    };
    const Case cases[] = {
        // The plain bodies take the blue picture, the blue body the red one.
        {{{"SPPAT_R2", "SPPAT_R1.bmp"}, {"SPPAT_R1.bmp", "SPPAT_R0.bmp"}}, 1000, 1000, 0, ""},
        // The plain bodies' picture is junk: only the blue body shows.
        {{{"SPPAT_R2.bmp", "junk"}}, 0, 1000, 0, "/SPPAT_R2.bmp: not a bitmap\n"},
        // An RLE8 file of 1 kB that claims 16384 x 16384 pixels is refused before any of them is made.
        {{{"SPPAT_R2.bmp", "huge"}}, 0, 1000, 0,
         "/SPPAT_R2.bmp: 16384 x 16384 pixels; a picture has at most 4096 x 4096 (16777216) pixels\n"},
    };
    const std::string folder = "/tmp/pendral-x11-sprites-" + std::to_string(getpid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files[0].first);
        mkdir(folder.c_str(), 0700);
        for (const auto& [name, picture] : c.files) {
            std::ofstream out(folder + "/" + name, std::ios::binary);
            if (picture == "junk") {
                out << "BM\x7f\xff\xff\xff junk that claims a huge size";
            } else if (picture == "huge") {
                // Headers, a table of zeros and the end mark: biSize 40, 16384 x 16384, 1 plane, 8 bits, RLE8.
                std::string bytes(14 + 40 + 1024 + 2, '\0');
                const std::uint32_t rowsAt = 14 + 40 + 1024, fields[] = {40, 16384, 16384, 1 | 8 << 16, 1};
                bytes[0] = 'B', bytes[1] = 'M';
                std::memcpy(&bytes[10], &rowsAt, 4);
                std::memcpy(&bytes[14], fields, sizeof fields);
                bytes[bytes.size() - 1] = 1;
                out << bytes;
            } else {
                out << std::ifstream(PENDRAL_RES_DIR "/" + picture, std::ios::binary).rdbuf();
            }
        }
        const Window w = MakeWindow(320, 240);
        Saver saver({"-window-id", std::to_string(w), "-sprites", folder, "-count", "8", "-blue"});
        const auto enough = [](long seen, long wanted) { return wanted ? seen > wanted : seen == 0; };
        EXPECT_TRUE(WaitFor([&] {
            const Colours seen = LookAll(d_, w);
            return enough(seen.red, c.red) && enough(seen.blue, c.blue) && enough(seen.green, c.green);
        }));
        // XScreenSaver ends a preview by destroying its window: the saver ends with it, quietly.
        XDestroyWindow(d_, w);
        XSync(d_, False);
        EXPECT_EQ(saver.Exit(), 0);
        EXPECT_EQ(saver.Errors(), c.errors.empty() ? "" : "pendral: " + folder + c.errors);
        for (const auto& file : c.files) std::remove((folder + "/" + file.first).c_str());
        rmdir(folder.c_str());
    }
}

// The saver's own top-level window, once it is mapped.
Window FindPendralWindow(Display* d) {
    Window found = 0;
    WaitFor([&] {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes a{};
            if (XFetchName(d, children[i], &name) && name && std::string(name) == "Pendral" &&
                XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
                found = children[i];
            if (name) XFree(name);
        }
        if (children) XFree(children);
        return found != 0;
    });
    return found;
}

// XSCREENSAVER_WINDOW set but empty names no window: the saver opens its own.
TEST_F(OnDisplay, OwnWindowOf1024x768EndsWithZeroOnEscapeQOrTheCloseButton) {
    for (const auto& [ending, env] : {std::pair{"Escape", ""}, {"q", "XSCREENSAVER_WINDOW="}, {"close", ""}}) {
        SCOPED_TRACE(ending);
        Saver saver({"-count", "10"}, *env ? std::vector<std::string>{env} : std::vector<std::string>{});
        const Window w = FindPendralWindow(d_);
        ASSERT_NE(w, 0u);
        XWindowAttributes a{};
        XGetWindowAttributes(d_, w, &a);
        EXPECT_EQ(a.width, 1024);
        EXPECT_EQ(a.height, 768);
        ExpectMovingDiscs(w);
        XEvent e{};
        if (std::string(ending) == "close") {
            e.xclient.type = ClientMessage;
            e.xclient.window = w;
            e.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
            XSendEvent(d_, w, False, NoEventMask, &e);
        } else {
            e.xkey = XKeyEvent{KeyPress, 0, True, d_, w, root_, None, CurrentTime, 5, 5, 5, 5, 0,
                               XKeysymToKeycode(d_, XStringToKeysym(ending)), True};
            XSendEvent(d_, w, True, KeyPressMask, &e);
        }
        XSync(d_, False);
        EXPECT_EQ(saver.Exit(), 0) << saver.Errors();
    }
}

TEST_F(OnDisplay, BadOptionsEndWithOneAndOneLineBeforeAnyWindow) {
    XSelectInput(d_, root_, SubstructureNotifyMask);
    XSync(d_, False);
    while (XPending(d_)) {
        XEvent drop;
        XNextEvent(d_, &drop);
    }
    struct Case {
        std::vector<std::string> args;
        std::string env;
        std::string line;  // a part of the one line on standard error
    };
    const Case cases[] = {
        {{"-count", "2"}, "", "-count takes a whole number from 3 to 100"},
        {{"--attraction", "101"}, "", "--attraction takes a whole number from -100 to 100"},
        {{"-refresh"}, "", "-refresh takes a whole number from 1 to 100"},
        {{"-count", "ten"}, "", "-count takes"},
        {{"-window-id", "0xZZ"}, "", "-window-id takes a window id"},
        {{"-speed", "3"}, "", "unknown option -speed"},
        {{}, "XSCREENSAVER_WINDOW=nonsense", "XSCREENSAVER_WINDOW is not a window id"},
        {{"-window-id", "0x3fffffff"}, "", "there is no window 0x3fffffff"},
    };
    for (const Case& c : cases) {
        Saver saver(c.args, c.env.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.env});
        EXPECT_EQ(saver.Exit(), 1) << c.line;
        const std::string errors = saver.Errors();
        EXPECT_EQ(errors.find(c.line), std::string("pendral: ").size()) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    XSync(d_, False);
    EXPECT_EQ(XPending(d_), 0) << "a window was created";
}

// A server of its own with another visual, on a display number that the server
// chooses (-displayfd: free however many servers start at once); stopped at the end
// of the test.
class OwnServer {
public:
    explicit OwnServer(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"Xvfb", "-displayfd", "3", "-nolisten", "tcp"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& s : args) argv.push_back(s.data());
        argv.push_back(nullptr);
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            dup2(devnull, 2);
            dup2(ready[1], 3);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(ready[1]);
        // The server writes its number once it accepts clients; nothing if it ends first.
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        // Held open until the end, so that the server never resets between clients.
        if (!number.empty()) display_ = XOpenDisplay((":" + number).c_str());
        if (display_) name_ = ":" + number;
        else Stop();
    }
    ~OwnServer() { Stop(); }
    const char* Name() const { return name_.c_str(); }
    Display* Connection() const { return display_; }

private:
    void Stop() {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
    Display* display_ = nullptr;
    std::string name_;
};

// Any size X allows, reached by a resize or given at the start, draws, and SIGTERM
// ends the saver with zero even while it sets up the largest field.
TEST_F(OnDisplay, EveryWindowSizeDrawsAndSigtermEndsItEvenWhileItSetsUpTheLargestField) {
    struct Size {
        int width, height, x, y;  // placed so that the field's middle is on the screen
        bool bodiesInView;        // discs are looked for: not in 1x1, and 32767x32767 is too large to search
    };
    const Size sizes[] = {
        {1, 1, 0, 0, false},
        {16385, 120, -7680, 0, true},  // beyond the largest image of the Windows build
        {120, 16385, 0, -7808, true},
        {32767, 32767, -15872, -16000, false},  // the largest window X allows
    };
    const Window w = MakeWindow(1, 1);
    Saver saver({"-window-id", Hex(w), "-count", "100"});
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        XMoveResizeWindow(d_, w, size.x, size.y, static_cast<unsigned>(size.width), static_cast<unsigned>(size.height));
        XSync(d_, False);
        if (size.bodiesInView)
            EXPECT_TRUE(WaitFor([&] { return DiscsAnywhere(d_, w, size.width, size.height); }));
        else
            std::this_thread::sleep_for(500ms);
        ASSERT_TRUE(saver.Running()) << saver.Errors();
    }
    {
        // Told to end as soon as it catches the signal, early in its start: it
        // ends once the largest field is set up.
        Saver starting({"-window-id", Hex(w)});
        ASSERT_TRUE(WaitFor([&] { return CatchesSigterm(starting.Pid()); })) << starting.Errors();
        kill(starting.Pid(), SIGTERM);
        EXPECT_EQ(starting.Exit(), 0) << starting.Errors();
    }
    EXPECT_EQ(saver.EndWith(SIGTERM), 0);
    EXPECT_EQ(saver.Errors(), "");
    XDestroyWindow(d_, w);

    // -root on a desktop of monitors side by side, wider than that image too: its
    // right end, past 16384, has discs.
    OwnServer wide({"-screen", "0", "16500x200x24"});
    Display* d = wide.Connection();
    ASSERT_NE(d, nullptr);
    Saver onRoot({"-root", "-count", "100", "-attraction", "-100"}, {}, wide.Name());
    EXPECT_TRUE(WaitFor([&] { return Look(d, DefaultRootWindow(d), 15500, 0, 1000, 200).green > 200; }));
    EXPECT_EQ(onRoot.EndWith(SIGTERM), 0);
    EXPECT_EQ(onRoot.Errors(), "");
}

TEST(OtherVisuals, Depth16OverTcpWithoutSharedMemoryDrawsAndPseudoColourIsRefused) {
    // Reached over TCP, the server offers shared memory but cannot attach the saver's.
    OwnServer depth16({"-screen", "0", "400x300x16", "-listen", "tcp"});
    Display* d = depth16.Connection();
    ASSERT_NE(d, nullptr) << depth16.Name();
    {
        Saver saver({"-root", "-red", "-count", "8"}, {}, ("127.0.0.1" + std::string(depth16.Name())).c_str());
        Colours first;
        ASSERT_TRUE(WaitFor([&] {
            first = LookAll(d, DefaultRootWindow(d));
            return first.green > 500 && first.red > 300;
        })) << saver.Errors();
        EXPECT_EQ(saver.SharedSegments(), 0);
        EXPECT_EQ(saver.EndWith(SIGTERM), 0) << saver.Errors();
        EXPECT_EQ(saver.Errors(), "");
    }

    OwnServer depth8({"-screen", "0", "320x200x8"});
    ASSERT_NE(depth8.Connection(), nullptr);
    Saver saver({"-root"}, {}, depth8.Name());
    EXPECT_EQ(saver.Exit(), 1);
    EXPECT_NE(saver.Errors().find("not TrueColor of depth 16, 24 or 32"), std::string::npos) << saver.Errors();
}

// What plat::x11::ListRandrMonitors and ListXineramaScreens each give: `monitors` (x, y, width, height).
void ExpectMonitorsListed(Display* d, const std::vector<std::array<int, 4>>& monitors) {
    std::vector<std::array<int, 4>> want;
    for (const auto& [x, y, width, height] : monitors) want.push_back({x, y, x + width, y + height});
    for (const auto list : {plat::x11::ListRandrMonitors, plat::x11::ListXineramaScreens}) {
        plat::Rect listed[4]{};
        const std::int32_t n = list(d, listed, 4);
        std::vector<std::array<int, 4>> got;
        for (std::int32_t i = 0; i < n; ++i)
            got.push_back({listed[i].left, listed[i].top, listed[i].right, listed[i].bottom});
        EXPECT_EQ(got, want) << (list == plat::x11::ListRandrMonitors ? "RandR" : "Xinerama");
    }
}

// -root on two monitors of different sizes at an offset (the dummy X server that
// the x11_monitors test starts): a field on each monitor and nothing lit where none
// shows, as it starts and after the monitors moved (the primary one to the right of
// the other, below its top); on the root window, and on a window over both as
// XScreenSaver's daemon gives one, which only RandR tells of the move. A window
// given at a place of its own over both monitors has its fields where the monitors
// are (the window's place counts, not only its size).
TEST(Monitors, RootHasAFieldOnEachAndNothingLitWhereNoneShows) {
    if (!std::getenv("PENDRAL_DESKS")) GTEST_SKIP() << "not on the dummy X server of several monitors";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    using Zone = std::array<int, 4>;  // x, y, width, height
    struct Layout {
        const char* xrandr;
        std::vector<Zone> monitors, dark;  // what a field shows of each monitor, and what none shows
    };
    const Layout apart{"xrandr --fb 3200x1424 --output DUMMY0 --pos 0x0 --output DUMMY1 --pos 1920x400",
                       {{0, 0, 1920, 1080}, {1920, 400, 1280, 1024}},
                       {{0, 1080, 1920, 344}, {1920, 0, 1280, 400}}};
    const Layout topsAligned{"xrandr --fb 3200x1424 --output DUMMY1 --pos 1920x0",
                             {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}},
                             {{0, 1080, 1920, 344}, {1920, 1024, 1280, 400}}};
    const Layout primaryRight{"xrandr --fb 3200x1424 --output DUMMY0 --primary --pos 1280x0 --output DUMMY1 --pos 0x400",
                              {{1280, 0, 1920, 1080}, {0, 400, 1280, 1024}},
                              {{0, 0, 1280, 400}, {1280, 1080, 1920, 344}}};
    struct Way {
        const char* what;
        Zone window;  // empty: -root; else the window that XSCREENSAVER_WINDOW or -window-id names
        bool daemon;
        std::vector<Layout> layouts;
    };
    const Way ways[] = {
        {"root window", {}, false, {apart, topsAligned, primaryRight}},
        {"XSCREENSAVER_WINDOW", {0, 0, 3200, 1424}, true, {apart, topsAligned, primaryRight}},
        {"-window-id at 960,200", {960, 200, 1920, 1000}, false,
         {{apart.xrandr, {{960, 200, 960, 880}, {1920, 400, 960, 800}}, {{960, 1080, 960, 120}, {1920, 200, 960, 200}}}}},
    };
    const Window root = DefaultRootWindow(d);
    const unsigned long black = BlackPixel(d, DefaultScreen(d));
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        ASSERT_EQ(std::system(way.layouts[0].xrandr), 0);
        const auto [x, y, width, height] = way.window;
        const Window w = width ? XCreateSimpleWindow(d, root, x, y, static_cast<unsigned>(width),
                                                     static_cast<unsigned>(height), 0, black, black)
                               : 0;
        if (w) XMapWindow(d, w);
        XSync(d, False);
        std::vector<std::string> args{"-root", "-count", "100"}, env;
        if (w && way.daemon) env.push_back("XSCREENSAVER_WINDOW=" + Hex(w));
        if (w && !way.daemon) args = {"-window-id", Hex(w), "-count", "100"};
        Saver saver(args, env);
        for (const Layout& layout : way.layouts) {
            SCOPED_TRACE(layout.xrandr);
            ASSERT_EQ(std::system(layout.xrandr), 0);
            // RandR's monitors and the screens of Xinerama (which the server makes of
            // them) each give every monitor whole, where it is.
            if (!w) ExpectMonitorsListed(d, layout.monitors);
            for (const auto& m : layout.monitors)
                EXPECT_TRUE(WaitFor([&] { return Look(d, root, m[0], m[1], m[2], m[3]).green > 500; }))
                    << m[0] << "," << m[1];
            for (int look = 0; look < 4; ++look) {
                for (const auto& z : layout.dark) {
                    const Colours c = Look(d, root, z[0], z[1], z[2], z[3]);
                    EXPECT_EQ(std::count_if(c.pixels.begin(), c.pixels.end(),
                                            [](unsigned long p) { return (p & 0xFFFFFF) != 0; }),
                              0)
                        << z[0] << "," << z[1];
                }
                std::this_thread::sleep_for(250ms);
            }
        }
        EXPECT_EQ(saver.EndWith(SIGTERM), 0);
        EXPECT_EQ(saver.Errors(), "");
        if (w) XDestroyWindow(d, w);
    }
    XCloseDisplay(d);
}

// ---- The saver's platform in this process ----

SaverOptions Options(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"pendral"};
    for (const auto& a : args) argv.push_back(a.c_str());
    SaverOptions options;
    char error[200];
    EXPECT_TRUE(ParseSaverOptions(static_cast<int>(argv.size()), argv.data(), &options, error, sizeof error)) << error;
    ApplySaverOptions(options);
    return options;
}

// How many pixels of the root window differ from the back buffer, as the stage had
// it for its last frame, through the palette to the visual's precision; -1 when the
// back buffer holds almost nothing to compare.
long DifferencesFromBackBuffer(Display* d) {
    spriteStage.DrawPass();
    const IndexedImage& back = spriteStage.BackBuffer();
    XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(back.width),
                              static_cast<unsigned>(back.height), AllPlanes, ZPixmap);
    const Visual* v = DefaultVisual(d, DefaultScreen(d));
    const auto same = [](unsigned long pixel, int value, unsigned long mask) {
        const int drop = 8 - std::min(8, __builtin_popcountl(mask));
        return ChannelOf(pixel, mask) == (value >> drop << drop);
    };
    long differ = 0, coloured = 0;
    for (int y = 0; image && y < back.height; ++y)
        for (int x = 0; x < back.width; ++x) {
            const std::uint8_t index = *back.PixelAddress(x, y);
            const plat::PaletteEntry& e = back.palette->entries[index];
            const unsigned long p = XGetPixel(image, x, y);
            coloured += index != 0;
            differ += !same(p, e.red, v->red_mask) || !same(p, e.green, v->green_mask) || !same(p, e.blue, v->blue_mask);
        }
    spriteStage.ErasePass();
    if (image) XDestroyImage(image);
    return coloured < 1000 ? -1 : differ;
}

// Writes an 8-bit picture of width x height in colours of res/SPPAT_R0.bmp's
// table (the transparent one white), with transparent holes, to `path`; stored
// top row first (a negative height) when `topDown`.
void WritePictureWithHoles(const std::string& path, std::int32_t width, std::int32_t height, bool topDown = false) {
    std::ifstream model(PENDRAL_RES_DIR "/SPPAT_R0.bmp", std::ios::binary);
    std::string head(54 + 1024, '\0');
    model.read(head.data(), static_cast<std::streamsize>(head.size()));
    const std::int32_t stride = (width + 3) & ~3;
    const std::int32_t fields[] = {width, topDown ? -height : height};
    std::memcpy(&head[18], fields, sizeof fields);
    const std::uint32_t size = static_cast<std::uint32_t>(head.size()) + static_cast<std::uint32_t>(stride * height);
    std::memcpy(&head[2], &size, 4);
    std::memset(&head[34], 0, 4);  // the image size may be left out
    std::memset(&head[54 + 4 * TRANSPARENT_INDEX], 0xFF, 3);  // a transparent pixel drawn would show white
    std::string rows(static_cast<std::size_t>(stride) * height, '\0');
    for (std::int32_t y = 0; y < height; ++y)  // y counts from the bottom
        for (std::int32_t x = 0; x < width; ++x)
            rows[static_cast<std::size_t>(topDown ? height - 1 - y : y) * stride + x] =
                static_cast<char>((x * 3 + y) % 7 == 0 ? TRANSPARENT_INDEX : 11 + (x * 5 + y * 3) % 200);
    std::ofstream(path, std::ios::binary) << head << rows;
}

// The window shows exactly what the back buffer holds, through the palette, after
// frames enough for the staging memory to go round its ring many times (some while
// another client holds the server, so that the saver's requests wait and memory they
// name must not change meanwhile), with sprites cut by every edge of the window.
// Through shared memory, without it, and where the attach of shared memory fails (a
// depth 16 server reached over TCP) and the drawing falls back to XPutImage.
// Pictures stored top row first (-sprites) are drawn like any other, and so are
// pictures and a window whose widths are not a multiple of 4 (rows padded), also
// where the back buffer itself is copied (as where the stage has no layers).
TEST(ExactPixels, TheWindowShowsTheBackBufferThroughThePalette) {
    enum Pictures { BUILT_IN, HOLES, TOP_DOWN, ODD_WIDTHS };
    struct Case {
        const char* what;
        std::vector<std::string> server;
        bool overTcp, shmAllowed;
        Pictures pictures;  // HOLES: with transparent holes; the red one too large to keep converted
        bool directPixels;  // false: through colour indices, as for 24-bit pixels
        bool plainCopy = false;  // the left part of the last frame copied from the back buffer, without layers
    };
    const Case cases[] = {
        {"shared memory", {"-screen", "0", "640x480x24"}, false, true, BUILT_IN, true},
        {"XPutImage", {"-screen", "0", "640x480x24"}, false, false, BUILT_IN, true},
        {"attach fails", {"-screen", "0", "640x480x16", "-listen", "tcp"}, true, true, BUILT_IN, true},
        {"pictures with holes", {"-screen", "0", "640x480x24"}, false, true, HOLES, true},
        {"through colour indices", {"-screen", "0", "640x480x24"}, false, true, HOLES, false},
        {"top-down pictures", {"-screen", "0", "640x480x24"}, false, true, TOP_DOWN, true},
        {"odd widths", {"-screen", "0", "637x479x24"}, false, true, ODD_WIDTHS, true, true},
    };
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    const std::string base = "/tmp/pendral-x11-holes-" + std::to_string(getpid());
    const std::string folders[] = {"", base, base + "-top-down", base + "-odd"};
    for (const Pictures p : {HOLES, TOP_DOWN, ODD_WIDTHS}) {
        const std::string& folder = folders[p];
        mkdir(folder.c_str(), 0700);
        WritePictureWithHoles(folder + "/SPPAT_R0.bmp", p == HOLES ? 1100 : p == ODD_WIDTHS ? 63 : 100,
                              p == HOLES ? 1000 : p == ODD_WIDTHS ? 63 : 90, p == TOP_DOWN);
        WritePictureWithHoles(folder + "/SPPAT_R1.bmp", p == ODD_WIDTHS ? 50 : 64, 64, p == TOP_DOWN);
        WritePictureWithHoles(folder + "/SPPAT_R2.bmp", 61, 40, p == TOP_DOWN);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OwnServer server(c.server);
        Display* other = server.Connection();
        ASSERT_NE(other, nullptr);
        setenv("DISPLAY", ((c.overTcp ? "127.0.0.1" : "") + std::string(server.Name())).c_str(), 1);
        hack::Run run;
        std::vector<std::string> args{"-root", "-count", "100", "-red", "-blue"};
        plat::x11::SetFileFolder(c.pictures == BUILT_IN ? nullptr : folders[c.pictures].c_str());
        ASSERT_TRUE(hack::OpenRun(&run, Options(args)));
        run.surface.shmAllowed = c.shmAllowed;
        // The scene starts while another client holds the server, so that the attach
        // of the shared memory waits: by then the segment is marked for removal, and a
        // kill meanwhile would leave nothing behind. (The extension's one query, made
        // before the segment, is asked here before the server is held.) The segment
        // is looked at until it is seen marked: it exists a moment before its mark
        // (longer on a busy machine), and no attach can end while the server is held,
        // so a mark that came only after the attach is never seen before the limit.
        XShmQueryExtension(run.surface.display);
        const auto before = SegmentsOf(getpid());
        XGrabServer(other);
        XSync(other, False);
        int attachMode = -1;
        std::thread watch([&] {
            WaitFor(
                [&] {
                    for (const auto& [id, mode] : SegmentsOf(getpid()))
                        if (std::find(before.begin(), before.end(), std::pair{id, mode}) == before.end())
                            attachMode = mode;
                    return attachMode >= 0 && (attachMode & 01000) != 0;
                },
                c.shmAllowed ? 10s : 300ms);
            XUngrabServer(other);
            XSync(other, False);
        });
        const bool started = hack::StartScene(&run, run.width, run.height);
        watch.join();
        ASSERT_TRUE(started);
        if (c.shmAllowed) {
            EXPECT_EQ(attachMode & 01000, 01000) << "a segment not marked for removal during the attach";
        }
        run.surface.directPixels = c.directPixels;
        testing::internal::CaptureStderr();
        XGrabServer(other);
        XSync(other, False);
        std::thread release([other] {
            std::this_thread::sleep_for(500ms);
            XUngrabServer(other);
            XSync(other, False);
        });
        for (int frame = 0; frame < 60; ++frame) AdvanceFrame(&run.surface);
        release.join();
        // A last frame with sprites across the right, bottom, left and top edges.
        const int w = run.width, h = run.height;
        const int places[][2] = {{w - 10, h / 2}, {w / 2, h - 10}, {w - 5, h - 5}, {4, h / 3}, {w / 3, 4}};
        for (int i = 0; i < 5; ++i) spriteStage.SetSpritePosition(i + 2, places[i][0], places[i][1]);
        spriteStage.Render(&run.surface);
        if (c.plainCopy) {
            spriteStage.DrawPass();
            const IndexedImage& back = spriteStage.BackBuffer();
            plat::DeviceContext dc = plat::AcquireWindowDc(&run.surface);
            plat::StretchCopy(dc, 0, 0, w / 2 + 1, h, 0, 0, back.bits, back.info);
            plat::ReleaseWindowDc(&run.surface, dc);
            spriteStage.ErasePass();
        }
        XSync(run.surface.display, False);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(run.surface.usingShm, c.shmAllowed && !c.overTcp);
        EXPECT_EQ(DifferencesFromBackBuffer(other), 0);
        hack::StopScene(&run);
        hack::CloseRun(&run);
    }
    setenv("DISPLAY", display.c_str(), 1);
    plat::x11::SetFileFolder(nullptr);
    for (const Pictures p : {HOLES, TOP_DOWN, ODD_WIDTHS}) {
        for (const char* name : {"/SPPAT_R0.bmp", "/SPPAT_R1.bmp", "/SPPAT_R2.bmp"})
            std::remove((folders[p] + name).c_str());
        rmdir(folders[p].c_str());
    }
}

// An unexpected X error is printed once per kind (its error and its request);
// errors that name the saver's window once it is gone, as when XScreenSaver
// destroys it, are expected and not printed.
TEST_F(OnDisplay, AnUnexpectedXErrorIsPrintedOncePerKind) {
    const Window given = MakeWindow(50, 50);
    hack::Run run;
    ASSERT_TRUE(hack::OpenRun(&run, Options({"-window-id", Hex(given)})));
    Display* d = run.surface.display;
    XDestroyWindow(d_, given);
    XSync(d_, False);
    const Window none = 0x3fffffff;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) XFillRectangle(d, none, DefaultGC(d, DefaultScreen(d)), 0, 0, 1, 1);
    XMapWindow(d, none);
    XMapWindow(d, none);
    XDrawPoint(d, given, DefaultGC(d, DefaultScreen(d)), 0, 0);
    XUnmapWindow(d, given);
    XSync(d, False);
    const std::string printed = testing::internal::GetCapturedStderr();
    hack::CloseRun(&run);
    EXPECT_TRUE(std::regex_match(printed, std::regex("pendral: X error BadDrawable.* in X_PolyFillRectangle .*\n"
                                                     "pendral: X error BadWindow.* in X_MapWindow .*\n")))
        << printed;
}

// Ticks come every -delay of the saver's own clock, late ones not caught up, and
// the -fps figure is their rate by that clock. (Read every 4 ms, a 25 ms delay is
// met late each time, yet 40 frames come in a second.) After a stall of a second
// (a suspended machine) one frame comes, not the fifty missed: the second after
// it has 50 frames. One wait comes before each tick: read every 10 us, a wait
// that ended before the tick would spin until it.
TEST_F(OnDisplay, DelaySetsTheFrameRateThatFpsShows) {
    struct Case {
        const char* delay;
        std::uint64_t stepUs;   // from one reading of the clock to the next
        std::uint64_t stallAt;  // the clock jumps 1 s there (0: never)
        const char* shown;
    };
    for (const Case& c : {Case{"10000", 4000, 0, "FPS: 100.0   "}, Case{"25000", 4000, 0, "FPS: 40.0   "},
                          Case{"20000", 10, 100000, "FPS: 50.0   "}}) {
        SCOPED_TRACE(c.delay);
        const Window w = MakeWindow(200, 150);
        hack::Run run;
        ASSERT_TRUE(hack::OpenRun(&run, Options({"-window-id", Hex(w), "-delay", c.delay, "-fps", "-count", "5"})));
        // The window goes away after 1.2 s of the clock (and the stall): the run
        // ends as it would when XScreenSaver takes its window away.
        drivenUs = 0;
        drivenStepUs = c.stepUs;
        drivenWaits = 0;
        bool stalled = false, gone = false;
        atReading = [&](std::uint64_t now) {
            if (c.stallAt && !stalled && now >= c.stallAt) {
                stalled = true;
                drivenUs += 1000000;
            }
            if (gone || now < 1200000 + (c.stallAt ? 1000000 : 0)) return;
            gone = true;
            XDestroyWindow(d_, w);
            XSync(d_, False);
        };
        EXPECT_EQ(hack::RunSaver(&run), 0);
        atReading = {};
        EXPECT_STREQ(run.fps.lines[0], c.shown);
        EXPECT_LE(drivenWaits, static_cast<int>(drivenUs / std::stoul(c.delay)) + 2) << "waits of " << drivenUs << " us";
        hack::CloseRun(&run);
    }
}

// The -fps lines are drawn 10 pixels from the lower left corner, the second
// right below the first: each line's box (its text on black) and nothing else.
TEST_F(OnDisplay, FpsLinesSitTenPixelsFromTheLowerLeftCorner) {
    const int width = 200, height = 150;
    const Window w = MakeWindow(width, height);
    XSetWindowBackground(d_, w, 0x808080);
    XClearWindow(d_, w);
    XSync(d_, False);
    hack::Run run;
    ASSERT_TRUE(hack::OpenRun(&run, Options({"-window-id", Hex(w), "-fps"})));
    ASSERT_TRUE(run.fps.shown);
    run.surface.width = run.width;  // as a scene of the window's size sets it, without its black field
    run.surface.height = run.height;
    hack::DrawFps(&run.fps, &run.surface, 1);
    XSync(run.surface.display, False);
    const XFontStruct* font = run.fps.font;
    const int lineHeight = font->ascent + font->descent;
    XImage* image = XGetImage(d_, w, 0, 0, width, height, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    long misplaced = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool inBox = false;
            for (int i = 0; i < 2; ++i) {
                const char* line = run.fps.lines[i];
                const int top = height - 10 - (2 - i) * lineHeight;
                inBox |= y >= top && y < top + lineHeight && x >= 10 &&
                         x < 10 + XTextWidth(run.fps.font, line, static_cast<int>(std::strlen(line)));
            }
            misplaced += ((XGetPixel(image, x, y) & 0xFFFFFF) == 0x808080) == inBox;
        }
    XDestroyImage(image);
    EXPECT_EQ(misplaced, 0) << "lines of " << lineHeight << " pixels, descent " << font->descent;
    hack::CloseRun(&run);
    XDestroyWindow(d_, w);
}

// XScreenSaver's settings program builds command lines from pendral.xml: every
// slider's ends must be accepted and one step beyond them refused, its default
// must be the one -help states, and every check box's switch must be known.
// The folder entry's switch takes a folder of pictures. Every option of -help but
// the window's and the ones that only print has a widget. Like XScreenSaver's own,
// it has the frame-rate slider and box and the updater.
TEST(SettingsXml, SlidersAndCheckBoxesMatchTheOptions) {
    std::ifstream in(PENDRAL_RES_DIR "/pendral.xml");
    std::stringstream text;
    text << in.rdbuf();
    const std::string xml = text.str();
    Saver help({"-help"});
    ASSERT_EQ(help.Exit(), 0);
    const std::string helpText = help.Output();
    const std::regex number(R"re(<number[^>]*arg="(-[a-z-]+) %"[^>]*low="(-?\d+)" high="(-?\d+)" default="(-?\d+)")re");
    const std::regex boolean(R"re(<boolean[^>]*arg-set="(-[a-z-]+)")re");
    int sliders = 0, boxes = 0;
    auto status = [](const std::vector<std::string>& args) {
        std::vector<std::string> all = args;
        all.push_back("-version");  // parses everything, then prints and ends before any window
        Saver saver(all);
        return saver.Exit();
    };
    for (std::sregex_iterator m(xml.begin(), xml.end(), number), end; m != end; ++m, ++sliders) {
        const std::string option = (*m)[1];
        const long low = std::stol((*m)[2]), high = std::stol((*m)[3]);
        SCOPED_TRACE(option);
        EXPECT_EQ(status({option, std::to_string(low)}), 0);
        EXPECT_EQ(status({option, std::to_string(high)}), 0);
        EXPECT_EQ(status({option, std::to_string(low - 1)}), 1);
        EXPECT_EQ(status({option, std::to_string(high + 1)}), 1);
        const std::regex helpLine("\\n  " + option + " [^\\n]*\\(default " + std::string((*m)[4]) + "\\)");
        EXPECT_TRUE(std::regex_search(helpText, helpLine));
    }
    for (std::sregex_iterator m(xml.begin(), xml.end(), boolean), end; m != end; ++m, ++boxes)
        EXPECT_EQ(status({(*m)[1]}), 0) << (*m)[1];
    std::smatch folder;
    ASSERT_TRUE(std::regex_search(xml, folder, std::regex(R"re(<string[^>]*arg="(-[a-z-]+) %")re")));
    EXPECT_EQ(status({folder[1], PENDRAL_RES_DIR}), 0);
    const std::regex helpOption(R"re(\n  (-[a-z-]+))re");
    for (std::sregex_iterator m(helpText.begin(), helpText.end(), helpOption), end; m != end; ++m) {
        const std::string option = (*m)[1];
        // Where it draws is the daemon's choice (-fullscreen too), and -wayland (with its -idle
        // and -watch) runs outside it.
        if (option == "-root" || option == "-window-id" || option == "-fullscreen" || option == "-wayland" ||
            option == "-idle" || option == "-watch" || option == "-help")
            continue;
        EXPECT_NE(xml.find("\"" + option), std::string::npos) << option << " has no widget";
    }
    EXPECT_EQ(sliders, 4);
    EXPECT_EQ(boxes, 3);
    EXPECT_NE(xml.find("<xscreensaver-updater />"), std::string::npos);
}

}  // namespace
