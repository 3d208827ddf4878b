// Fuzzes the composition of window pixels that X11 and Wayland share
// (platform/pixels/, with the copy clipping of platform/common/): a window of
// any size and pixel size, whose pieces go either to memory of the target's own
// with packed rows (as X11's staging memory) or straight into an image with rows
// of any length (as a Wayland output's pixels, of any scale), and frames of
// arbitrary copies from a back buffer or from pictures, with or without layers
// of pictures over the back buffer.
//
// Packed pieces are blocks of exactly their size and the image is a block of
// exactly its size, so that a write past either is caught. After each frame
// every pixel put must be what its source shows there through the palette, for
// one of the frame's copies' placements, and everything else of the image (the
// padding of its rows included) must be as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/drawing.h"
#include "platform/pixels/pixel_window.h"

// The harness's own checks: the fuzzer learns nothing from their branches, and
// instrumented they would cost most of its time.
#define NOT_INSTRUMENTED __attribute__((no_sanitize("coverage")))

namespace {

using plat::BackBufferLayer;

constexpr std::uint8_t UNTOUCHED = 0xA5;  // every byte of the image before a frame
constexpr int MAX_SIDE = 96;

// An 8-bit picture: its header (only the size is read) and rows from the bottom, padded to 4 bytes.
struct Picture {
    std::uint8_t info[40] = {};
    std::vector<std::uint8_t> bits;
    std::int32_t width = 0, height = 0, stride = 0;

