// The browser page's top: the animation on the page's canvas, driven by the
// browser's animation frames, with the settings and pictures the page's script
// (res/web/page.js) hands over through the functions below.
//
//   pendral_reset_settings()        all settings back to their defaults
//   pendral_set(key, value)         one setting (app/page_settings.h): 0 applied,
//                                   1 unknown key, 2 bad value (then pendral_error())
//   pendral_settings()              all settings as "count=51&attraction=10&..."
//   pendral_start(width, height)    the scene for that canvas size with the
//                                   settings, a new scatter; 0 when it could not
//                                   be set up (no memory for the canvas, the back
//                                   buffer, the bodies or the tiles that their
//                                   sprites are drawn with: then nothing runs)
//   pendral_take_picture(slot, data, size)  a dropped file (from malloc) for picture
//                                   0, 1 or 2 (red, blue, plain body); it waits for
//                                   the check, and no scene loads it before
//   pendral_forget_pictures(mask)   stops the scene and forgets the pictures of
//                                   the places in the bit mask, before new ones
//                                   are read into the memory they held
//   pendral_check_pictures()        makes the waiting files that give a picture the
//                                   pictures of their places; drops the others (the
//                                   bitmap reader refuses them, not 8 bits, of a
//                                   compression other than RLE8, smaller than
//                                   4 x 4 or larger than 4096 x 4096 pixels in
//                                   all, or their uncompressed files end before
//                                   their pixel rows); gives the places that now show
//                                   a dropped picture as a bit mask
//   pendral_refusal(slot)           why a check last dropped that place's file
//   pendral_time_steps(n), pendral_time_frames(n)  milliseconds per step and per
//                                   whole frame (step, sprites, canvas), n of them
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstdlib>

#include "app/animation.h"
#include "app/page_settings.h"
#include "app/tick_pacer.h"
#include "gfx/indexed_image.h"
#include "gfx/packed_dib.h"
#include "platform/file.h"
#include "platform/web/canvas.h"
#include "sim/random.h"

