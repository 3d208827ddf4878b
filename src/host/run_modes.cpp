#include "host/run_modes.h"

#include "app/config_dialog.h"
#include "host/command_line.h"
#include "host/host_state.h"
#include "host/password_lock.h"
#include "host/saver_window.h"
#include "platform/dialog.h"
#include "platform/library.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "platform/window.h"

static_assert(SAVER_CLASS_STYLE == (msg::CLASS_VREDRAW | msg::CLASS_HREDRAW | msg::CLASS_DBLCLKS | msg::CLASS_OWNDC));

namespace {

plat::Window WindowFromNumber(std::uint32_t number) {
    return reinterpret_cast<plat::Window>(WindowHandleValue(number));
}

}  // namespace

WindowShape PreviewShape(plat::Rect parentClient) {
    return {PREVIEW_TITLE, msg::STYLE_CHILD | msg::STYLE_VISIBLE | msg::STYLE_CLIPCHILDREN, 0, 0, 0,
            parentClient.right, parentClient.bottom};
}

WindowShape FullScreenShape(plat::Rect desktop) {
    return {FULL_SCREEN_TITLE, msg::STYLE_POPUP | msg::STYLE_VISIBLE | msg::STYLE_CLIPSIBLINGS | msg::STYLE_CLIPCHILDREN,
            msg::EXSTYLE_TOPMOST, desktop.left, desktop.top, desktop.right - desktop.left,
            desktop.bottom - desktop.top};
}

void FaultCleanup() { SetSaverRunning(0); }

void SaverMain() {
    const char* tail = CutCommandTail(plat::CommandLineText());
    plat::EndProcess(DispatchRunMode(plat::ProgramModule(), tail));
}

std::int32_t DispatchRunMode(plat::Module instance, const char* tail) {
    hostState.appInstance = instance;
    hostState.win95Family = plat::PlatformId() == msg::PLATFORM_WIN95_FAMILY ? 1 : 0;
    plat::InstallFaultGuard(FaultCleanup);

    SwitchChoice choice = ReadSwitch(tail, hostState.win95Family);
    switch (choice.mode) {
        case RunMode::Configuration:
            return RunConfiguration(nullptr);
        case RunMode::ConfigurationOwned:
            return RunConfiguration(plat::ForegroundWindow());
        case RunMode::ChangePassword:
            return RunChangePassword(choice.rest);
        case RunMode::Preview:
            return RunPreview(choice.rest);
        case RunMode::FullScreen:
            return RunSaverWindow(nullptr);
        case RunMode::Invalid:
            break;
    }
    return RESULT_UNUSABLE;
}

std::int32_t RunConfiguration(plat::Window owner) {
    return static_cast<std::int32_t>(plat::RunModalDialog(CONFIG_DIALOG_ID, owner));
}

std::int32_t RunChangePassword(const char* text) {
    plat::Window parent = WindowFromNumber(ParseWindowHandle(text));
    if (!parent || !plat::IsLiveWindow(parent)) parent = plat::ForegroundWindow();
    ChangeSaverPassword(parent);
    return 0;
}

void ChangeSaverPassword(plat::Window parent) {
    plat::Module library = LoadSystemLibrary("MPR.DLL");
    if (!library) return;
    if (plat::ProcAddress change = plat::FindProc(library, "PwdChangePasswordA"))
        plat::CallPasswordChange(change, "SCRSAVE", parent, 0, 0);
    plat::ReleaseLibrary(library);
}

std::int32_t RunPreview(const char* text) {
    plat::Window parent = WindowFromNumber(ParseWindowHandle(text));
    if (!parent || !plat::IsLiveWindow(parent)) return RESULT_UNUSABLE;
    return RunSaverWindow(parent);
}

std::int32_t RunSaverWindow(plat::Window parent) {
    WindowShape shape;
    if (parent) {
        shape = PreviewShape(plat::ClientRect(parent));
        hostState.previewMode = 1;
    } else {
        shape = FullScreenShape(plat::DesktopRect());
        // One full-screen saver at a time: bring a running one to the front instead.
        plat::Window running = plat::FindTopLevelWindow(SAVER_CLASS_NAME, FULL_SCREEN_TITLE);
        if (running && plat::IsLiveWindow(running)) {
            plat::BringToFront(running);
            return 0;
        }
        LoadPasswordVerifier();
    }

    if (plat::RegisterSaverClass(hostState.appInstance, SAVER_CLASS_STYLE, PROGRAM_ICON_ID, SAVER_CLASS_NAME))
        hostState.saverWindow = plat::MakeWindow(shape.exStyle, SAVER_CLASS_NAME, shape.title, shape.style, shape.x,
                                                 shape.y, shape.width, shape.height, parent, hostState.appInstance);

    // Without a window no quit message can end a loop: report the failure.
    std::int32_t result = RESULT_UNUSABLE;
    if (hostState.saverWindow) {
        if (!parent) plat::BringToFront(hostState.saverWindow);
        // A timer of the thread, not of the window: the preview's window may be
        // taken away with its parent's process.
        plat::StartThreadTimer(WINDOW_CHECK_INTERVAL_MS, CheckSaverWindow);
        result = static_cast<std::int32_t>(plat::RunMessageLoop());
    }
    if (!hostState.win95Family && hostState.saverWindow) plat::DestroyWindowNow(hostState.saverWindow);
    UnloadPasswordVerifier();
    return result;
}
