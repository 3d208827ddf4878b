// 8-bit images: addressing, opaque and transparent copies with clipping, and the
// back-buffer role (colour table, palette, pixel buffer).
#include <gtest/gtest.h>

#include <cstring>

#include "fake.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "gfx/indexed_image.h"
#include "gfx/packed_dib.h"
#include "gfx_test_pictures.h"

namespace {

class IndexedImageTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

// An image whose pixel (x, y) holds value(x, y).
void Paint(IndexedImage& image, std::uint8_t (*value)(int, int)) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) *image.PixelAddress(x, y) = value(x, y);
}

std::uint8_t Column(int x, int) { return static_cast<std::uint8_t>(x + 100); }
std::uint8_t Row(int, int y) { return static_cast<std::uint8_t>(y + 100); }
std::uint8_t Coordinates(int x, int y) { return static_cast<std::uint8_t>(x * 16 + y); }

int CountNot(const IndexedImage& image, std::uint8_t value) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += *image.PixelAddress(x, y) != value;
    return n;
}

}  // namespace

TEST_F(IndexedImageTest, RowsAreBottomUpWithStridesRoundedToFour) {
    IndexedImage five, eight, nine;
    ASSERT_NE(five.CreateBlank(5, 3), nullptr);
    ASSERT_NE(eight.CreateBlank(8, 3), nullptr);
    ASSERT_NE(nine.CreateBlank(9, 3), nullptr);
    EXPECT_EQ(five.Stride(), 8);
    EXPECT_EQ(eight.Stride(), 8);
    EXPECT_EQ(nine.Stride(), 12);
    EXPECT_EQ(five.bits, five.header + 1064);
    EXPECT_EQ(five.PixelAddress(0, 2), five.bits);           // bottom row is stored first
    EXPECT_EQ(five.PixelAddress(0, 0), five.bits + 2 * 8);   // top row last
    EXPECT_EQ(five.PixelAddress(4, 1), five.bits + 8 + 4);
    EXPECT_EQ(five.PixelAddress(5, 0), nullptr);
    EXPECT_EQ(five.PixelAddress(-1, 0), nullptr);
    EXPECT_EQ(five.PixelAddress(0, 3), nullptr);
    EXPECT_EQ(five.PixelAddress(0, -1), nullptr);
    IndexedImage empty;
    EXPECT_EQ(empty.PixelAddress(0, 0), nullptr);
}

TEST_F(IndexedImageTest, OpaqueCopyClipsOnEveryEdge) {
    IndexedImage source, dest;
    source.CreateBlank(64, 64);
    dest.CreateBlank(100, 80);
    Paint(source, Column);
    source.CopyTo(&dest, -10, 5);
    for (int x = 0; x < 100; ++x)
        EXPECT_EQ(*dest.PixelAddress(x, 5), x < 54 ? x + 10 + 100 : 0) << x;
    EXPECT_EQ(*dest.PixelAddress(0, 4), 0);
    EXPECT_EQ(*dest.PixelAddress(0, 68), 110);
    EXPECT_EQ(*dest.PixelAddress(0, 69), 0);

    IndexedImage rows;
    rows.CreateBlank(100, 80);
    Paint(source, Row);
    source.CopyTo(&rows, 50, -10);
    for (int y = 0; y < 80; ++y)
        EXPECT_EQ(*rows.PixelAddress(60, y), y < 54 ? y + 10 + 100 : 0) << y;
    EXPECT_EQ(*rows.PixelAddress(99, 0), 110);  // clipped on the right edge too
    EXPECT_EQ(*rows.PixelAddress(49, 0), 0);

    IndexedImage bottom;
    bottom.CreateBlank(100, 80);
    source.CopyTo(&bottom, 0, 70);
    EXPECT_EQ(*bottom.PixelAddress(0, 79), 109);
    EXPECT_EQ(*bottom.PixelAddress(63, 70), 100);
    EXPECT_EQ(CountNot(bottom, 0), 64 * 10);

    // Wholly outside: nothing changes.
    IndexedImage untouched;
    untouched.CreateBlank(100, 80);
    for (auto [x, y] : {std::pair{100, 0}, {-64, 0}, {0, 80}, {0, -64}, {-1000000, 5}}) {
        source.CopyTo(&untouched, x, y);
    }
    EXPECT_EQ(CountNot(untouched, 0), 0);
    source.CopyTo(nullptr, 0, 0);
}

