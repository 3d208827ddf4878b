// Paints the saver's built-in pictures into a folder:
//   SPPAT_R0.bmp, SPPAT_R1.bmp, SPPAT_R2.bmp  shaded red, blue and green discs
//                                             (62, 48 and 32 pixels across) in 64 x 64,
//                                             8 bits per pixel, one shared colour table
//   pendral.ico                               the program's icon: 16, 24, 32, 48 and 256
//                                             pixels, and 16 and 32 in 16 and 256 colours
//   web/icon-192.png, web/icon-512.png        the page's app icons
//   web/icon-maskable-512.png                 the same on black, for masks of any shape
//   icons/pendral-<size>.png                  the Linux menus' icon at the sizes of the
//                                             hicolor theme's folders, 16 to 256
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
#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

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

// The icon's motif, three discs in a square of 32 units, painted at size x size
// pixels: `unit` pixels to the unit, the square's corner at (origin, origin). On
// `ground` (transparent, or opaque black for the page's maskable icon).
std::vector<Rgba> PaintMotif(int size, double unit, double origin, Rgba ground) {
    std::vector<Rgba> px(static_cast<std::size_t>(size) * size, ground);
    auto disc = [&](double x, double y, double r, const Colour& c) {
        PaintIconDisc(px, size, origin + x * unit, origin + y * unit, r * unit, c);
    };
    disc(13.0, 18.5, 12.5, kDiscColours[0]);
    disc(25.0, 7.5, 6.0, kDiscColours[1]);
    disc(26.5, 25.5, 4.5, kDiscColours[2]);
    return px;
}

// The motif filling the square, on a transparent ground.
std::vector<Rgba> PaintIcon(int size) { return PaintMotif(size, size / 32.0, 0.0, Rgba{0, 0, 0, 0}); }

// The page's maskable icon: opaque black to the edges, the motif inside the middle
// circle of 80% of the width, which every mask shape keeps. The motif's farthest
// point lies 18.7 units from the square's centre (16, 16).
std::vector<Rgba> PaintMaskableIcon(int size) {
    const double unit = 0.4 * size / 18.7 * 0.96;
    return PaintMotif(size, unit, size / 2.0 - 16.0 * unit, Rgba{0, 0, 0, 1});
}

struct Pixel {
    std::uint8_t r, g, b, a;  // sRGB, straight alpha
};

Pixel Straight(const Rgba& p) {
    const std::uint8_t a = static_cast<std::uint8_t>(std::lround(std::clamp(p.a, 0.0, 1.0) * 255.0));
    if (!a) return {0, 0, 0, 0};
    const double k = 1.0 / p.a;
    return {ToByte(p.r * k), ToByte(p.g * k), ToByte(p.b * k), a};
}

// A pixel the 1-bit mask shows (where a picture without alpha draws at all).
bool Opaque(const Pixel& p) { return p.a >= 128; }

