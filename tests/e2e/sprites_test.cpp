// Sprite pictures from files in the saver's current directory: a good one
// replaces the built-in picture, and no bad one brings the saver down.
#include <cstring>

#include "cases.h"

namespace e2e {
namespace {

class Sprites : public SaverCase {};

void Put16(std::string& s, size_t at, std::uint16_t v) { std::memcpy(&s[at], &v, 2); }
void Put32(std::string& s, size_t at, std::uint32_t v) { std::memcpy(&s[at], &v, 4); }

// A bitmap file: file header, 40-byte info header, colour table, pixel rows.
// Every pixel gets the value pixel(x, y) (y counted from the top), packed to the bit count.
template <typename Pixel>
std::string Bitmap(int width, int height, int bits, int colours, Pixel pixel) {
    const int rows = height < 0 ? -height : height;
    const size_t rowBytes = ((static_cast<size_t>(bits) * width + 31) / 32) * 4;
    std::string file(14 + 40 + 4 * static_cast<size_t>(colours), '\0');
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 10, static_cast<std::uint32_t>(file.size()));
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<std::uint32_t>(width));
    Put32(file, 22, static_cast<std::uint32_t>(height));
    Put16(file, 26, 1);
    Put16(file, 28, static_cast<std::uint16_t>(bits));
    Put32(file, 46, static_cast<std::uint32_t>(colours));
    const Pictures& pics = SaverPictures();
    for (int i = 0; i < colours; ++i) Put32(file, 54 + 4 * i, pics.colours[i % 256]);
    for (int row = 0; row < rows; ++row) {
        std::string bytes(rowBytes, '\0');
        const int y = height < 0 ? row : rows - 1 - row;  // bottom row first unless top-down
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = pixel(x, y);
            if (bits == 8) {
                bytes[x] = static_cast<char>(v);
            } else if (bits == 4) {
                bytes[x / 2] = static_cast<char>(bytes[x / 2] | ((v & 15) << (x % 2 ? 0 : 4)));
            } else if (bits == 24) {
                std::memcpy(&bytes[3 * x], &v, 3);
            }
        }
        file += bytes;
    }
    Put32(file, 2, static_cast<std::uint32_t>(file.size()));
    return file;
}

// A 64 x 64 picture of a disc of the given colour index on the transparent index.
std::string DiscPicture(std::uint8_t index, int radius) {
    return Bitmap(64, 64, 8, 256, [&](int x, int y) -> std::uint32_t {
        int dx = x - 32, dy = y - 32;
        return dx * dx + dy * dy <= radius * radius ? index : 10;
    });
}

std::string FolderWith(const char* name, const char* file, const std::string& bytes) {
    std::string folder = WorkDir() + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) RemoveFile(folder + "\\" + found.cFileName);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    WriteWholeFile(folder + "\\" + file, bytes);
    return folder;
}

TEST_F(Sprites, APictureFileInTheCurrentDirectoryReplacesTheGreenDiscs) {
    const Pictures& pics = SaverPictures();
    ASSERT_TRUE(pics.loaded);
    // The plain bodies painted with the red disc's main colour.
    std::string folder = FolderWith("custom", "SPPAT_R2", DiscPicture(pics.mainIndex[0], 14));
    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver, "/s", folder));
    // Once the first frame shows the file's picture, every frame must.
    ASSERT_TRUE(SomeFrame([](const Shot& shot) { return CountColours(shot).disc[0] > 2000u; }))
        << "the file's picture is not drawn";
    for (int i = 0; i < 3; ++i) {
        Shot shot = Capture();
        ColourCount count = CountColours(shot);
        EXPECT_EQ(count.disc[2], 0u) << "green discs are still drawn";
        EXPECT_GT(count.disc[0], 2000u) << "the file's picture is not drawn";
        EXPECT_GE(CountPatches(shot, Disc::red), 5);
        Pump(300);
    }
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(Sprites, BadPictureFilesNeverBringTheSaverDown) {
    const Pictures& pics = SaverPictures();
    ASSERT_TRUE(pics.loaded);
    const std::string good = DiscPicture(pics.mainIndex[2], 15);
    auto flat = [](std::uint32_t v) { return [v](int, int) { return v; }; };
    std::string noisy(6000, '\0');
    std::uint32_t seed = 12345;
    for (char& c : noisy) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    std::string hugeTable = good;
    Put32(hugeTable, 46, 0x7FFFFFFF);
    std::string hugeImage = good;
    Put32(hugeImage, 34, 0xFFFFFFF0u);
    std::string huge = good;  // claims far more pixels than it holds
    Put32(huge, 18, 100000);
    Put32(huge, 22, 100000);
    std::string wide = good;
    Put32(wide, 18, 16385);
    Put32(wide, 22, 1);
    struct Case {
        const char* name;
        const char* file;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", "SPPAT_R2", ""},
        {"cut in the header", "SPPAT_R2", good.substr(0, 30)},
        {"cut in the pixels", "SPPAT_R2", good.substr(0, good.size() - 2000)},
        {"noise", "SPPAT_R2", noisy},
        {"100000 by 100000", "SPPAT_R2", huge},
        {"16385 wide", "SPPAT_R2", wide},
        {"huge colour count", "SPPAT_R2", hugeTable},
        {"huge image size", "SPPAT_R2", hugeImage},
        {"4-bit", "SPPAT_R2", Bitmap(64, 64, 4, 16, [](int x, int) -> std::uint32_t { return x % 16; })},
        {"24-bit", "SPPAT_R2", Bitmap(64, 64, 24, 0, flat(0x00FF00))},
        {"top-down", "SPPAT_R2", Bitmap(64, -64, 8, 256, [&](int x, int y) -> std::uint32_t {
             return (x - 32) * (x - 32) + (y - 32) * (y - 32) < 200 ? pics.mainIndex[2] : 10;
         })},
        {"16 by 16", "SPPAT_R2", Bitmap(16, 16, 8, 256, flat(pics.mainIndex[2]))},
        {"first picture with 16 colours", "SPPAT_R0", Bitmap(64, 64, 8, 16, flat(5))},
        {"first picture cut short", "SPPAT_R0", good.substr(0, 600)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string folder = FolderWith("bad", c.file, c.bytes);
        Saver saver;
        HWND window = nullptr;
        ASSERT_TRUE(StartFullScreen(saver, "/s", folder, &window));
        // It has read the pictures as it set up; time for frames that draw them.
        Pump(500);
        EXPECT_TRUE(saver.Running());
        EXPECT_TRUE(IsWindow(window));
        KeyPress(VK_SPACE);
        EXPECT_TRUE(ExitsWith(saver, 0));
    }
}

}  // namespace
}  // namespace e2e
