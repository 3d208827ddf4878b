// pendral-trace: runs the body field without a window and prints every body's
// kind and, after set-up and after each step, every body's integer position.
//
//   pendral-trace [--seed N] [--bodies N] [--width N] [--height N]
//                 [--attraction N] [--refresh N] [--red N] [--blue N]
//                 [--steps N] [--start-tick N] [--tick-ms N]
//
// The tick count is simulated: start-tick at set-up, start-tick + k * tick-ms
// (modulo 2^32) during step k. The output is the same, byte for byte, on every
// build.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "platform/clock.h"
#include "sim/body_field.h"
#include "sim/random.h"

namespace {

std::uint32_t simulatedTick = 0;

struct Flag {
    const char* name;
    long long value;
    long long low, high;
};

enum FlagIndex { SEED, BODIES, WIDTH, HEIGHT, ATTRACTION, REFRESH, RED, BLUE, STEPS, START_TICK, TICK_MS, FLAG_COUNT };

constexpr long long I32_MIN = -2147483648LL;
constexpr long long I32_MAX = 2147483647LL;
constexpr long long U32_MAX = 4294967295LL;

// Values for the generator's state and the tick count may be given either as
// unsigned or as signed 32-bit numbers; they are taken modulo 2^32.
Flag flags[FLAG_COUNT] = {
    {"--seed", 1, I32_MIN, U32_MAX},       {"--bodies", 51, I32_MIN, I32_MAX},
    {"--width", 1024, I32_MIN, I32_MAX},   {"--height", 768, I32_MIN, I32_MAX},
    {"--attraction", 110, I32_MIN, I32_MAX}, {"--refresh", 5, I32_MIN, I32_MAX},
    {"--red", 0, I32_MIN, I32_MAX},        {"--blue", 0, I32_MIN, I32_MAX},
    {"--steps", 100, 0, I32_MAX},          {"--start-tick", 0, I32_MIN, U32_MAX},
    {"--tick-ms", 20, I32_MIN, U32_MAX},
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "pendral-trace: %s\n", message.c_str());
    return 2;
}

// A whole decimal integer: optional "-", then digits only.
bool ParseInteger(const char* text, long long* value) {
    const char* p = text;
    if (*p == '-') ++p;
    if (*p < '0' || *p > '9') return false;
    for (const char* q = p; *q; ++q)
        if (*q < '0' || *q > '9') return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text, &end, 10);
    return errno == 0 && *end == '\0';
}

// Parses the command line into `flags`; 0 on success, else the exit status
// after a one-line message on stderr.
int ParseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        Flag* flag = nullptr;
        for (Flag& f : flags)
            if (std::strcmp(argv[i], f.name) == 0) flag = &f;
        if (flag == nullptr) return Fail(std::string("unknown flag '") + argv[i] + "'");
        if (i + 1 >= argc) return Fail(std::string(flag->name) + " needs a value");
        const char* text = argv[++i];
        long long value = 0;
        if (!ParseInteger(text, &value)) return Fail(std::string(flag->name) + ": not a number: '" + text + "'");
        if (value < flag->low || value > flag->high)
            return Fail(std::string(flag->name) + ": out of range: " + text);
        flag->value = value;
    }
    return 0;
}

std::int32_t I32(FlagIndex f) { return static_cast<std::int32_t>(flags[f].value); }
std::uint32_t U32(FlagIndex f) { return static_cast<std::uint32_t>(flags[f].value); }

// Appends the decimal text of `v` and a leading space.
void AppendNumber(std::string& line, long long v) {
    char text[24];
    std::snprintf(text, sizeof text, " %lld", v);
    line += text;
}

void WriteLine(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); }

void WritePositions(const BodyField& field, long long step, std::string& line) {
    line.clear();
    line += std::to_string(step);
    line += ':';
    for (std::int32_t i = 0; i < field.Count(); ++i) {
        AppendNumber(line, field.PositionX(i));
        AppendNumber(line, field.PositionY(i));
    }
    line += '\n';
    WriteLine(line);
}

BodyField field;

}  // namespace

namespace plat {
std::uint32_t TickCount() { return simulatedTick; }
std::uint32_t CalendarSeconds() { return 0; }
}  // namespace plat

int main(int argc, char** argv) {
#ifdef _WIN32
    // "\n" only, so that every build prints the same bytes.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (int status = ParseArguments(argc, argv)) return status;

    const std::int32_t red = I32(RED), blue = I32(BLUE);
    SetRandomState(U32(SEED));

    const std::uint32_t startTick = U32(START_TICK);
    const std::uint32_t tickMs = U32(TICK_MS);
    simulatedTick = startTick;
    field.Setup(I32(BODIES), I32(WIDTH), I32(HEIGHT), I32(ATTRACTION), I32(REFRESH), {&red, &blue});

    std::string line = "kinds:";
    for (std::int32_t i = 0; i < field.Count(); ++i) AppendNumber(line, field.KindOf(i));
    line += '\n';
    WriteLine(line);
    WritePositions(field, 0, line);

    const long long steps = flags[STEPS].value;
    for (long long k = 1; k <= steps; ++k) {
        simulatedTick = startTick + static_cast<std::uint32_t>(k) * tickMs;
        field.Step();
        WritePositions(field, k, line);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
