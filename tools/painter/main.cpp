// Paints the saver's built-in pictures into a folder:
//   SPPAT_R0.bmp, SPPAT_R1.bmp, SPPAT_R2.bmp  shaded red, blue and green discs
//                                             (62, 48 and 32 pixels across) in 64 x 64,
//                                             8 bits per pixel, one shared colour table
//   pendral.ico                               the program's icon (32 x 32 and 16 x 16)
//
// Usage: painter <output folder>
//
// The discs are lit from the upper right. Every picture uses the same 256-entry colour
// table: index 10 is black and fills everything outside the disc; each disc colour has
// its own ramp of shades from near black to a white highlight, within indices 11 to 230,
// so a disc's anti-aliased rim fades into the black around it. The output depends on
// nothing but this program, so the files under res/ can be checked against a fresh run.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kSize = 64;                 // pictures are kSize x kSize
constexpr int kBlack = 10;                // colour index outside the discs
constexpr int kRampFirst = 11;            // first index of the first ramp
constexpr int kRampLength = 73;           // shades per disc colour: 3 x 73 = 219 (11..229)
constexpr int kSupersample = 8;           // samples per pixel along each axis
constexpr double kHighlight = 0.55;       // how far past full colour the ramp goes to white

struct Colour {
    double r, g, b;  // linear light, 0..1
};

// The three disc colours, in picture order: red, blue, green.
constexpr std::array<Colour, 3> kDiscColours = {{
    {0.82, 0.045, 0.030},
    {0.040, 0.130, 0.90},
    {0.050, 0.62, 0.075},
}};

constexpr std::array<int, 3> kDiscDiameters = {62, 48, 32};

void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}

std::uint8_t ToByte(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    // sRGB transfer curve.
    double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(encoded * 255.0));
}

// Ramp level k (0..kRampLength-1) stands for brightness s = (k / last)^2.2 * (1 + kHighlight):
// the levels are spaced evenly to the eye rather than in light.
double LevelBrightness(int k) {
    double t = static_cast<double>(k) / (kRampLength - 1);
    return std::pow(t, 2.2) * (1.0 + kHighlight);
}

int BrightnessLevel(double s) {
    s = std::clamp(s / (1.0 + kHighlight), 0.0, 1.0);
    return static_cast<int>(std::lround(std::pow(s, 1.0 / 2.2) * (kRampLength - 1)));
}

// Brightness s up to 1 scales the disc colour; beyond 1 it blends toward white.
Colour RampColour(const Colour& base, double s) {
    if (s <= 1.0) return {base.r * s, base.g * s, base.b * s};
    double w = (s - 1.0) / kHighlight;
    return {base.r + (1.0 - base.r) * w, base.g + (1.0 - base.g) * w, base.b + (1.0 - base.b) * w};
}

