// pendral, the Linux saver: XScreenSaver-style options, then the animation on an X
// window until a signal or the window's end, or with -wayland on every output of
// a Wayland compositor (hack/ holds the runs, platform/x11/ and platform/wayland/
// each side's drawing, platform/x11/ the files and the clock).
#include <cstdio>

#include "app/saver_options.h"
#include "hack/run.h"
#include "hack/wayland_run.h"
#include "platform/x11/surface.h"
#include "sim/random.h"

#ifndef PENDRAL_VERSION
#define PENDRAL_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    SaverOptions options;
    char error[200];
    if (!ParseSaverOptions(argc, argv, &options, error, sizeof error)) {
        std::fprintf(stderr, "pendral: %s\n", error);
        return 1;
    }
    if (options.action == SaverOptions::Action::Help) {
        std::fputs(SaverOptionsHelp(), stdout);
        return 0;
    }
    if (options.action == SaverOptions::Action::Version) {
        std::printf("pendral %s\n", PENDRAL_VERSION);
        return 0;
    }
    hack::CatchStopSignals();
    ApplySaverOptions(options);
    plat::x11::SetFileFolder(options.spritesFolder);
    SeedRandom();
    if (options.target == SaverOptions::Target::Wayland) return hack::RunOnWayland(options);

    hack::Run run;
    const int status = hack::OpenRun(&run, options) ? hack::RunSaver(&run) : 1;
    hack::CloseRun(&run);
    return status;
}
