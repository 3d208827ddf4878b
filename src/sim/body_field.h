// The field of bodies that pull on each other by an inverse-square law.
#pragma once

#include <cstdint>

enum class BodyKind : std::int32_t { Red = 0, Blue = 1, Plain = 2 };

// The switches that make body 0 the heavy red body and body 1 the blue body (each
// when > 0). The field keeps the addresses given to Setup and reads them at every
// scatter, so that a change takes effect at the next one; a null address is off.
struct BodySwitches {
    const std::int32_t* red = nullptr;
    const std::int32_t* blue = nullptr;
};

struct Body {
    std::int32_t ix;  // x truncated toward zero (saturating)
    std::int32_t iy;  // y truncated toward zero (saturating)
    double x, y;
    double vx, vy;
    double ax, ay;
    double mass;
    double radius;
    double radiusSq;
    std::int32_t kind;  // BodyKind code, also the sprite pattern index
};

class BodyField {
public:
    BodyField() = default;
    ~BodyField();
    BodyField(const BodyField&) = delete;
    BodyField& operator=(const BodyField&) = delete;

    // Allocates the bodies (at least 3) and scatters them. Called once per run;
    // a second call replaces the first field. If the bodies cannot be
    // allocated the field stays empty and Scatter and Step do nothing.
    void Setup(std::int32_t bodyCount, std::int32_t width, std::int32_t height,
               std::int32_t attractionSetting, std::int32_t refreshMinutes, BodySwitches switches);
    void Scatter();
    void Step();
    // A new attraction (the setting, as Setup takes it) for the steps from now on,
    // keeping the bodies where they are; nothing for an empty field.
    void SetAttraction(std::int32_t attractionSetting);

    // Out-of-range indices read body 0. An empty field (before Setup, or when
    // the bodies could not be allocated) reads 0 for everything.
    std::int32_t PositionX(std::int32_t index) const;
    std::int32_t PositionY(std::int32_t index) const;
    std::int32_t KindOf(std::int32_t index) const;

    void Release();

    // Read access for tests and tools.
    std::int32_t Count() const { return count; }
    const Body* Bodies() const { return bodies; }
    double Attraction() const { return attraction; }
    std::uint32_t ScatterPeriodMs() const { return scatterPeriodMs; }
    std::uint32_t LastScatterTick() const { return lastScatterTick; }
    // Write access to one body for tests that place bodies by hand.
    Body* MutableBodies() { return bodies; }

private:
    const Body& At(std::int32_t index) const;
    void Move(Body& body, double ax, double ay) const;
    void Clear();
    BodyKind KindFor(std::int32_t index) const;

    double width = 0;
    double height = 0;
    std::int32_t count = 0;
    double attraction = 0;
    std::uint32_t lastScatterTick = 0;
    std::uint32_t scatterPeriodMs = 0;
    BodySwitches switches;
    Body* bodies = nullptr;
    double* scratch = nullptr;  // the step's working columns, allocated with the bodies
};
