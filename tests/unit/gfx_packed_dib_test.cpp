// Loading packed bitmaps from files and built-in bitmaps; blanks.
#include <gtest/gtest.h>

#include <cstring>

#include "fake.h"
#include "fake_file.h"
#include "gfx/packed_dib.h"
#include "gfx_test_pictures.h"
#include "platform/file.h"

using gfxtest::Bytes;
using gfxtest::Get32;
using gfxtest::InfoBitmap;
using gfxtest::Make;

namespace {

class PackedDibTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_EQ(fake::Files().openFiles, 0) << "a file was left open"; }

    const std::uint8_t* LoadFile(const Bytes& bytes, const char* name = "PICTURE") {
        fake::Files().files[name] = bytes;
        return LoadPackedDib(name);
    }
};

DibHeader HeaderOf(const std::uint8_t* dib) { return ReadDibHeader(dib); }

}  // namespace

TEST_F(PackedDibTest, FileTakesPrecedenceOverBuiltInWhichComesBackAsStored) {
    const Bytes stored = gfxtest::PackedPicture([](int, int) { return 9; });
    fake::Files().builtInBitmaps["SPPAT_R1"] = stored;
    const std::uint8_t* builtIn = LoadPackedDib("SPPAT_R1");
    ASSERT_EQ(builtIn, fake::Files().builtInBitmaps["SPPAT_R1"].data());  // the stored bytes themselves
    EXPECT_EQ(HeaderOf(builtIn).clrUsed, 0u);
    EXPECT_EQ(HeaderOf(builtIn).sizeImage, 0u);

    // The same picture as a file, with its 14-byte file header, wins and is filled in.
    Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), stored.begin(), stored.end());
    file[1064 + 14] = 77;  // first pixel differs from the built-in one
    fake::Files().files["SPPAT_R1"] = file;
    const std::uint8_t* loaded = LoadPackedDib("SPPAT_R1");
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded, builtIn);
    EXPECT_EQ(HeaderOf(loaded).clrUsed, 256u);
    EXPECT_EQ(HeaderOf(loaded).sizeImage, 4096u);
    EXPECT_EQ(loaded[1064], 77);
    EXPECT_EQ(PackedDibBlockBytes(loaded), 5160u);
    EXPECT_EQ(std::memcmp(loaded + 40, builtIn + 40, 1024), 0);  // same colour table
    EXPECT_EQ(std::memcmp(loaded + 1065, builtIn + 1065, 4095), 0);

    EXPECT_EQ(LoadPackedDib("SPPAT_R2"), nullptr);  // neither file nor built-in
}

TEST_F(PackedDibTest, FileHeaderIsOptionalAndPixelOffsetIsHonoured) {
    InfoBitmap s;
    s.width = 5;
    s.height = 3;
    const std::uint8_t* withHeader = LoadFile(Make(s), "A");
    s.fileHeader = false;
    const std::uint8_t* bare = LoadFile(Make(s), "B");
    ASSERT_NE(withHeader, nullptr);
    ASSERT_NE(bare, nullptr);
    ASSERT_EQ(PackedDibBlockBytes(withHeader), 1064u + 3 * 8);
    ASSERT_EQ(PackedDibBlockBytes(bare), PackedDibBlockBytes(withHeader));
    EXPECT_EQ(std::memcmp(withHeader, bare, PackedDibBlockBytes(bare)), 0);

    // Rows at bfOffBits, whatever lies between the colour table and them.
    s.fileHeader = true;
    s.gapBytes = 37;
    s.offBits = 14 + 1064 + 37;
    const std::uint8_t* gapped = LoadFile(Make(s), "C");
    ASSERT_NE(gapped, nullptr);
    EXPECT_EQ(std::memcmp(gapped, bare, PackedDibBlockBytes(bare)), 0);
}

