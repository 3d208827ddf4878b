// Moving pictures on the saver window without flicker: an 8-bit back buffer
// that is all colour index 0 between frames, sprites drawn into it, their
// changed rectangles copied to the window, then erased again.
#pragma once

#include <cstdint>

#include "platform/types.h"

class SpriteStage {
public:
    SpriteStage();
    ~SpriteStage();
    SpriteStage(const SpriteStage&) = delete;
    SpriteStage& operator=(const SpriteStage&) = delete;

    // Loads images "SPPAT_R0".., builds palette and back buffer, creates the
    // sprites and patterns. Does nothing on a stage that is already set up.
    void Setup(plat::Window window, std::int32_t spriteCount, std::int32_t patternCount,
               std::int32_t imageCount, std::int32_t width, std::int32_t height);
    void SetPattern(std::int32_t patternIndex, std::int32_t imageIndex, std::int32_t centreX,
                    std::int32_t centreY);
    void SetSpriteSize(std::int32_t spriteIndex, std::int32_t width, std::int32_t height);
    void SetSpritePattern(std::int32_t spriteIndex, std::int32_t patternIndex);
    void SetSpritePosition(std::int32_t spriteIndex, std::int32_t centreX, std::int32_t centreY);
    void SetSpriteVisible(std::int32_t spriteIndex, bool visible);

    // One frame: draw pass, present pass, erase pass.
    void Render(plat::Window window);

    // The fields below are the graphics subsystem's own; see its sources.
};
