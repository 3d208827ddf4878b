#include "host/animation_window.h"

#include "app/settings.h"
#include "host/host_state.h"
#include "host/saver_window.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "sim/random.h"

std::uint16_t timerId = 0;
bool animationPaused = false;
plat::Rect fieldScreens[MAX_FIELDS];
std::int32_t fieldScreenCount = 0;

namespace {

void StartTimer(plat::Window window) {
    timerId = static_cast<std::uint16_t>(plat::StartTimer(window, ANIMATION_TIMER_ID, TICK_INTERVAL_MS));
}

// The client size, and one field for each screen that the full-screen window
// covers; a preview, or a system that cannot list its screens, gets one field
// over its client area.
void SetUpForScreens(plat::Window window) {
    plat::Rect client = plat::ClientRect(window);
    clientWidth = client.right;
    clientHeight = client.bottom;
    const std::int32_t screenCount = hostState.previewMode ? 0 : plat::ScreenRects(fieldScreens, MAX_FIELDS);
    fieldScreenCount = screenCount > 0 ? screenCount : 0;
    if (fieldScreenCount == 0) {
        SetUpScene(window);
        return;
    }
    const plat::Point origin = plat::ClientOrigin(window);
    const plat::Rect onScreen{origin.x, origin.y, origin.x + clientWidth, origin.y + clientHeight};
    plat::Rect areas[MAX_FIELDS];
    SetUpScenes(window, areas, FieldAreas(onScreen, fieldScreens, fieldScreenCount, areas));
}

void StartAnimation(plat::Window window) {
    LoadSettings();
    SeedRandom();
    SetUpForScreens(window);
    StartTimer(window);
}

void StopAnimation(plat::Window window) {
    if (timerId != 0) plat::StopTimer(window, timerId);
    timerId = 0;
    ReleaseScene();
    plat::PostQuit(0);
}

}  // namespace

void PauseAnimation(plat::Window window) {
    if (animationPaused) return;
    animationPaused = true;
    if (timerId != 0) plat::StopTimer(window, timerId);
    timerId = 0;
}

void ResumeAnimation(plat::Window window) {
    if (!animationPaused) return;
    animationPaused = false;
    StartTimer(window);
    plat::RepaintWindow(window);
}

plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam) {
    switch (message) {
        case msg::CREATE:
            StartAnimation(window);
            return 0;
        case msg::DESTROY:
            StopAnimation(window);
            return 0;
        case msg::DISPLAYCHANGE:
            // New screens, or screens of another size: fields for them, scattered afresh.
            ReleaseScene();
            SetUpForScreens(window);
            plat::RepaintWindow(window);
            return SaverInputProc(window, message, wParam, lParam);
        case msg::TIMER:
            if (wParam == ANIMATION_TIMER_ID) AdvanceFrame(window);
            return 0;
        default:
            return SaverInputProc(window, message, wParam, lParam);
    }
}
