#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <vector>

#include "fake.h"
#include "fake_clock.h"
#include "sim/body_field.h"
#include "sim/random.h"

namespace {

constexpr std::int32_t ATTRACTION_ZERO = 100;  // setting that gives G = 0
constexpr std::int32_t ATTRACTION_DEFAULT = 110;  // G = 1.25

class BodyFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        SetRandomState(1);
    }

    // Three plain bodies: 0 and 1 where given, 2 on body 1's line so far away
    // (1e100 px) that its pull on them is lost in rounding.
    void PlacePair(double x0, double y0, double x1, double y1, std::int32_t attractionSetting) {
        field.Setup(3, 1024, 768, attractionSetting, 5, switches);
        Body* b = field.MutableBodies();
        b[0].x = x0;
        b[0].y = y0;
        b[1].x = x1;
        b[1].y = y1;
        b[2].x = 1e100;
        b[2].y = y1;
    }

    // The switches the field reads at every scatter: off unless a test sets them.
    std::int32_t red = 0;
    std::int32_t blue = 0;
    BodySwitches switches{&red, &blue};
    BodyField field;
};

TEST_F(BodyFieldTest, SetupRaisesTheCountToThreeAndDerivesItsConstants) {
    for (std::int32_t n : {-5, 0, 1, 2, 3}) {
        field.Setup(n, 640, 480, 110, 5, switches);
        EXPECT_EQ(field.Count(), 3) << n;
    }
    field.Setup(100, 640, 480, 0, 100, switches);
    EXPECT_EQ(field.Count(), 100);
    EXPECT_EQ(field.Attraction(), -12.5);
    EXPECT_EQ(field.ScatterPeriodMs(), 6000000u);
    field.Setup(51, 640, 480, 200, 1, switches);
    EXPECT_EQ(field.Attraction(), 12.5);
    EXPECT_EQ(field.ScatterPeriodMs(), 60000u);
    field.Setup(51, 640, 480, 110, 5, switches);
    EXPECT_EQ(field.Attraction(), 1.25);
    const double x = field.Bodies()[7].x;
    field.SetAttraction(20);  // the settings window's scale, while the bodies move on
    EXPECT_EQ(field.Attraction(), -10.0);
    EXPECT_EQ(field.Bodies()[7].x, x);
}

TEST_F(BodyFieldTest, ScatterPlacesTheLastBodyFirstXBeforeY) {
    SetRandomState(1);
    std::vector<double> draws;
    for (int i = 0; i < 8; ++i) draws.push_back(UniformRandom());

    fake::Clock().tick = 1234;
    SetRandomState(1);
    field.Setup(4, 1000, 500, 110, 5, switches);
    EXPECT_EQ(field.LastScatterTick(), 1234u);
    const Body* b = field.Bodies();
    for (int k = 0; k < 4; ++k) {
        const Body& body = b[3 - k];
        EXPECT_EQ(body.x, draws[2 * k] * 1000.0);
        EXPECT_EQ(body.y, draws[2 * k + 1] * 500.0);
        EXPECT_EQ(body.ix, static_cast<std::int32_t>(body.x));
        EXPECT_EQ(body.iy, static_cast<std::int32_t>(body.y));
        EXPECT_EQ(body.vx, 0.0);
        EXPECT_EQ(body.vy, 0.0);
    }
}

