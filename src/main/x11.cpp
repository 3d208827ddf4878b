// pendral, the Linux saver: XScreenSaver-style options, then the animation on an X
// window until a signal or the window's end (platform/x11/ holds the X11 side).
#include <cstdio>

#include "app/saver_options.h"
#include "platform/x11/saver.h"
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
    plat::x11::CatchStopSignals();
    ApplySaverOptions(options);
    plat::x11::SetFileFolder(options.spritesFolder);
    SeedRandom();

    plat::x11::Run run;
    const int status = plat::x11::OpenRun(&run, options) ? plat::x11::RunSaver(&run) : 1;
    plat::x11::CloseRun(&run);
    return status;
}
