// The saver window's message handling: closing on user input, the password
// lock before closing, the hidden cursor, and the detached input method.
//
// Every message runs through three stages: SaverWindowProc, then the
// animation's AnimationWindowProc, then SaverInputProc, and last the system's
// default handling.
#pragma once

#include <cstdint>

#include "app/pointer_rule.h"
#include "platform/types.h"

inline constexpr std::uint32_t PROMPT_INTERVAL_MS = 200;
inline constexpr std::uint32_t VERIFY_PASSWORD_MESSAGE = 0x8000;  // the first application message
// A movement of the pointer closes the saver once this long has passed without
// a change of the screens, which moves the pointer too (timer MOVE_CLOSE_TIMER_ID).
inline constexpr std::uintptr_t MOVE_CLOSE_TIMER_ID = 3;
inline constexpr std::uint32_t MOVE_SETTLE_MS = 100;
// The saver window is looked after this often (CheckSaverWindow).
inline constexpr std::uint32_t WINDOW_CHECK_INTERVAL_MS = 500;

using WindowHook = plat::MessageResult (*)(plat::Window, std::uint32_t, plat::WordParam, plat::LongParam);

// The stage SaverWindowProc passes messages on to: AnimationWindowProc.
// Tests put a recorder here to look at the host's stages alone.
extern WindowHook saverPassOn;

plat::MessageResult SaverWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                    plat::LongParam lParam);
plat::MessageResult SaverInputProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                   plat::LongParam lParam);

// Called from a timer of the thread, whatever becomes of the window. Ends a
// preview whose window or parent window is gone (the parent's process ended
// without destroying it), which would otherwise wait for messages forever. Has
// the full-screen window follow a desktop that changed without it being told,
// or told before the new screens could be read.
void CheckSaverWindow();

// Non-zero when the full-screen saver may close now; asks the password
// verifier when one is loaded.
std::int32_t ConfirmClose(plat::Window window);

// later - earlier modulo 2^32, so that the tick counter's wrap-around is harmless.
constexpr std::uint32_t ElapsedTicks(std::uint32_t earlier, std::uint32_t later) { return later - earlier; }
