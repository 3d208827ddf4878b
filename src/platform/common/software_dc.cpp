// Selections into the device contexts of software_dc.h: a context only notes
// what is selected into it, and DeleteMemoryDc lets go of both.
#include "platform/common/software_dc.h"

#include "platform/drawing.h"

namespace plat {

Palette SelectDcPalette(DeviceContext dc, Palette palette, bool) {
    Palette previous = dc->selectedPalette;
    dc->selectedPalette = palette;
    return previous;
}

void DeleteMemoryDc(DeviceContext dc) {
    if (!dc) return;
    dc->selectedBitmap = nullptr;
    dc->selectedPalette = nullptr;
}

Bitmap SelectDcBitmap(DeviceContext dc, Bitmap bitmap) {
    if (!dc) return nullptr;
    Bitmap previous = dc->selectedBitmap;
    dc->selectedBitmap = bitmap;
    return previous;
}

}  // namespace plat