// Rows of whole 16-byte blocks and rows with bytes left over after them (21 = 16 + 5).
TEST_F(IndexedImageTest, TransparentCopyLeavesOutIndexTenOnly) {
    for (const int w : {32, 21}) {
        SCOPED_TRACE(w);
        IndexedImage source, dest;
        source.CreateBlank(64, 64);
        dest.CreateBlank(40, 40);
        std::memset(dest.bits, 7, static_cast<std::size_t>(dest.Stride()) * 40);

        std::memset(source.bits, TRANSPARENT_INDEX, 64 * 64);
        source.CopyRectTransparent(&dest, 0, 0, w, 32, 16, 16);
        EXPECT_EQ(CountNot(dest, 7), 0) << "all-transparent source changes nothing";

        std::memset(source.bits, 0, 64 * 64);  // index 0 is copied like any other
        *source.PixelAddress(20, 20) = TRANSPARENT_INDEX;
        *source.PixelAddress(16 + w - 1, 21) = TRANSPARENT_INDEX;  // the row's last byte
        source.CopyRectTransparent(&dest, 0, 0, w, 32, 16, 16);
        EXPECT_EQ(*dest.PixelAddress(4, 4), 7);
        EXPECT_EQ(*dest.PixelAddress(w - 1, 5), 7);
        EXPECT_EQ(*dest.PixelAddress(5, 4), 0);
        EXPECT_EQ(*dest.PixelAddress(w, 0), 7);
        EXPECT_EQ(CountNot(dest, 7), w * 32 - 2);
    }
}

TEST_F(IndexedImageTest, TransparentCopyMovesTheSourceCornerWithClippedDestinationEdges) {
    IndexedImage source, dest;
    source.CreateBlank(64, 64);
    dest.CreateBlank(50, 50);
    Paint(source, Coordinates);
    source.CopyRectTransparent(&dest, -5, -3, 32, 32, 16, 16);
    EXPECT_EQ(*dest.PixelAddress(0, 0), Coordinates(21, 19));
    EXPECT_EQ(*dest.PixelAddress(26, 28), Coordinates(47, 47));
    EXPECT_EQ(*dest.PixelAddress(27, 0), 0);
    EXPECT_EQ(*dest.PixelAddress(0, 29), 0);

    IndexedImage corner;
    corner.CreateBlank(50, 50);
    source.CopyRectTransparent(&corner, 40, 45, 32, 32, 0, 0);
    EXPECT_EQ(CountNot(corner, 0), 10 * 5 - 1);  // pixel (0, 0) of the source is 0
    EXPECT_EQ(*corner.PixelAddress(49, 49), Coordinates(9, 4));
}

TEST_F(IndexedImageTest, SourceRectangleOverTheSourceEdgeReadsNothingOutside) {
    // An 8 x 8 source; rectangles hanging over each of its edges copy only its pixels.
    IndexedImage small, dest;
    small.CreateBlank(8, 8);
    dest.CreateBlank(40, 40);
    Paint(small, [](int x, int y) { return static_cast<std::uint8_t>(11 + x * 8 + y); });
    small.CopyRectTransparent(&dest, 10, 10, 16, 16, -4, -4);
    EXPECT_EQ(CountNot(dest, 0), 64);
    EXPECT_EQ(*dest.PixelAddress(14, 14), 11);
    EXPECT_EQ(*dest.PixelAddress(21, 21), 11 + 7 * 8 + 7);

    IndexedImage over;
    over.CreateBlank(40, 40);
    small.CopyRectTransparent(&over, 0, 0, 32, 32, 4, 6);
    EXPECT_EQ(CountNot(over, 0), 4 * 2);
    EXPECT_EQ(*over.PixelAddress(0, 0), 11 + 4 * 8 + 6);
    EXPECT_EQ(*over.PixelAddress(3, 1), 11 + 7 * 8 + 7);

    IndexedImage none;
    none.CreateBlank(40, 40);
    small.CopyRectTransparent(&none, 0, 0, 32, 32, 8, 0);
    small.CopyRectTransparent(&none, 0, 0, 32, 32, -32, 0);
    small.CopyRectTransparent(&none, 0, 0, 32, 32, 0, 100);
    EXPECT_EQ(CountNot(none, 0), 0);
}

