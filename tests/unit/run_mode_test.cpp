// The command line's grammar and what each run mode does and returns.
#include <gtest/gtest.h>

#include <string>

#include "fake_dialog.h"
#include "host/command_line.h"
#include "host/run_modes.h"
#include "host_test_support.h"

using namespace hosttest;

namespace {

TEST(CommandTail, FollowsTheProgramNameQuotedOrNot) {
    struct Case {
        const char* line;
        const char* tail;
    } cases[] = {
        {"\"C:\\Program Files\\Pendral\\pendral.scr\"   /s", "/s"},
        {"\"C:\\Program Files\\pendral.scr\"/p 12", "/p 12"},
        {"pendral.scr  \t \t/c:5", "/c:5"},
        {"pendral.scr", ""},
        {"", ""},
        {"\"unterminated /s", ""},
        {"\xE9t\xE9.scr /a", "/a"},  // bytes above 127 belong to the name
        {"   /s", "/s"},              // no program name at all
        {"pendral.scr \x01\x1F x", "x"},
    };
    for (const Case& c : cases) EXPECT_STREQ(CutCommandTail(c.line), c.tail) << c.line;
}

TEST(CommandTail, StepsOverDoubleByteCharactersWhoseSecondByteLooksLikeAQuote) {
    fake::Reset();
    const char* line = "\"C:\\\x81\"x\\s.scr\" /s";
    EXPECT_STREQ(CutCommandTail(line), "x\\s.scr\" /s");
    fake::System().doubleByteCodePage = true;
    EXPECT_STREQ(CutCommandTail(line), "/s");
    EXPECT_STREQ(CutCommandTail("\"\x81"), "");  // a lead byte at the very end
    fake::Reset();
}

TEST(Switch, SelectsTheModeByItsFirstLetter) {
    struct Case {
        const char* tail;
        int win95;
        RunMode mode;
        const char* rest;  // null: not checked
    } cases[] = {
        {"", 0, RunMode::Configuration, ""},
        {" - / -/", 0, RunMode::Configuration, ""},
        {"/c", 0, RunMode::ConfigurationOwned, nullptr},
        {"-C:1234", 0, RunMode::ConfigurationOwned, nullptr},
        {"/s", 0, RunMode::FullScreen, nullptr},
        {"-S", 0, RunMode::FullScreen, nullptr},
        {"saver now", 0, RunMode::FullScreen, nullptr},
        {"/p   77 x", 0, RunMode::Preview, "77 x"},
        {"/L 5", 0, RunMode::Preview, "5"},
        {"/p:77", 0, RunMode::Preview, ":77"},
        {"/preview 77", 0, RunMode::Preview, "review 77"},
        {"/a 12", 1, RunMode::ChangePassword, "12"},
        {"/A", 1, RunMode::ChangePassword, ""},
        {"/a 12", 0, RunMode::Invalid, nullptr},
        {"/\t s", 0, RunMode::Invalid, nullptr},
        {"/x", 0, RunMode::Invalid, nullptr},
        {"/\x80s", 0, RunMode::Invalid, nullptr},
        {"\xFF", 1, RunMode::Invalid, nullptr},
        {"1", 0, RunMode::Invalid, nullptr},
    };
    for (const Case& c : cases) {
        SwitchChoice choice = ReadSwitch(c.tail, c.win95);
        EXPECT_EQ(choice.mode, c.mode) << '"' << c.tail << '"';
        if (c.rest) {
            EXPECT_STREQ(choice.rest, c.rest) << '"' << c.tail << '"';
        }
    }
}

TEST(Switch, WindowNumbersAreLeadingDigitsThatWrapAround) {
    EXPECT_EQ(ParseWindowHandle("4660"), 4660u);
    EXPECT_EQ(ParseWindowHandle("123abc"), 123u);
    EXPECT_EQ(ParseWindowHandle(""), 0u);
    EXPECT_EQ(ParseWindowHandle("-5"), 0u);
    EXPECT_EQ(ParseWindowHandle(" 5"), 0u);
    EXPECT_EQ(ParseWindowHandle("0x10"), 0u);
    EXPECT_EQ(ParseWindowHandle("4294967295"), 4294967295u);
    EXPECT_EQ(ParseWindowHandle("4294967297"), 1u);
    EXPECT_EQ(ParseWindowHandle("12345678901"), 3755744309u);

    // A 64-bit program extends a number of 2^31 or more with ones, as handles are.
    const bool wide = sizeof(std::uintptr_t) == 8;
    EXPECT_EQ(WindowHandleValue(0x7FFFFFFFu), 0x7FFFFFFFu);
    EXPECT_EQ(WindowHandleValue(0x80000000u), wide ? static_cast<std::uintptr_t>(0xFFFFFFFF80000000ull) : 0x80000000u);
    EXPECT_EQ(WindowHandleValue(0xFFFFFFFEu), wide ? static_cast<std::uintptr_t>(0xFFFFFFFFFFFFFFFEull) : 0xFFFFFFFEu);
}

class RunModes : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHost();
        fake::Windows().created = kSaver;
        fake::Windows().liveWindows[0] = kParent;
        fake::Windows().clientRects[kParent] = {0, 0, 152, 112};
        fake::Windows().foreground = reinterpret_cast<plat::Window>(0xF0F0);
    }
    std::int32_t Run(const char* tail) {
        return DispatchRunMode(reinterpret_cast<plat::Module>(0x400000), tail);
    }
    void ExpectNothingShown() {
        EXPECT_EQ(fake::CountCalls("RunModalDialog"), 0u);
        EXPECT_EQ(fake::CountCalls("RegisterSaverClass"), 0u);
        EXPECT_EQ(fake::CountCalls("MakeWindow"), 0u);
        EXPECT_EQ(fake::CountCalls("LoadLibraryFile"), 0u);
    }
};

