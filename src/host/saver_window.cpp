#include "host/saver_window.h"

#include "host/animation_window.h"
#include "host/display_power.h"
#include "host/host_state.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "platform/window.h"

WindowHook saverPassOn = AnimationWindowProc;

namespace {

plat::MessageResult PassOn(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                           plat::LongParam lParam) {
    return saverPassOn(window, message, wParam, lParam);
}

void PostClose(plat::Window window) { plat::PostWindowMessage(window, msg::CLOSE, 0, 0); }

// Detaches the input method from the window, remembering its context, when
// the input-method library is already loaded (it is never loaded here).
void DetachInputMethod(plat::Window window) {
    hostState.imeModule = plat::FindLoadedModule("IMM32.DLL");
    if (!hostState.imeModule) return;
    hostState.imeAssociate = plat::FindProc(hostState.imeModule, "ImmAssociateContext");
    if (!hostState.imeAssociate) return;
    hostState.savedImeContext = plat::CallImeAssociate(hostState.imeAssociate, window, nullptr);
}

void RestoreInputMethod(plat::Window window) {
    if (hostState.imeModule && hostState.imeAssociate && hostState.savedImeContext)
        plat::CallImeAssociate(hostState.imeAssociate, window, hostState.savedImeContext);
}

bool IsCloseInput(std::uint32_t message) {
    switch (message) {
        case msg::KEYDOWN:
        case msg::SYSKEYDOWN:
        case msg::MOUSEMOVE:
        case msg::LBUTTONDOWN:
        case msg::RBUTTONDOWN:
        case msg::MBUTTONDOWN:
            return true;
        default:
            return false;
    }
}

// The command of a system-command message: its low four bits are the system's own.
plat::WordParam SystemCommand(plat::WordParam wParam) { return wParam & msg::SYSCMD_MASK; }

bool IsSwitchAwayCommand(plat::WordParam command) {
    command = SystemCommand(command);
    return command == msg::SYSCMD_NEXTWINDOW || command == msg::SYSCMD_PREVWINDOW ||
           command == msg::SYSCMD_SCREENSAVE;
}

bool SameRect(const plat::Rect& a, const plat::Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Whether the screens are no longer those the window was made to cover and its
// fields were made for: the desktop, or any one screen within it.
bool DesktopChanged() {
    const plat::Rect& was = hostState.coveredDesktop;
    if (was.right <= was.left || was.bottom <= was.top) return false;
    if (!SameRect(plat::DesktopRect(), was)) return true;
    plat::Rect now[MAX_FIELDS] = {};
    const std::int32_t count = plat::ScreenRects(now, MAX_FIELDS);
    if ((count > 0 ? count : 0) != fieldScreenCount) return true;
    for (std::int32_t k = 0; k < fieldScreenCount; ++k)
        if (!SameRect(now[k], fieldScreens[k])) return true;
    return false;
}

// The pointer moved with a change of the screens, not by the user's hand: its
// new place is where the next movement is measured from, both for closing and,
// while the display is off, for waking (the display may well stay off).
void TakePointerAsMovedBySystem() {
    hostState.lastCursorPos = plat::CursorPosition();
    if (animationPaused) hostState.pausedCursorPos = hostState.lastCursorPos;
}

void CancelMoveClose(plat::Window window) {
    if (hostState.moveClosePending) plat::StopTimer(window, MOVE_CLOSE_TIMER_ID);
    hostState.moveClosePending = 0;
}

// A change of the screens moves the pointer as well, and a process may hear
// of the change only after the movement: the movement's close waits a moment,
// and is dropped when the screens changed meanwhile.
void ConfirmMoveClose(plat::Window window) {
    if (!hostState.moveClosePending) return;
    CancelMoveClose(window);
    if (hostState.closeConfirmed || hostState.passwordCheckActive) return;
    if (DesktopChanged()) {
        TakePointerAsMovedBySystem();
        return;
    }
    PostClose(window);
}

// Nothing is drawn while the display is off; a dimmed display still shows the field.
void FollowDisplayPower(plat::Window window, DisplayPower power) {
    if (power == DisplayPower::off) {
        if (!animationPaused) hostState.pausedCursorPos = plat::CursorPosition();
        PauseAnimation(window);
    }
    if (power == DisplayPower::on || power == DisplayPower::dimmed) ResumeAnimation(window);
}

// Input that leaves the saver running shows that the display is on again: most
// systems say nothing when it wakes. A pointer message without a movement (the
// system sends those when windows change) is no input.
void WakeOnInput(plat::Window window, plat::Point cursor) {
    if (!animationPaused) return;
    if (cursor.x == hostState.pausedCursorPos.x && cursor.y == hostState.pausedCursorPos.y) return;
    ResumeAnimation(window);
}

void WatchDisplayPower(plat::Window window) {
    hostState.displayPowerWatch = plat::WatchPowerSetting(window, DisplayPowerSetting(plat::SystemVersion()));
}

void StopWatchingDisplayPower() {
    if (hostState.displayPowerWatch) plat::StopWatchingPowerSetting(hostState.displayPowerWatch);
    hostState.displayPowerWatch = nullptr;
}

}  // namespace

plat::MessageResult SaverWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                    plat::LongParam lParam) {
    switch (message) {
        case msg::CREATE: {
            DetachInputMethod(window);
            hostState.lastCursorPos = plat::CursorPosition();
            if (!hostState.previewMode) {
                plat::HideCursor();
                hostState.coveredDesktop = plat::DesktopRect();
            }
            plat::MessageResult result = PassOn(window, message, wParam, lParam);
            // After the animation has started: the system answers with the display's
            // state at once.
            WatchDisplayPower(window);
            return result;
        }
        case msg::DESTROY:
            StopWatchingDisplayPower();
            CancelMoveClose(window);
            RestoreInputMethod(window);
            plat::PostQuit(0);
            return PassOn(window, message, wParam, lParam);
        case msg::DISPLAYCHANGE:
            if (!hostState.previewMode) {
                // Cover the new desktop; the pointer may have moved with the change,
                // which is no user's movement.
                hostState.coveredDesktop = plat::DesktopRect();
                plat::PlaceWindow(window, hostState.coveredDesktop);
                CancelMoveClose(window);
                TakePointerAsMovedBySystem();
            }
            return PassOn(window, message, wParam, lParam);
        case msg::POWERBROADCAST:
            if (wParam != msg::POWER_SETTING_CHANGE) return PassOn(window, message, wParam, lParam);
            FollowDisplayPower(window, PowerSettingChange(reinterpret_cast<const void*>(lParam)));
            return 1;
        case msg::SETTEXT:
            return 0;  // the title never changes
        case msg::PAINT:
            if (hostState.closeConfirmed) return plat::DefaultWindowProc(window, message, wParam, lParam);
            if (!hostState.previewMode) plat::HideCursor();
            return PassOn(window, message, wParam, lParam);
        case msg::HELP:
        case msg::CONTEXTMENU:
            if (hostState.previewMode) {
                // The preview's host window answers help requests.
                plat::Window parent = plat::ParentOf(window);
                if (parent && plat::IsLiveWindow(parent))
                    plat::PostWindowMessage(parent, message, reinterpret_cast<plat::WordParam>(parent), lParam);
                return 1;
            }
            return PassOn(window, message, wParam, lParam);
        case msg::SYSCOMMAND:
            if (!hostState.previewMode && IsSwitchAwayCommand(wParam)) return 0;
            if (SystemCommand(wParam) == msg::SYSCMD_MONITORPOWER)
                FollowDisplayPower(window, MonitorPowerCommand(lParam));
            return PassOn(window, message, wParam, lParam);
        case msg::TIMER:
            if (wParam == MOVE_CLOSE_TIMER_ID) {
                ConfirmMoveClose(window);
                return 0;
            }
            if (hostState.closeConfirmed) return 0;  // no more frames once closing
            plat::YieldTimeSlice();
            return PassOn(window, message, wParam, lParam);
        default:
            if (IsCloseInput(message) && hostState.closeConfirmed)
                return plat::DefaultWindowProc(window, message, wParam, lParam);
            return PassOn(window, message, wParam, lParam);
    }
}

