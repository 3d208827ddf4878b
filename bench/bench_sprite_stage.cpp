// One frame of the saver's busiest stage: 100 sprites (two of 64 x 64, 98 of
// 32 x 32) on a 1024 x 768 back buffer, moving every frame.
//   BM_DrawAndErase: the draw and erase passes, the work a frame does on the back buffer.
//   BM_DrawOnly, BM_EraseOnly: each pass on its own.
//   BM_Render:       the whole frame against the test double, whose copy to the
//                    window records nothing (so it measures the stage's own work).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "fake.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "gfx/sprite_stage.h"

namespace {

constexpr int kSprites = 100;
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
const plat::Window kWindow = reinterpret_cast<plat::Window>(0x1);

// A packed 64 x 64 picture: a disc of the given diameter, index 10 around it.
std::vector<std::uint8_t> Disc(int diameter) {
    std::vector<std::uint8_t> b(1064 + 4096, 0);
    const std::uint32_t header[] = {40, 64, 64, 1u | (8u << 16), 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i)
        for (int k = 0; k < 4; ++k) b[4 * i + k] = static_cast<std::uint8_t>(header[i] >> (8 * k));
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double dx = x + 0.5 - 32, dy = y + 0.5 - 32, r = diameter / 2.0;
            b[1064 + (63 - y) * 64 + x] = dx * dx + dy * dy < r * r ? static_cast<std::uint8_t>(11 + (x + y) % 200) : 10;
        }
    }
    return b;
}

struct Scene {
    SpriteStage stage;
    std::vector<int> x, y, dx, dy;

    Scene() : x(kSprites), y(kSprites), dx(kSprites), dy(kSprites) {
        fake::Reset();
        fake::Gdi().recordCalls = false;
        fake::Files().builtInBitmaps["SPPAT_R0"] = Disc(62);
        fake::Files().builtInBitmaps["SPPAT_R1"] = Disc(48);
        fake::Files().builtInBitmaps["SPPAT_R2"] = Disc(32);
        stage.Setup(kWindow, kSprites, 3, 3, kWidth, kHeight);
        for (int i = 0; i < kSprites; ++i) stage.SetSpriteSize(i, i < 2 ? 64 : 32, i < 2 ? 64 : 32);
        for (int p = 0; p < 3; ++p) stage.SetPattern(p, p, 32, 32);
        for (int i = 0; i < kSprites; ++i) {
            stage.SetSpritePattern(i, i < 2 ? i : 2);
            stage.SetSpriteVisible(i, true);
            x[i] = 40 + (i * 97) % (kWidth - 80);
            y[i] = 40 + (i * 61) % (kHeight - 80);
            dx[i] = i % 7 - 3;
            dy[i] = i % 5 - 2;
        }
    }

    // Moves every sprite a little, bouncing off the edges, as one animation tick does.
    void Move() {
        for (int i = 0; i < kSprites; ++i) {
            x[i] += dx[i];
            y[i] += dy[i];
            if (x[i] < 32 || x[i] > kWidth - 32) dx[i] = -dx[i];
            if (y[i] < 32 || y[i] > kHeight - 32) dy[i] = -dy[i];
            stage.SetSpritePosition(i, x[i], y[i]);
        }
    }
};

void BM_DrawAndErase(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.Move();
        scene.stage.DrawPass();
        scene.stage.ErasePass();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawAndErase);

// The two passes apart (the back buffer is not kept black here; only timing counts).
void BM_DrawOnly(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.Move();
        scene.stage.DrawPass();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawOnly);

void BM_EraseOnly(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.Move();
        scene.stage.ErasePass();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EraseOnly);

void BM_Render(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.Move();
        scene.stage.Render(kWindow);
        fake::ClearWindowCopies();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Render);

}  // namespace
