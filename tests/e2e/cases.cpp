#include "cases.h"

namespace e2e {

::testing::AssertionResult StartFullScreen(Saver& saver, const std::string& tail,
                                           const std::string& currentDir, HWND* window) {
    if (!saver.Start(CommandFor(tail), currentDir)) {
        return ::testing::AssertionFailure() << "could not start " << CommandFor(tail);
    }
    ::testing::AssertionResult shown = ShownFullScreen(saver, window);
    if (!shown) shown << " for tail \"" << tail << "\"";
    return shown;
}

::testing::AssertionResult ShownFullScreen(Saver& saver, HWND* window) {
    HWND found = saver.WaitWindow(SAVER_CLASS, "Screen Saver");
    if (found == nullptr) {
        return ::testing::AssertionFailure() << "no full-screen window"
                                             << (saver.Running() ? "" : " (the process ended)");
    }
    if (!WaitFor([&] { return IsWindowVisible(found) && GetForegroundWindow() == found; }, WINDOW_WAIT_MS)) {
        return ::testing::AssertionFailure() << "the full-screen window is "
                                             << (IsWindowVisible(found) ? "not active" : "not shown");
    }
    if (!Answers(found)) return ::testing::AssertionFailure() << "the full-screen window does not answer";
    if (window != nullptr) *window = found;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Activate(HWND window) {
    if (!WaitFor([&] { return IsWindowVisible(window) != FALSE; }, WINDOW_WAIT_MS))
        return ::testing::AssertionFailure() << "not shown";
    SetForegroundWindow(window);
    if (!WaitFor([&] { return GetForegroundWindow() == window; }, WINDOW_WAIT_MS))
        return ::testing::AssertionFailure() << "not active";
    return ::testing::AssertionSuccess();
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, WINDOW_WAIT_MS, &result) != 0;
}

::testing::AssertionResult ExitsWith(Saver& saver, DWORD status, DWORD ms) {
    std::optional<DWORD> code = saver.WaitExit(ms);
    if (!code) {
        saver.Kill();
        return ::testing::AssertionFailure() << "still running after " << ms << " ms (ended by the driver)";
    }
    if (*code != status) {
        return ::testing::AssertionFailure() << "exit status " << static_cast<long>(*code) << ", expected "
                                             << static_cast<long>(status);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RefusesQuietly(const std::string& commandLine, HWND watchedParent) {
    Saver saver;
    if (watchedParent != nullptr) saver.WatchChildrenOf(watchedParent);
    if (!saver.Start(commandLine)) return ::testing::AssertionFailure() << "could not start " << commandLine;
    ::testing::AssertionResult exited = ExitsWith(saver, EXIT_MINUS_ONE);
    if (!exited) return exited << " for " << commandLine;
    if (saver.SawWindow()) return ::testing::AssertionFailure() << commandLine << " showed a window";
    return ::testing::AssertionSuccess();
}

bool SomeFrame(const std::function<bool(const Shot&)>& accept, DWORD ms, DWORD stepMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (accept(Capture())) return true;
        if (GetTickCount() - start >= ms) return false;
        Pump(stepMs);
    }
}

bool MovesFrom(const Shot& before) {
    return MovesFrom(before, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

bool MovesFrom(const Shot& before, const RECT& area) {
    DWORD start = GetTickCount();
    for (;;) {
        if (CountDifferent(before, Capture(area)) > 100) return true;
        if (GetTickCount() - start >= WINDOW_WAIT_MS) return false;
        Pump(100);
    }
}

}  // namespace e2e
