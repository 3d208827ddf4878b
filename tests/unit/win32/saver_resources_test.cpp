// The resources built into pendral.scr, read the way the system reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// pendral.scr lies two folders above this test program in the build tree.
std::string SaverPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    for (int up = 0; up < 3; ++up) s = s.substr(0, s.find_last_of("\\/"));
    return s + "\\pendral.scr";
}

class SaverResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(SaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module_) GTEST_SKIP() << "pendral.scr not built: " << SaverPath();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
};

TEST_F(SaverResources, PicturesAreStoredAsPackedEightBitBitmaps) {
    for (const char* name : {"SPPAT_R0", "SPPAT_R1", "SPPAT_R2"}) {
        HRSRC found = FindResourceA(module_, name, MAKEINTRESOURCEA(2));  // bitmap
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(SizeofResource(module_, found), 5160u) << name;  // header, 256 colours, 64 x 64 pixels
        const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, found)));
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->biSize, 40u);
        EXPECT_EQ(info->biWidth, 64);
        EXPECT_EQ(info->biHeight, 64);
        EXPECT_EQ(info->biBitCount, 8);
    }
}

TEST_F(SaverResources, NamesIconDialogVersionAndManifestArePresent) {
    char text[64];
    ASSERT_GT(LoadStringA(module_, 1007, text, sizeof text), 0);
    EXPECT_STREQ(text, "Screen_Saver.Pendral");
    ASSERT_GT(LoadStringA(module_, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Pendral");
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14)), nullptr);  // icon group
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(2003), MAKEINTRESOURCEA(5)), nullptr);  // dialog
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr);    // version
    HRSRC manifest = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(module_, manifest))),
                    SizeofResource(module_, manifest));
    EXPECT_NE(xml.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(xml.find(">true/pm</dpiAware>"), std::string::npos);
}

}  // namespace
