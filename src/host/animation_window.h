// The animation's share of the Windows saver window: reads the settings and sets
// up the scene at creation (one field per screen that the full-screen window
// covers, one field in a preview), advances it on every tick of a 20 ms timer,
// sets it up afresh when the screens change, and stops and frees it at destruction.
#pragma once

#include <cstdint>

#include "app/animation.h"
#include "platform/types.h"

inline constexpr std::uintptr_t ANIMATION_TIMER_ID = 1;

// The running timer's identifier (0: none). The client size (app/animation.h) is
// taken at creation.
extern std::uint16_t timerId;
// True while the ticks are stopped because the display is off.
extern bool animationPaused;
// The screens (in screen coordinates) that the fields were made for, as the
// system listed them; none for a preview or a system that cannot list them.
extern plat::Rect fieldScreens[MAX_FIELDS];
extern std::int32_t fieldScreenCount;

// Stops the ticks while nothing can be seen (the display is off).
void PauseAnimation(plat::Window window);
// After a pause, starts the ticks again and has the whole window painted afresh;
// does nothing when the animation is not paused.
void ResumeAnimation(plat::Window window);

// Handles creation, destruction, a change of the screens and the animation
// timer; hands every other message to SaverInputProc.
plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam);
