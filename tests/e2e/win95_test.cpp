// The Windows 95 family (a prefix set to win98): the password lock through the
// stand-in verifier, and the password change through the stand-in provider.
#include "cases.h"

namespace e2e {
namespace {

class Win95 : public SaverCase {
protected:
    void SetUp() override {
        SaverCase::SetUp();
        ASSERT_TRUE(IsWin95Family()) << "this group needs a prefix whose Windows version is win98";
        SetUsePassword(std::nullopt);
    }
    void TearDown() override { SetUsePassword(std::nullopt); }

    static int Prompts() { return CountLogLines("VerifyScreenSavePwd("); }
    // Waits until the verifier has answered every request and the saver is back
    // in its loop, then past the 200 ms in which it asks no more: under load that
    // can take much longer than the answer itself.
    static void WaitPastTheAnswer() {
        EXPECT_TRUE(WaitFor([] { return CountLogLines("VerifyScreenSavePwd -> ") >= Prompts(); }, WINDOW_WAIT_MS));
        Answers(FindWindowA(SAVER_CLASS, "Screen Saver"));
        Pump(300);
    }
    // Waits until the verifier has been asked more than `before` times.
    static ::testing::AssertionResult AskedAfter(int before) {
        if (WaitFor([&] { return Prompts() > before; }, WINDOW_WAIT_MS)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the verifier was not asked";
    }
    // The verifier's answer: a time below zero holds its dialog up until released.
    static constexpr long HELD = -1;
};

TEST_F(Win95, WithoutAPasswordTheFirstInputCloses) {
    for (std::optional<DWORD> use : {std::optional<DWORD>{}, std::optional<DWORD>{0}}) {
        SCOPED_TRACE(use ? "ScreenSaveUsePassword 0" : "no ScreenSaveUsePassword");
        SetUsePassword(use);
        ResetStandIns(0, 0);
        Saver saver;
        ASSERT_TRUE(StartFullScreen(saver));
        KeyPress(VK_SPACE);
        EXPECT_TRUE(ExitsWith(saver, 0));
        EXPECT_EQ(StandInLog(), std::vector<std::string>{}) << "the verifier was loaded or asked";
    }
}

TEST_F(Win95, ARefusedPasswordKeepsItRunningWhateverTheInput) {
    SetUsePassword(1);
    Saver saver;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(saver, "/s", "", &window));
    EXPECT_EQ(CountLogLines("load password.cpl by " + SaverFileName() + " from " + SystemDir()), 1);