TEST_F(IndexedImageTest, LoadsEightBitPicturesOnlyWithRowsAfterTheirOwnTable) {
    gfxtest::InfoBitmap s;
    s.width = 4;
    s.height = 2;
    s.clrUsed = 16;
    s.tableEntries = 16;
    fake::Files().files["SHORT"] = gfxtest::Make(s);
    IndexedImage image;
    image.LoadFromBitmap("SHORT");
    ASSERT_NE(image.header, nullptr);
    EXPECT_EQ(image.bits, image.header + 104);
    EXPECT_EQ(*image.PixelAddress(0, 1), s.pixel(0));
    EXPECT_EQ(*image.PixelAddress(3, 0), s.pixel(7));

    s.bitCount = 4;
    fake::Files().files["FOUR"] = gfxtest::Make(s);
    IndexedImage four;
    four.LoadFromBitmap("FOUR");
    EXPECT_EQ(four.header, nullptr);
    IndexedImage missing;
    missing.LoadFromBitmap("NONE");
    EXPECT_EQ(missing.header, nullptr);

    // A top-down file (the top row stored first) draws exactly as its bottom-up twin.
    gfxtest::InfoBitmap up;
    up.width = 8;
    up.height = 8;
    gfxtest::InfoBitmap down = up;
    down.height = -8;
    down.pixel = [&up](std::uint32_t i) { return up.pixel((7 - i / 8) * 8 + i % 8); };
    fake::Files().files["UP"] = gfxtest::Make(up);
    fake::Files().files["DOWN"] = gfxtest::Make(down);
    IndexedImage upright, topDown, fromUp, fromDown;
    upright.LoadFromBitmap("UP");
    topDown.LoadFromBitmap("DOWN");
    ASSERT_NE(topDown.header, nullptr);
    EXPECT_EQ(topDown.height, 8);
    fromUp.CreateBlank(16, 16);
    fromDown.CreateBlank(16, 16);
    for (IndexedImage* dest : {&fromUp, &fromDown}) {
        const IndexedImage& source = dest == &fromUp ? upright : topDown;
        source.CopyTo(dest, 3, 5);
        source.CopyRectTransparent(dest, 10, 1, 5, 7, 2, 0);
    }
    EXPECT_GT(CountNot(fromDown, 0), 64);
    EXPECT_EQ(std::memcmp(fromUp.bits, fromDown.bits, 16 * 16), 0);
    // A built-in picture cannot be turned: stored top-down, it is not taken.
    fake::Files().builtInBitmaps["TOPB"] = gfxtest::Make([] {
        gfxtest::InfoBitmap b;
        b.height = -2;
        b.fileHeader = false;
        return b;
    }());
    IndexedImage builtIn;
    builtIn.LoadFromBitmap("TOPB");
    EXPECT_EQ(builtIn.header, nullptr);
    IndexedImage dest;
    dest.CreateBlank(16, 16);
    missing.CopyTo(&dest, 0, 0);
    missing.CopyRectTransparent(&dest, 0, 0, 8, 8, 0, 0);
    EXPECT_EQ(CountNot(dest, 0), 0);
}

// ---- The back-buffer role ----------------------------------------------------------

namespace {

void SetSystemPalette() {
    for (int i = 0; i < 256; ++i)
        fake::Gdi().systemPalette[i] = plat::PaletteEntry{static_cast<std::uint8_t>(i), 200, static_cast<std::uint8_t>(255 - i),
                                                          static_cast<std::uint8_t>(i < 10 ? 0 : 2)};
}

}  // namespace

