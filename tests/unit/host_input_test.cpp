// The saver window's message rules: closing on input, the password prompt,
// the hidden cursor, the input method, and what preview mode changes.
#include <gtest/gtest.h>

#include <climits>

#include "host/password_lock.h"
#include "host_test_support.h"

using namespace hosttest;

namespace {

class SaverInput : public ::testing::Test {
protected:
    void SetUp() override { ResetHost(); }
    plat::MessageResult Send(std::uint32_t message, plat::WordParam wParam = 0, plat::LongParam lParam = 0) {
        return SaverWindowProc(kSaver, message, wParam, lParam);
    }
    std::size_t Closes() { return Posted(msg::CLOSE); }
};

TEST_F(SaverInput, CreationDetachesTheInputMethodTakesTheCursorAndHidesItOnlyInFullScreen) {
    fake::Libraries().loaded.push_back({"IMM32.DLL", kImm, {"ImmAssociateContext"}});
    fake::Libraries().imePrevious = reinterpret_cast<plat::InputContext>(0xC0);
    fake::Windows().cursor = {300, 200};
    EXPECT_EQ(Send(msg::CREATE), 0);
    auto associate = fake::CallsNamed("CallImeAssociate");
    ASSERT_EQ(associate.size(), 1u);
    EXPECT_EQ(associate[0].args[0], fake::Arg(fake::ProcOf(kImm, "ImmAssociateContext")));
    EXPECT_EQ(associate[0].args[2], 0);  // detached
    EXPECT_EQ(hostState.savedImeContext, reinterpret_cast<plat::InputContext>(0xC0));
    EXPECT_EQ(hostState.lastCursorPos.x, 300);
    EXPECT_EQ(hostState.lastCursorPos.y, 200);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 1u);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);

    // Destruction gives the window its context back and ends the loop.
    fake::ClearCalls();
    EXPECT_EQ(Send(msg::DESTROY), 0);
    associate = fake::CallsNamed("CallImeAssociate");
    ASSERT_EQ(associate.size(), 1u);
    EXPECT_EQ(associate[0].args[2], 0xC0);
    ASSERT_EQ(fake::CountCalls("PostQuit"), 1u);
    EXPECT_EQ(fake::CallsNamed("PostQuit")[0].args[0], 0);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);

    ResetHost();
    hostState.previewMode = 1;
    Send(msg::CREATE);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 0u);
}

TEST_F(SaverInput, InputMethodIsLeftAloneWhenItsLibraryOrExportOrContextIsMissing) {
    Send(msg::CREATE);  // library not loaded: never loaded here
    EXPECT_EQ(fake::CountCalls("FindProc"), 0u);
    EXPECT_EQ(fake::CountCalls("LoadLibraryFile"), 0u);
    Send(msg::DESTROY);
    EXPECT_EQ(fake::CountCalls("CallImeAssociate"), 0u);

    ResetHost();
    fake::Libraries().loaded.push_back({"IMM32.DLL", kImm, {}});
    Send(msg::CREATE);
    Send(msg::DESTROY);
    EXPECT_EQ(fake::CountCalls("CallImeAssociate"), 0u);

    ResetHost();  // a window without a context of its own: nothing to restore
    fake::Libraries().loaded.push_back({"IMM32.DLL", kImm, {"ImmAssociateContext"}});
    Send(msg::CREATE);
    Send(msg::DESTROY);
    EXPECT_EQ(fake::CountCalls("CallImeAssociate"), 1u);
}

TEST_F(SaverInput, TitleNeverChangesAndSwitchingAwayIsSwallowedOnlyInFullScreen) {
    for (int preview : {0, 1}) {
        ResetHost();
        hostState.previewMode = preview;
        EXPECT_EQ(Send(msg::SETTEXT, 0, 1234), 0);
        EXPECT_EQ(fake::CountCalls("PassOn") + fake::CountCalls("DefaultWindowProc"), 0u);
        for (plat::WordParam command : {msg::SYSCMD_NEXTWINDOW, msg::SYSCMD_PREVWINDOW, msg::SYSCMD_SCREENSAVE}) {
            fake::ClearCalls();
            plat::MessageResult r = Send(msg::SYSCOMMAND, command);
            EXPECT_EQ(fake::CountCalls("PassOn"), preview ? 1u : 0u) << command;
            if (!preview) { EXPECT_EQ(r, 0); }
        }
        // The low four bits are the system's own and hide no command; other commands go on.
        fake::ClearCalls();
        Send(msg::SYSCOMMAND, msg::SYSCMD_SCREENSAVE + 2);
        Send(msg::SYSCOMMAND, msg::SYSCMD_NEXTWINDOW | 0xF);
        Send(msg::SYSCOMMAND, 0xF060 | 0x3);
        EXPECT_EQ(fake::CountCalls("PassOn"), preview ? 3u : 1u);
    }
}

