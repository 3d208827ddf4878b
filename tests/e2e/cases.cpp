#include "cases.h"

namespace e2e {

::testing::AssertionResult StartFullScreen(Saver& saver, const std::string& tail,
                                           const std::string& currentDir, HWND* window) {
    if (!saver.Start(CommandFor(tail), currentDir)) {
        return ::testing::AssertionFailure() << "could not start " << CommandFor(tail);
    }
    HWND found = saver.WaitWindow(SAVER_CLASS, "Screen Saver");
    if (found == nullptr) {
        return ::testing::AssertionFailure() << "no full-screen window for tail \"" << tail << "\""
                                             << (saver.Running() ? "" : " (the process ended)");
    }
    // The first frames come with the first timer ticks.
    Pump(300);
    if (window != nullptr) *window = found;
    return ::testing::AssertionSuccess();
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

}  // namespace e2e
