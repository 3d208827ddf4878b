// Runs the end-to-end tests against the pendral.scr named by --scr=<path>
// (a Linux path is taken as seen through Wine's drive Z).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string scr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scr=", 6) == 0) scr = argv[i] + 6;
    }
    if (scr.empty()) {
        std::fprintf(stderr, "usage: pendral_e2e --scr=<path of pendral.scr> [gtest options]\n");
        return 2;
    }
    e2e::SetSaverPath(scr);
    e2e::PrepareStandIns();
    return RUN_ALL_TESTS();
}