// The 16 colours every VGA display shows, as blue, green, red, 0 quads.
Bytes VgaTable() {
    static const std::uint8_t kRgb[16][3] = {
        {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
        {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
    Bytes table;
    for (const auto& c : kRgb) table.insert(table.end(), {c[2], c[1], c[0], 0});
    return table;
}

// The index of the table's colour nearest to the pixel's.
int Nearest(const Bytes& table, const Pixel& p) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < table.size() / 4; ++i) {
        const long db = table[4 * i] - p.b, dg = table[4 * i + 1] - p.g, dr = table[4 * i + 2] - p.r;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

// The pixel moved by a step of a 4 x 4 Bayer pattern.
Pixel Dithered(Pixel p, int x, int y) {
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const int step = (kBayer[y % 4][x % 4] - 8) * 6;
    auto move = [step](std::uint8_t v) { return static_cast<std::uint8_t>(std::clamp(v + step, 0, 255)); };
    return {move(p.r), move(p.g), move(p.b), p.a};
}

// An icon picture as the resource holds it: BITMAPINFOHEADER (height doubled for the
// mask), the colour table for 4 and 8 bits, bottom-up rows of colour (32 bits: BGRA;
// fewer: the nearest table entry, black where the mask hides the pixel), then the
// 1-bit AND mask (1 = transparent). Rows are padded to 4 bytes.
Bytes IconBitmap(int size, int bits) {
    const std::vector<Rgba> painted = PaintIcon(size);
    const Bytes table = bits == 8 ? ColourTable() : bits == 4 ? VgaTable() : Bytes{};
    const int rowBytes = (size * bits + 31) / 32 * 4;
    Bytes out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(size));
    Put32(out, static_cast<std::uint32_t>(size * 2));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(rowBytes * size));
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    out.insert(out.end(), table.begin(), table.end());
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(rowBytes), 0);
        for (int x = 0; x < size; ++x) {
            const Pixel p = Straight(painted[y * size + x]);
            if (bits == 32) {
                row[4 * x] = p.b;
                row[4 * x + 1] = p.g;
                row[4 * x + 2] = p.r;
                row[4 * x + 3] = p.a;
            } else if (Opaque(p)) {
                // 16 colours: an ordered dither, so that the shading shows as a mix of
                // the few shades rather than as patches of unrelated colours.
                const int index = Nearest(table, bits == 4 ? Dithered(p, x, y) : p);
                if (bits == 8) row[x] = static_cast<std::uint8_t>(index);
                else row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    const int maskRow = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(maskRow), 0);
        for (int x = 0; x < size; ++x)
            if (!Opaque(Straight(painted[y * size + x]))) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void Put32Big(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PngChunk(Bytes& out, const char* type, const Bytes& body) {
    Put32Big(out, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    Put32Big(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// A PNG file of 8-bit RGBA, each row filtered with its left neighbour ("Sub"), which
// the soft shading and the flat ground compress well with.
Bytes Png(int size, const std::vector<Rgba>& painted) {
    Bytes rows;
    for (int y = 0; y < size; ++y) {
        rows.push_back(1);
        Pixel left{0, 0, 0, 0};
        for (int x = 0; x < size; ++x) {
            const Pixel p = Straight(painted[y * size + x]);
            rows.insert(rows.end(), {static_cast<std::uint8_t>(p.r - left.r), static_cast<std::uint8_t>(p.g - left.g),
                                     static_cast<std::uint8_t>(p.b - left.b), static_cast<std::uint8_t>(p.a - left.a)});
            left = p;
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK) {
        std::fprintf(stderr, "painter: zlib could not compress a picture\n");
        std::exit(1);
    }
    packed.resize(packedSize);
    Bytes header;
    Put32Big(header, static_cast<std::uint32_t>(size));
    Put32Big(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits per channel, RGBA, no interlace
    Bytes out = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
    PngChunk(out, "IHDR", header);
    PngChunk(out, "IDAT", packed);
    PngChunk(out, "IEND", {});
    return out;
}

struct IconEntry {
    int size, bits;
};

// The icon's pictures in the order of its directory. Windows picks the picture nearest
// to the size it asks for, then the most colours the display shows, and the first in
// the directory among equals: exact 16 and 32 px pictures of 16 and 256 colours for
// Windows 95 to NT 4.0 (their shell asks for 16 or 256 colours) and for displays of
// 256 colours, 32-bit ones with alpha at every size the shell of XP and later asks for,
// and last the 256 px picture, PNG-compressed, which only Vista and later read. It is
// never the nearest for the sizes that earlier systems ask for (16 to 48), and any code
// that takes the first picture finds one that every system reads.
constexpr std::array<IconEntry, 9> kIconEntries = {{
    {32, 4}, {16, 4}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {24, 32}, {16, 32}, {256, 32},
}};

// ICONDIR, one ICONDIRENTRY per picture, then the pictures.
Bytes Icon() {
    std::vector<Bytes> images;
    for (const IconEntry& e : kIconEntries)
        images.push_back(e.size == 256 ? Png(e.size, PaintIcon(e.size)) : IconBitmap(e.size, e.bits));
    Bytes out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconEntry& e = kIconEntries[i];
        out.push_back(static_cast<std::uint8_t>(e.size));                // width (0: 256)
        out.push_back(static_cast<std::uint8_t>(e.size));                // height
        out.push_back(static_cast<std::uint8_t>(e.bits == 4 ? 16 : 0));  // colours in the table (0: 256 or none)
        out.push_back(0);                                                // reserved
        Put16(out, 1);                                                   // planes
        Put16(out, static_cast<std::uint32_t>(e.bits));                  // bits per pixel
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
    ok = WriteFile(dir + "/web/icon-192.png", Png(192, PaintIcon(192))) && ok;
    ok = WriteFile(dir + "/web/icon-512.png", Png(512, PaintIcon(512))) && ok;
    ok = WriteFile(dir + "/web/icon-maskable-512.png", Png(512, PaintMaskableIcon(512))) && ok;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok = WriteFile(dir + "/icons/pendral-" + std::to_string(size) + ".png", Png(size, PaintIcon(size))) && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: could not write the pictures into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
