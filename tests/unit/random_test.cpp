#include <gtest/gtest.h>

#include "fake.h"
#include "fake_clock.h"
#include "sim/random.h"

// The generator's first draws from state 1 are those of the classic 15-bit
// linear congruential generator: 41, 18467, 6334, 26500.
TEST(Random, DrawsFollowTheLinearCongruentialSequence) {
    SetRandomState(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int e : expected) EXPECT_EQ(UniformRandom(), e * (1.0 / 32767.0));
}

TEST(Random, SeedComesFromTheCalendarClockAndSpansZeroToOne) {
    fake::Reset();
    fake::Clock().seconds = 1;
    SeedRandom();
    EXPECT_EQ(UniformRandom(), 41 * (1.0 / 32767.0));
    SetRandomState(0);
    double lo = 1, hi = 0;
    for (int i = 0; i < 200000; ++i) {
        double r = UniformRandom();
        lo = r < lo ? r : lo;
        hi = r > hi ? r : hi;
    }
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
}

// Savers started at once (one per monitor) without a seed from the system: the
// same second, even the same nanosecond, but another process scatters apart;
// another nanosecond too.
TEST(Random, SeedFromTheTimeDiffersByProcessAndByNanosecond) {
    const std::int64_t second = 1767225600;
    const std::uint32_t seed = SeedFromTimeAndProcess(second, 250000000, 4321);
    EXPECT_EQ(SeedFromTimeAndProcess(second, 250000000, 4321), seed);
    EXPECT_NE(SeedFromTimeAndProcess(second, 250000000, 4322), seed);
    EXPECT_NE(SeedFromTimeAndProcess(second, 250000001, 4321), seed);
}
