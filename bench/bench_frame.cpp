// One whole animation tick for 100 bodies: the field's step, the sprites'
// moves and the frame's render, against the test double.
#include <benchmark/benchmark.h>

#include "../tests/unit/gfx_test_pictures.h"
#include "app/settings.h"
#include "fake.h"
#include "fake_clock.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "fake_profile.h"
#include "fake_window.h"
#include "host/animation_window.h"
#include "platform/messages.h"

namespace {

const plat::Window kWindow = reinterpret_cast<plat::Window>(0x5A00);

void SetUpSaver(int bodies) {
    fake::Reset();
    fake::Gdi().recordCalls = false;
    fake::Windows().clientRects[kWindow] = {0, 0, 1024, 768};
    fake::Clock().seconds = 1;
    fake::Files().builtInBitmaps["SPPAT_R0"] = gfxtest::DiscPicture(62);
    fake::Files().builtInBitmaps["SPPAT_R1"] = gfxtest::DiscPicture(48);
    fake::Files().builtInBitmaps["SPPAT_R2"] = gfxtest::DiscPicture(32);
    fake::SetProfileText("CONTROL.INI", "[Screen_Saver.Pendral]\nEVENT_FREQ=" + std::to_string(bodies) +
                                            "\nRED_SW=1\nBLUE_SW=1\n");
    AnimationWindowProc(kWindow, msg::CREATE, 0, 0);
}

void BM_AnimationTick(benchmark::State& state) {
    SetUpSaver(100);
    for (auto _ : state) {
        AnimationWindowProc(kWindow, msg::TIMER, ANIMATION_TIMER_ID, 0);
        fake::Gdi().windowCopyCount = 0;
    }
    state.counters["bodies"] = bodyField.Count();
}
BENCHMARK(BM_AnimationTick);

}  // namespace