namespace {

plat::WindowObject canvas;
SaverOptions options;
TickPacer pacer;
bool running = false;
char errorText[160];
char settingsText[100];

const char* const PICTURE_NAMES[] = {"SPPAT_R0", "SPPAT_R1", "SPPAT_R2"};
// A file handed over waits under a name that no scene opens until its check gives
// it the picture's name: a scene started meanwhile (a resize while other files
// are still read) loads nothing unchecked.
const char* const WAITING_NAMES[] = {"SPPAT_R0.new", "SPPAT_R1.new", "SPPAT_R2.new"};
char refusals[3][100];

// A smaller picture shows as a speck at most: no body could be seen.
constexpr std::int32_t MIN_PICTURE_SIDE = 4;

void StopScene() {
    if (!running) return;
    ReleaseScene();
    plat::web::CloseCanvas(&canvas);
    running = false;
}

// Why the file `name` gives no picture, written to `why`; false when it gives one:
// an 8-bit bitmap of at least 4 x 4 pixels and at most DIB_MAX_PIXELS whose file
// holds every pixel row, as the stage reads it. The size is judged from the header
// before anything is made for the picture. A file that ends before its rows is
// never loaded: the reader would fill the missing rows with colour 0, black on the
// black field.
bool Refuse(const char* name, char* why, std::size_t size) {
    plat::File file = plat::OpenFileForReading(name);
    if (!file) {
        std::snprintf(why, size, "not kept");
        return true;
    }
    const std::uint8_t* headers = ReadDibHeaders(file);
    const DibHeader h = headers ? ReadDibHeader(headers) : DibHeader{};
    DibLayout layout;
    const bool shaped = headers && ComputeDibLayout(h, &layout);
    std::uint64_t rest = 0;
    if (shaped && h.bitCount == 8) {
        std::uint8_t chunk[4096];
        while (const std::uint32_t n = plat::ReadFromFile(file, chunk, sizeof chunk)) rest += n;
    }
    plat::CloseFile(file);
    if (!headers) {
        std::snprintf(why, size, "not a bitmap");
    } else if (BitCountRefused(h, why, size) || CompressionRefused(h, why, size) ||
               SizeRefused(h, MIN_PICTURE_SIDE, why, size)) {
    } else if (!shaped) {
        std::snprintf(why, size, "not a bitmap");
    } else if (h.compression != DIB_RLE8 && rest < layout.pixelBytes) {  // a compressed stream is shorter
        std::snprintf(why, size, "the file ends before its pixel rows do");
    } else {
        IndexedImage probe;
        probe.LoadFromBitmap(name);
        if (probe.header && probe.width >= MIN_PICTURE_SIDE && probe.height >= MIN_PICTURE_SIDE) return false;
        std::snprintf(why, size, "a bitmap the reader cannot use");
    }
    return true;
}

// A sprite whose tile could not be made (memory ran out half-way through the
// set-up) is never drawn: the page reports such a scene instead of showing a
// field with bodies missing, or a black one.
bool EverySpriteDraws() {
    for (std::int32_t i = 0; i < spriteStage.SpriteCount(); ++i)
        if (!spriteStage.SpriteAt(i)->Draws()) return false;
    return true;
}

// One step per 20 ms tick of real time; the frame shows the last of them.
EM_BOOL OnAnimationFrame(double nowMs, void*) {
    if (running) RunDueTicks(&pacer, nowMs, [] { bodyField.Step(); }, [] { AdvanceFrame(&canvas); });
    return EM_TRUE;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void pendral_reset_settings() { options = SaverOptions{}; }

EMSCRIPTEN_KEEPALIVE int pendral_set(const char* key, const char* value) {
    return static_cast<int>(ApplyPageSetting(&options, key, value, errorText, sizeof errorText));
}

EMSCRIPTEN_KEEPALIVE const char* pendral_error() { return errorText; }

EMSCRIPTEN_KEEPALIVE const char* pendral_settings() {
    WritePageSettings(options, settingsText, sizeof settingsText);
    return settingsText;
}

EMSCRIPTEN_KEEPALIVE int pendral_start(int width, int height) {
    StopScene();
    if (!plat::web::OpenCanvas(&canvas, width, height)) return 0;
    ApplySaverOptions(options);
    clientWidth = canvas.width;
    clientHeight = canvas.height;
    SetUpScene(&canvas);
    if (!spriteStage.BackBuffer().bits || bodyField.Count() == 0 || !EverySpriteDraws()) {
        ReleaseScene();
        plat::web::CloseCanvas(&canvas);
        return 0;
    }
    plat::web::PresentCanvas(&canvas);
    pacer = TickPacer{};
    running = true;
    return 1;
}

EMSCRIPTEN_KEEPALIVE void pendral_take_picture(int slot, std::uint8_t* data, std::uint32_t size) {
    if (slot < 0 || slot > 2) {
        std::free(data);
        return;
    }
    plat::web::KeepFile(WAITING_NAMES[slot], data, size);
}

// The scene holds every picture it loaded; without it, and without the files of
// the places to be replaced, the new files take the memory the old ones had. A
// file still waiting for its check goes too: the new files' drop owns the place
// now, and an earlier drop's file must never become its picture.
EMSCRIPTEN_KEEPALIVE void pendral_forget_pictures(int mask) {
    StopScene();
    for (int slot = 0; slot < 3; ++slot)
        if (mask & (1 << slot)) {
            plat::web::ForgetFile(PICTURE_NAMES[slot]);
            plat::web::ForgetFile(WAITING_NAMES[slot]);
        }
}

// Each waiting file is read as the stage would read it: one that gives a picture
// becomes the picture of its place, one that does not is forgotten, so that the
// built-in picture shows instead, and pendral_refusal says why. The answer is
// the places' state, not this call's doing: drops on the page overlap, and a
// drop's file may have been checked by another drop's call.
EMSCRIPTEN_KEEPALIVE int pendral_check_pictures() {
    int shown = 0;
    for (int slot = 0; slot < 3; ++slot) {
        const char* name = WAITING_NAMES[slot];
        if (plat::web::HasFile(name)) {
            if (Refuse(name, refusals[slot], sizeof refusals[slot]))
                plat::web::ForgetFile(name);
            else
                plat::web::RenameFile(name, PICTURE_NAMES[slot]);
        }
        if (plat::web::HasFile(PICTURE_NAMES[slot])) shown |= 1 << slot;
    }
    return shown;
}

EMSCRIPTEN_KEEPALIVE const char* pendral_refusal(int slot) { return slot >= 0 && slot < 3 ? refusals[slot] : ""; }

// The cost of the work behind one tick, for the benchmark in docs/browser.md: the
// field's step alone, and a whole frame on the canvas. Both go on from the scene
// as it is (the page runs them with 100 bodies).
EMSCRIPTEN_KEEPALIVE double pendral_time_steps(int count) {
    const double start = emscripten_get_now();
    for (int k = 0; k < count; ++k) bodyField.Step();
    return count > 0 ? (emscripten_get_now() - start) / count : 0;
}

EMSCRIPTEN_KEEPALIVE double pendral_time_frames(int count) {
    if (!running) return 0;
    const double start = emscripten_get_now();
    for (int k = 0; k < count; ++k) AdvanceFrame(&canvas);
    return count > 0 ? (emscripten_get_now() - start) / count : 0;
}

}  // extern "C"

// Runs before the page's script starts the first scene. The calendar's seconds
// would give two visits within a second the same scatter: the page's own random
// source (Math.random) seeds the generator instead.
int main() {
    SetRandomState(static_cast<std::uint32_t>(emscripten_random() * 4294967296.0));
    emscripten_request_animation_frame_loop(OnAnimationFrame, nullptr);
    return 0;
}