TEST_F(PackedDibTest, ColourTableLengthFollowsClrUsedAndBitCount) {
    InfoBitmap s;
    s.clrUsed = 16;
    s.tableEntries = 16;
    const std::uint8_t* sixteen = LoadFile(Make(s), "A");
    ASSERT_NE(sixteen, nullptr);
    EXPECT_EQ(HeaderOf(sixteen).clrUsed, 16u);
    EXPECT_EQ(PackedDibBlockBytes(sixteen), 104u + 2 * 4);
    EXPECT_EQ(sixteen[104], s.pixel(0));

    InfoBitmap rgb;
    rgb.bitCount = 24;
    rgb.tableEntries = 0;
    const std::uint8_t* trueColour = LoadFile(Make(rgb), "B");
    ASSERT_NE(trueColour, nullptr);
    EXPECT_EQ(HeaderOf(trueColour).clrUsed, 0u);
    EXPECT_EQ(HeaderOf(trueColour).sizeImage, 2u * 12);
    EXPECT_EQ(PackedDibBlockBytes(trueColour), 40u + 24);
    EXPECT_EQ(trueColour[40], rgb.pixel(0));
}

TEST_F(PackedDibTest, CoreHeaderIsWidenedWithThreeByteColoursMadeFour) {
    // A 4 x 2 1-bit picture: 12-byte core header, two 3-byte colours, two 4-byte rows.
    Bytes core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    gfxtest::Put32(core, 12);
    gfxtest::Put16(core, 4);
    gfxtest::Put16(core, 2);
    gfxtest::Put16(core, 1);
    gfxtest::Put16(core, 1);
    core.insert(core.end(), {1, 2, 3, 4, 5, 6});
    core.insert(core.end(), {0xA0, 0, 0, 0, 0x50, 0, 0, 0});
    // Padding so that the 40-byte header read does not run short.
    core.insert(core.end(), 20, 0);
    const std::uint8_t* dib = LoadFile(core);
    ASSERT_NE(dib, nullptr);
    const DibHeader h = HeaderOf(dib);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 4);
    EXPECT_EQ(h.height, 2);
    EXPECT_EQ(h.bitCount, 1);
    EXPECT_EQ(h.clrUsed, 2u);
    EXPECT_EQ(h.sizeImage, 8u);
    const std::uint8_t table[] = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(std::memcmp(dib + 40, table, 8), 0);
    EXPECT_EQ(dib[48], 0xA0);
    EXPECT_EQ(dib[52], 0x50);

    // bcWidth is unsigned: 40000 reads as 40000, not as a negative width. The header
    // block says so, and the picture is then too wide to load.
    core[14 + 4] = 40000 & 0xFF;
    core[14 + 5] = 40000 >> 8;
    fake::Files().files["WIDE"] = core;
    plat::File f = plat::OpenFileForReading("WIDE");
    const std::uint8_t* headers = ReadDibHeaders(f);
    plat::CloseFile(f);
    ASSERT_NE(headers, nullptr);
    EXPECT_EQ(HeaderOf(headers).width, 40000);
    EXPECT_EQ(HeaderOf(headers).sizeImage, 5000u * 2);
    EXPECT_EQ(LoadPackedDib("WIDE"), nullptr);
}

TEST_F(PackedDibTest, StoredSizeImageIsKeptButNeverDecidesTheBlockSize) {
    InfoBitmap s;
    s.width = 64;
    s.height = 64;
    for (std::uint32_t stored : {5000u, 4096u, 1u, 0xFFFFFFFFu}) {
        s.sizeImage = stored;
        const std::uint8_t* dib = LoadFile(Make(s));
        ASSERT_NE(dib, nullptr) << stored;
        EXPECT_EQ(HeaderOf(dib).sizeImage, stored);
        ASSERT_EQ(PackedDibBlockBytes(dib), 5160u) << "every row, whatever biSizeImage says";
        // Rows beyond a tiny biSizeImage are zero, not left over.
        EXPECT_EQ(dib[1064], s.pixel(0));
        EXPECT_EQ(dib[5159], stored == 1 ? 0 : s.pixel(4095));
    }
}

