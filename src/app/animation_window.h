// The animation's share of the Windows saver window: reads the settings and sets
// up the scene at creation, advances it on every tick of a 20 ms timer, and stops
// at destruction.
#pragma once

#include <cstdint>

#include "app/animation.h"
#include "platform/types.h"

inline constexpr std::uintptr_t ANIMATION_TIMER_ID = 1;

// The running timer's identifier (0: none). The client size (app/animation.h) is
// taken at creation.
extern std::uint16_t timerId;

// Handles creation, destruction and the animation timer; hands every other
// message to SaverInputProc.
plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam);
