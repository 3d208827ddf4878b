// A frame allocates nothing. The global allocation functions of this test program
// are replaced by counting ones; they count only while a test has armed them. Their
// nothrow forms can also be made to fail (allocation_failure.h).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "allocation_failure.h"
#include "fake.h"
#include "fake_file.h"
#include "fake_gdi.h"
#include "gfx/sprite_stage.h"
#include "gfx_test_pictures.h"

namespace {

std::atomic<bool> countingArmed{false};
std::atomic<long> allocations{0};
std::atomic<int> nothrowFailures{0};

void* CountedAllocation(std::size_t bytes) noexcept {
    if (countingArmed.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(bytes ? bytes : 1);
}

void* NothrowAllocation(std::size_t bytes) noexcept {
    if (nothrowFailures.load(std::memory_order_relaxed) > 0) {
        nothrowFailures.fetch_sub(1, std::memory_order_relaxed);
        return nullptr;
    }
    return CountedAllocation(bytes);
}

}  // namespace

void FailNextNothrowAllocations(int count) { nothrowFailures = count; }

void* operator new(std::size_t bytes) {
    if (void* p = CountedAllocation(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    if (void* p = CountedAllocation(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return NothrowAllocation(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return NothrowAllocation(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(SpriteStageAllocation, FramesAllocateNothing) {
    fake::Reset();
    fake::Files().builtInBitmaps["SPPAT_R0"] = gfxtest::DiscPicture(62);
    fake::Files().builtInBitmaps["SPPAT_R1"] = gfxtest::DiscPicture(48);
    fake::Files().builtInBitmaps["SPPAT_R2"] = gfxtest::DiscPicture(32);
    const plat::Window window = reinterpret_cast<plat::Window>(0x77);
    SpriteStage stage;
    const int count = 100;
    stage.Setup(window, count, 3, 3, 1024, 768);
    for (int i = 0; i < count; ++i) stage.SetSpriteSize(i, i < 2 ? 64 : 32, i < 2 ? 64 : 32);
    for (int p = 0; p < 3; ++p) stage.SetPattern(p, p, 32, 32);
    for (int i = 0; i < count; ++i) {
        stage.SetSpritePattern(i, i < 2 ? i : 2);
        stage.SetSpriteVisible(i, true);
    }
    fake::ClearCalls();

    // The counter itself works.
    countingArmed = true;
    ::operator delete(::operator new(8));  // a direct call, which the compiler may not leave out
    countingArmed = false;
    ASSERT_EQ(allocations.exchange(0), 1);

    countingArmed = true;
    for (int frame = 0; frame < 200; ++frame) {
        for (int i = 0; i < count; ++i) stage.SetSpritePosition(i, (i * 37 + frame * (i % 7 - 3)) % 1100 - 40, (i * 53 + frame * 2) % 800 - 20);
        if (frame % 10 == 0) stage.SetSpriteVisible(frame % count, frame % 20 == 0);
        stage.Render(window);
    }
    countingArmed = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(fake::Gdi().windowCopyCount, 0u);
}