TEST_F(PackedDibTest, TruncatedFilesGiveNullOrZeroFilledParts) {
    InfoBitmap s;
    s.width = 8;
    s.height = 4;
    const Bytes whole = Make(s);
    // Shorter than the file header, or than the 40-byte header after it: null.
    for (std::size_t n : {0u, 5u, 13u, 14u, 30u, 53u}) {
        EXPECT_EQ(LoadFile(Bytes(whole.begin(), whole.begin() + n)), nullptr) << n;
    }
    // A short colour table or short rows: the rest reads as zero.
    const std::uint8_t* cut = LoadFile(Bytes(whole.begin(), whole.begin() + 14 + 40 + 400));
    ASSERT_NE(cut, nullptr);
    ASSERT_EQ(PackedDibBlockBytes(cut), 1064u + 32);
    EXPECT_EQ(Get32(cut + 40 + 4 * 99), s.colour(99));
    EXPECT_EQ(Get32(cut + 40 + 4 * 100), 0u);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(cut[1064 + i], 0);

    const std::uint8_t* fewRows = LoadFile(Bytes(whole.begin(), whole.end() - 20));
    ASSERT_NE(fewRows, nullptr);
    EXPECT_EQ(fewRows[1064 + 11], s.pixel(11));
    EXPECT_EQ(fewRows[1064 + 12], 0);
    EXPECT_EQ(fewRows[1064 + 31], 0);
}

// Each is reported to the user once, named; a refused size names the size claimed.
TEST_F(PackedDibTest, AbsurdHeadersGiveNull) {
    struct Case {
        const char* what;
        std::function<void(InfoBitmap&)> change;
        const char* report = nullptr;  // the whole report, where it is checked
    };
    const auto rle8 = [](InfoBitmap& s, std::int32_t width, std::int32_t height) {
        s.compression = DIB_RLE8;
        s.width = width;
        s.height = height;
        s.pixelBytes = 2;  // the end mark alone
        s.pixel = [](std::uint32_t i) { return static_cast<std::uint8_t>(i); };
    };
    const Case cases[] = {
        {"RLE8 of 16384 x 16384 in 2 bytes", [&](InfoBitmap& s) { rle8(s, 16384, 16384); },
         "PICTURE: 16384 x 16384 pixels; a picture has at most 4096 x 4096 (16777216) pixels"},
        {"a row over 4096 x 4096", [&](InfoBitmap& s) { rle8(s, 16384, 1025); },
         "PICTURE: 16384 x 1025 pixels; a picture has at most 4096 x 4096 (16777216) pixels"},
        {"uncompressed 4097 x 4096, cut short",
         [](InfoBitmap& s) { s.width = 4097; s.height = -4096; s.pixelBytes = 0; },
         "PICTURE: 4097 x 4096 pixels; a picture has at most 4096 x 4096 (16777216) pixels"},
        {"width 0", [](InfoBitmap& s) { s.width = 0; }},
        {"width -4", [](InfoBitmap& s) { s.width = -4; s.pixelBytes = 0; }},
        {"width 16385", [](InfoBitmap& s) { s.width = 16385; s.pixelBytes = 0; }},
        {"height 0", [](InfoBitmap& s) { s.height = 0; },
         "PICTURE: 4 x 0 pixels; a picture has 1 to 16384 pixels on a side"},
        {"height 16385", [](InfoBitmap& s) { s.height = 16385; s.pixelBytes = 0; }},
        {"height -16385", [](InfoBitmap& s) { s.height = -16385; s.pixelBytes = 0; }},
        {"width overflowing a row", [](InfoBitmap& s) { s.width = 0x7FFFFFFF; s.bitCount = 32; s.pixelBytes = 0; }},
        {"bit count 0", [](InfoBitmap& s) { s.bitCount = 0; }},
        {"bit count 7", [](InfoBitmap& s) { s.bitCount = 7; }},
        {"bit count 64", [](InfoBitmap& s) { s.bitCount = 64; }},
        {"257 colours", [](InfoBitmap& s) { s.clrUsed = 257; }},
        {"4 billion colours", [](InfoBitmap& s) { s.clrUsed = 0xFFFFFFFF; }},
        {"header size 0", [](InfoBitmap& s) { s.headerSize = 0; }, "PICTURE: not a bitmap"},
        {"header size 39", [](InfoBitmap& s) { s.headerSize = 39; }},
        {"header size 4 billion", [](InfoBitmap& s) { s.headerSize = 0xFFFFFFF0; }},
        {"pixel offset past 2 GiB", [](InfoBitmap& s) { s.offBits = 0x90000000; }},
        {"RLE4", [](InfoBitmap& s) { s.compression = DIB_RLE4; s.bitCount = 4; },
         "PICTURE: compressed with RLE4; only uncompressed or bottom-up RLE8 bitmaps are used"},
        {"RLE8 stored top row first", [](InfoBitmap& s) { s.compression = DIB_RLE8; s.height = -2; }},
        {"RLE8 of 4 bits", [](InfoBitmap& s) { s.compression = DIB_RLE8; s.bitCount = 4; }},
        {"bit fields of 8 bits", [](InfoBitmap& s) { s.compression = DIB_BITFIELDS; }},
        {"PNG inside", [](InfoBitmap& s) { s.compression = 5; }},
        {"unknown compression", [](InfoBitmap& s) { s.compression = 0x80000001; }},
    };
    for (const Case& c : cases) {
        InfoBitmap s;
        c.change(s);
        fake::Files().reports.clear();
        EXPECT_EQ(LoadFile(Make(s)), nullptr) << c.what;
        ASSERT_EQ(fake::Files().reports.size(), 1u) << c.what;
        if (c.report) {
            EXPECT_EQ(fake::Files().reports[0], c.report);
        }
    }
    // The largest accepted sides and picture: an RLE8 stream of the end mark alone
    // gives all of its 4096 x 4096 pixels, zero.
    InfoBitmap largest;
    rle8(largest, 16384, 1024);
    fake::Files().reports.clear();
    const std::uint8_t* all = LoadFile(Make(largest));
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(PackedDibBlockBytes(all), 1064u + 16384 * 1024);
    EXPECT_TRUE(fake::Files().reports.empty());
    InfoBitmap big;
    big.width = 16384;
    big.height = -1;
    big.bitCount = 32;
    big.pixelBytes = 16;
    const std::uint8_t* dib = LoadFile(Make(big));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PackedDibBlockBytes(dib), 40u + 65536);
}