plat::MessageResult SaverInputProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                   plat::LongParam lParam) {
    auto defaultHandling = [&] { return plat::DefaultWindowProc(window, message, wParam, lParam); };

    // A preview never closes on input, and a confirmed close needs no more rules.
    if (hostState.previewMode || hostState.closeConfirmed) return defaultHandling();

    if (message == msg::CLOSE) {
        if (hostState.win95Family && ConfirmClose(window) == 0) {
            hostState.lastCursorPos = plat::CursorPosition();
            if (animationPaused) ResumeAnimation(window);
            return 0;
        }
        return defaultHandling();
    }
    if (message == VERIFY_PASSWORD_MESSAGE) {
        if (!hostState.win95Family) return defaultHandling();
        if (!hostState.verifyPassword) return 1;
        return plat::CallVerifier(hostState.verifyPassword, window);
    }
    // No input closes the saver while the verifier runs.
    if (hostState.passwordCheckActive) return defaultHandling();

    switch (message) {
        case msg::SHOWWINDOW:
            if (wParam != 0) plat::HideCursor();
            return defaultHandling();
        case msg::ACTIVATEAPP:
            if (wParam == 0) PostClose(window);
            return defaultHandling();
        case msg::SETCURSOR:
            plat::HideCursor();
            return 1;
        case msg::KEYDOWN:
        case msg::SYSKEYDOWN:
        case msg::LBUTTONDOWN:
        case msg::RBUTTONDOWN:
        case msg::MBUTTONDOWN:
            PostClose(window);
            return defaultHandling();
        case msg::MOUSEMOVE: {
            // The message's own coordinates are client-relative; the rule uses
            // the screen position, and small movements add up.
            plat::Point now = plat::CursorPosition();
            if (PointerMovedFar(hostState.lastCursorPos, now)) {
                hostState.lastCursorPos = now;
                if (!hostState.moveClosePending) {
                    hostState.moveClosePending = 1;
                    // Without a timer the close cannot wait: it goes at once.
                    if (plat::StartTimer(window, MOVE_CLOSE_TIMER_ID, MOVE_SETTLE_MS) == 0) ConfirmMoveClose(window);
                }
            } else {
                WakeOnInput(window, now);
            }
            return defaultHandling();
        }
        default:
            return defaultHandling();
    }
}