TEST_F(BodyFieldTest, KindsFollowTheSwitchesAtEveryScatter) {
    struct Case {
        std::int32_t red, blue;
        BodyKind k0, k1;
    };
    const Case cases[] = {
        {0, 0, BodyKind::Plain, BodyKind::Plain}, {1, 0, BodyKind::Red, BodyKind::Plain},
        {0, 1, BodyKind::Plain, BodyKind::Blue},  {1, 1, BodyKind::Red, BodyKind::Blue},
        {7, 7, BodyKind::Red, BodyKind::Blue},    {-1, -1, BodyKind::Plain, BodyKind::Plain},
    };
    field.Setup(3, 640, 480, 110, 5, switches);
    for (const Case& c : cases) {
        red = c.red;
        blue = c.blue;
        field.Scatter();
        EXPECT_EQ(field.KindOf(0), static_cast<std::int32_t>(c.k0)) << c.red << "," << c.blue;
        EXPECT_EQ(field.KindOf(1), static_cast<std::int32_t>(c.k1)) << c.red << "," << c.blue;
        EXPECT_EQ(field.KindOf(2), static_cast<std::int32_t>(BodyKind::Plain));
    }
    const Body* b = field.Bodies();  // red and blue on from the last case but one... now off
    red = 1;
    blue = 1;
    field.Scatter();
    EXPECT_EQ(b[0].mass, 512.0);
    EXPECT_EQ(b[0].radius, 30.0);
    EXPECT_EQ(b[0].radiusSq, 900.0);
    EXPECT_EQ(b[1].mass, 216.0);
    EXPECT_EQ(b[1].radius, 22.0);
    EXPECT_EQ(b[1].radiusSq, 484.0);
    EXPECT_EQ(b[2].mass, 64.0);
    EXPECT_EQ(b[2].radius, 15.0);
    EXPECT_EQ(b[2].radiusSq, 225.0);

    // Without switches every body is plain.
    field.Setup(3, 640, 480, 110, 5, {});
    EXPECT_EQ(field.KindOf(0), static_cast<std::int32_t>(BodyKind::Plain));
    EXPECT_EQ(field.KindOf(1), static_cast<std::int32_t>(BodyKind::Plain));
}

TEST_F(BodyFieldTest, TwoPlainBodiesThirtyApartPullEachOtherByTheInverseSquare) {
    PlacePair(100, 200, 130, 200, ATTRACTION_DEFAULT);
    field.Step();
    const double f = 1.25 / (900.0 * 30.0);
    const double a = 64.0 * 30.0 * f;
    EXPECT_NEAR(a, 0.0888888888889, 1e-12);
    const Body* b = field.Bodies();
    EXPECT_EQ(b[0].vx, a);
    EXPECT_EQ(b[1].vx, -a);
    EXPECT_EQ(b[0].vy, 0.0);
    EXPECT_EQ(b[0].x, 100.0 + a);
    EXPECT_EQ(b[1].x, 130.0 - a);
    EXPECT_EQ(b[0].ix, 100);
    EXPECT_EQ(b[1].ix, 129);
}

TEST_F(BodyFieldTest, OverlappingBodiesPullAsIfTheyJustTouched) {
    PlacePair(300, 100, 300, 110, ATTRACTION_DEFAULT);  // d2 = 100 < 450
    field.Step();
    const double f = 1.25 / (450.0 * std::sqrt(450.0));
    const Body* b = field.Bodies();
    EXPECT_EQ(b[0].vy, 64.0 * 10.0 * f);
    EXPECT_EQ(b[1].vy, -(64.0 * 10.0 * f));

    // A negative attraction pushes them apart by the same amount.
    PlacePair(300, 100, 300, 110, 90);
    field.Step();
    const double g = -1.25 / (450.0 * std::sqrt(450.0));
    EXPECT_EQ(field.Bodies()[0].vy, 64.0 * 10.0 * g);
    EXPECT_LT(field.Bodies()[0].vy, 0.0);
}

TEST_F(BodyFieldTest, CoincidentBodiesFeelNothing) {
    field.Setup(3, 640, 480, 0, 5, switches);
    for (int i = 0; i < 3; ++i) {
        field.MutableBodies()[i].x = 50;
        field.MutableBodies()[i].y = 60;
    }
    field.Step();
    for (int i = 0; i < 3; ++i) {
        const Body& b = field.Bodies()[i];
        EXPECT_EQ(b.vx, 0.0);
        EXPECT_EQ(b.vy, 0.0);
        EXPECT_EQ(b.x, 50.0);
        EXPECT_EQ(b.y, 60.0);
    }
}

