#include "gfx/sprite_stage.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

#include "platform/drawing.h"

namespace {

// Positions and sizes are worked out in 64 bits and saturated back to 32, so that
// sprites far off the screen stay off it instead of wrapping around.
std::int32_t Saturate(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::int64_t Distance(std::int32_t a, std::int32_t b) {
    const std::int64_t d = static_cast<std::int64_t>(a) - b;
    return d < 0 ? -d : d;
}

// Copies the rectangle (x, y, w, h) of the back buffer to the same place in the
// window, moved by the placement's origin. The back buffer is stored bottom-up,
// so the source row is counted from its bottom. The system's copy leaves out
// what lies outside the back buffer; a stage that shares its window is clipped
// to its own rectangle here as well, so that no copy ever reaches past its screen.
void CopyToWindow(plat::DeviceContext dc, const IndexedImage& backBuffer, StagePlacement placement, std::int64_t x,
                  std::int64_t y, std::int64_t w, std::int64_t h) {
    const plat::Point origin = placement.origin;
    if (placement.clip) {
        const std::int64_t left = std::max<std::int64_t>(x, 0), top = std::max<std::int64_t>(y, 0);
        const std::int64_t right = std::min<std::int64_t>(x + w, backBuffer.width);
        const std::int64_t bottom = std::min<std::int64_t>(y + h, backBuffer.height);
        if (right <= left || bottom <= top) return;
        x = left, y = top, w = right - left, h = bottom - top;
    }
    plat::StretchCopy(dc, Saturate(x + origin.x), Saturate(y + origin.y), Saturate(w), Saturate(h), Saturate(x),
                      Saturate(static_cast<std::int64_t>(backBuffer.height) - y - h), backBuffer.bits,
                      backBuffer.info);
}

}  // namespace

// ---- Sprite ------------------------------------------------------------------------

bool Sprite::Draws() const {
    // A sprite whose blank tile could not be made could not be erased again, so it
    // is not drawn either: the back buffer must be black after every frame.
    return visible && pattern && pattern->image && blankTile.header;
}

void Sprite::DrawInto(IndexedImage* backBuffer) const {
    if (!Draws()) return;
    pattern->image->CopyRectTransparent(backBuffer, left, top, Saturate(std::int64_t{2} * halfWidth),
                                        Saturate(std::int64_t{2} * halfHeight),
                                        Saturate(std::int64_t{pattern->centreX} - halfWidth),
                                        Saturate(std::int64_t{pattern->centreY} - halfHeight));
}

bool Sprite::LayerOver(const IndexedImage& backBuffer, plat::BackBufferLayer* layer) const {
    return Draws() && pattern->image->TransparentLayer(backBuffer, left, top, Saturate(std::int64_t{2} * halfWidth),
                                                       Saturate(std::int64_t{2} * halfHeight),
                                                       Saturate(std::int64_t{pattern->centreX} - halfWidth),
                                                       Saturate(std::int64_t{pattern->centreY} - halfHeight), layer);
}

void Sprite::Present(plat::DeviceContext dc, const IndexedImage& backBuffer, StagePlacement placement) {
    if (visible && wasShown) {
        const std::int64_t joinedLeft = left < shownLeft ? left : shownLeft;
        const std::int64_t joinedTop = top < shownTop ? top : shownTop;
        const std::int64_t joinedWidth = width + Distance(left, shownLeft);
        const std::int64_t joinedHeight = height + Distance(top, shownTop);
        const bool small = joinedWidth <= INT32_MAX && joinedHeight <= INT32_MAX &&
                           joinedWidth * joinedHeight < mergeLimit;
        if (small) {
            CopyToWindow(dc, backBuffer, placement, joinedLeft, joinedTop, joinedWidth, joinedHeight);
        } else {
            CopyToWindow(dc, backBuffer, placement, left, top, width, height);
            CopyToWindow(dc, backBuffer, placement, shownLeft, shownTop, width, height);
        }
    } else if (visible) {
        CopyToWindow(dc, backBuffer, placement, left, top, width, height);
    } else if (wasShown) {
        // Clears the sprite's last image from the window.
        CopyToWindow(dc, backBuffer, placement, shownLeft, shownTop, width, height);
    }
    shownLeft = left;
    shownTop = top;
    wasShown = visible;
}

void Sprite::EraseFrom(IndexedImage* backBuffer) const {
    // The blank tile is all colour index 0: clearing its area is copying it, with
    // no reads of a hundred tiles' memory every frame.
    if (visible && blankTile.header) backBuffer->ClearRect(left, top, blankTile.width, blankTile.height);
}

// ---- SpriteStage ---------------------------------------------------------------------

SpriteStage::SpriteStage() = default;

SpriteStage::~SpriteStage() { Release(); }

void SpriteStage::Release() {
    // The system refuses to delete a palette or bitmap that a context holds:
    // the window's context gets the system's palette back (it holds this stage's
    // palette since the set-up or the last frame), and the memory context its
    // first bitmap.
    if (window && backBuffer.palette) {
        plat::DeviceContext dc = plat::AcquireWindowDc(window);
        plat::SelectDcPalette(dc, plat::DefaultPalette(), false);
        plat::ReleaseWindowDc(window, dc);
    }
    if (memoryDc && backBufferBitmap) plat::SelectDcBitmap(memoryDc, previousBitmap);
    if (backBufferBitmap) plat::DestroyBitmap(backBufferBitmap);
    if (memoryDc) plat::DeleteMemoryDc(memoryDc);
    delete[] sprites;
    delete[] patterns;
    delete[] layers;
    delete[] images;
    // The back buffer goes last: it deletes the palette.
    backBuffer.Clear();
    sprites = nullptr;
    patterns = nullptr;
    layers = nullptr;
    images = nullptr;
    backBufferBitmap = nullptr;
    memoryDc = nullptr;
    previousBitmap = nullptr;
    window = nullptr;
    spriteCount = patternCount = imageCount = 0;
    width = height = 0;
    placement = StagePlacement{};
}

void SpriteStage::Setup(plat::Window shownOn, std::int32_t spriteTotal, std::int32_t patternTotal,
                        std::int32_t imageTotal, std::int32_t bufferWidth, std::int32_t bufferHeight) {
    if (IsSetUp()) return;
    if (spriteTotal < 0) spriteTotal = 0;
    if (patternTotal < 0) patternTotal = 0;
    if (imageTotal < 0) imageTotal = 0;

    // Every array is made before anything else, so that a stage is either wholly set
    // up or left empty.
    auto* newImages = new (std::nothrow) IndexedImage[static_cast<std::size_t>(imageTotal)];
    auto* newSprites = new (std::nothrow) Sprite[static_cast<std::size_t>(spriteTotal)];
    auto* newPatterns = new (std::nothrow) SpritePattern[static_cast<std::size_t>(patternTotal)];
    if (!newImages || !newSprites || !newPatterns) {
        delete[] newImages;
        delete[] newSprites;
        delete[] newPatterns;
        return;
    }

    window = shownOn;
    images = newImages;
    imageCount = imageTotal;
    for (std::int32_t i = 0; i < imageCount; ++i) {
        char name[24] = "SPPAT_R";
        const std::size_t prefix = std::strlen(name);
        auto end = std::to_chars(name + prefix, name + sizeof name - 1, i).ptr;
        *end = '\0';
        images[i].LoadFromBitmap(name);
    }

    plat::DeviceContext windowDc = plat::AcquireWindowDc(window);
    // Without a first picture its colour entries stay black.
    const IndexedImage noPicture;
    backBuffer.MergeColourTable(imageCount > 0 ? images[0] : noPicture);
    backBuffer.BuildPalette();
    backBuffer.SelectPaletteInto(windowDc);
    plat::RealizeDcPalette(windowDc);
    memoryDc = plat::CreateMemoryDc(windowDc);
    backBuffer.SelectPaletteInto(memoryDc);
    plat::RealizeDcPalette(memoryDc);
    backBufferBitmap = backBuffer.CreateBackBuffer(windowDc, bufferWidth, bufferHeight);
    if (backBufferBitmap) previousBitmap = plat::SelectDcBitmap(memoryDc, backBufferBitmap);
    plat::ReleaseWindowDc(window, windowDc);
    if (backBuffer.bits) plat::FillBlack(memoryDc, 0, 0, bufferWidth, bufferHeight);

    width = bufferWidth;
    height = bufferHeight;
    spriteCount = spriteTotal;
    sprites = newSprites;
    patternCount = patternTotal;
    patterns = newPatterns;
    // Without them the frames draw into the back buffer as everywhere else.
    layers = new (std::nothrow) plat::BackBufferLayer[static_cast<std::size_t>(spriteTotal)];
    // Every set-up names its pictures (and with them its palette) anew.
    static std::uint32_t picturesNamed = 0;
    firstPicture = picturesNamed + 1;  // 0 after 2^32 names: none
    picturesNamed += static_cast<std::uint32_t>(imageCount) + 1;
}

void SpriteStage::SetPattern(std::int32_t patternIndex, std::int32_t imageIndex, std::int32_t centreX,
                             std::int32_t centreY) {
    if (patternIndex < 0 || patternIndex >= patternCount || imageIndex < 0 || imageIndex >= imageCount) return;
    SpritePattern& p = patterns[patternIndex];
    p.image = &images[imageIndex];
    p.centreX = centreX;
    p.centreY = centreY;
}

void SpriteStage::SetSpriteSize(std::int32_t spriteIndex, std::int32_t w, std::int32_t h) {
    if (spriteIndex < 0 || spriteIndex >= spriteCount) return;
    Sprite& s = sprites[spriteIndex];
    s.width = w;
    s.height = h;
    s.halfWidth = w / 2;
    s.halfHeight = h / 2;
    s.blankTile.CreateBlank(w, h);
    s.mergeLimit = Saturate(static_cast<std::int64_t>(w) * h * 2);
    s.requestedWidth = w;
    s.requestedHeight = h;
}

void SpriteStage::SetSpritePattern(std::int32_t spriteIndex, std::int32_t patternIndex) {
    if (spriteIndex < 0 || spriteIndex >= spriteCount) return;
    const bool valid = patternIndex >= 0 && patternIndex < patternCount;
    // With no patterns at all there is no pattern 0 to fall back to.
    sprites[spriteIndex].pattern = valid ? &patterns[patternIndex] : (patternCount > 0 ? &patterns[0] : nullptr);
}

void SpriteStage::SetSpritePosition(std::int32_t spriteIndex, std::int32_t centreX, std::int32_t centreY) {
    if (spriteIndex < 0 || spriteIndex >= spriteCount) return;
    Sprite& s = sprites[spriteIndex];
    s.left = Saturate(static_cast<std::int64_t>(centreX) - s.halfWidth);
    s.top = Saturate(static_cast<std::int64_t>(centreY) - s.halfHeight);
}

void SpriteStage::SetSpriteVisible(std::int32_t spriteIndex, bool visible) {
    if (spriteIndex < 0 || spriteIndex >= spriteCount) return;
    sprites[spriteIndex].visible = visible;
}

void SpriteStage::DrawPass() {
    if (!backBuffer.bits) return;
    // The back-buffer rows under a sprite are asked for two sprites ahead of
    // drawing it: between frames they leave the cache, and drawing them a row at
    // a time would wait for each in turn.
    constexpr std::int32_t SPRITES_AHEAD = 2;
    const std::int64_t stride = backBuffer.Stride();
    for (std::int32_t i = 0; i < spriteCount; ++i) {
        if (i + SPRITES_AHEAD < spriteCount) {
            const Sprite& next = sprites[i + SPRITES_AHEAD];
            const std::int64_t left = std::clamp<std::int64_t>(next.left, 0, backBuffer.width - 1);
            const std::int64_t last = std::clamp<std::int64_t>(std::int64_t{next.left} + next.width - 1, left,
                                                               backBuffer.width - 1);
            const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{next.top} + next.height, backBuffer.height);
            for (std::int64_t y = std::max<std::int64_t>(next.top, 0); y < bottom; ++y) {
                const std::uint8_t* row = backBuffer.bits + (backBuffer.height - 1 - y) * stride;
                __builtin_prefetch(row + left, 1);
                __builtin_prefetch(row + last, 1);
            }
        }
        sprites[i].DrawInto(&backBuffer);
    }
}

