// Test double of drawing: a settable system palette, real pixel buffers for the
// back buffer, memory contexts that know their selected bitmap (so a black fill
// really clears the pixels), and a record of every copy to a window together
// with the colour indices it put on the screen. Like the system, it refuses to
// delete a palette or bitmap that a context still holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/drawing.h"
#include "platform/types.h"

namespace fake {

struct WindowCopy {
    plat::DeviceContext dc;
    std::int32_t x, y, width, height;  // destination rectangle
    std::int32_t sourceX, sourceY;     // lower-left source corner, rows counted from the bottom
    const std::uint8_t* bits;
    const void* info;
};

inline constexpr std::size_t kMaxWindowCopies = 8192;

// The screen that copies to a window land on, in window coordinates (every
// window's origin at its top-left corner); copies are clipped to it.
inline constexpr std::int32_t kShownWidth = 1024;
inline constexpr std::int32_t kShownHeight = 768;
// A screen pixel that no copy has reached since the last reset.
inline constexpr int kNeverShown = -1;

struct GdiState {
    plat::PaletteEntry systemPalette[256];  // what ReadSystemPalette answers
    bool hasSystemPalette = true;           // false: the display reports no system palette
    bool failPixelBuffer = false;           // CreatePixelBuffer fails
    bool recordCalls = true;                // false: nothing goes to the call log nor the screen (benchmarks)
    // True: window contexts take a back buffer's layers, and copies from it show
    // them (as X11 does) until the context is released.
    bool takesLayers = false;

    // Every StretchCopy since the last reset (or ClearWindowCopies), oldest first;
    // copies beyond kMaxWindowCopies are counted but not kept.
    WindowCopy windowCopies[kMaxWindowCopies];
    std::size_t windowCopyCount = 0;

    int windowDcsHeld = 0;   // acquired and not yet released
    int screenDcsHeld = 0;
    int memoryDcsLive = 0;   // created and not yet deleted
    int bitmapsLive = 0;
    int palettesLive = 0;
    // Deletions of a palette or bitmap that a context still held: refused, as
    // the system refuses them, and the object stays.
    int refusedDeletes = 0;
};

GdiState& Gdi();
void ClearWindowCopies();

// The colour index that the copies to windows left at (x, y) of the screen, or
// kNeverShown.
int ShownPixel(std::int32_t x, std::int32_t y);

// The bitmap selected into a memory context now (null for other contexts).
plat::Bitmap SelectedBitmap(plat::DeviceContext dc);
// The bitmap every new memory context starts with.
plat::Bitmap StockBitmap();
// The palette selected into a context now; every context starts with the stock one.
plat::Palette SelectedPalette(plat::DeviceContext dc);
plat::Palette StockPalette();
// The palettes, bitmaps and memory contexts made and not yet deleted.
int LiveObjects();
// The entries a logical palette was made with (null for an unknown handle).
const plat::PaletteEntry* PaletteEntries(plat::Palette palette);
// The window context's handle (the same for every window) and the screen's.
plat::DeviceContext WindowDc();
plat::DeviceContext ScreenDc();

}  // namespace fake
