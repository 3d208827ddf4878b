// The platform boundary's vocabulary: opaque handles and plain value types.
//
// The core never includes a system header. It talks to the system through the
// free functions declared in the other headers of this folder, which are the list
// of what a platform provides: win32/ implements all of them (pendral.scr), x11/
// and web/ the part the animation uses (drawing, files, clock, built-in bitmaps),
// and tests/support/ is the recording double; one is chosen at link time. Handles are
// opaque pointers that each implementation defines or converts to and from the
// system's own handles.
#pragma once

#include <cstdint>

namespace plat {

struct WindowObject;
struct DeviceContextObject;
struct PaletteObject;
struct BitmapObject;
struct ModuleObject;
struct FileObject;

using Window = WindowObject*;
using DeviceContext = DeviceContextObject*;
using Palette = PaletteObject*;
using Bitmap = BitmapObject*;
using Module = ModuleObject*;
using File = FileObject*;

// Address of a function found in a loaded library (null when missing).
using ProcAddress = void*;

// Message parameters and results are pointer-sized, as on the system.
using WordParam = std::uintptr_t;
using LongParam = std::intptr_t;
using MessageResult = std::intptr_t;

struct Point {
    std::int32_t x;
    std::int32_t y;
};

// A globally unique identifier, laid out as the system keeps it.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

}  // namespace plat