// A 5 x 3 picture (rows of 8 bytes) from an RLE8 stream: whatever the stream
// does, nothing is written outside the 5 pixels of each row, and what it leaves
// out is colour index 0. The same from a file and from a built-in bitmap.
TEST_F(PackedDibTest, Rle8IsDecodedAndNoStreamWritesOutsideThePixels) {
    struct Case {
        const char* what;
        Bytes stream;
        Bytes rows;  // bottom row first, padding included; the rest is 0
        std::uint32_t sizeImage = 0;
    };
    const Case cases[] = {
        {"runs, an odd absolute run, row end, delta and end",
         {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 2, 9, 0, 2, 1, 1, 1, 4, 0, 1, 6, 6},
         {7, 7, 7, 1, 2, 0, 0, 0, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4}},
        {"a run past the row's end is cut there", {9, 5, 1, 6}, {5, 5, 5, 5, 5, 0, 0, 0}},
        {"an absolute run past the row's end", {0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 1, 8},
         {1, 2, 3, 4, 5, 0, 0, 0, 8}},
        {"a delta past the top row ends it", {1, 3, 0, 2, 0, 3, 2, 4}, {3, 0, 0, 0, 0, 0, 0, 0}},
        {"a delta far right", {0, 2, 250, 0, 2, 4, 0, 0, 1, 6}, {0, 0, 0, 0, 0, 0, 0, 0, 6}},
        {"row ends past the top row", {0, 0, 0, 0, 0, 0, 0, 0, 2, 4}, Bytes(24, 0)},
        {"cut short in an absolute run", {0, 5, 1, 2}, {1, 2, 0, 0, 0, 0, 0, 0}},
        {"the stream is only biSizeImage bytes", {1, 4, 1, 5}, {4, 0, 0, 0, 0, 0, 0, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InfoBitmap s;
        s.width = 5;
        s.height = 3;
        s.compression = DIB_RLE8;
        s.sizeImage = c.sizeImage;
        s.pixelBytes = static_cast<std::uint32_t>(c.stream.size());
        s.pixel = [&c](std::uint32_t i) { return c.stream[i]; };
        Bytes rows = c.rows;
        rows.resize(24, 0);
        const std::uint8_t* dib = LoadFile(Make(s));
        ASSERT_NE(dib, nullptr);
        ASSERT_EQ(PackedDibBlockBytes(dib), 1064u + 24);
        EXPECT_EQ(HeaderOf(dib).compression, DIB_RGB);
        EXPECT_EQ(HeaderOf(dib).sizeImage, 24u);
        EXPECT_EQ(Bytes(dib + 1064, dib + 1088), rows);
        if (c.sizeImage) continue;
        s.fileHeader = false;
        fake::Files().builtInBitmaps["RLE"] = Make(s);
        const std::uint8_t* builtIn = LoadPackedDib("RLE");
        ASSERT_NE(builtIn, nullptr);
        EXPECT_EQ(Bytes(builtIn + 1064, builtIn + 1088), rows);
    }
}

TEST_F(PackedDibTest, TopDownPictureIsTurnedBottomUpWithAllItsRows) {
    InfoBitmap s;
    s.width = 3;
    s.height = -5;
    const std::uint8_t* dib = LoadFile(Make(s));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(HeaderOf(dib).height, 5);
    EXPECT_EQ(HeaderOf(dib).sizeImage, 20u);
    ASSERT_EQ(PackedDibBlockBytes(dib), 1064u + 20);
    // Row r of the file (the top one first) is row 4 - r of the block, padding and all.
    Bytes rows(20);
    for (std::uint32_t i = 0; i < 20; ++i) rows[(4 - i / 4) * 4 + i % 4] = s.pixel(i);
    EXPECT_EQ(Bytes(dib + 1064, dib + 1084), rows);
}

TEST_F(PackedDibTest, LongerInfoHeaderKeepsFortyBytesAndFindsItsTableAfterItself) {
    InfoBitmap s;
    s.headerSize = 124;
    const std::uint8_t* dib = LoadFile(Make(s));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(HeaderOf(dib).size, 124u);
    EXPECT_EQ(PackedDibBlockBytes(dib), 124u + 1024 + 8);
    EXPECT_EQ(Get32(dib + 124 + 4 * 5), s.colour(5));
    EXPECT_EQ(dib[124 + 1024], s.pixel(0));
}

TEST_F(PackedDibTest, BuiltInBitmapThatDoesNotHoldWhatItsHeaderSaysIsRefused) {
    Bytes picture = gfxtest::PackedPicture([](int, int) { return 11; });
    fake::Files().builtInBitmaps["FULL"] = picture;
    EXPECT_NE(LoadPackedDib("FULL"), nullptr);
    fake::Files().builtInBitmaps["SHORT"] = Bytes(picture.begin(), picture.end() - 1);
    EXPECT_EQ(LoadPackedDib("SHORT"), nullptr);
    fake::Files().builtInBitmaps["TINY"] = Bytes(picture.begin(), picture.begin() + 20);
    EXPECT_EQ(LoadPackedDib("TINY"), nullptr);
    picture[0] = 12;  // a core header is not a packed bitmap of this kind
    fake::Files().builtInBitmaps["CORE"] = picture;
    EXPECT_EQ(LoadPackedDib("CORE"), nullptr);
}

TEST_F(PackedDibTest, BlankIsZeroFilledWithA256EntryTable) {
    std::uint8_t* blank = CreateBlankPackedDib(8, 5, 3);
    ASSERT_NE(blank, nullptr);
    ASSERT_EQ(PackedDibBlockBytes(blank), 1088u);
    const DibHeader h = HeaderOf(blank);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 5);
    EXPECT_EQ(h.height, 3);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 8);
    for (int i = 16; i < 1088; ++i) ASSERT_EQ(blank[i], 0) << i;
    EXPECT_EQ(CreateBlankPackedDib(8, -1, 3), nullptr);
    EXPECT_EQ(CreateBlankPackedDib(8, 3, 16385), nullptr);
    EXPECT_EQ(CreateBlankPackedDib(3, 3, 3), nullptr);
}