TEST_F(IndexedImageTest, ColourTableAndPaletteMergeSystemColoursWithTheFirstPicture) {
    SetSystemPalette();
    fake::Files().builtInBitmaps["FIRST"] = gfxtest::PackedPicture([](int, int) { return 11; }, 1);
    IndexedImage first, backBuffer;
    first.LoadFromBitmap("FIRST");
    backBuffer.MergeColourTable(first);
    backBuffer.BuildPalette();
    ASSERT_NE(backBuffer.ownedHeader, nullptr);
    ASSERT_EQ(backBuffer.header, backBuffer.ownedHeader);
    const std::uint8_t* table = backBuffer.header + 40;
    const std::uint8_t* pictureTable = first.header + 40;
    const plat::PaletteEntry* entries = fake::PaletteEntries(backBuffer.palette);
    ASSERT_NE(entries, nullptr);
    for (int i = 0; i < 256; ++i) {
        const bool system = i < 10 || i > 245;
        const std::uint8_t blue = system ? static_cast<std::uint8_t>(255 - i) : pictureTable[4 * i];
        const std::uint8_t green = system ? 200 : pictureTable[4 * i + 1];
        const std::uint8_t red = system ? static_cast<std::uint8_t>(i) : pictureTable[4 * i + 2];
        ASSERT_EQ(table[4 * i], blue) << i;
        ASSERT_EQ(table[4 * i + 1], green) << i;
        ASSERT_EQ(table[4 * i + 2], red) << i;
        ASSERT_EQ(entries[i].red, red) << i;
        ASSERT_EQ(entries[i].green, green) << i;
        ASSERT_EQ(entries[i].blue, blue) << i;
        ASSERT_EQ(entries[i].flags, system ? fake::Gdi().systemPalette[i].flags : 4) << i;
    }
    EXPECT_EQ(fake::Gdi().screenDcsHeld, 0);
}

TEST_F(IndexedImageTest, MissingColoursStayBlack) {
    // No system palette, and a first picture with only 16 colours.
    fake::Gdi().hasSystemPalette = false;
    gfxtest::InfoBitmap s;
    s.clrUsed = 16;
    s.tableEntries = 16;
    s.colour = [](std::uint32_t) { return 0x405060u; };
    fake::Files().files["FIRST"] = gfxtest::Make(s);
    IndexedImage first, backBuffer;
    first.LoadFromBitmap("FIRST");
    ASSERT_NE(first.header, nullptr);
    backBuffer.MergeColourTable(first);
    backBuffer.BuildPalette();
    const plat::PaletteEntry* entries = fake::PaletteEntries(backBuffer.palette);
    for (int i = 0; i < 256; ++i) {
        const bool fromPicture = i >= 10 && i < 16;
        ASSERT_EQ(backBuffer.header[40 + 4 * i], fromPicture ? 0x60 : 0) << i;
        ASSERT_EQ(entries[i].red, fromPicture ? 0x40 : 0) << i;
        ASSERT_EQ(entries[i].flags, i >= 10 && i <= 245 ? 4 : 0) << i;
    }

    // No first picture at all.
    IndexedImage none, other;
    other.MergeColourTable(none);
    for (int i = 10; i < 246; ++i) ASSERT_EQ(other.header[40 + 4 * i + 2], 0) << i;
}

TEST_F(IndexedImageTest, BackBufferHeaderAndPixels) {
    IndexedImage backBuffer;
    const plat::Bitmap bitmap = backBuffer.CreateBackBuffer(fake::WindowDc(), 1023, 7);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(backBuffer.bits, nullptr);
    EXPECT_EQ(backBuffer.info, backBuffer.header);
    EXPECT_EQ(backBuffer.Stride(), 1024);
    const DibHeader h = ReadDibHeader(backBuffer.header);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 1023);
    EXPECT_EQ(h.height, 7);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 8);
    EXPECT_EQ(h.sizeImage, 0u);
    EXPECT_EQ(h.clrUsed, 0u);
    *backBuffer.PixelAddress(1022, 0) = 1;  // the last pixel is real memory

    fake::Gdi().failPixelBuffer = true;
    IndexedImage failed;
    EXPECT_EQ(failed.CreateBackBuffer(fake::WindowDc(), 10, 10), nullptr);
    EXPECT_EQ(failed.bits, nullptr);
    EXPECT_EQ(failed.PixelAddress(0, 0), nullptr);
}

TEST_F(IndexedImageTest, DestructorReleasesOnlyWhatTheImageOwns) {
    {
        IndexedImage backBuffer;
        backBuffer.BuildPalette();
        EXPECT_EQ(fake::Gdi().palettesLive, 1);
        IndexedImage picture;
        picture.CreateBlank(4, 4);
    }
    EXPECT_EQ(fake::Gdi().palettesLive, 0);
}
