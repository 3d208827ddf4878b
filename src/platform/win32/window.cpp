// Pendral on Windows: the Win32 platform of pendral.scr.
//
// Platform:     Win32 (USER, GDI, kernel, advapi), 32-bit for Windows 95, 98, Me,
//               NT 4.0 and later, 64-bit for 64-bit Windows. The program's top is
//               src/main/win32.cpp; this folder implements every boundary header.
// Provides:     all of src/platform/*.h: the saver window and its class, the
//               message loop and timer (here), the 8-bit palette and DIB section
//               (gdi.cpp), the settings dialog (dialog.cpp), profile file,
//               registry, files, built-in bitmap resources, libraries loaded at
//               run time, the fault guard.
// Limitations:  the 32-bit build imports only what Windows 95 and NT 4.0 both
//               have (checked by tools/win-api); newer functions are looked up at
//               run time. Drawing is 8-bit palettised throughout.
//               Monitors, power-setting notifications and per-monitor DPI
//               are used where the system has them (98/2000, Vista, 8.1 and 10).
// Improvements: a field that follows a monitor's own refresh rate.
// Dependencies: kernel32, user32, gdi32, advapi32 and msvcrt (all in every
//               Windows); the C++ runtime is linked in.
#include "platform/window.h"

#include <windows.h>

#include <cstring>

#include "host/saver_window.h"

// The virtual screen's metrics, for headers that declare only older systems' metrics.
#ifndef SM_XVIRTUALSCREEN
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#endif

namespace {
HWND H(plat::Window window) { return reinterpret_cast<HWND>(window); }
plat::Window W(HWND window) { return reinterpret_cast<plat::Window>(window); }

// Functions of newer systems, looked up at run time so that older ones still load the program.
using EnumMonitorsFunction = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using MonitorInfoFunction = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using RegisterPowerFunction = HPOWERNOTIFY(WINAPI*)(HANDLE, LPCGUID, DWORD);
using UnregisterPowerFunction = BOOL(WINAPI*)(HPOWERNOTIFY);

template <typename Function>
Function User32(const char* name) {
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

struct MonitorList {
    MonitorInfoFunction info;
    plat::Rect* rects;
    std::int32_t max;
    std::int32_t count;
};

// Collects monitors until the list is full; stopping early makes the system's
// enumeration return FALSE, which is no failure.
BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* list = reinterpret_cast<MonitorList*>(data);
    if (list->count >= list->max) return FALSE;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (list->info(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        list->rects[list->count++] = {r.left, r.top, r.right, r.bottom};
    }
    return list->count < list->max;
}

static_assert(sizeof(plat::Guid) == sizeof(GUID));

void (*threadTick)() = nullptr;
void CALLBACK ThreadTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (threadTick) threadTick();
}

// The saver window's procedure as the system calls it; the decisions are the host's.
LRESULT CALLBACK SaverWindowAdapter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SaverWindowProc(W(window), message, wParam, lParam);
}
}  // namespace

namespace plat {

Rect ClientRect(Window window) {
    RECT r{0, 0, 0, 0};
    GetClientRect(H(window), &r);
    return {r.left, r.top, r.right, r.bottom};
}

std::uintptr_t StartTimer(Window window, std::uintptr_t id, std::uint32_t periodMs) {
    return SetTimer(H(window), id, periodMs, nullptr);
}

void StopTimer(Window window, std::uintptr_t id) { KillTimer(H(window), id); }

void StartThreadTimer(std::uint32_t periodMs, void (*tick)()) {
    threadTick = tick;
    SetTimer(nullptr, 0, periodMs, ThreadTimerProc);
}

void PostQuit(std::int32_t code) { PostQuitMessage(code); }

MessageResult DefaultWindowProc(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    return DefWindowProcA(H(window), message, wParam, lParam);
}

bool PostWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    return PostMessageA(H(window), message, wParam, lParam) != 0;
}

MessageResult SendWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam) {
    return SendMessageA(H(window), message, wParam, lParam);
}

bool RemovePendingTimerMessage(Window window) {
    MSG m;
    return PeekMessageA(&m, H(window), WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD) != 0;
}

Point CursorPosition() {
    POINT p{0, 0};
    GetCursorPos(&p);
    return {p.x, p.y};
}

void HideCursor() { SetCursor(nullptr); }

Window ParentOf(Window window) { return W(GetParent(H(window))); }

bool IsLiveWindow(Window window) { return IsWindow(H(window)) != 0; }

Window ForegroundWindow() { return W(GetForegroundWindow()); }

void BringToFront(Window window) { SetForegroundWindow(H(window)); }

Window FindTopLevelWindow(const char* className, const char* title) { return W(FindWindowA(className, title)); }

Rect DesktopRect() {
    // Windows 98 and 2000 brought the virtual screen around all monitors; Windows
    // 95 and NT 4.0 answer 0 for its metrics, and there the primary screen is all.
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + width, top + height};
}

std::int32_t ScreenRects(Rect* rects, std::int32_t max) {
    const auto enumerate = User32<EnumMonitorsFunction>("EnumDisplayMonitors");
    const auto info = User32<MonitorInfoFunction>("GetMonitorInfoA");
    if (!enumerate || !info || !rects || max <= 0) return 0;
    MonitorList list{info, rects, max, 0};
    // Whatever it returns: FALSE also when the callback stopped at the limit.
    enumerate(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&list));
    return list.count;
}

Point ClientOrigin(Window window) {
    POINT p{0, 0};
    ClientToScreen(H(window), &p);
    return {p.x, p.y};
}

void PlaceWindow(Window window, Rect rect) {
    SetWindowPos(H(window), HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOACTIVATE);
}

void RepaintWindow(Window window) { InvalidateRect(H(window), nullptr, TRUE); }

PowerWatch WatchPowerSetting(Window window, const Guid& setting) {
    const auto watch = User32<RegisterPowerFunction>("RegisterPowerSettingNotification");
    if (!watch) return nullptr;
    GUID id;
    std::memcpy(&id, &setting, sizeof id);
    return watch(H(window), &id, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void StopWatchingPowerSetting(PowerWatch watch) {
    const auto stop = User32<UnregisterPowerFunction>("UnregisterPowerSettingNotification");
    if (stop && watch) stop(static_cast<HPOWERNOTIFY>(watch));
}

void YieldTimeSlice() { Sleep(0); }

bool RegisterSaverClass(Module instance, std::uint32_t style, std::uint32_t iconId, const char* className) {
    HINSTANCE module = reinterpret_cast<HINSTANCE>(instance);
    WNDCLASSA c{};
    c.style = style;
    c.lpfnWndProc = SaverWindowAdapter;
    c.cbClsExtra = 0;
    c.cbWndExtra = 0;
    c.hInstance = module;
    c.hIcon = LoadIconA(module, MAKEINTRESOURCEA(iconId));
    c.hCursor = nullptr;
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    c.lpszMenuName = nullptr;
    c.lpszClassName = className;
    return RegisterClassA(&c) != 0;
}

Window MakeWindow(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style,
                  std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Window parent,
                  Module instance) {
    return W(CreateWindowExA(exStyle, className, title, style, x, y, width, height, H(parent), nullptr,
                             reinterpret_cast<HINSTANCE>(instance), nullptr));
}

void DestroyWindowNow(Window window) { DestroyWindow(H(window)); }

WordParam RunMessageLoop() {
    MSG m{};
    // GetMessageA gives 0 for the quit message and -1 on an error; both end the loop.
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return m.message == WM_QUIT ? m.wParam : static_cast<WordParam>(-1);
}

}  // namespace plat
