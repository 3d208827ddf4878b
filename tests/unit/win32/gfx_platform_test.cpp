// The graphics subsystem on the real system: files by name, the built-in
// pictures, and a frame of the sprite stage on a real window, read back from the
// screen (which shows that the bottom-up back buffer reaches the window upright).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "gfx/packed_dib.h"
#include "gfx/sprite_stage.h"
#include "platform/bitmap_resource.h"
#include "platform/file.h"

TEST(GfxPlatform, FilesOpenByNameSeekAndRead) {
    const char* name = "gfx_platform_test.tmp";
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0123456789", f);
    std::fclose(f);

    plat::File file = plat::OpenFileForReading(name);
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(plat::ReadFromFile(file, buffer, 4), 4u);
    EXPECT_STREQ(buffer, "0123");
    EXPECT_EQ(plat::SeekFile(file, 0, plat::SeekOrigin::Current), 4);
    EXPECT_EQ(plat::SeekFile(file, -2, plat::SeekOrigin::Current), 2);
    EXPECT_EQ(plat::SeekFile(file, 8, plat::SeekOrigin::Start), 8);
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(plat::ReadFromFile(file, buffer, 10), 2u);  // short read at the end
    EXPECT_STREQ(buffer, "89");
    EXPECT_EQ(plat::ReadFromFile(file, buffer, 10), 0u);
    plat::CloseFile(file);
    std::remove(name);

    EXPECT_EQ(plat::OpenFileForReading("gfx_no_such_file.bmp"), nullptr);
}

TEST(GfxPlatform, BuiltInPicturesAreFoundByNameWithTheirSize) {
    const plat::BuiltInData stored = plat::FindBuiltInBitmap("SPPAT_R1");
    ASSERT_NE(stored.data, nullptr);
    EXPECT_GE(stored.size, 5160u);
    const DibHeader h = ReadDibHeader(stored.data);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 64);
    EXPECT_EQ(h.height, 64);
    EXPECT_EQ(h.bitCount, 8);
    EXPECT_EQ(h.clrUsed, 0u);
    EXPECT_EQ(h.sizeImage, 0u);
    EXPECT_EQ(LoadPackedDib("SPPAT_R1"), stored.data);  // no file of that name here
    EXPECT_EQ(plat::FindBuiltInBitmap("SPPAT_R9").data, nullptr);
}

namespace {

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

}  // namespace

TEST(GfxPlatform, StageFrameReachesTheWindowUpright) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GfxPlatformTest";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "GfxPlatformTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    {
        SpriteStage stage;
        const plat::Window w = reinterpret_cast<plat::Window>(window);
        stage.Setup(w, 1, 3, 3, 200, 150);
        ASSERT_NE(stage.BackBuffer().bits, nullptr);
        stage.SetSpriteSize(0, 64, 64);
        stage.SetPattern(0, 0, 32, 32);
        stage.SetSpritePattern(0, 0);
        stage.SetSpritePosition(0, 100, 50);  // above the middle: a wrong source row shows
        stage.SetSpriteVisible(0, true);
        stage.Render(w);
        GdiFlush();

        HDC dc = GetDC(window);
        const COLORREF centre = GetPixel(dc, 100, 50);
        const COLORREF upperRight = GetPixel(dc, 100 + 16, 50 - 16);
        const COLORREF lowerLeft = GetPixel(dc, 100 - 16, 50 + 16);
        const COLORREF below = GetPixel(dc, 100, 120);
        const COLORREF outside = GetPixel(dc, 10, 10);
        ReleaseDC(window, dc);
        // A red disc lit from the upper right: red dominates, and the upper right is
        // brighter than the lower left (a flipped copy would show the opposite).
        EXPECT_GT(GetRValue(centre), GetGValue(centre) + 40);
        EXPECT_GT(Brightness(upperRight), Brightness(lowerLeft) + 60);
        EXPECT_EQ(outside, RGB(0, 0, 0));
        EXPECT_EQ(below, RGB(0, 0, 0));
    }
    DestroyWindow(window);
}
