// Moving pictures on the saver window without flicker: an 8-bit back buffer
// that is all colour index 0 between frames, sprites drawn into it, their
// changed rectangles copied to the window, then erased again. Where the
// window's copies draw a back buffer's layers themselves (X11), the sprites are
// handed over as layers instead, and the back buffer is never drawn in.
#pragma once

#include <cstdint>

#include "gfx/indexed_image.h"
#include "platform/types.h"

// A part of a picture that sprites show: the picture and the point of it that lands
// on a sprite's centre.
struct SpritePattern {
    const IndexedImage* image = nullptr;  // an element of the stage's images; not owned
    std::int32_t centreX = 0;
    std::int32_t centreY = 0;
};

// Where a stage's back buffer is shown in its window: the window point of its
// top-left corner, and whether copies are clipped to the back buffer's own
// rectangle (a stage that shares its window with others).
struct StagePlacement {
    plat::Point origin{0, 0};
    bool clip = false;
};

// One moving picture of the stage.
class Sprite {
public:
    Sprite() = default;
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    // Draws the sprite's pattern into the back buffer, leaving out transparent pixels.
    void DrawInto(IndexedImage* backBuffer) const;
    // Whether DrawInto draws at all (visible, with a picture, and erasable).
    bool Draws() const;
    // The same drawing as a layer over the back buffer; false where it draws nothing.
    bool LayerOver(const IndexedImage& backBuffer, plat::BackBufferLayer* layer) const;
    // Copies what changed on screen (old and new rectangle, joined when that is
    // cheaper) from the back buffer to the window's device context, placed there
    // as `placement` says.
    void Present(plat::DeviceContext dc, const IndexedImage& backBuffer, StagePlacement placement);
    // Paints the sprite's rectangle in the back buffer back to colour index 0.
    void EraseFrom(IndexedImage* backBuffer) const;

    const SpritePattern* pattern = nullptr;  // not owned
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t halfWidth = 0;
    std::int32_t halfHeight = 0;
    bool visible = false;
    IndexedImage blankTile;  // width x height of colour index 0
    std::int32_t shownLeft = 0;
    std::int32_t shownTop = 0;
    bool wasShown = false;
    std::int32_t mergeLimit = 0;  // joined rectangles smaller than this go out as one copy
    std::int32_t requestedWidth = 0;
    std::int32_t requestedHeight = 0;
};

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
    // Gives back the back buffer, palette, sprites, patterns and images, leaving the
    // stage as a new one, ready for another Setup; the window's context first gets
    // the system's palette back, so that the stage's can be deleted. The picture
    // blocks themselves live on (see packed_dib.h).
    void Release();

    void SetPattern(std::int32_t patternIndex, std::int32_t imageIndex, std::int32_t centreX,
                    std::int32_t centreY);
    void SetSpriteSize(std::int32_t spriteIndex, std::int32_t width, std::int32_t height);
    void SetSpritePattern(std::int32_t spriteIndex, std::int32_t patternIndex);
    void SetSpritePosition(std::int32_t spriteIndex, std::int32_t centreX, std::int32_t centreY);
    void SetSpriteVisible(std::int32_t spriteIndex, bool visible);
    // Shows the back buffer with its top-left corner at (x, y) of the window, and
    // never copies what lies outside it there: a stage that shares its window
    // with others (one screen of several). Unset, the back buffer is the window's
    // client area from its corner on.
    void SetOrigin(std::int32_t x, std::int32_t y) { placement = {{x, y}, true}; }

    // One frame: draw pass, present pass, erase pass (or layer pass and present pass).
    void Render(plat::Window window);

    // Read-only views for tests and benchmarks.
    const IndexedImage& BackBuffer() const { return backBuffer; }
    const Sprite* SpriteAt(std::int32_t index) const {
        return sprites && index >= 0 && index < spriteCount ? &sprites[index] : nullptr;
    }
    std::int32_t SpriteCount() const { return spriteCount; }

    // The back-buffer passes of a frame on their own (no device context, no copy to
    // the window), for measuring the work a frame does on the back buffer.
    void DrawPass();
    void ErasePass();
    // The frame's drawing as layers over the back buffer, for a window whose copies
    // draw them themselves (the back buffer then stays colour index 0): the
    // sprites that DrawPass would draw, in its order. Returns how many.
    std::int32_t LayerPass();

private:
    bool IsSetUp() const { return sprites || patterns || images; }
    void PresentPass(plat::DeviceContext dc);

    Sprite* sprites = nullptr;
    SpritePattern* patterns = nullptr;
    plat::BackBufferLayer* layers = nullptr;  // one per sprite, for LayerPass
    std::uint32_t firstPicture = 0;           // the layers' name of images[0] (see plat::BackBufferLayer)
    IndexedImage* images = nullptr;
    IndexedImage backBuffer;
    plat::Bitmap backBufferBitmap = nullptr;
    plat::DeviceContext memoryDc = nullptr;
    plat::Bitmap previousBitmap = nullptr;
    plat::Window window = nullptr;  // the window whose context the palette was selected into
    std::int32_t spriteCount = 0;
    std::int32_t patternCount = 0;
    std::int32_t imageCount = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    StagePlacement placement;
};