// The shared 256-entry colour table, as blue, green, red, 0 quads. Entries 0-9 and
// 246-255 hold the display's usual static colours (the saver replaces them with the
// system's own); 231-245 are unused and black.
Bytes ColourTable() {
    static const std::uint8_t kStatic[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    std::array<std::array<std::uint8_t, 3>, 256> rgb{};
    for (int i = 0; i < 10; ++i) {
        rgb[i] = {kStatic[i][0], kStatic[i][1], kStatic[i][2]};
        rgb[246 + i] = {kStatic[10 + i][0], kStatic[10 + i][1], kStatic[10 + i][2]};
    }
    for (int d = 0; d < 3; ++d) {
        for (int k = 0; k < kRampLength; ++k) {
            Colour c = RampColour(kDiscColours[d], LevelBrightness(k));
            rgb[kRampFirst + d * kRampLength + k] = {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
        }
    }
    Bytes table;
    for (const auto& e : rgb) {
        table.push_back(e[2]);
        table.push_back(e[1]);
        table.push_back(e[0]);
        table.push_back(0);
    }
    return table;
}

struct Shade {
    double coverage;    // share of the pixel inside the disc, 0..1
    double brightness;  // mean brightness of the covered part
};

// Brightness of a sphere seen from the front at unit-disc point (x, y), y upward:
// a soft ambient term, diffuse light from the upper right and slightly toward the
// viewer, a specular highlight, and a faint rim glow that rounds off the edge.
double SphereBrightness(double x, double y) {
    double z = std::sqrt(std::max(0.0, 1.0 - x * x - y * y));
    const double lx = 0.52, ly = 0.56, lz = 0.645;  // light direction, unit length
    double diffuse = std::max(0.0, x * lx + y * ly + z * lz);
    // Blinn half vector between the light and the viewer (0, 0, 1).
    double hx = lx, hy = ly, hz = lz + 1.0;
    double hn = std::sqrt(hx * hx + hy * hy + hz * hz);
    double specular = std::pow(std::max(0.0, (x * hx + y * hy + z * hz) / hn), 40.0);
    double rim = std::pow(1.0 - z, 3.0);
    double s = 0.10 + 0.80 * diffuse + 0.18 * rim;
    return std::min(s, 1.0) + kHighlight * specular;
}

// Shade of pixel (px, py), y counted from the top, for a disc of the given diameter
// centred in the kSize x kSize picture.
Shade ShadePixel(int px, int py, double diameter) {
    const double radius = diameter / 2.0;
    const double centre = kSize / 2.0;
    int inside = 0;
    double sum = 0.0;
    for (int sy = 0; sy < kSupersample; ++sy) {
        for (int sx = 0; sx < kSupersample; ++sx) {
            double x = (px + (sx + 0.5) / kSupersample - centre) / radius;
            double y = (centre - (py + (sy + 0.5) / kSupersample)) / radius;
            if (x * x + y * y >= 1.0) continue;
            ++inside;
            sum += SphereBrightness(x, y);
        }
    }
    const int samples = kSupersample * kSupersample;
    return {static_cast<double>(inside) / samples, inside ? sum / inside : 0.0};
}

// Colour index of a pixel of disc d: black outside; inside, the ramp level of the
// brightness, faded toward black by the pixel's coverage.
std::uint8_t DiscIndex(int d, int px, int py) {
    Shade sh = ShadePixel(px, py, kDiscDiameters[d]);
    if (sh.coverage == 0.0) return kBlack;
    // A smooth edge: coverage weighted gently so the rim stays soft but not grey.
    double s = sh.brightness * std::pow(sh.coverage, 1.2);
    int level = BrightnessLevel(s);
    if (level == 0 && sh.coverage < 0.02) return kBlack;
    return static_cast<std::uint8_t>(kRampFirst + d * kRampLength + level);
}

// 14-byte file header, 40-byte info header, colour table, bottom-up rows.
Bytes DiscBitmap(int d, const Bytes& table) {
    const std::uint32_t headerBytes = 14 + 40 + static_cast<std::uint32_t>(table.size());
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, headerBytes + kSize * kSize);  // bfSize
    Put32(out, 0);                            // bfReserved1, bfReserved2
    Put32(out, headerBytes);                  // bfOffBits
    Put32(out, 40);                           // biSize
    Put32(out, kSize);                        // biWidth
    Put32(out, kSize);                        // biHeight: bottom row first
    Put16(out, 1);                            // biPlanes
    Put16(out, 8);                            // biBitCount
    for (int i = 0; i < 6; ++i) Put32(out, 0);  // compression .. clrImportant, all 0
    out.insert(out.end(), table.begin(), table.end());
    for (int row = kSize - 1; row >= 0; --row)
        for (int x = 0; x < kSize; ++x) out.push_back(DiscIndex(d, x, row));
    return out;
}

struct Rgba {
    double r, g, b, a;  // premultiplied linear light
};

// One disc of the icon motif, drawn over what is there already.
void PaintIconDisc(std::vector<Rgba>& px, int size, double cx, double cy, double radius, const Colour& base) {
    for (int py = 0; py < size; ++py) {
        for (int pxl = 0; pxl < size; ++pxl) {
            int inside = 0;
            double sr = 0, sg = 0, sb = 0;
            for (int sy = 0; sy < kSupersample; ++sy) {
                for (int sx = 0; sx < kSupersample; ++sx) {
                    double x = (pxl + (sx + 0.5) / kSupersample - cx) / radius;
                    double y = (cy - (py + (sy + 0.5) / kSupersample)) / radius;
                    if (x * x + y * y >= 1.0) continue;
                    ++inside;
                    Colour c = RampColour(base, SphereBrightness(x, y));
                    sr += c.r;
                    sg += c.g;
                    sb += c.b;
                }
            }
            if (!inside) continue;
            const double n = kSupersample * kSupersample;
            double a = inside / n;
            Rgba& dst = px[py * size + pxl];
            dst.r = sr / n + dst.r * (1 - a);
            dst.g = sg / n + dst.g * (1 - a);
            dst.b = sb / n + dst.b * (1 - a);
            dst.a = a + dst.a * (1 - a);
        }
    }
}

// A 32-bit icon image: BITMAPINFOHEADER (height doubled for the mask), bottom-up
// BGRA rows, then the 1-bit AND mask (1 = transparent), rows padded to 4 bytes.
Bytes IconImage(int size) {
    std::vector<Rgba> px(static_cast<std::size_t>(size) * size, Rgba{0, 0, 0, 0});
    const double u = size / 32.0;
    PaintIconDisc(px, size, 13.0 * u, 18.5 * u, 12.5 * u, kDiscColours[0]);
    PaintIconDisc(px, size, 25.0 * u, 7.5 * u, 6.0 * u, kDiscColours[1]);
    PaintIconDisc(px, size, 26.5 * u, 25.5 * u, 4.5 * u, kDiscColours[2]);

    Bytes out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(size));
    Put32(out, static_cast<std::uint32_t>(size * 2));
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(size * size * 4));
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Rgba& p = px[y * size + x];
            std::uint8_t a = static_cast<std::uint8_t>(std::lround(std::clamp(p.a, 0.0, 1.0) * 255.0));
            // Straight (not premultiplied) colour in the file.
            double k = p.a > 0 ? 1.0 / p.a : 0.0;
            out.push_back(a ? ToByte(p.b * k) : 0);
            out.push_back(a ? ToByte(p.g * k) : 0);
            out.push_back(a ? ToByte(p.r * k) : 0);
            out.push_back(a);
        }
    }
    const int maskRow = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(maskRow), 0);
        for (int x = 0; x < size; ++x)
            if (px[y * size + x].a < 0.5) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// ICONDIR, one ICONDIRENTRY per image, then the images.
