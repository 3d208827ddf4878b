// The web platform's own work, under Node (no canvas there, so nothing reaches a
// page): palette colours, the copy of back-buffer rectangles into the RGBA picture
// with its clipping and changed rectangles, black fills, and the dropped files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/drawing.h"
#include "platform/file.h"
#include "platform/web/canvas.h"

namespace {

constexpr std::uint32_t BLACK = 0xFF000000u;

// A 40-byte header for an 8-bit picture of width x height (rows bottom-up, stride 4).
std::vector<std::uint8_t> Header(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> h(40, 0);
    std::memcpy(&h[4], &width, 4);
    std::memcpy(&h[8], &height, 4);
    return h;
}

class WebCanvas : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plat::web::OpenCanvas(&canvas, 8, 4));
        plat::web::PresentCanvas(&canvas);  // the first, whole picture
        const plat::PaletteEntry entries[3] = {{0, 0, 0, 0}, {1, 2, 3, 0}, {200, 100, 50, 0}};
        palette = plat::CreateLogicalPalette(entries, 3);
        dc = plat::AcquireWindowDc(&canvas);
        plat::SelectDcPalette(dc, palette, false);
    }
    void TearDown() override {
        plat::DestroyPalette(palette);
        plat::web::CloseCanvas(&canvas);
    }
    std::uint32_t At(int x, int y) const { return canvas.rgba[y * canvas.width + x]; }

    plat::WindowObject canvas;
    plat::Palette palette = nullptr;
    plat::DeviceContext dc = nullptr;
};

TEST_F(WebCanvas, PaletteColoursAreOpaqueRgbaAndMissingEntriesBlack) {
    EXPECT_EQ(palette->colours[1], 0xFF030201u);
    EXPECT_EQ(palette->colours[2], 0xFF3264C8u);
    EXPECT_EQ(palette->colours[3], BLACK);
    EXPECT_EQ(palette->colours[255], BLACK);
    EXPECT_EQ(At(7, 3), BLACK);
}

TEST_F(WebCanvas, CopiesAreClippedToBothSidesAndRecordWhatChanged) {
    // Source 4 x 2, bottom row (stored first) all 1, top row all 2.
    const std::vector<std::uint8_t> info = Header(4, 2);
    const std::uint8_t bits[8] = {1, 1, 1, 1, 2, 2, 2, 2};
    struct Case {
        std::int32_t x, y, width, height, sourceX, sourceY;
        plat::CanvasRect changed;  // {0, 0, 0, 0}: nothing
        std::uint32_t topLeft;     // the colour at the changed rectangle's corner
    };
    const Case cases[] = {
        {1, 1, 4, 2, 0, 0, {1, 1, 4, 2}, 0xFF3264C8u},  // whole: top row of the source first
        {6, 3, 4, 2, 0, 0, {6, 3, 2, 1}, 0xFF3264C8u},  // cut by the canvas's right and bottom
        {-2, -1, 4, 2, 0, 0, {0, 0, 2, 1}, 0xFF030201u},  // cut by its left and top
        {0, 0, 4, 2, 2, 0, {0, 0, 2, 2}, 0xFF3264C8u},  // cut by the source's right side
        {0, 0, 4, 1, 0, 1, {0, 0, 4, 1}, 0xFF3264C8u},  // the source's top row only
        {8, 0, 4, 2, 0, 0, {0, 0, 0, 0}, 0},            // beside the canvas
        {0, 0, 4, 2, 0, 2, {0, 0, 0, 0}, 0},            // above the source
    };
    for (const Case& c : cases) {
        plat::StretchCopy(dc, c.x, c.y, c.width, c.height, c.sourceX, c.sourceY, bits, info.data());
        if (c.changed.width == 0) {
            EXPECT_EQ(canvas.changedCount, 0) << c.x << "," << c.y;
            continue;
        }
        ASSERT_EQ(canvas.changedCount, 1) << c.x << "," << c.y;
        const plat::CanvasRect r = canvas.changed[0];
        EXPECT_EQ(r.x, c.changed.x);
        EXPECT_EQ(r.y, c.changed.y);
        EXPECT_EQ(r.width, c.changed.width);
        EXPECT_EQ(r.height, c.changed.height);
        EXPECT_EQ(At(r.x, r.y), c.topLeft) << c.x << "," << c.y;
        plat::FillBlack(dc, 0, 0, 8, 4);
        EXPECT_EQ(At(r.x, r.y), BLACK);
        plat::web::PresentCanvas(&canvas);
        EXPECT_EQ(canvas.changedCount, 0);
    }
}