TEST_F(SaverInput, PaintHidesTheCursorUntilClosingIsConfirmed) {
    Send(msg::PAINT);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 1u);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);

    fake::ClearCalls();
    hostState.closeConfirmed = 1;
    EXPECT_EQ(Send(msg::PAINT), 0xDEF);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 0u);
    EXPECT_EQ(fake::CountCalls("PassOn"), 0u);
}

TEST_F(SaverInput, EveryKeyOrButtonPressClosesTheFullScreenSaverButReleasesAndTheWheelDoNot) {
    for (std::uint32_t m : {msg::KEYDOWN, msg::SYSKEYDOWN, msg::LBUTTONDOWN, msg::RBUTTONDOWN, msg::MBUTTONDOWN}) {
        ResetHost();
        EXPECT_EQ(Send(m), 0xDEF) << m;
        EXPECT_EQ(Closes(), 1u) << m;
        EXPECT_EQ(fake::CallsNamed("PostWindowMessage")[0].args[0], fake::Arg(kSaver));
    }
    for (std::uint32_t m : {msg::KEYUP, msg::SYSKEYUP, msg::LBUTTONUP, msg::RBUTTONUP, msg::MBUTTONUP, msg::MOUSEWHEEL}) {
        ResetHost();
        Send(m);
        EXPECT_EQ(Closes(), 0u) << m;
    }
}

TEST_F(SaverInput, LossOfActivationClosesAndGainDoesNot) {
    Send(msg::ACTIVATEAPP, 1);
    EXPECT_EQ(Closes(), 0u);
    Send(msg::ACTIVATEAPP, 0);
    EXPECT_EQ(Closes(), 1u);
}

TEST_F(SaverInput, MouseMovementsAddUpUntilMoreThanFourPixelsThenTheReferenceMoves) {
    hostState.lastCursorPos = {100, 100};
    fake::Windows().cursor = {103, 101};  // 4 in all: stays
    Send(msg::MOUSEMOVE, 0, 0x00050005);
    EXPECT_EQ(Closes(), 0u);
    EXPECT_EQ(hostState.lastCursorPos.x, 100);

    fake::Windows().cursor = {104, 101};  // one more pixel: 5
    Send(msg::MOUSEMOVE);
    EXPECT_EQ(hostState.lastCursorPos.x, 104);
    EXPECT_EQ(hostState.lastCursorPos.y, 101);
    // The close waits a moment for a change of the screens, which moves the pointer too.
    EXPECT_EQ(Closes(), 0u);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Closes(), 1u);

    fake::Windows().cursor = {104, 102};  // measured from the new reference
    Send(msg::MOUSEMOVE);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Closes(), 1u);

    fake::Windows().cursor = {101, 99};  // leftwards and upwards count too
    Send(msg::MOUSEMOVE);
    Send(msg::TIMER, MOVE_CLOSE_TIMER_ID);
    EXPECT_EQ(Closes(), 2u);
}

TEST_F(SaverInput, CursorDistanceNeverOverflows) {
    EXPECT_EQ(CursorDistance({INT32_MIN, 0}, {INT32_MAX, 0}), 0xFFFFFFFFu);
    EXPECT_EQ(CursorDistance({INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}), 0xFFFFFFFEu);
    EXPECT_EQ(CursorDistance({-2, 3}, {1, -1}), 7u);
    // The rule the Wayland saver applies to its pointer as well.
    EXPECT_FALSE(PointerMovedFar({10, 10}, {8, 12}));
    EXPECT_TRUE(PointerMovedFar({10, 10}, {13, 8}));
}

TEST_F(SaverInput, CursorStaysHiddenOnShowAndSetCursor) {
    Send(msg::SHOWWINDOW, 1);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 1u);
    Send(msg::SHOWWINDOW, 0);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 1u);
    EXPECT_EQ(Send(msg::SETCURSOR), 1);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 2u);
    EXPECT_EQ(fake::CountCalls("DefaultWindowProc"), 2u);  // the two show messages only
}

