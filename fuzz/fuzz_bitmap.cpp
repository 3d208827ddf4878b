// Fuzzes bitmap loading: the input is the whole content of a bitmap file (and,
// separately, of a built-in bitmap). Each is loaded into an image, which is then
// copied, opaquely and transparently, into a small back buffer at places taken
// from the input, and its colours merged into the back buffer's colour table.
#include <cstddef>
#include <cstdint>

#include "fake.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "gfx/indexed_image.h"
#include "gfx/packed_dib.h"

namespace {

IndexedImage& BackBuffer() {
    static IndexedImage* backBuffer = [] {
        auto* image = new IndexedImage;
        image->CreateBackBuffer(fake::WindowDc(), 37, 29);
        return image;
    }();
    return *backBuffer;
}

// Signed value from two input bytes counted from the end, spread over about -128..127.
std::int32_t Param(const std::uint8_t* data, std::size_t size, std::size_t i) {
    if (size < 2 * i + 2) return 0;
    const std::uint16_t v = static_cast<std::uint16_t>(data[size - 1 - 2 * i] | (data[size - 2 - 2 * i] << 8));
    return static_cast<std::int16_t>(v) / 256;
}

void Exercise(const IndexedImage& image, const std::uint8_t* data, std::size_t size) {
    IndexedImage& back = BackBuffer();
    back.MergeColourTable(image);
    image.CopyTo(&back, Param(data, size, 0), Param(data, size, 1));
    image.CopyRectTransparent(&back, Param(data, size, 2), Param(data, size, 3), Param(data, size, 4) + 64,
                              Param(data, size, 5) + 64, Param(data, size, 6), Param(data, size, 7));
    image.CopyRectTransparent(&back, -5, -5, 64, 64, 16, 16);
    if (image.header) {
        // Every addressable pixel really is in the block.
        volatile std::uint8_t sink = 0;
        for (std::int32_t y : {0, image.height - 1})
            for (std::int32_t x : {0, image.width - 1})
                if (const std::uint8_t* p = image.PixelAddress(x, y)) sink = *p;
        (void)sink;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fake::ClearCalls();
    fake::FileState& files = fake::Files();
    files.files["SPPAT_R0"].assign(data, data + size);
    files.builtInBitmaps["STORED"].assign(data, data + size);

    IndexedImage fromFile;
    fromFile.LoadFromBitmap("SPPAT_R0");
    Exercise(fromFile, data, size);

    IndexedImage stored;
    stored.LoadFromBitmap("STORED");
    Exercise(stored, data, size);

    IndexedImage blank;
    blank.CreateBlank(Param(data, size, 8) + 100, Param(data, size, 9) + 100);
    Exercise(blank, data, size);

    if (files.openFiles != 0) __builtin_trap();  // every file is closed again
    ReleaseAllPackedDibs();
    return 0;
}