TEST_F(RunModes, ConfigurationReturnsWhatTheDialogEndsWith) {
    EXPECT_EQ(Run("  "), 1);
    auto dialog = fake::CallsNamed("RunModalDialog");
    ASSERT_EQ(dialog.size(), 1u);
    EXPECT_EQ(dialog[0].args[0], 2003);
    EXPECT_EQ(dialog[0].args[1], 0);  // no owner
    EXPECT_EQ(hostState.appInstance, reinterpret_cast<plat::Module>(0x400000));
    EXPECT_EQ(fake::System().faultCleanup, &FaultCleanup);

    fake::ClearCalls();
    fake::Dialog().modalResult = -1;  // the dialog could not be shown
    EXPECT_EQ(Run("/c:777"), -1);
    EXPECT_EQ(fake::CallsNamed("RunModalDialog")[0].args[1], 0xF0F0);  // the foreground window owns it
}

TEST_F(RunModes, UnusableSwitchesEndWithMinusOneAndShowNothing) {
    for (const char* tail : {"/x", "/\t", "/\x80", "/p", "/p:4660", "/p 0", "/l 999", "/preview 4660", "/a 4660"}) {
        SCOPED_TRACE(tail);
        ResetHost();
        EXPECT_EQ(Run(tail), -1);
        ExpectNothingShown();
    }
}

TEST_F(RunModes, PasswordChangeAsksTheSystemLibraryWithTheGivenOrForegroundWindow) {
    fake::System().platformId = 1;
    fake::Libraries().files.push_back({"C:\\windows\\system32\\MPR.DLL", kMpr, {"PwdChangePasswordA"}});
    EXPECT_EQ(Run("/a  4660"), 0);
    auto change = fake::CallsNamed("CallPasswordChange");
    ASSERT_EQ(change.size(), 1u);
    EXPECT_EQ(change[0].args[0], fake::Arg(fake::ProcOf(kMpr, "PwdChangePasswordA")));
    EXPECT_EQ(change[0].args[1], fake::Arg(kParent));
    EXPECT_EQ(change[0].args[2], 0);
    EXPECT_EQ(change[0].args[3], 0);
    EXPECT_EQ(fake::Libraries().passwordProvider, "SCRSAVE");
    EXPECT_EQ(fake::Libraries().loadAttempts[0], "C:\\windows\\system32\\MPR.DLL");
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 1u);

    fake::ClearCalls();
    EXPECT_EQ(Run("/a 31337"), 0);  // no such window
    EXPECT_EQ(fake::CallsNamed("CallPasswordChange")[0].args[1], 0xF0F0);

    // Without the export or the library the change does nothing and still ends with 0.
    fake::Libraries().files[0].exports.clear();
    fake::ClearCalls();
    EXPECT_EQ(Run("/a"), 0);
    EXPECT_EQ(fake::CountCalls("CallPasswordChange"), 0u);
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 1u);
    fake::Libraries().files.clear();
    fake::ClearCalls();
    EXPECT_EQ(Run("/a"), 0);
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 0u);
}