TEST_F(BodyFieldTest, WallsPushOnlyStrictlyOutsideByAFixedAmount) {
    struct Case {
        double x, y, vx, vy;
    };
    const Case cases[] = {
        {1024.0, 768.0, 0.0, 0.0},   {0.0, 0.0, 0.0, 0.0},     {1024.001, 768.001, -0.1, -0.1},
        {-0.001, -0.001, 0.1, 0.1},  {1e6, -1e6, -0.1, 0.1},   {500.0, 800.0, 0.0, -0.1},
    };
    for (const Case& c : cases) {
        field.Setup(3, 1024, 768, ATTRACTION_ZERO, 5, switches);
        Body* b = field.MutableBodies();
        b[1].x = c.x;
        b[1].y = c.y;
        field.Step();
        EXPECT_EQ(b[1].vx, c.vx) << c.x << "," << c.y;
        EXPECT_EQ(b[1].vy, c.vy) << c.x << "," << c.y;
        EXPECT_EQ(b[1].x, c.x + c.vx);
        EXPECT_EQ(b[1].y, c.y + c.vy);
    }
}

TEST_F(BodyFieldTest, ZeroAttractionKeepsEveryBodyStill) {
    field.Setup(40, 800, 600, ATTRACTION_ZERO, 5, switches);
    const std::vector<Body> start(field.Bodies(), field.Bodies() + 40);
    for (int s = 0; s < 50; ++s) field.Step();
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(field.Bodies()[i].x, start[i].x);
        EXPECT_EQ(field.Bodies()[i].y, start[i].y);
        EXPECT_EQ(field.PositionX(i), start[i].ix);
    }
}