void SpriteStage::PresentPass(plat::DeviceContext dc) {
    // Last sprite first.
    for (std::int32_t i = spriteCount - 1; i >= 0; --i) sprites[i].Present(dc, backBuffer, placement);
}

void SpriteStage::ErasePass() {
    if (!backBuffer.bits) return;
    for (std::int32_t i = 0; i < spriteCount; ++i) sprites[i].EraseFrom(&backBuffer);
}

std::int32_t SpriteStage::LayerPass() {
    std::int32_t count = 0;
    for (std::int32_t i = 0; layers && i < spriteCount; ++i) {
        const Sprite& sprite = sprites[i];
        if (!sprite.LayerOver(backBuffer, &layers[count])) continue;
        const auto image = static_cast<std::uint32_t>(sprite.pattern->image - images);
        layers[count++].picture = firstPicture + image;
    }
    return count;
}

void SpriteStage::Render(plat::Window window) {
    // A stage without a back buffer (never set up, zero client size, or no pixel
    // buffer from the platform) draws nothing.
    if (!IsSetUp() || !backBuffer.bits) return;
    plat::DeviceContext dc = plat::AcquireWindowDc(window);
    // Where the window's copies draw the sprites themselves, the back buffer is
    // neither drawn in nor erased: the copies read only the pictures.
    const bool layered = layers && plat::TakesBackBufferLayers(dc);
    if (layered) plat::SetBackBufferLayers(dc, backBuffer.bits, layers, LayerPass(), TRANSPARENT_INDEX);
    else DrawPass();
    backBuffer.SelectPaletteInto(dc);
    plat::RealizeDcPalette(dc);
    PresentPass(dc);
    plat::ReleaseWindowDc(window, dc);
    if (!layered) ErasePass();
}
