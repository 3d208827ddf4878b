#include "app/animation_window.h"

#include "app/settings.h"
#include "host/saver_window.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "sim/random.h"

// Defined together, in this order, so that the stage is constructed before the
// field and destroyed after it.
SpriteStage spriteStage;
BodyField bodyField;

std::int32_t clientWidth = 0;
std::int32_t clientHeight = 0;
std::uint16_t timerId = 0;

namespace {

constexpr std::int32_t PATTERN_COUNT = 3;
constexpr std::int32_t IMAGE_COUNT = 3;
constexpr std::int32_t PATTERN_CENTRE = 32;
constexpr std::int32_t LARGE_SPRITE_SIZE = 64;  // sprites 0 and 1, the red and blue places
constexpr std::int32_t SPRITE_SIZE = 32;

void StartAnimation(plat::Window window) {
    plat::Rect client = plat::ClientRect(window);
    clientWidth = client.right;
    clientHeight = client.bottom;
    LoadSettings();
    SeedRandom();
    SetUpScene(window);
    timerId = static_cast<std::uint16_t>(plat::StartTimer(window, ANIMATION_TIMER_ID, TICK_INTERVAL_MS));
}

void StopAnimation(plat::Window window) {
    if (timerId != 0) plat::StopTimer(window, timerId);
    plat::PostQuit(0);
}

}  // namespace

void SetUpScene(plat::Window window) {
    bodyField.Setup(saverSettings.bodyCount, clientWidth, clientHeight, saverSettings.attractionSetting,
                    saverSettings.refreshMinutes);
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

plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam) {
    switch (message) {
        case msg::CREATE:
            StartAnimation(window);
            return 0;
        case msg::DESTROY:
            StopAnimation(window);
            return 0;
        case msg::TIMER:
            if (wParam == ANIMATION_TIMER_ID) AdvanceFrame(window);
            return 0;
        default:
            return SaverInputProc(window, message, wParam, lParam);
    }
}