TEST_F(RunModes, PreviewIsAChildAsLargeAsItsParentsClientArea) {
    fake::Windows().quitCode = 0;
    for (const char* tail : {"/p 4660", "-l4660", "L   4660"}) {
        SCOPED_TRACE(tail);
        ResetHost();
        SetUp();
        EXPECT_EQ(Run(tail), 0);
        auto make = fake::CallsNamed("MakeWindow");
        ASSERT_EQ(make.size(), 1u);
        EXPECT_EQ(make[0].args[0], 0);
        EXPECT_EQ(make[0].args[1], static_cast<std::intptr_t>(msg::STYLE_CHILD | msg::STYLE_VISIBLE |
                                                                msg::STYLE_CLIPCHILDREN));
        EXPECT_EQ(make[0].args[2], 0);
        EXPECT_EQ(make[0].args[3], 0);
        EXPECT_EQ(make[0].args[4], 152);
        EXPECT_EQ(make[0].args[5], 112);
        EXPECT_EQ(fake::Windows().title, "Preview");
        EXPECT_EQ(fake::Windows().className, "WindowsScreenSaverClass");
        EXPECT_EQ(fake::Windows().makeParent, kParent);
        EXPECT_EQ(hostState.previewMode, 1);
        EXPECT_EQ(hostState.saverWindow, kSaver);
        EXPECT_EQ(fake::CountCalls("BringToFront"), 0u);
        EXPECT_EQ(fake::CountCalls("FindTopLevelWindow"), 0u);
        EXPECT_EQ(fake::CountCalls("RunMessageLoop"), 1u);
        EXPECT_EQ(fake::CountCalls("DestroyWindowNow"), 1u);
    }

    // A parent numbered 2^31 or more: the handle the number names.
    ResetHost();
    SetUp();
    const auto high = reinterpret_cast<plat::Window>(WindowHandleValue(4294967294u));
    fake::Windows().liveWindows[0] = high;
    fake::Windows().clientRects[high] = {0, 0, 152, 112};
    EXPECT_EQ(Run("/p 4294967294"), 0);
    EXPECT_EQ(fake::Windows().makeParent, high);
}

TEST_F(RunModes, FullScreenIsATopMostPopupOverTheWholeScreen) {
    EXPECT_EQ(Run("/s"), 0);
    auto reg = fake::CallsNamed("RegisterSaverClass");
    ASSERT_EQ(reg.size(), 1u);
    EXPECT_EQ(reg[0].args[1], 43);
    EXPECT_EQ(reg[0].args[2], 100);
    EXPECT_EQ(fake::Windows().registeredClass, "WindowsScreenSaverClass");
    auto make = fake::CallsNamed("MakeWindow");
    ASSERT_EQ(make.size(), 1u);
    EXPECT_EQ(make[0].args[0], static_cast<std::intptr_t>(msg::EXSTYLE_TOPMOST));
    EXPECT_EQ(static_cast<std::uint32_t>(make[0].args[1]),
              msg::STYLE_POPUP | msg::STYLE_VISIBLE | msg::STYLE_CLIPSIBLINGS | msg::STYLE_CLIPCHILDREN);
    EXPECT_EQ(fake::Windows().title, "Screen Saver");
    EXPECT_EQ(fake::Windows().makeParent, nullptr);
    EXPECT_EQ(hostState.previewMode, 0);
    ASSERT_EQ(fake::CountCalls("BringToFront"), 1u);
    EXPECT_EQ(fake::CallsNamed("BringToFront")[0].args[0], fake::Arg(kSaver));
    EXPECT_EQ(fake::CallsNamed("DestroyWindowNow")[0].args[0], fake::Arg(kSaver));
}

