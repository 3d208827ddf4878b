// pendral, the Linux saver: the settings file (app/settings_file.h) under
// XScreenSaver-style options, then the animation on an X window until a signal or
// the window's end, or with -wayland on every output of a Wayland compositor
// (hack/ holds the runs, platform/x11/ and platform/wayland/ each side's drawing,
// platform/x11/ the files and the clock).
#include <sys/random.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "app/saver_options.h"
#include "app/settings_file.h"
#include "hack/idle_watch.h"
#include "hack/run.h"
#include "hack/wayland_run.h"
#include "platform/x11/surface.h"
#include "sim/random.h"

#ifndef PENDRAL_VERSION
#define PENDRAL_VERSION "unknown"
#endif

namespace {

// XScreenSaver starts one saver per monitor, all within the same second: each
// takes a seed of its own from the system, or, should that fail, from the time
// to the nanosecond mixed with its process id, so that no two scatter alike.
std::uint32_t SeedOfItsOwn() {
    std::uint32_t seed = 0;
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed)) return seed;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return SeedFromTimeAndProcess(now.tv_sec, static_cast<std::int32_t>(now.tv_nsec), static_cast<std::uint32_t>(getpid()));
}

}  // namespace

int main(int argc, char** argv) {
    SaverOptions given;
    char error[200];
    if (!ParseSaverOptions(argc, argv, &given, error, sizeof error)) {
        std::fprintf(stderr, "pendral: %s\n", error);
        return 1;
    }
    if (given.action == SaverOptions::Action::Help) {
        std::fputs(SaverOptionsHelp(), stdout);
        return 0;
    }
    if (given.action == SaverOptions::Action::Version) {
        std::printf("pendral %s\n", PENDRAL_VERSION);
        return 0;
    }
    // Every mode: the settings file's settings, the command line over them.
    const SettingsSource source{SettingsFilePath(), argc, argv};
    SettingsFile settings;
    LoadSettings(source, &settings, stderr);
    const SaverOptions& options = settings.options;
    hack::CatchStopSignals();
    ApplySaverOptions(options);
    plat::x11::SetFileFolder(options.spritesFolder);
    SetRandomState(SeedOfItsOwn());
    if (options.target == SaverOptions::Target::Wayland)
        return options.watch ? hack::RunIdleWatcher(source, settings) : hack::RunOnWayland(options);

    hack::Run run;
    const int status = hack::OpenRun(&run, options) ? hack::RunSaver(&run) : 1;
    hack::CloseRun(&run);
    return status;
}