    struct Way {
        const char* name;
        void (*act)();
    };
    const Way ways[] = {
        {"key", [] { KeyPress('Q'); }},
        {"left button", [] { ClickHere(Button::left); }},
        {"right button", [] { ClickHere(Button::right); }},
        {"middle button", [] { ClickHere(Button::middle); }},
        {"mouse movement", [] {
             POINT p = CursorPos();
             MoveCursorTo(p.x > 500 ? p.x - 25 : p.x + 25, p.y + 10);
         }},
        {"Alt+Tab", [] { AltTab(); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const int before = Prompts();
        way.act();
        EXPECT_TRUE(AskedAfter(before));
        WaitPastTheAnswer();
        ASSERT_TRUE(saver.Running());
        ASSERT_TRUE(IsWindow(window));
    }
    EXPECT_EQ(CountLogLines("VerifyScreenSavePwd(" + Number(window) + ")"), Prompts())
        << "the verifier was not given the saver's window";

    {
        SCOPED_TRACE("loss of activation");
        const int before = Prompts();
        HostWindow other(200, 100);
        SetForegroundWindow(other.Handle());
        EXPECT_TRUE(AskedAfter(before));
        WaitPastTheAnswer();
        ASSERT_TRUE(saver.Running());
    }

    EXPECT_TRUE(MovesFrom(Capture())) << "the animation stopped";

    SetStandInAnswer(1, 0);
    ClickHere(Button::left);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Win95, TheAnimationGoesOnWhileTheVerifierAsksAndNothingPromptsTwice) {
    SetUsePassword(1);
    SetStandInAnswer(0, HELD);  // a dialog that stays up until released, then refuses
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    KeyPress(VK_SPACE);
    ASSERT_TRUE(AskedAfter(0));
    ClickHere(Button::left);
    KeyPress('Q');
    EXPECT_TRUE(MovesFrom(Capture())) << "no frames while the verifier runs";
    // Released, it handles the input that reached the saver meanwhile before it answers.
    SetStandInAnswer(0, 0);
    WaitPastTheAnswer();
    EXPECT_EQ(Prompts(), 1) << "input during the prompt started another";
    EXPECT_TRUE(saver.Running());

    SetStandInAnswer(1, 0);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Win95, ACloseRequestRightAfterARefusalDoesNotPromptAgain) {
    SetUsePassword(1);
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    // The verifier answers at once, leaving the second press queued: the saver
    // takes it within milliseconds of the refusal.
    KeyPresses(VK_SPACE, 2);
    ASSERT_TRUE(AskedAfter(0));
    WaitPastTheAnswer();  // and time for a second prompt, which must not come
    EXPECT_EQ(Prompts(), 1);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(AskedAfter(1));
    WaitPastTheAnswer();
    SetStandInAnswer(1, 0);
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
    EXPECT_EQ(Prompts(), 3);
}

TEST_F(Win95, ASecondStartBringsTheFirstToTheFrontAndLoadsNoVerifier) {
    SetUsePassword(1);
    Saver first;
    HWND window = nullptr;
    ASSERT_TRUE(StartFullScreen(first, "/s", "", &window));
    // Another window comes to the front; the refused password keeps the saver.
    HostWindow other(200, 100);
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(AskedAfter(0));
    WaitPastTheAnswer();
    ASSERT_TRUE(first.Running());
    ASSERT_NE(GetForegroundWindow(), window);

    Saver second;
    ASSERT_TRUE(second.Start(CommandFor("/s")));
    EXPECT_TRUE(ExitsWith(second, 0));
    EXPECT_FALSE(second.SawWindow());
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }, WINDOW_WAIT_MS))
        << "the running saver was not brought to the front";
    EXPECT_EQ(CountLogLines("load password.cpl"), 1) << "the second start loaded the verifier";
    SetStandInAnswer(1, 0);
    ClickHere(Button::left);
    EXPECT_TRUE(ExitsWith(first, 0));
}

TEST_F(Win95, PasswordChangeAsksTheProviderWithTheGivenOrForegroundWindow) {
    HostWindow host(200, 100);
    UINT_PTR none = 12345678;
    while (IsWindow(reinterpret_cast<HWND>(none))) ++none;
    struct Run {
        std::string tail;
        HWND expected;
    };
    for (const Run& run : {Run{"/a " + host.Number(), host.Handle()}, Run{"-A" + host.Number(), host.Handle()},
                           Run{"/a " + std::to_string(none), nullptr}, Run{"/a", nullptr}}) {
        SCOPED_TRACE(run.tail);
        ResetStandIns(0, 0);
        ASSERT_TRUE(Activate(host.Handle()));
        HWND foreground = GetForegroundWindow();
        Saver saver;
        ASSERT_TRUE(saver.Start(CommandFor(run.tail)));
        EXPECT_TRUE(ExitsWith(saver, 0));
        HWND expected = run.expected != nullptr ? run.expected : foreground;
        EXPECT_EQ(StandInLog(), (std::vector<std::string>{"load mpr.dll by " + SaverFileName() + " from " + SystemDir(),
                                                          "PwdChangePasswordA(SCRSAVE, " + Number(expected) +
                                                              ", 0, 0)"}));
    }
}

TEST_F(Win95, LibrariesComeOnlyFromTheSystemDirectory) {
    // Copies of the stand-ins, and of the library the verifier imports, beside the
    // program and in its current directory.
    std::string folder = WorkDir() + "\\planted";
    std::string current = folder + "\\current";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(current.c_str(), nullptr);
    std::string program = folder + "\\pendral.scr";
    ASSERT_TRUE(CopyFileA(SaverPath().c_str(), program.c_str(), FALSE));
    for (const char* library : {"password.cpl", "mpr.dll", "PASSWORD.CPL", "MPR.DLL", "pwdpart.dll"}) {
        std::string from = SystemDir() + "\\" + library;
        CopyFileA(from.c_str(), (folder + "\\" + library).c_str(), FALSE);
        CopyFileA(from.c_str(), (current + "\\" + library).c_str(), FALSE);
    }
    const std::string fromSystem = " from " + SystemDir();

    SetUsePassword(1);
    SetStandInAnswer(1, 0);
    Saver saver;
    ASSERT_TRUE(saver.Start("\"" + program + "\" /s", current));
    ASSERT_TRUE(ShownFullScreen(saver));
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));

    Saver change;
    ASSERT_TRUE(change.Start("\"" + program + "\" /a", current));
    EXPECT_TRUE(ExitsWith(change, 0));

    EXPECT_EQ(CountLogLines("load password.cpl by pendral.scr" + fromSystem), 1);
    EXPECT_EQ(CountLogLines("load mpr.dll by pendral.scr" + fromSystem), 1);
    EXPECT_EQ(CountLogLines("load pwdpart.dll by pendral.scr" + fromSystem), 1) << "the verifier's own import";
    EXPECT_EQ(CountLogLines("load "), 3) << "a library came from elsewhere";
}

}  // namespace
}  // namespace e2e
