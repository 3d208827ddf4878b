// Runs the end-to-end tests against the pendral.scr named by --scr=<path>
// (a Linux path is taken as seen through Wine's drive Z).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver.h"

int main(int argc, char** argv) {
    // --host-window=<file>: only a window for a preview, whose handle goes into
    // the file; the process waits until it is ended from outside.
    if (argc == 2 && std::strncmp(argv[1], "--host-window=", 14) == 0) {
        e2e::HostWindow host(320, 240);
        if (!e2e::WriteWholeFile(argv[1] + 14, host.Number())) return 1;
        for (;;) e2e::Pump(1000);
    }
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