Bytes Icon() {
    const int sizes[] = {32, 16};
    std::vector<Bytes> images;
    for (int s : sizes) images.push_back(IconImage(s));
    Bytes out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(sizes[i]));  // width
        out.push_back(static_cast<std::uint8_t>(sizes[i]));  // height
        out.push_back(0);                                    // colour count: none (32-bit)
        out.push_back(0);                                    // reserved
        Put16(out, 1);                                       // planes
        Put16(out, 32);                                      // bits per pixel
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& img : images) out.insert(out.end(), img.begin(), img.end());
    return out;
}

// What the saver relies on: 5174 bytes (file header and 5160-byte packed bitmap),
// pixels only of indices 10..230, and index 10 wherever the disc does not reach.
bool PictureIsSound(int d, const Bytes& bmp) {
    if (bmp.size() != 14 + 5160) return false;
    const double r = kDiscDiameters[d] / 2.0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const std::uint8_t v = bmp[14 + 1064 + (kSize - 1 - y) * kSize + x];
            if (v < kBlack || v > 230) return false;
            // A pixel whose nearest point lies outside the disc must be black.
            const double nx = std::clamp(kSize / 2.0, double(x), x + 1.0) - kSize / 2.0;
            const double ny = std::clamp(kSize / 2.0, double(y), y + 1.0) - kSize / 2.0;
            if (nx * nx + ny * ny >= r * r && v != kBlack) return false;
        }
    }
    return true;
}

bool WriteFile(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const Bytes table = ColourTable();
    bool ok = true;
    for (int d = 0; d < 3; ++d) {
        const Bytes bmp = DiscBitmap(d, table);
        if (!PictureIsSound(d, bmp)) {
            std::fprintf(stderr, "%s: picture %d breaks the sprite picture rules\n", argv[0], d);
            return 1;
        }
        ok = WriteFile(dir + "/SPPAT_R" + std::to_string(d) + ".bmp", bmp) && ok;
    }
    ok = WriteFile(dir + "/pendral.ico", Icon()) && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: could not write the pictures into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