TEST_F(WebCanvas, TooManyChangesSendTheWholePicture) {
    for (int i = 0; i < plat::MAX_CHANGED_RECTS; ++i) plat::FillBlack(dc, 0, 0, 1, 1);
    EXPECT_FALSE(canvas.allChanged);
    plat::FillBlack(dc, 0, 0, 1, 1);
    EXPECT_TRUE(canvas.allChanged);
    plat::web::PresentCanvas(&canvas);
    EXPECT_FALSE(canvas.allChanged);
    EXPECT_EQ(canvas.changedCount, 0);
}

TEST_F(WebCanvas, FillBlackOnTheMemoryContextClearsPixelBufferRowsFromTheBottom) {
    const std::vector<std::uint8_t> info = Header(5, 3);
    std::uint8_t* bits = nullptr;
    plat::Bitmap buffer = plat::CreatePixelBuffer(dc, info.data(), &bits);
    ASSERT_NE(buffer, nullptr);
    plat::DeviceContext memory = plat::CreateMemoryDc(dc);
    plat::SelectDcBitmap(memory, buffer);
    std::memset(bits, 7, 8 * 3);  // stride 8
    plat::FillBlack(memory, 1, 0, 10, 1);  // the top row, clipped at the right
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bits[2 * 8 + x], x == 0 ? 7 : 0) << x;
    EXPECT_EQ(bits[0], 7);
    EXPECT_EQ(canvas.changedCount, 0);  // nothing on the canvas
    plat::SelectDcBitmap(memory, nullptr);
    plat::DestroyBitmap(buffer);
}

TEST(WebFiles, DroppedFilesReadSeekAndGoAway) {
    auto* data = static_cast<std::uint8_t*>(std::malloc(5));
    std::memcpy(data, "BMabc", 5);
    plat::web::KeepFile("SPPAT_R1", data, 5);
    EXPECT_EQ(plat::OpenFileForReading("SPPAT_R0"), nullptr);
    plat::File f = plat::OpenFileForReading("SPPAT_R1");
    ASSERT_NE(f, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(plat::ReadFromFile(f, buffer, 2), 2u);
    EXPECT_EQ(plat::SeekFile(f, 0, plat::SeekOrigin::Current), 2);
    EXPECT_EQ(plat::ReadFromFile(f, buffer, 8), 3u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(plat::SeekFile(f, -6, plat::SeekOrigin::Current), -1);
    EXPECT_EQ(plat::SeekFile(f, 9, plat::SeekOrigin::Start), 9);
    EXPECT_EQ(plat::ReadFromFile(f, buffer, 8), 0u);
    plat::CloseFile(f);
    // A file renamed takes the place of the one of that name.
    auto* next = static_cast<std::uint8_t*>(std::malloc(2));
    std::memcpy(next, "BM", 2);
    plat::web::KeepFile("SPPAT_R1.new", next, 2);
    plat::web::RenameFile("SPPAT_R1.new", "SPPAT_R1");
    EXPECT_FALSE(plat::web::HasFile("SPPAT_R1.new"));
    f = plat::OpenFileForReading("SPPAT_R1");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat::ReadFromFile(f, buffer, 8), 2u);
    plat::CloseFile(f);
    plat::web::ForgetFile("SPPAT_R1");
    EXPECT_FALSE(plat::web::HasFile("SPPAT_R1"));
    EXPECT_EQ(plat::OpenFileForReading("SPPAT_R1"), nullptr);
}

}  // namespace
