// bench_body_field for the Windows builds, which have no Google Benchmark: the cost
// of one BodyField::Step at the same body counts, timed with the steady clock.
// Each count runs doubling batches of steps until one batch takes half a second.
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "fake.h"
#include "sim/body_field.h"
#include "sim/random.h"

constexpr std::int32_t ON = 1;

int main() {
    using Clock = std::chrono::steady_clock;
    for (std::int32_t bodies : {3, 51, 100}) {
        fake::Reset();  // the tick count stands still: no scatter during the run
        SetRandomState(1);
        BodyField field;
        field.Setup(bodies, 1024, 768, 110, 5, {&ON, &ON});  // red and blue on
        double seconds = 0;
        long steps = 16;
        for (;; steps *= 2) {
            const Clock::time_point start = Clock::now();
            for (long k = 0; k < steps; ++k) field.Step();
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (seconds >= 0.5) break;
        }
        // The positions are printed so that the steps cannot be left out.
        std::printf("BM_BodyFieldStep/%-4d %10.3f us per step (%ld steps; body 0 at %d,%d)\n", bodies,
                    seconds * 1e6 / static_cast<double>(steps), steps, field.PositionX(0), field.PositionY(0));
    }
    return 0;
}
