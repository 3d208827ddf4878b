#include "sim/body_field.h"

#include <cmath>
#include <limits>
#include <new>

#include "app/settings.h"
#include "platform/clock.h"
#include "sim/random.h"

namespace {

constexpr double WALL_PUSH = 0.1;

struct KindConstants {
    double mass;
    double radius;
    double radiusSq;
};

// Indexed by BodyKind code.
constexpr KindConstants KIND_CONSTANTS[] = {
    {512.0, 30.0, 900.0},  // Red
    {216.0, 22.0, 484.0},  // Blue
    {64.0, 15.0, 225.0},   // Plain
};

// Truncation toward zero that saturates at the 32-bit limits instead of
// overflowing; NaN gives 0.
std::int32_t TruncateToInt32(double value) {
    if (value != value) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

BodyKind KindFor(std::int32_t index) {
    if (index == 0 && saverSettings.redSwitch > 0) return BodyKind::Red;
    if (index == 1 && saverSettings.blueSwitch > 0) return BodyKind::Blue;
    return BodyKind::Plain;
}

}  // namespace

BodyField::~BodyField() { Release(); }

void BodyField::Setup(std::int32_t bodyCount, std::int32_t fieldWidth, std::int32_t fieldHeight,
                      std::int32_t attractionSetting, std::int32_t refreshMinutes) {
    // A second set-up replaces the bodies of the first instead of leaking them.
    Release();

    const std::int32_t n = bodyCount < 3 ? 3 : bodyCount;
    // A count whose array size does not fit the address space fails like any
    // other allocation instead of throwing.
    const bool fits = static_cast<std::uint64_t>(n) <= std::numeric_limits<std::size_t>::max() / sizeof(Body);
    bodies = fits ? new (std::nothrow) Body[static_cast<std::size_t>(n)]{} : nullptr;
    if (bodies == nullptr) {
        // Without bodies the field stays empty: every operation does nothing
        // and every body reads as 0.
        Clear();
        return;
    }
    count = n;
    width = static_cast<double>(fieldWidth);
    height = static_cast<double>(fieldHeight);
    attraction = (static_cast<double>(attractionSetting) - 100.0) * 0.125;
    scatterPeriodMs = static_cast<std::uint32_t>(refreshMinutes) * 60000u;
    Scatter();
}

void BodyField::Scatter() {
    if (bodies == nullptr) return;
    lastScatterTick = plat::TickCount();
    for (std::int32_t i = count - 1; i >= 0; --i) {
        Body& b = bodies[i];
        const BodyKind kind = KindFor(i);
        const KindConstants& k = KIND_CONSTANTS[static_cast<int>(kind)];
        b.kind = static_cast<std::int32_t>(kind);
        b.mass = k.mass;
        b.radius = k.radius;
        b.radiusSq = k.radiusSq;
        b.vx = 0.0;
        b.vy = 0.0;
        // x before y: the first draws of a scatter place the last body.
        b.x = UniformRandom() * width;
        b.y = UniformRandom() * height;
        b.ix = TruncateToInt32(b.x);
        b.iy = TruncateToInt32(b.y);
    }
}

void BodyField::Step() {
    if (bodies == nullptr) return;

    // Elapsed time modulo 2^32, so that the tick counter's wrap-around is harmless.
    const std::uint32_t elapsed = plat::TickCount() - lastScatterTick;
    if (elapsed > scatterPeriodMs) Scatter();

    Body* const b = bodies;
    const std::int32_t n = count;
    const double g = attraction;
    for (std::int32_t i = 0; i < n; ++i) {
        b[i].ax = 0.0;
        b[i].ay = 0.0;
    }

    for (std::int32_t i = 0; i < n; ++i) {
        Body& bi = b[i];
        const double xi = bi.x;
        const double yi = bi.y;
        const double mi = bi.mass;
        const double rsi = bi.radiusSq;
        double axi = bi.ax;
        double ayi = bi.ay;

        // Each pair once, applied to both bodies with opposite signs. Every
        // later body j has not moved yet, so all pairs see the positions of the
        // start of the step. The operations and their order are fixed: the
        // trajectories must be the same on every build.
        for (std::int32_t j = i + 1; j < n; ++j) {
            Body& bj = b[j];
            const double dx = bj.x - xi;
            const double dy = bj.y - yi;
            const double d2 = dx * dx + dy * dy;
            const double s = rsi + bj.radiusSq;
            // Overlapping bodies pull as if they just touched: D is never
            // below the summed squared radii, so nothing divides by zero.
            const double d = d2 < s ? s : d2;
            const double f = g / (d * std::sqrt(d));
            axi += bj.mass * dx * f;
            ayi += bj.mass * dy * f;
            bj.ax -= mi * dx * f;
            bj.ay -= mi * dy * f;
        }
        bi.ax = axi;
        bi.ay = ayi;

        // Wall push, tested on the position before this step's move; strict, so
        // a body exactly on an edge is left alone.
        if (xi > width) {
            bi.vx -= WALL_PUSH;
        } else if (xi < 0.0) {
            bi.vx += WALL_PUSH;
        }
        if (yi > height) {
            bi.vy -= WALL_PUSH;
        } else if (yi < 0.0) {
            bi.vy += WALL_PUSH;
        }

        bi.vx += axi;
        bi.vy += ayi;
        bi.x = xi + bi.vx;
        bi.y = yi + bi.vy;
        bi.ix = TruncateToInt32(bi.x);
        bi.iy = TruncateToInt32(bi.y);
    }
}

const Body& BodyField::At(std::int32_t index) const {
    return index < 0 || index >= count ? bodies[0] : bodies[index];
}

std::int32_t BodyField::PositionX(std::int32_t index) const { return bodies ? At(index).ix : 0; }

std::int32_t BodyField::PositionY(std::int32_t index) const { return bodies ? At(index).iy : 0; }

std::int32_t BodyField::KindOf(std::int32_t index) const { return bodies ? At(index).kind : 0; }

void BodyField::Release() {
    delete[] bodies;
    Clear();
}

void BodyField::Clear() {
    width = 0;
    height = 0;
    count = 0;
    attraction = 0;
    lastScatterTick = 0;
    scatterPeriodMs = 0;
    bodies = nullptr;
}
