// Windows of the system: the saver window's class, shapes and life, its
// messages, the timer, the cursor and the message loop.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

// Client rectangle of a window; its left and top are 0.
Rect ClientRect(Window window);

// Periodic timer messages for `window` with identifier `id`; returns the
// identifier in use, 0 on failure.
std::uintptr_t StartTimer(Window window, std::uintptr_t id, std::uint32_t periodMs);
void StopTimer(Window window, std::uintptr_t id);

// Calls `tick` every `periodMs` from the message loop, whatever becomes of the
// thread's windows; for the rest of the process.
void StartThreadTimer(std::uint32_t periodMs, void (*tick)());

// Posts the quit message that ends the message loop with `code`.
void PostQuit(std::int32_t code);

// The system's default handling of a window message.
MessageResult DefaultWindowProc(Window window, std::uint32_t message, WordParam wParam, LongParam lParam);

// Queues a message and returns at once; true when it was queued.
bool PostWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam);

// Runs the window's procedure for a message and returns its result.
MessageResult SendWindowMessage(Window window, std::uint32_t message, WordParam wParam, LongParam lParam);

// Removes one pending timer message of `window` from the queue without
// yielding; true when one was removed.
bool RemovePendingTimerMessage(Window window);

// Mouse cursor position in screen coordinates.
Point CursorPosition();
// Takes the cursor picture away while it is over the window.
void HideCursor();

Window ParentOf(Window window);
// True when the handle names an existing window.
bool IsLiveWindow(Window window);
Window ForegroundWindow();
void BringToFront(Window window);
// A top-level window with this class name and title, or null.
Window FindTopLevelWindow(const char* className, const char* title);

// The whole desktop in screen coordinates: the rectangle around every monitor,
// whose left and top are negative when a monitor lies left of or above the
// primary one. A system that knows only one screen gives that screen at 0,0.
Rect DesktopRect();

// The rectangle of each screen (monitor) in screen coordinates, at most `max`,
// written to `rects`; returns how many. 0 where the system cannot list its
// screens (Windows 95, NT 4.0): there the desktop is the one screen.
std::int32_t ScreenRects(Rect* rects, std::int32_t max);

// The screen position of the top-left corner of a window's client area.
Point ClientOrigin(Window window);

// Moves and sizes a top-most window to `rect` (screen coordinates) without
// activating it.
void PlaceWindow(Window window, Rect rect);

// Has the whole client area painted afresh, its background erased first.
void RepaintWindow(Window window);

// A registration for power-setting notifications.
using PowerWatch = void*;

// Asks the system to send `window` power broadcast messages when the power
// setting `setting` changes, starting with its current value; null where the
// system has no such notifications (before Vista) or refuses.
PowerWatch WatchPowerSetting(Window window, const Guid& setting);
void StopWatchingPowerSetting(PowerWatch watch);

// Gives up the rest of the thread's time slice.
void YieldTimeSlice();

// Registers the saver window class: the given style, the program's icon
// `iconId`, no class cursor, black background, no menu; its window procedure
// passes every message to SaverWindowProc. True on success.
bool RegisterSaverClass(Module instance, std::uint32_t style, std::uint32_t iconId, const char* className);

// Creates a window; null on failure. Its creation message has been handled
// when this returns.
Window MakeWindow(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style,
                  std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Window parent,
                  Module instance);

void DestroyWindowNow(Window window);

// Gets and dispatches (with key translation) every message of the thread until
// the quit message arrives, and returns the quit code.
WordParam RunMessageLoop();

}  // namespace plat
