#include "app/animation.h"

#include "app/settings.h"
#include "gfx/packed_dib.h"

// Defined together, in this order, so that the stage is constructed before the
// field and destroyed after it.
SpriteStage spriteStage;
BodyField bodyField;

std::int32_t clientWidth = 0;
std::int32_t clientHeight = 0;

namespace {

constexpr std::int32_t PATTERN_COUNT = 3;
constexpr std::int32_t IMAGE_COUNT = 3;
constexpr std::int32_t PATTERN_CENTRE = 32;
constexpr std::int32_t LARGE_SPRITE_SIZE = 64;  // sprites 0 and 1, the red and blue places
constexpr std::int32_t SPRITE_SIZE = 32;

}  // namespace

void SetUpScene(plat::Window window) {
    bodyField.Setup(saverSettings.bodyCount, clientWidth, clientHeight, saverSettings.attractionSetting,
                    saverSettings.refreshMinutes, {&saverSettings.redSwitch, &saverSettings.blueSwitch});
    // One sprite per body that exists: a field whose bodies could not be
    // allocated gets no sprites, and every frame draws nothing.
    const std::int32_t count = bodyField.Count();
    spriteStage.Setup(window, count, PATTERN_COUNT, IMAGE_COUNT, clientWidth, clientHeight);
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t size = i < 2 ? LARGE_SPRITE_SIZE : SPRITE_SIZE;
        spriteStage.SetSpriteSize(i, size, size);
    }
    for (std::int32_t p = 0; p < PATTERN_COUNT; ++p) spriteStage.SetPattern(p, p, PATTERN_CENTRE, PATTERN_CENTRE);
    for (std::int32_t i = 0; i < count; ++i) {
        spriteStage.SetSpritePattern(i, bodyField.KindOf(i));
        spriteStage.SetSpritePosition(i, bodyField.PositionX(i), bodyField.PositionY(i));
        spriteStage.SetSpriteVisible(i, true);
    }
}

void AdvanceFrame(plat::Window window) {
    bodyField.Step();
    const std::int32_t count = bodyField.Count();
    for (std::int32_t i = 0; i < count; ++i)
        spriteStage.SetSpritePosition(i, bodyField.PositionX(i), bodyField.PositionY(i));
    spriteStage.Render(window);
}

void ReleaseScene() {
    spriteStage.Release();
    bodyField.Release();
    // The stage's pictures and blank tiles were its only users of the blocks.
    ReleaseAllPackedDibs();
}
