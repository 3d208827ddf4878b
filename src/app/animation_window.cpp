#include "app/animation_window.h"

#include "app/settings.h"
#include "host/saver_window.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "sim/random.h"

std::uint16_t timerId = 0;

namespace {

void StartAnimation(plat::Window window) {
    plat::Rect client = plat::ClientRect(window);
    clientWidth = client.right;
    clientHeight = client.bottom;
    LoadSettings();
    SeedRandom();
    SetUpScene(window);
    timerId = static_cast<std::uint16_t>(plat::StartTimer(window, ANIMATION_TIMER_ID, TICK_INTERVAL_MS));
}

void StopAnimation(plat::Window window) {
    if (timerId != 0) plat::StopTimer(window, timerId);
    plat::PostQuit(0);
}

}  // namespace

plat::MessageResult AnimationWindowProc(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                        plat::LongParam lParam) {
    switch (message) {
        case msg::CREATE:
            StartAnimation(window);
            return 0;
        case msg::DESTROY:
            StopAnimation(window);
            return 0;
        case msg::TIMER:
            if (wParam == ANIMATION_TIMER_ID) AdvanceFrame(window);
            return 0;
        default:
            return SaverInputProc(window, message, wParam, lParam);
    }
}
