// Stand-ins for parts of the program that are built elsewhere and not merged
// yet; each disappears as soon as the real implementation is in the tree.
#include <cstdint>

#include "app/settings.h"
#include "gfx/sprite_stage.h"
#include "platform/types.h"
#include "sim/body_field.h"

#if !__has_include("gfx/sprite_stage.cpp")
SpriteStage::SpriteStage() {}
SpriteStage::~SpriteStage() {}
void SpriteStage::Setup(plat::Window, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void SpriteStage::SetPattern(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void SpriteStage::SetSpriteSize(std::int32_t, std::int32_t, std::int32_t) {}
void SpriteStage::SetSpritePattern(std::int32_t, std::int32_t) {}
void SpriteStage::SetSpritePosition(std::int32_t, std::int32_t, std::int32_t) {}
void SpriteStage::SetSpriteVisible(std::int32_t, bool) {}
void SpriteStage::Render(plat::Window) {}
#endif

#if !__has_include("sim/body_field.cpp")
BodyField::~BodyField() {}
void BodyField::Setup(std::int32_t bodyCount, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
    count = bodyCount;
}
void BodyField::Scatter() {}
void BodyField::Step() {}
std::int32_t BodyField::PositionX(std::int32_t) const { return 0; }
std::int32_t BodyField::PositionY(std::int32_t) const { return 0; }
std::int32_t BodyField::KindOf(std::int32_t) const { return 2; }
void BodyField::Release() {}
#endif

#if !__has_include("app/settings.cpp")
SaverSettings saverSettings;
void LoadSettings() { saverSettings = {0, 20, 100, 5, 0, 0}; }
void SaveSettings() {}
#endif

#if !__has_include("platform/dialog.h")
namespace plat {
MessageResult RunModalDialog(std::int32_t, Window) { return -1; }
}  // namespace plat
#endif
