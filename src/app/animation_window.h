// The animation's share of the saver window: sets up the body field and the
// sprite stage at creation, steps and draws them on every tick of a 20 ms
// timer, and stops at destruction.
#pragma once

#include <cstdint>

#include "gfx/sprite_stage.h"
#include "platform/types.h"
#include "sim/body_field.h"

inline constexpr std::uintptr_t ANIMATION_TIMER_ID = 1;
inline constexpr std::uint32_t TICK_INTERVAL_MS = 20;

// The program-wide objects, constructed in this order before the entry runs.
extern SpriteStage spriteStage;
extern BodyField bodyField;

// Client size taken at creation, and the running timer's identifier (0: none).
extern std::int32_t clientWidth;
extern std::int32_t clientHeight;
extern std::uint16_t timerId;

// Handles creation, destruction and the animation timer; hands every other
// message to SaverInputProc.
plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam);

// The field with its first scatter, the stage with one sprite per body.
void SetUpScene(plat::Window window);

// One tick: one simulation step, every sprite moved to its body, one frame.
void AdvanceFrame(plat::Window window);
