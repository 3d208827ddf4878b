#include "sim/body_field.h"

#include <cmath>
#include <initializer_list>
#include <limits>
#include <new>

// The pair terms are computed four at a time where the processor has AVX.
// Not on Windows, where the compiler cannot keep 32-byte vectors aligned on the stack.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define PENDRAL_BODY_FIELD_AVX 1
#include <immintrin.h>
#else
#define PENDRAL_BODY_FIELD_AVX 0
#endif

#include "platform/clock.h"
#include "sim/random.h"

namespace {

constexpr double WALL_PUSH = 0.1;

// The step works on ten columns of `count` doubles (see Columns), allocated
// with the bodies.
constexpr std::size_t SCRATCH_ARRAYS = 10;

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

}  // namespace

BodyKind BodyField::KindFor(std::int32_t index) const {
    if (index == 0 && switches.red && *switches.red > 0) return BodyKind::Red;
    if (index == 1 && switches.blue && *switches.blue > 0) return BodyKind::Blue;
    return BodyKind::Plain;
}

BodyField::~BodyField() { Release(); }

void BodyField::Setup(std::int32_t bodyCount, std::int32_t fieldWidth, std::int32_t fieldHeight,
                      std::int32_t attractionSetting, std::int32_t refreshMinutes, BodySwitches kindSwitches) {
    // A second set-up replaces the bodies of the first instead of leaking them.
    Release();

    const std::int32_t n = bodyCount < 3 ? 3 : bodyCount;
    // A count whose arrays do not fit the address space fails like any other
    // allocation instead of throwing.
    const std::uint64_t limit = std::numeric_limits<std::size_t>::max() / (SCRATCH_ARRAYS * sizeof(double));
    if (static_cast<std::uint64_t>(n) <= limit) {
        bodies = new (std::nothrow) Body[static_cast<std::size_t>(n)]{};
        scratch = new (std::nothrow) double[static_cast<std::size_t>(n) * SCRATCH_ARRAYS]{};
    }
    if (bodies == nullptr || scratch == nullptr) {
        // Without bodies the field stays empty: every operation does nothing
        // and every body reads as 0.
        Release();
        return;
    }
    count = n;
    switches = kindSwitches;
    width = static_cast<double>(fieldWidth);
    height = static_cast<double>(fieldHeight);
    SetAttraction(attractionSetting);
    scatterPeriodMs = static_cast<std::uint32_t>(refreshMinutes) * 60000u;
    Scatter();
}

void BodyField::SetAttraction(std::int32_t attractionSetting) {
    if (bodies != nullptr) attraction = (static_cast<double>(attractionSetting) - 100.0) * 0.125;
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

namespace {

// Columns of the step's working arrays, each `count` doubles long.
struct Columns {
    double* x;   // positions at the start of the step
    double* y;
    double* rs;  // radiusSq
    double* m;   // mass
    double* ax;  // accelerations being accumulated
    double* ay;
    double* tx;  // body i's terms from each later body j: m_j * dx * f, m_j * dy * f
    double* ty;
    double* tx1;  // the same for body i + 1
    double* ty1;
};

Columns ColumnsOf(double* scratch, std::int32_t n) {
    double* p = scratch;
    Columns c{};
    for (double** column : {&c.x, &c.y, &c.rs, &c.m, &c.ax, &c.ay, &c.tx, &c.ty, &c.tx1, &c.ty1}) {
        *column = p;
        p += n;
    }
    return c;
}

// The columns with body i + 1's term columns in the place of body i's.
Columns SecondRow(Columns c) {
    c.tx = c.tx1;
    c.ty = c.ty1;
    return c;
}

// The pairs (i, j) for j from `j` to n - 1: stores body i's terms in tx, ty
// and takes body j's terms off its ax, ay. Every operation is the one IEEE
// double operation of the plain formula, in its order,
//   d = d2 < s ? s : d2;  f = g / (d * sqrt(d));  tx_j = m_j * dx * f;  ax_j -= m_i * dx * f
// so the vector form below gives the same bits as this scalar one.
void PairTermsScalar(const Columns& c, std::int32_t i, std::int32_t j, std::int32_t n, double g) {
    const double xi = c.x[i], yi = c.y[i], rsi = c.rs[i], mi = c.m[i];
    for (; j < n; ++j) {
        const double dx = c.x[j] - xi;
        const double dy = c.y[j] - yi;
        const double d2 = dx * dx + dy * dy;
        const double s = rsi + c.rs[j];
        const double d = d2 < s ? s : d2;
        const double f = g / (d * std::sqrt(d));
        c.tx[j] = c.m[j] * dx * f;
        c.ty[j] = c.m[j] * dy * f;
        c.ax[j] -= mi * dx * f;
        c.ay[j] -= mi * dy * f;
    }
}

#if PENDRAL_BODY_FIELD_AVX
// Four pairs at a time, for processors that have AVX (chosen at run time).
__attribute__((target("avx"))) void PairTermsAvx(const Columns& c, std::int32_t i, std::int32_t j, std::int32_t n,
                                                 double g) {
    const __m256d xi = _mm256_set1_pd(c.x[i]), yi = _mm256_set1_pd(c.y[i]), rsi = _mm256_set1_pd(c.rs[i]);
    const __m256d mi = _mm256_set1_pd(c.m[i]), vg = _mm256_set1_pd(g);
    for (; j + 4 <= n; j += 4) {
        const __m256d dx = _mm256_sub_pd(_mm256_loadu_pd(c.x + j), xi);
        const __m256d dy = _mm256_sub_pd(_mm256_loadu_pd(c.y + j), yi);
        const __m256d d2 = _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy));
        const __m256d s = _mm256_add_pd(rsi, _mm256_loadu_pd(c.rs + j));
        // max(s, d2) is s exactly when d2 < s, and d2 otherwise (NaN included).
        const __m256d d = _mm256_max_pd(s, d2);
        const __m256d f = _mm256_div_pd(vg, _mm256_mul_pd(d, _mm256_sqrt_pd(d)));
        const __m256d mj = _mm256_loadu_pd(c.m + j);
        _mm256_storeu_pd(c.tx + j, _mm256_mul_pd(_mm256_mul_pd(mj, dx), f));
        _mm256_storeu_pd(c.ty + j, _mm256_mul_pd(_mm256_mul_pd(mj, dy), f));
        _mm256_storeu_pd(c.ax + j, _mm256_sub_pd(_mm256_loadu_pd(c.ax + j), _mm256_mul_pd(_mm256_mul_pd(mi, dx), f)));
        _mm256_storeu_pd(c.ay + j, _mm256_sub_pd(_mm256_loadu_pd(c.ay + j), _mm256_mul_pd(_mm256_mul_pd(mi, dy), f)));
    }
    PairTermsScalar(c, i, j, n, g);
}
#endif

