// The animation itself, apart from any window system: one body field per part
// of the window that a screen shows, each with the sprite stage that draws it,
// set up for its size, advanced one tick at a time, and released again. Each
// front end drives it from its own events (creation, the 20 ms tick,
// destruction).
#pragma once

#include <cstdint>

#include "gfx/sprite_stage.h"
#include "platform/types.h"
#include "sim/body_field.h"

inline constexpr std::uint32_t TICK_INTERVAL_MS = 20;

// At most this many fields (screens) are animated; a window over more screens
// leaves the rest black.
inline constexpr std::int32_t MAX_FIELDS = 16;

// One field and the stage that shows it in its part of the window. The stage is
// declared first, so that it is constructed before the field and destroyed after it.
struct Scene {
    SpriteStage stage;
    BodyField field;
};

// The program-wide scenes; sceneCount of them are set up. The first one's stage
// and field also go by the names of a single-field front end.
extern Scene scenes[MAX_FIELDS];
extern std::int32_t sceneCount;
extern SpriteStage& spriteStage;
extern BodyField& bodyField;

// Client size of the scene, set by the front end before SetUpScene.
extern std::int32_t clientWidth;
extern std::int32_t clientHeight;

// One field over the whole client size: the field with its first scatter, the
// stage with one sprite per body, for the current saverSettings.
void SetUpScene(plat::Window window);

// One field for each area (client coordinates, at most MAX_FIELDS), each the
// size of its area and drawn at its place; no area, or none that is not empty,
// gives the one field over the client size.
void SetUpScenes(plat::Window window, const plat::Rect* areas, std::int32_t areaCount);

// The areas of a window that show fields: each screen rectangle's overlap with
// the client area (both in screen coordinates, the client's left and top being
// its origin), turned into client coordinates. No two areas share a pixel: a
// screen that lies inside an earlier one (a mirror) is left out, and of one
// that partly overlaps earlier ones only the largest rectangle beside them is
// kept. Empty areas are left out; at most MAX_FIELDS areas are written.
// Returns how many.
std::int32_t FieldAreas(plat::Rect clientOnScreen, const plat::Rect* screens, std::int32_t screenCount,
                        plat::Rect* areas);

// The areas of a window that holds screens side by side, left to right, each
// with its own size (a compositor's outputs, which are shown apart): one area
// per screen, top-aligned; screens of no size, or that would take the window
// past maxWidth, are left out, and at most MAX_FIELDS are written. Returns how
// many; *width and *height get the size of the window that holds them.
std::int32_t SideBySideAreas(const plat::Point* sizes, std::int32_t count, std::int32_t maxWidth, plat::Rect* areas,
                             std::int32_t* width, std::int32_t* height);

// One tick: one simulation step of every field, every sprite moved to its body,
// one frame of every stage.
void AdvanceFrame(plat::Window window);

// Frees the fields, the stages and every picture block, so that SetUpScene can
// run again (a front end whose window changes size). Nothing else may hold pictures.
void ReleaseScene();
