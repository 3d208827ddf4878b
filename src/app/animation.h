// The animation itself, apart from any window system: the body field and the
// sprite stage that shows it, set up for a client size, advanced one tick at a
// time, and released again. Each front end drives it from its own events
// (creation, the 20 ms tick, destruction).
#pragma once

#include <cstdint>

#include "gfx/sprite_stage.h"
#include "platform/types.h"
#include "sim/body_field.h"

inline constexpr std::uint32_t TICK_INTERVAL_MS = 20;

// The program-wide objects, constructed in this order before the entry runs.
extern SpriteStage spriteStage;
extern BodyField bodyField;

// Client size of the scene, set by the front end before SetUpScene.
extern std::int32_t clientWidth;
extern std::int32_t clientHeight;

// The field with its first scatter, the stage with one sprite per body, for the
// current saverSettings and client size.
void SetUpScene(plat::Window window);

// One tick: one simulation step, every sprite moved to its body, one frame.
void AdvanceFrame(plat::Window window);

// Frees the field, the stage and every picture block, so that SetUpScene can run
// again (a front end whose window changes size). Nothing else may hold pictures.
void ReleaseScene();
