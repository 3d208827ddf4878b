// The page's side of a window the animation draws on: an RGBA picture of the
// canvas's size in the program's memory, and the rectangles of it that changed
// since they were last put on the canvas. Shared by the files of this folder and
// the page's top (src/main/web.cpp).
#pragma once

#include <cstdint>

#include "platform/common/software_dc.h"
#include "platform/drawing.h"
#include "platform/types.h"

namespace plat {

struct PaletteObject {
    PaletteEntry entries[256];
    std::uint32_t count;
    std::uint32_t colours[256];  // each entry as the canvas stores it: red, green, blue, opaque alpha
};

// A changed part of the picture, in the order the page's script reads it.
struct CanvasRect {
    std::int32_t x, y, width, height;
};

// More changed rectangles than a frame of 100 sprites makes (two each at most);
// beyond them the whole picture goes out.
inline constexpr std::int32_t MAX_CHANGED_RECTS = 256;

struct WindowObject {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t* rgba = nullptr;  // width x height, top row first
    CanvasRect changed[MAX_CHANGED_RECTS];
    std::int32_t changedCount = 0;
    bool allChanged = false;
    DeviceContextObject windowDc{this, nullptr, nullptr};
    DeviceContextObject memoryDc{this, nullptr, nullptr};
};

namespace web {

// Makes the picture for `width` x `height` (at least 1 x 1), all black, to go out
// whole; false when there is no memory for it.
bool OpenCanvas(WindowObject* canvas, std::int32_t width, std::int32_t height);
void CloseCanvas(WindowObject* canvas);

// Puts the changed rectangles on the page's canvas (Module.canvas) and forgets them.
void PresentCanvas(WindowObject* canvas);

// The pictures dropped on the page, as files of those names (SPPAT_R0..2) that
// OpenFileForReading finds. KeepFile takes over `data` (from malloc), replacing a
// file of that name; ForgetFile removes one; HasFile tells whether one is kept;
// RenameFile gives a kept file another name, replacing a file of that name. Six
// files at most are kept.
void KeepFile(const char* name, std::uint8_t* data, std::uint32_t size);
void ForgetFile(const char* name);
bool HasFile(const char* name);
void RenameFile(const char* from, const char* to);

}  // namespace web
}  // namespace plat
