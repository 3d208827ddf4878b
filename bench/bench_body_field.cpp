// Cost of one BodyField::Step at the smallest, the default and the largest count.
#include <benchmark/benchmark.h>

#include "fake.h"
#include "sim/body_field.h"
#include "sim/random.h"

namespace {

constexpr std::int32_t ON = 1;

void BM_BodyFieldStep(benchmark::State& state) {
    fake::Reset();  // the tick count stands still: no scatter during the run
    SetRandomState(1);
    BodyField field;
    field.Setup(static_cast<std::int32_t>(state.range(0)), 1024, 768, 110, 5, {&ON, &ON});  // red and blue on
    for (auto _ : state) {
        field.Step();
        benchmark::DoNotOptimize(field.Bodies());
        benchmark::ClobberMemory();
    }
    state.counters["pairs"] = static_cast<double>(state.range(0) * (state.range(0) - 1) / 2);
}

}  // namespace

BENCHMARK(BM_BodyFieldStep)->Arg(3)->Arg(51)->Arg(100)->Unit(benchmark::kMicrosecond);
