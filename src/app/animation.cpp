#include "app/animation.h"

#include <algorithm>

#include "app/settings.h"
#include "gfx/packed_dib.h"

// Each scene's stage is constructed before its field and destroyed after it.
Scene scenes[MAX_FIELDS];
std::int32_t sceneCount = 0;
SpriteStage& spriteStage = scenes[0].stage;
BodyField& bodyField = scenes[0].field;

std::int32_t clientWidth = 0;
std::int32_t clientHeight = 0;

namespace {

constexpr std::int32_t PATTERN_COUNT = 3;
constexpr std::int32_t IMAGE_COUNT = 3;
constexpr std::int32_t PATTERN_CENTRE = 32;
constexpr std::int32_t LARGE_SPRITE_SIZE = 64;  // sprites 0 and 1, the red and blue places
constexpr std::int32_t SPRITE_SIZE = 32;

// The field with its first scatter and the stage with one sprite per body, for
// an area of `width` x `height`.
void SetUpOne(Scene& scene, plat::Window window, std::int32_t width, std::int32_t height) {
    BodyField& field = scene.field;
    SpriteStage& stage = scene.stage;
    field.Setup(saverSettings.bodyCount, width, height, saverSettings.attractionSetting, saverSettings.refreshMinutes,
                {&saverSettings.redSwitch, &saverSettings.blueSwitch});
    // One sprite per body that exists: a field whose bodies could not be
    // allocated gets no sprites, and every frame draws nothing.
    const std::int32_t count = field.Count();
    stage.Setup(window, count, PATTERN_COUNT, IMAGE_COUNT, width, height);
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t size = i < 2 ? LARGE_SPRITE_SIZE : SPRITE_SIZE;
        stage.SetSpriteSize(i, size, size);
    }
    for (std::int32_t p = 0; p < PATTERN_COUNT; ++p) stage.SetPattern(p, p, PATTERN_CENTRE, PATTERN_CENTRE);
    for (std::int32_t i = 0; i < count; ++i) {
        stage.SetSpritePattern(i, field.KindOf(i));
        stage.SetSpritePosition(i, field.PositionX(i), field.PositionY(i));
        stage.SetSpriteVisible(i, true);
    }
}

// A rectangle in 64 bits, for work on screen rectangles of any size.
struct Area {
    std::int64_t left, top, right, bottom;
    bool Empty() const { return right <= left || bottom <= top; }
    std::int64_t Size() const { return Empty() ? 0 : (right - left) * (bottom - top); }
};

// The largest part of `a` that lies wholly left of, right of, above or below
// `taken` (the first of equal ones): a rectangle that shares no pixel with it.
// A rectangle inside `taken` has none; one beside it stays whole.
Area OutsideOf(const Area& a, const plat::Rect& taken) {
    if (a.right <= taken.left || taken.right <= a.left || a.bottom <= taken.top || taken.bottom <= a.top) return a;
    const Area parts[] = {{a.left, a.top, std::min<std::int64_t>(a.right, taken.left), a.bottom},
                          {std::max<std::int64_t>(a.left, taken.right), a.top, a.right, a.bottom},
                          {a.left, a.top, a.right, std::min<std::int64_t>(a.bottom, taken.top)},
                          {a.left, std::max<std::int64_t>(a.top, taken.bottom), a.right, a.bottom}};
    Area best{0, 0, 0, 0};
    for (const Area& part : parts)
        if (part.Size() > best.Size()) best = part;
    return best;
}

}  // namespace

void SetUpScene(plat::Window window) {
    SetUpOne(scenes[0], window, clientWidth, clientHeight);
    sceneCount = 1;
}

void SetUpScenes(plat::Window window, const plat::Rect* areas, std::int32_t areaCount) {
    std::int32_t count = 0;
    for (std::int32_t k = 0; areas && k < areaCount && count < MAX_FIELDS; ++k) {
        const plat::Rect& a = areas[k];
        if (a.right <= a.left || a.bottom <= a.top) continue;
        SetUpOne(scenes[count], window, a.right - a.left, a.bottom - a.top);
        scenes[count].stage.SetOrigin(a.left, a.top);
        ++count;
    }
    if (count == 0) {
        SetUpScene(window);
        return;
    }
    sceneCount = count;
}

std::int32_t SideBySideAreas(const plat::Point* sizes, std::int32_t count, std::int32_t maxWidth, plat::Rect* areas,
                             std::int32_t* width, std::int32_t* height) {
    std::int32_t made = 0;
    *width = *height = 0;
    for (std::int32_t k = 0; k < count && made < MAX_FIELDS; ++k) {
        const plat::Point size = sizes[k];
        if (size.x <= 0 || size.y <= 0 || size.x > maxWidth - *width) continue;
        areas[made++] = {*width, 0, *width + size.x, size.y};
        *width += size.x;
        *height = std::max(*height, size.y);
    }
    return made;
}

std::int32_t FieldAreas(plat::Rect clientOnScreen, const plat::Rect* screens, std::int32_t screenCount,
                        plat::Rect* areas) {
    std::int32_t count = 0;
    for (std::int32_t k = 0; screens && k < screenCount && count < MAX_FIELDS; ++k) {
        // In 64 bits: rectangles far out cannot overflow the subtraction.
        Area a{std::max<std::int64_t>(screens[k].left, clientOnScreen.left) - clientOnScreen.left,
               std::max<std::int64_t>(screens[k].top, clientOnScreen.top) - clientOnScreen.top,
               std::min<std::int64_t>(screens[k].right, clientOnScreen.right) - clientOnScreen.left,
               std::min<std::int64_t>(screens[k].bottom, clientOnScreen.bottom) - clientOnScreen.top};
        // No pixel belongs to two fields: what an earlier field shows is cut away.
        for (std::int32_t e = 0; e < count && !a.Empty(); ++e) a = OutsideOf(a, areas[e]);
        if (a.Empty()) continue;
        areas[count++] = {static_cast<std::int32_t>(a.left), static_cast<std::int32_t>(a.top),
                          static_cast<std::int32_t>(a.right), static_cast<std::int32_t>(a.bottom)};
    }
    return count;
}

void AdvanceFrame(plat::Window window) {
    for (std::int32_t k = 0; k < sceneCount; ++k) {
        BodyField& field = scenes[k].field;
        SpriteStage& stage = scenes[k].stage;
        field.Step();
        const std::int32_t count = field.Count();
        for (std::int32_t i = 0; i < count; ++i) stage.SetSpritePosition(i, field.PositionX(i), field.PositionY(i));
        stage.Render(window);
    }
}

void ReleaseScene() {
    // Every scene, not only those counted: a set-up that stopped half-way leaves
    // nothing behind either.
    for (Scene& scene : scenes) {
        scene.stage.Release();
        scene.field.Release();
    }
    sceneCount = 0;
    // The stages' pictures and blank tiles were their only users of the blocks.
    ReleaseAllPackedDibs();
}