    NOT_INSTRUMENTED void Make(FuzzedDataProvider& in, std::int32_t w, std::int32_t h, std::uint8_t transparent) {
        width = w;
        height = h;
        stride = (w + 3) & ~3;
        const std::int32_t fields[] = {40, w, h};
        std::memcpy(info, fields, sizeof fields);
        bits.resize(static_cast<std::size_t>(stride) * h);
        const std::uint8_t seed = in.ConsumeIntegral<std::uint8_t>();
        for (std::size_t i = 0; i < bits.size(); ++i)
            bits[i] = (i * 7 + seed) % 5 == 0 ? transparent : static_cast<std::uint8_t>(i * 13 + seed);
    }
    // Column x of row y counted from the top.
    std::uint8_t At(std::int64_t x, std::int64_t y) const { return bits[(height - 1 - y) * stride + x]; }
};

// Where window pixel (X, Y) of a copy comes from: column X + dx and row Y + dy,
// from the top, of `source` (drawn from the layers where `layered`).
struct Placement {
    const Picture* source;
    std::int64_t dx, dy;
    bool layered;
};

// The target: the window's pixels, rows of `rowBytes` (pixels and padding).
struct Target {
    plat::WindowObject window;
    std::uint8_t* image = nullptr;
    std::int64_t rowBytes = 0;
    int pixelBytes = 0;
    std::int32_t maxRows = 0;   // rows a piece may have at most (0: any)
    std::int32_t padBytes = 0;  // packed rows are padded to a multiple of this
    std::vector<std::uint8_t> put;  // per pixel: 1 where a piece was put this frame
    char* piece = nullptr;          // the packed piece being written
};
Target* target = nullptr;

[[noreturn]] void Fail(const char* what, std::int64_t x, std::int64_t y) {
    std::fprintf(stderr, "fuzz_pixels: %s at %lld,%lld\n", what, static_cast<long long>(x), static_cast<long long>(y));
    std::abort();
}

// A packed piece's rows: its pixels padded to a multiple of padBytes.
std::int64_t PieceRowBytes(std::int32_t width) {
    const std::int64_t pad = target->padBytes;
    return (std::int64_t{width} * target->pixelBytes + pad - 1) / pad * pad;
}

char* Begin(plat::WindowObject* w, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t* rows,
            std::int64_t* rowBytes) {
    if (x < 0 || y < 0 || width < 1 || *rows < 1 || x + width > w->width || y + *rows > w->height)
        Fail("a piece outside the window", x, y);
    if (target->maxRows) *rows = std::min(*rows, target->maxRows);
    if (!w->target->packedRows) {
        *rowBytes = target->rowBytes;
        return reinterpret_cast<char*>(target->image + y * target->rowBytes + std::int64_t{x} * target->pixelBytes);
    }
    *rowBytes = PieceRowBytes(width);
    target->piece = static_cast<char*>(std::malloc(static_cast<std::size_t>(*rows * *rowBytes)));
    return target->piece;
}

void Put(plat::WindowObject* w, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rows) {
    const std::int64_t pixelBytes = target->pixelBytes;
    for (std::int32_t j = 0; j < rows; ++j) {
        std::uint8_t* line = target->image + (y + j) * target->rowBytes + x * pixelBytes;
        if (w->target->packedRows)
            std::memcpy(line, target->piece + j * PieceRowBytes(width), static_cast<std::size_t>(width * pixelBytes));
        std::memset(&target->put[static_cast<std::size_t>(y + j) * w->width + x], 1, static_cast<std::size_t>(width));
    }
    std::free(target->piece);
    target->piece = nullptr;
}

void FillBlack(plat::WindowObject*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void FrameEnd(plat::WindowObject*) {}

const plat::PixelTarget PACKED{Begin, Put, FillBlack, FrameEnd, true};
const plat::PixelTarget STRIDED{Begin, Put, FillBlack, FrameEnd, false};

// The colour index that the back buffer (with its layers) or a picture shows at (x, y) from the top.
NOT_INSTRUMENTED std::uint8_t IndexAt(const Placement& p, const BackBufferLayer* layers, int layerCount,
                                      std::uint8_t transparent, std::int64_t x, std::int64_t y) {
    if (!p.layered) return p.source->At(x, y);
    std::uint8_t index = 0;
    for (int k = 0; k < layerCount; ++k) {
        const BackBufferLayer& l = layers[k];
        if (x < l.x || x >= l.x + l.width || y < l.y || y >= l.y + l.height) continue;
        const std::int64_t row = l.sourceHeight - 1 - (l.sourceY + y - l.y);
        const std::uint8_t v = l.bits[row * l.stride + l.sourceX + x - l.x];
        if (v != transparent) index = v;
    }
    return index;
}

// A pixel value as stored in the image.
NOT_INSTRUMENTED void Store(const plat::PixelFormat& f, std::uint32_t value, std::uint8_t* out) {
    if (f.bitsPerPixel == 24) {
        out[f.lsbFirst ? 0 : 2] = static_cast<std::uint8_t>(value);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[f.lsbFirst ? 2 : 0] = static_cast<std::uint8_t>(value >> 16);
    } else if (f.bitsPerPixel == 16) {
        const auto v = static_cast<std::uint16_t>(value);
        std::memcpy(out, &v, 2);
    } else {
        std::memcpy(out, &value, 4);
    }
}

// After a frame: every pixel put is what one of the frame's copies shows there,
// and nothing else of the image changed.
NOT_INSTRUMENTED void CheckFrame(const Target& t, const plat::PixelFormat& format, const std::uint32_t* lut,
                                 const std::vector<Placement>& placements, const BackBufferLayer* layers,
                                 int layerCount, std::uint8_t transparent) {
    std::uint8_t expected[4];
    std::size_t matched = 0;
    for (std::int64_t y = 0; y < t.window.height; ++y) {
        const std::uint8_t* line = t.image + y * t.rowBytes;
        for (std::int64_t x = 0; x < t.window.width; ++x) {
            const std::uint8_t* pixel = line + x * t.pixelBytes;
            if (!t.put[static_cast<std::size_t>(y * t.window.width + x)]) {
                if (std::any_of(pixel, pixel + t.pixelBytes, [](std::uint8_t b) { return b != UNTOUCHED; }))
                    Fail("a pixel outside every piece put was written", x, y);
                continue;
            }
            // Neighbours mostly come from the same copy: the last one that matched is tried first.
            std::size_t k = 0;
            for (; k < placements.size(); ++k) {
                const Placement& p = placements[(matched + k) % placements.size()];
                const std::int64_t sx = x + p.dx, sy = y + p.dy;
                if (sx < 0 || sy < 0 || sx >= p.source->width || sy >= p.source->height) continue;
                Store(format, lut[IndexAt(p, layers, layerCount, transparent, sx, sy)], expected);
                if (std::memcmp(pixel, expected, static_cast<std::size_t>(t.pixelBytes)) == 0) break;
            }
            if (k == placements.size()) Fail("a pixel put is not what any copy shows there", x, y);
            matched = (matched + k) % placements.size();
        }
        for (std::int64_t b = std::int64_t{t.window.width} * t.pixelBytes; b < t.rowBytes; ++b)
            if (line[b] != UNTOUCHED) Fail("the padding of a row was written", b, y);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Target t;
    target = &t;
    plat::PixelFormat format;
    format.bitsPerPixel = in.PickValueInArray({16, 24, 32});
    format.lsbFirst = in.ConsumeBool();
    if (format.bitsPerPixel == 16) {
        format.redMask = 0xF800, format.greenMask = 0x07E0, format.blueMask = 0x001F;
    } else {
        format.redMask = 0xFF0000, format.greenMask = 0xFF00, format.blueMask = 0xFF;
        format.spareBits = format.bitsPerPixel == 32 && in.ConsumeBool() ? 0xFF000000 : 0;
    }
    const bool packed = in.ConsumeBool();
    // An output's device pixels are its logical size times its scale.
    const std::int32_t scale = in.ConsumeIntegralInRange(1, 3);
    const std::int32_t width = scale * in.ConsumeIntegralInRange(1, MAX_SIDE / 3);
    const std::int32_t height = scale * in.ConsumeIntegralInRange(1, MAX_SIDE / 3);
    t.pixelBytes = format.bitsPerPixel / 8;
    t.rowBytes = (std::int64_t{width} + (packed ? 0 : in.ConsumeIntegralInRange(0, 3))) * t.pixelBytes;
    t.maxRows = in.ConsumeIntegralInRange(0, height);
    t.padBytes = in.PickValueInArray({1, 2, 4, 8});
    if (!plat::pixels::OpenWindow(&t.window, packed ? &PACKED : &STRIDED, format, width, height)) return 0;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(t.rowBytes * height));
    t.image = image.data();
    t.put.resize(static_cast<std::size_t>(width) * height);

    plat::PaletteEntry entries[256];
    for (int i = 0; i < 256; ++i)
        entries[i] = {static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i),
                      static_cast<std::uint8_t>(i * 7), 0};
    plat::Palette palette = plat::CreateLogicalPalette(entries, in.ConsumeIntegralInRange(0, 256));
    plat::DeviceContext dc = plat::AcquireWindowDc(&t.window);
    plat::SelectDcPalette(dc, palette, false);
    plat::RealizeDcPalette(dc);
    plat::ReleaseWindowDc(&t.window, dc);

    const std::uint8_t transparent = in.ConsumeIntegral<std::uint8_t>();
    Picture back, pictures[3];
    back.Make(in, in.ConsumeIntegralInRange(1, MAX_SIDE), in.ConsumeIntegralInRange(1, MAX_SIDE), transparent);
    for (Picture& p : pictures)
        p.Make(in, in.ConsumeIntegralInRange(1, 64), in.ConsumeIntegralInRange(1, 64), transparent);

    for (int frame = in.ConsumeIntegralInRange(1, 3); frame > 0 && in.remaining_bytes() > 0; --frame) {
        std::memset(image.data(), UNTOUCHED, image.size());
        std::fill(t.put.begin(), t.put.end(), 0);
        dc = plat::AcquireWindowDc(&t.window);
        // Layers lie wholly inside the back buffer and their pictures.
        BackBufferLayer layers[8];
        const int layerCount = in.ConsumeIntegralInRange(0, 8);
        for (int k = 0; k < layerCount; ++k) {
            const int which = in.ConsumeIntegralInRange(0, 2);
            const Picture& p = pictures[which];
            BackBufferLayer& l = layers[k];
            l = {p.bits.data(), p.stride, p.height, 0, 0, 0, 0, 0, 0, static_cast<std::uint32_t>(which + 1)};
            l.x = in.ConsumeIntegralInRange(0, back.width - 1);
            l.y = in.ConsumeIntegralInRange(0, back.height - 1);
            l.width = in.ConsumeIntegralInRange(1, std::min(back.width - l.x, p.width));
            l.height = in.ConsumeIntegralInRange(1, std::min(back.height - l.y, p.height));
            l.sourceX = in.ConsumeIntegralInRange(0, p.width - l.width);
            l.sourceY = in.ConsumeIntegralInRange(0, p.height - l.height);
        }
        plat::SetBackBufferLayers(dc, back.bits.data(), layers, layerCount, transparent);
        std::vector<Placement> placements;
        for (int copies = in.ConsumeIntegralInRange(0, 12); copies > 0; --copies) {
            const int which = in.ConsumeIntegralInRange(-1, 2);
            const Picture& source = which < 0 ? back : pictures[which];
            const auto place = [&] { return in.ConsumeIntegralInRange(-MAX_SIDE / 2, MAX_SIDE + 10); };
            const std::int32_t x = place(), y = place(), w = place(), h = place(), sx = place(), sy = place();
            plat::StretchCopy(dc, x, y, w, h, sx, sy, source.bits.data(), source.info);
            // Window row y + j comes from source row sy + h - 1 - j from the bottom.
            placements.push_back({&source, std::int64_t{sx} - x, std::int64_t{source.height} - sy - h - y,
                                  which < 0 && layerCount > 0});
        }
        plat::ReleaseWindowDc(&t.window, dc);

        CheckFrame(t, format, palette->pixels, placements, layers, layerCount, transparent);
    }
    plat::pixels::CloseWindow(&t.window);
    plat::DestroyPalette(palette);
    return 0;
}
