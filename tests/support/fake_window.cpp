#include "fake_window.h"

#include "fake.h"
#include "platform/messages.h"
#include "platform/window.h"

namespace fake {
namespace {
WindowState windowState;
ResetHook resetWindows([] { windowState = WindowState{}; });
}  // namespace

WindowState& Windows() { return windowState; }

}  // namespace fake

namespace plat {

using fake::Arg;
using fake::Record;
using fake::windowState;

namespace {
template <typename T>
std::intptr_t N(T value) {
    return static_cast<std::intptr_t>(value);
}
}  // namespace

Rect ClientRect(Window window) {
    Record("ClientRect", {Arg(window)});
    const auto found = windowState.clientRects.find(window);
    return found != windowState.clientRects.end() ? found->second : Rect{0, 0, 0, 0};
}

std::uintptr_t StartTimer(Window window, std::uintptr_t id, std::uint32_t periodMs) {
    Record("StartTimer", {Arg(window), N(id), N(periodMs)});
    return windowState.timerResult;
}

void StopTimer(Window window, std::uintptr_t id) { Record("StopTimer", {Arg(window), N(id)}); }

void StartThreadTimer(std::uint32_t periodMs, void (*tick)()) {
    Record("StartThreadTimer", {N(periodMs)});
    windowState.threadTick = tick;
}

void PostQuit(std::int32_t code) { Record("PostQuit", {code}); }

MessageResult DefaultWindowProc(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    Record("DefaultWindowProc", {Arg(window), N(message), N(wParam), lParam});
    return windowState.defaultResult;
}

bool PostWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    Record("PostWindowMessage", {Arg(window), N(message), N(wParam), lParam});
    return true;
}

MessageResult SendWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    Record("SendWindowMessage", {Arg(window), N(message), N(wParam), lParam});
    if (windowState.sendTarget) return windowState.sendTarget(window, message, wParam, lParam);
    return windowState.sendResult;
}

bool RemovePendingTimerMessage(Window window) {
    Record("RemovePendingTimerMessage", {Arg(window)});
    if (windowState.pendingTimers == 0) return false;
    --windowState.pendingTimers;
    return true;
}

Point CursorPosition() {
    Record("CursorPosition");
    return windowState.cursor;
}

void HideCursor() { Record("HideCursor"); }

Window ParentOf(Window window) {
    Record("ParentOf", {Arg(window)});
    return windowState.parent;
}

bool IsLiveWindow(Window window) {
    Record("IsLiveWindow", {Arg(window)});
    if (!window) return false;
    for (Window live : windowState.liveWindows)
        if (live == window) return true;
    return false;
}

Window ForegroundWindow() {
    Record("ForegroundWindow");
    return windowState.foreground;
}

void BringToFront(Window window) { Record("BringToFront", {Arg(window)}); }

Window FindTopLevelWindow(const char* className, const char* title) {
    Record("FindTopLevelWindow", {Arg(className), Arg(title)});
    return windowState.found;
}

Rect DesktopRect() {
    Record("DesktopRect");
    return windowState.desktop;
}

std::int32_t ScreenRects(Rect* rects, std::int32_t max) {
    Record("ScreenRects", {max});
    std::int32_t count = 0;
    for (const Rect& r : windowState.screens)
        if (count < max) rects[count++] = r;
    return count;
}

Point ClientOrigin(Window window) {
    Record("ClientOrigin", {Arg(window)});
    return windowState.clientOrigin;
}

void PlaceWindow(Window window, Rect rect) {
    Record("PlaceWindow", {Arg(window), rect.left, rect.top, rect.right, rect.bottom});
    windowState.clientRects[window] = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
    windowState.clientOrigin = {rect.left, rect.top};
}

void RepaintWindow(Window window) { Record("RepaintWindow", {Arg(window)}); }

PowerWatch WatchPowerSetting(Window window, const Guid& setting) {
    Record("WatchPowerSetting", {Arg(window)});
    windowState.watchedSetting = &setting;
    return windowState.powerWatch;
}

void StopWatchingPowerSetting(PowerWatch watch) { Record("StopWatchingPowerSetting", {Arg(watch)}); }

void YieldTimeSlice() { Record("YieldTimeSlice"); }

bool RegisterSaverClass(Module instance, std::uint32_t style, std::uint32_t iconId, const char* className) {
    Record("RegisterSaverClass", {Arg(instance), N(style), N(iconId)});
    windowState.registeredClass = className;
    windowState.registeredInstance = instance;
    return windowState.registerSucceeds;
}

Window MakeWindow(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style,
                  std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Window parent,
                  Module instance) {
    Record("MakeWindow", {N(exStyle), N(style), x, y, width, height});
    windowState.className = className;
    windowState.title = title;
    windowState.makeParent = parent;
    windowState.makeInstance = instance;
    // The saver's windows have no border: the client area is the whole window.
    if (windowState.created) windowState.clientRects[windowState.created] = {0, 0, width, height};
    if (windowState.created && windowState.createTarget)
        windowState.createTarget(windowState.created, msg::CREATE, 0, 0);
    return windowState.created;
}

void DestroyWindowNow(Window window) { Record("DestroyWindowNow", {Arg(window)}); }

WordParam RunMessageLoop() {
    Record("RunMessageLoop");
    return windowState.quitCode;
}

}  // namespace plat
