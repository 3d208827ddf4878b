// The preview: a child of a window of the driver, which ends it by destroying
// that window; input never closes it; help requests go up to the parent.
#include "cases.h"

namespace e2e {
namespace {

class Preview : public SaverCase {};

constexpr int WIDTH = 320;
constexpr int HEIGHT = 240;

// Starts a preview in the host and waits for the child window.
::testing::AssertionResult StartPreview(Saver& saver, HostWindow& host, const std::string& tail,
                                        HWND* child) {
    if (!saver.Start(CommandFor(tail))) return ::testing::AssertionFailure() << "could not start";
    *child = saver.WaitWindow(SAVER_CLASS, "Preview", host.Handle());
    if (*child == nullptr) return ::testing::AssertionFailure() << "no preview child for \"" << tail << "\"";
    // Found as soon as it is made: set up once shown and back in its message loop.
    if (!WaitFor([&] { return IsWindowVisible(*child) != FALSE; }, WINDOW_WAIT_MS))
        return ::testing::AssertionFailure() << "the preview child is not shown";
    if (!Answers(*child)) return ::testing::AssertionFailure() << "the preview child does not answer";
    return ::testing::AssertionSuccess();
}

// Wine does not put a child window's drawing on the screen when the child
// belongs to another process, so the preview's pixels are not looked at here;
// the full-screen cases look at the same drawing.
RECT ScreenRectOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

TEST_F(Preview, IsAChildAsLargeAsTheClientAreaAndEndsWithItsParent) {
    for (const char* sw : {"/p ", "/l ", "-P", "/L  "}) {
        HostWindow host(WIDTH, HEIGHT);
        SCOPED_TRACE(std::string(sw) + host.Number());
        Saver saver;
        HWND child = nullptr;
        ASSERT_TRUE(StartPreview(saver, host, sw + host.Number(), &child));
        EXPECT_EQ(GetParent(child), host.Handle());
        EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
        RECT client;
        GetClientRect(child, &client);
        EXPECT_EQ(client.right, WIDTH);
        EXPECT_EQ(client.bottom, HEIGHT);
        EXPECT_EQ(FindWindowA(SAVER_CLASS, "Screen Saver"), nullptr);
        host.Destroy();
        EXPECT_TRUE(ExitsWith(saver, 0));
    }
}

TEST_F(Preview, WithoutAUsableWindowExitsMinusOneAndMakesNoWindow) {
    HostWindow host(WIDTH, HEIGHT);
    UINT_PTR none = 12345678;
    while (IsWindow(reinterpret_cast<HWND>(none))) ++none;
    EXPECT_TRUE(RefusesQuietly(CommandFor("/p"), host.Handle()));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/p:" + host.Number()), host.Handle()));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/p 0"), host.Handle()));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/l " + std::to_string(none)), host.Handle()));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/preview " + host.Number()), host.Handle()));
}

TEST_F(Preview, EndsWhenItsParentsProcessEndsWithoutDestroyingIt) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string handleFile = WorkDir() + "\\host-window.txt";
    RemoveFile(handleFile);
    Saver host;  // another process that holds the parent window
    ASSERT_TRUE(host.Start("\"" + std::string(self) + "\" --host-window=" + handleFile));
    std::optional<std::string> number;
    ASSERT_TRUE(WaitFor([&] { return (number = ReadWholeFile(handleFile)) && !number->empty(); }, WINDOW_WAIT_MS));
    HWND parent = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(*number)));
    Saver saver;
    ASSERT_TRUE(saver.Start(CommandFor("/p " + *number)));
    ASSERT_NE(saver.WaitWindow(SAVER_CLASS, "Preview", parent), nullptr);
    host.Kill();
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Preview, InputNeverClosesIt) {
    HostWindow host(WIDTH, HEIGHT);
    Saver saver;
    HWND child = nullptr;
    ASSERT_TRUE(StartPreview(saver, host, "/p " + host.Number(), &child));
    RECT r = ScreenRectOf(child);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ClickHere(Button::right);
    ClickHere(Button::middle);
    const POINT to{(r.left + r.right) / 2 + 40, (r.top + r.bottom) / 2 + 30};
    MoveCursorTo(to.x, to.y);
    KeyPress(VK_SPACE);
    PostMessageA(child, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_TRUE(WaitFor([&] { const POINT p = CursorPos(); return p.x == to.x && p.y == to.y; }, WINDOW_WAIT_MS));
    Answers(child);
    // Time for the preview to take the input in: it must not close.
    Pump(600);
    EXPECT_TRUE(saver.Running());
    EXPECT_TRUE(IsWindow(child));
    host.Destroy();
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Preview, HelpAndContextMenuRequestsGoToTheParent) {
    HostWindow host(WIDTH, HEIGHT);
    Saver saver;
    HWND child = nullptr;
    ASSERT_TRUE(StartPreview(saver, host, "/p " + host.Number(), &child));

    const LPARAM where = MAKELPARAM(15, 25);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), where,
                                    SMTO_ABORTIFHUNG, WINDOW_WAIT_MS, &result));
    EXPECT_EQ(result, 1u);
    ASSERT_TRUE(WaitFor([&] { return !host.ReceivedOf(WM_CONTEXTMENU).empty(); }, WINDOW_WAIT_MS))
        << "the parent got no WM_CONTEXTMENU";
    HostWindow::Received got = host.ReceivedOf(WM_CONTEXTMENU).front();
    EXPECT_EQ(got.wParam, reinterpret_cast<WPARAM>(host.Handle()));
    EXPECT_EQ(got.lParam, where);

    HELPINFO help{};
    help.cbSize = sizeof help;
    help.iContextType = HELPINFO_WINDOW;
    help.hItemHandle = child;
    result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&help), SMTO_ABORTIFHUNG,
                                    WINDOW_WAIT_MS, &result));
    // Handled (1). The system refuses to post WM_HELP at all, since its lParam
    // points into the sender's memory (ERROR_MESSAGE_SYNC_ONLY), so unlike the
    // context menu request this one cannot reach the parent by a post.
    EXPECT_EQ(result, 1u);
    EXPECT_TRUE(saver.Running());
    host.Destroy();
    EXPECT_TRUE(ExitsWith(saver, 0));
}

}  // namespace
}  // namespace e2e