TEST_F(SaverInput, PreviewNeverClosesOnInputAndSendsHelpToItsParent) {
    hostState.previewMode = 1;
    fake::Windows().cursor = {500, 500};
    for (std::uint32_t m : {msg::KEYDOWN, msg::LBUTTONDOWN, msg::MOUSEMOVE, msg::ACTIVATEAPP, msg::SETCURSOR})
        EXPECT_EQ(Send(m), 0xDEF) << m;
    EXPECT_EQ(Closes(), 0u);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 0u);

    fake::Windows().parent = kParent;
    fake::Windows().liveWindows[0] = kParent;
    for (std::uint32_t m : {msg::HELP, msg::CONTEXTMENU}) {
        fake::ClearCalls();
        EXPECT_EQ(Send(m, 0x99, 0x00070008), 1);
        auto posts = fake::CallsNamed("PostWindowMessage");
        ASSERT_EQ(posts.size(), 1u);
        EXPECT_EQ(posts[0].args[0], fake::Arg(kParent));
        EXPECT_EQ(posts[0].args[1], static_cast<std::intptr_t>(m));
        EXPECT_EQ(posts[0].args[2], fake::Arg(kParent));  // the parent's own handle
        EXPECT_EQ(posts[0].args[3], 0x00070008);
    }
    // A parent that is gone: dropped, still handled.
    fake::Windows().liveWindows[0] = nullptr;
    fake::ClearCalls();
    EXPECT_EQ(Send(msg::HELP), 1);
    EXPECT_EQ(fake::CountCalls("PostWindowMessage"), 0u);

    // Full screen passes help on.
    hostState.previewMode = 0;
    fake::ClearCalls();
    Send(msg::CONTEXTMENU);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);
}

TEST_F(SaverInput, CloseOnTheNtFamilyGoesStraightToDestruction) {
    EXPECT_EQ(Send(msg::CLOSE), 0xDEF);
    EXPECT_EQ(hostState.closeConfirmed, 0);
    EXPECT_EQ(fake::CountCalls("SendWindowMessage"), 0u);
    // The verifier's message means nothing there.
    EXPECT_EQ(Send(VERIFY_PASSWORD_MESSAGE), 0xDEF);
}

TEST_F(SaverInput, WithoutPasswordTheFirstCloseIsConfirmedBeforeTheWindowIsDestroyed) {
    hostState.win95Family = 1;
    Send(msg::KEYDOWN);
    ASSERT_EQ(Closes(), 1u);
    EXPECT_EQ(Send(msg::CLOSE), 0xDEF);
    EXPECT_EQ(hostState.closeConfirmed, 1);
    EXPECT_EQ(fake::CountCalls("SendWindowMessage"), 0u);
    // The verifier's message answers yes when no verifier is loaded.
    hostState.closeConfirmed = 0;
    EXPECT_EQ(Send(VERIFY_PASSWORD_MESSAGE), 1);
}

TEST_F(SaverInput, OnceClosingIsConfirmedTicksAreSwallowedAndInputGetsDefaultHandling) {
    Send(msg::TIMER, 1);
    EXPECT_EQ(fake::CountCalls("YieldTimeSlice"), 1u);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);

    hostState.closeConfirmed = 1;
    fake::ClearCalls();
    EXPECT_EQ(Send(msg::TIMER, 1), 0);
    EXPECT_EQ(fake::Calls().size(), 0u);
    for (std::uint32_t m : {msg::KEYDOWN, msg::SYSKEYDOWN, msg::MOUSEMOVE, msg::LBUTTONDOWN, msg::RBUTTONDOWN,
                            msg::MBUTTONDOWN, msg::ACTIVATEAPP})
        EXPECT_EQ(Send(m), 0xDEF);
    EXPECT_EQ(Closes(), 0u);
    EXPECT_EQ(fake::CountCalls("PassOn"), 1u);  // only the activation message goes through the stages
}

class PasswordPrompt : public SaverInput {
protected:
    void SetUp() override {
        ResetHost();
        SetUpPasswordSystem(0);
        LoadPasswordVerifier();
        ASSERT_NE(hostState.verifyPassword, nullptr);
        fake::ClearCalls();
    }
};