TEST_F(BodyFieldTest, PositionsTruncateTowardZeroAndSaturate) {
    field.Setup(3, 1024, 768, ATTRACTION_ZERO, 5, switches);
    Body* b = field.MutableBodies();
    b[0].x = -0.7;  // pushed back by 0.1: -0.6
    b[0].y = -1.5;  // -1.4
    b[1].x = 3e9;
    b[1].y = -3e9;
    b[2].x = 2147483647.5;
    b[2].y = 5e18;
    field.Step();
    EXPECT_EQ(field.PositionX(0), 0);
    EXPECT_EQ(field.PositionY(0), -1);
    EXPECT_EQ(field.PositionX(1), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(field.PositionY(1), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(field.PositionX(2), 2147483647);
    EXPECT_EQ(field.PositionY(2), std::numeric_limits<std::int32_t>::max());

    // A position that is not a number reads as 0.
    b[0].x = std::numeric_limits<double>::quiet_NaN();
    field.Step();
    EXPECT_EQ(field.PositionX(0), 0);
}

TEST_F(BodyFieldTest, OutOfRangeIndicesReadBodyZero) {
    red = 1;
    field.Setup(5, 1024, 768, 110, 5, switches);
    for (std::int32_t index : {-1, 5, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_EQ(field.PositionX(index), field.Bodies()[0].ix);
        EXPECT_EQ(field.PositionY(index), field.Bodies()[0].iy);
        EXPECT_EQ(field.KindOf(index), static_cast<std::int32_t>(BodyKind::Red));
    }
    EXPECT_EQ(field.PositionX(4), field.Bodies()[4].ix);
}

TEST_F(BodyFieldTest, ScattersOnlyWhenMoreThanThePeriodHasPassedAcrossTheWrap) {
    const std::uint32_t start = 0xFFFFFF00u;
    fake::Clock().tick = start;
    field.Setup(10, 1024, 768, 110, 1, switches);

    fake::Clock().tick = start + 60000u;  // wrapped past 2^32; exactly the period
    field.Step();
    EXPECT_EQ(field.LastScatterTick(), start);

    fake::Clock().tick = start + 60001u;
    field.Step();
    EXPECT_EQ(field.LastScatterTick(), start + 60001u);
    // The fresh bodies moved once in the same step: from rest, by one acceleration.
    for (int i = 0; i < 10; ++i) {
        const Body& b = field.Bodies()[i];
        EXPECT_EQ(b.vx, b.ax);
        EXPECT_EQ(b.vy, b.ay);
    }

    // A counter that ran backwards looks like a very long time: scatter.
    fake::Clock().tick = start;
    field.Step();
    EXPECT_EQ(field.LastScatterTick(), start);
}

// The same step written the other way round: first every pair in i < j order,
// then every body moved in index order. Both must agree to the bit.
void ReferenceStep(std::vector<Body>& b, double g, double width, double height) {
    for (Body& body : b) body.ax = body.ay = 0.0;
    const std::size_t n = b.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dx = b[j].x - b[i].x, dy = b[j].y - b[i].y;
            const double d2 = dx * dx + dy * dy, s = b[i].radiusSq + b[j].radiusSq;
            const double d = d2 < s ? s : d2;
            const double f = g / (d * std::sqrt(d));
            b[i].ax += b[j].mass * dx * f;
            b[i].ay += b[j].mass * dy * f;
            b[j].ax -= b[i].mass * dx * f;
            b[j].ay -= b[i].mass * dy * f;
        }
    }
    for (Body& body : b) {
        if (body.x > width) body.vx -= 0.1;
        else if (body.x < 0) body.vx += 0.1;
        if (body.y > height) body.vy -= 0.1;
        else if (body.y < 0) body.vy += 0.1;
        body.vx += body.ax;
        body.vy += body.ay;
        body.x += body.vx;
        body.y += body.vy;
    }
}

TEST_F(BodyFieldTest, StepsAgreeBitForBitWithPairsFirstThenMoves) {
    red = 1;
    blue = 1;
    // Bodies go in twos and pairs in fours: odd counts leave a last body and
    // every count leaves tails of each length.
    struct Case {
        std::int32_t count, setting;
    };
    for (const Case& c : {Case{30, 110}, Case{31, 40}, Case{3, 200}, Case{5, 110}}) {
        field.Setup(c.count, 640, 480, c.setting, 5, switches);
        std::vector<Body> ref(field.Bodies(), field.Bodies() + c.count);
        for (int s = 0; s < 300; ++s) {
            field.Step();
            ReferenceStep(ref, field.Attraction(), 640, 480);
        }
        for (int i = 0; i < c.count; ++i) {
            const Body& b = field.Bodies()[i];
            ASSERT_EQ(std::memcmp(&b.x, &ref[i].x, sizeof(double)), 0) << c.count << " bodies, body " << i;
            ASSERT_EQ(b.y, ref[i].y) << c.count << " bodies, body " << i;
            ASSERT_EQ(b.vx, ref[i].vx);
            ASSERT_EQ(b.vy, ref[i].vy);
        }
    }
}

TEST(BodyFieldEmpty, AnEmptyFieldDoesNothingAndReadsZero) {
    BodyField field;
    field.Step();
    field.Scatter();
    EXPECT_EQ(field.PositionX(0), 0);
    EXPECT_EQ(field.PositionY(-1), 0);
    EXPECT_EQ(field.KindOf(3), 0);
    field.Release();
    field.Release();
    EXPECT_EQ(field.Bodies(), nullptr);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(BodyFieldEmpty, BodiesThatCannotBeAllocatedLeaveTheFieldEmpty) {
    fake::Reset();
    BodyField field;
    field.Setup(3, 100, 100, 110, 5, {});
    field.Setup(std::numeric_limits<std::int32_t>::max(), 100, 100, 110, 5, {});
    EXPECT_EQ(field.Bodies(), nullptr);
    EXPECT_EQ(field.Count(), 0);
    field.Step();
    EXPECT_EQ(field.PositionX(7), 0);
}
#endif

}  // namespace