void CheckSaverWindow() {
    plat::Window window = hostState.saverWindow;
    if (!window) return;
    if (!hostState.previewMode) {
        if (DesktopChanged()) plat::SendWindowMessage(window, msg::DISPLAYCHANGE, 0, 0);
        return;
    }
    plat::Window parent = plat::ParentOf(window);
    if (plat::IsLiveWindow(window) && parent && plat::IsLiveWindow(parent)) return;
    // Ends as if destroyed; where the system already took the window away
    // without telling it, the quit message ends the loop all the same.
    plat::DestroyWindowNow(window);
    plat::PostQuit(0);
}

std::int32_t ConfirmClose(plat::Window window) {
    if (hostState.passwordCheckActive || hostState.closeConfirmed) return 0;
    if (!hostState.verifyPassword) {
        hostState.closeConfirmed = 1;
        return 1;
    }
    std::uint32_t now = plat::TickCount();
    if (hostState.lastPromptTick != 0xFFFFFFFFu && ElapsedTicks(hostState.lastPromptTick, now) < PROMPT_INTERVAL_MS)
        return 0;

    hostState.passwordCheckActive = 1;
    // Ticks that piled up would otherwise all draw at once while the prompt opens.
    plat::RemovePendingTimerMessage(window);
    plat::RemovePendingTimerMessage(window);
    plat::MessageResult result = plat::SendWindowMessage(window, VERIFY_PASSWORD_MESSAGE, 0, 0);
    // The verifier's result is a 32-bit value; a non-zero one lets the saver close.
    hostState.closeConfirmed = static_cast<std::int32_t>(result);
    hostState.passwordCheckActive = 0;
    if (result == 0) plat::HideCursor();
    hostState.lastPromptTick = plat::TickCount();
    return hostState.closeConfirmed;
}