TEST_F(PasswordPrompt, RefusedPasswordKeepsTheSaverRunningAndHidesTheCursorAgain) {
    fake::Windows().pendingTimers = 5;
    fake::Clock().tick = 1000;
    fake::Clock().tickStep = 30;  // the verifier takes time
    fake::Windows().cursor = {7, 8};
    EXPECT_EQ(Send(msg::CLOSE), 0);
    auto verifier = fake::CallsNamed("CallVerifier");
    ASSERT_EQ(verifier.size(), 1u);
    EXPECT_EQ(verifier[0].args[1], fake::Arg(kSaver));
    EXPECT_EQ(fake::CountCalls("RemovePendingTimerMessage"), 2u);
    EXPECT_EQ(fake::Windows().pendingTimers, 3);
    EXPECT_EQ(hostState.closeConfirmed, 0);
    EXPECT_EQ(hostState.passwordCheckActive, 0);
    EXPECT_EQ(fake::CountCalls("HideCursor"), 1u);
    EXPECT_EQ(hostState.lastPromptTick, 1030u);  // taken after the verifier returned
    EXPECT_EQ(hostState.lastCursorPos.x, 7);
    EXPECT_EQ(fake::CountCalls("DefaultWindowProc"), 0u);  // not destroyed
}

TEST_F(PasswordPrompt, CloseRequestsWithin200MsOfAPromptAreRefusedAcrossTheTickWrapAround) {
    hostState.lastPromptTick = 0xFFFFFF9Cu;  // the prompt returned 100 ms before the counter wrapped
    fake::Clock().tick = 99;
    EXPECT_EQ(ConfirmClose(kSaver), 0);
    EXPECT_EQ(fake::CountCalls("CallVerifier"), 0u);
    fake::Clock().tick = 100;
    EXPECT_EQ(ConfirmClose(kSaver), 0);
    EXPECT_EQ(fake::CountCalls("CallVerifier"), 1u);

    // Never prompted before: the all-ones mark does not count as a time.
    hostState.lastPromptTick = 0xFFFFFFFFu;
    fake::Clock().tick = 50;
    ConfirmClose(kSaver);
    EXPECT_EQ(fake::CountCalls("CallVerifier"), 2u);
    EXPECT_EQ(ElapsedTicks(0xFFFFFFF0u, 0x10u), 0x20u);
}

// What arrives while the verifier's dialog is up.
void InputDuringPrompt(plat::Window window) {
    EXPECT_EQ(hostState.passwordCheckActive, 1);
    EXPECT_EQ(SaverWindowProc(window, msg::CLOSE, 0, 0), 0);  // no second prompt
    SaverWindowProc(window, msg::KEYDOWN, 0, 0);
    SaverWindowProc(window, msg::ACTIVATEAPP, 0, 0);
    fake::Windows().cursor = {900, 900};
    SaverWindowProc(window, msg::MOUSEMOVE, 0, 0);
    SaverWindowProc(window, msg::TIMER, 1, 0);  // the animation goes on
}

TEST_F(PasswordPrompt, WhileTheVerifierRunsNothingClosesAndTicksStillAnimate) {
    fake::Libraries().duringVerify = InputDuringPrompt;
    fake::Libraries().verifierResult = 1;
    EXPECT_EQ(Send(msg::CLOSE), 0xDEF);  // accepted: destroyed
    EXPECT_EQ(fake::CountCalls("CallVerifier"), 1u);
    EXPECT_EQ(Closes(), 0u);
    EXPECT_EQ(fake::CountCalls("YieldTimeSlice"), 1u);
    EXPECT_EQ(hostState.closeConfirmed, 1);
    EXPECT_EQ(hostState.passwordCheckActive, 0);
    // Once confirmed there are no more prompts and no more frames.
    EXPECT_EQ(ConfirmClose(kSaver), 0);
    EXPECT_EQ(Send(msg::TIMER, 1), 0);
    EXPECT_EQ(fake::CountCalls("CallVerifier"), 1u);
}

TEST_F(PasswordPrompt, VerifierResultIsWhatTheVerifyMessageAnswers) {
    fake::Libraries().verifierResult = 7;
    EXPECT_EQ(Send(VERIFY_PASSWORD_MESSAGE), 7);
    EXPECT_EQ(ConfirmClose(kSaver), 7);
}

}  // namespace
