// The figures of -fps that every Linux back end shows: frames per second and the
// share of one core the program used, as two lines of text renewed once a second.
#pragma once

#include <cstdint>

namespace hack {

struct FpsFigures {
    std::uint64_t periodStartUs = 0;
    double periodStartCpu = 0;
    int frames = 0;
    char lines[2][24] = {"FPS: ...", "Load: ..."};
};

// Counts a frame drawn at nowUs; once a second has passed, the lines tell the last one's figures.
void CountFpsFrame(FpsFigures* fps, std::uint64_t nowUs);

}  // namespace hack