TEST_F(RunModes, FullScreenCoversTheDesktopOfEveryMonitor) {
    const plat::Rect desktops[] = {
        {0, 0, 1280, 1024},      // one monitor
        {-1280, 0, 1920, 1080},  // a second one left of the primary
        {0, -768, 1024, 1080},   // and above it
    };
    for (const plat::Rect& d : desktops) {
        SetUp();
        fake::Windows().desktop = d;
        Run("/s");
        auto make = fake::CallsNamed("MakeWindow");
        ASSERT_EQ(make.size(), 1u);
        const std::intptr_t expected[] = {d.left, d.top, d.right - d.left, d.bottom - d.top};
        for (int a = 0; a < 4; ++a) EXPECT_EQ(make[0].args[2 + a], expected[a]) << d.left << "," << d.top;
    }
}

TEST_F(RunModes, SecondFullScreenSaverBringsTheFirstToTheFront) {
    SetUpPasswordSystem(0);
    fake::System().platformId = 1;
    plat::Window running = reinterpret_cast<plat::Window>(0x7777);
    fake::Windows().found = running;
    fake::Windows().liveWindows[1] = running;
    EXPECT_EQ(Run("/s"), 0);
    EXPECT_EQ(fake::CallsNamed("BringToFront")[0].args[0], fake::Arg(running));
    EXPECT_EQ(fake::CountCalls("RegisterSaverClass"), 0u);
    EXPECT_EQ(fake::CountCalls("OpenUserKey"), 0u);  // the verifier is not loaded

    // A found handle that is no longer a window does not count.
    fake::Windows().liveWindows[1] = nullptr;
    fake::ClearCalls();
    Run("/s");
    EXPECT_EQ(fake::CountCalls("MakeWindow"), 1u);
}

TEST_F(RunModes, Win95FullScreenLoadsTheVerifierLeavesTheWindowAndReleasesTheVerifier) {
    SetUpPasswordSystem(0);
    fake::System().platformId = 1;
    EXPECT_EQ(Run("/s"), 0);
    EXPECT_EQ(hostState.win95Family, 1);
    EXPECT_EQ(fake::CountCalls("DestroyWindowNow"), 0u);
    auto running = fake::CallsNamed("SetScreenSaverRunning");
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].args[0], 1);
    EXPECT_EQ(running[1].args[0], 0);
    EXPECT_EQ(hostState.passwordModule, nullptr);

    // The fault guard clears the running state too.
    fake::ClearCalls();
    ASSERT_NE(fake::System().faultCleanup, nullptr);
    fake::System().faultCleanup();
    EXPECT_EQ(fake::CallsNamed("SetScreenSaverRunning")[0].args[0], 0);
}

TEST_F(RunModes, WithoutAWindowNoLoopRunsTheVerifierIsReleasedAndTheResultIsMinusOne) {
    SetUpPasswordSystem(0);
    fake::System().platformId = 1;
    fake::Windows().registerSucceeds = false;
    EXPECT_EQ(Run("/s"), -1);
    EXPECT_EQ(fake::CountCalls("MakeWindow"), 0u);
    EXPECT_EQ(fake::CountCalls("RunMessageLoop"), 0u);
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 1u);

    ResetHost();
    SetUp();
    fake::Windows().created = nullptr;
    EXPECT_EQ(Run("/p 4660"), -1);
    EXPECT_EQ(fake::CountCalls("RunMessageLoop"), 0u);
    EXPECT_EQ(fake::CountCalls("DestroyWindowNow"), 0u);
}

TEST_F(RunModes, QuitCodeOfTheLoopIsTheResult) {
    fake::Windows().quitCode = 5;
    EXPECT_EQ(Run("/s"), 5);
}

TEST_F(RunModes, EntryCutsTheSystemsCommandLineAndEndsTheProcessWithTheResult) {
    fake::System().commandLine = "\"C:\\Program Files\\pendral.scr\" /x";
    SaverMain();
    EXPECT_TRUE(fake::System().ended);
    EXPECT_EQ(fake::System().endStatus, -1);
    fake::System().commandLine = "pendral.scr";
    SaverMain();
    EXPECT_EQ(fake::System().endStatus, 1);
}

}  // namespace