using PairTermsFunction = void (*)(const Columns&, std::int32_t, std::int32_t, std::int32_t, double);

PairTermsFunction ChoosePairTerms() {
#if PENDRAL_BODY_FIELD_AVX
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx")) return PairTermsAvx;
#endif
    return PairTermsScalar;
}

}  // namespace

void BodyField::Step() {
    if (bodies == nullptr) return;

    // Elapsed time modulo 2^32, so that the tick counter's wrap-around is harmless.
    const std::uint32_t elapsed = plat::TickCount() - lastScatterTick;
    if (elapsed > scatterPeriodMs) Scatter();

    Body* const b = bodies;
    const std::int32_t n = count;
    const Columns c = ColumnsOf(scratch, n);
    for (std::int32_t k = 0; k < n; ++k) {
        c.x[k] = b[k].x;
        c.y[k] = b[k].y;
        c.rs[k] = b[k].radiusSq;
        c.m[k] = b[k].mass;
        c.ax[k] = 0.0;
        c.ay[k] = 0.0;
    }

    // Each pair once, applied to both bodies with opposite signs. Every later
    // body j has not moved yet, so all pairs see the positions of the start of
    // the step, and each acceleration receives its terms in the same order as
    // a plain double loop over i < j: the trajectories must be the same on
    // every build.
    //   f = G / (D * sqrt(D)), D = d2, or s when overlapping (d2 < s)
    //   ax_i += m_j * dx * f; ay_i += m_j * dy * f; ax_j -= m_i * dx * f; ay_j -= m_i * dy * f
    // Overlapping bodies pull as if they just touched: D is never below the
    // summed squared radii, so nothing divides by zero.
    //
    // Bodies go two at a time so that their two running sums overlap in time;
    // body i + 1's sum starts after body i's pair with it has been taken off.
    static const PairTermsFunction pairTerms = ChoosePairTerms();
    const Columns c1 = SecondRow(c);
    std::int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        pairTerms(c, i, i + 1, n, attraction);
        pairTerms(c1, i + 1, i + 2, n, attraction);
        double ax0 = c.ax[i] + c.tx[i + 1];
        double ay0 = c.ay[i] + c.ty[i + 1];
        double ax1 = c.ax[i + 1];
        double ay1 = c.ay[i + 1];
        for (std::int32_t j = i + 2; j < n; ++j) {
            ax0 += c.tx[j];
            ay0 += c.ty[j];
            ax1 += c1.tx[j];
            ay1 += c1.ty[j];
        }
        Move(b[i], ax0, ay0);
        Move(b[i + 1], ax1, ay1);
    }
    if (i < n) Move(b[i], c.ax[i], c.ay[i]);  // the last body has no later partners

}

void BodyField::Move(Body& body, double ax, double ay) const {
    body.ax = ax;
    body.ay = ay;
    // Wall push, tested on the position before this step's move; strict, so a
    // body exactly on an edge is left alone.
    if (body.x > width) {
        body.vx -= WALL_PUSH;
    } else if (body.x < 0.0) {
        body.vx += WALL_PUSH;
    }
    if (body.y > height) {
        body.vy -= WALL_PUSH;
    } else if (body.y < 0.0) {
        body.vy += WALL_PUSH;
    }
    body.vx += ax;
    body.vy += ay;
    body.x += body.vx;
    body.y += body.vy;
    body.ix = TruncateToInt32(body.x);
    body.iy = TruncateToInt32(body.y);
}

const Body& BodyField::At(std::int32_t index) const {
    return index < 0 || index >= count ? bodies[0] : bodies[index];
}

std::int32_t BodyField::PositionX(std::int32_t index) const { return bodies ? At(index).ix : 0; }

std::int32_t BodyField::PositionY(std::int32_t index) const { return bodies ? At(index).iy : 0; }

std::int32_t BodyField::KindOf(std::int32_t index) const { return bodies ? At(index).kind : 0; }

void BodyField::Release() {
    delete[] bodies;
    delete[] scratch;
    Clear();
}

void BodyField::Clear() {
    width = 0;
    height = 0;
    count = 0;
    attraction = 0;
    lastScatterTick = 0;
    scatterPeriodMs = 0;
    switches = {};
    bodies = nullptr;
    scratch = nullptr;
}
