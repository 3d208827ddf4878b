// Shared set-up of the host's tests: a fresh host record and test double, and
// a stand-in for the animation stage that records what reaches it.
#pragma once

#include <cstdint>

#include "fake.h"
#include "fake_clock.h"
#include "fake_library.h"
#include "fake_registry.h"
#include "fake_system.h"
#include "fake_window.h"
#include "host/animation_window.h"
#include "host/host_state.h"
#include "host/saver_window.h"
#include "platform/messages.h"

namespace hosttest {

inline const plat::Window kSaver = reinterpret_cast<plat::Window>(0x5A00);
inline const plat::Window kParent = reinterpret_cast<plat::Window>(0x1234);  // 4660
inline const plat::Module kImm = reinterpret_cast<plat::Module>(0x70000);
inline const plat::Module kPasswordCpl = reinterpret_cast<plat::Module>(0x80000);
inline const plat::Module kMpr = reinterpret_cast<plat::Module>(0x90000);

// Records each message that reaches it and, as the animation stage does, hands
// everything but creation, destruction and ticks to SaverInputProc.
inline plat::MessageResult AnimationStandIn(plat::Window window, std::uint32_t message, plat::WordParam wParam,
                                            plat::LongParam lParam) {
    fake::Record("PassOn", {static_cast<std::intptr_t>(message), static_cast<std::intptr_t>(wParam), lParam});
    if (message == msg::CREATE || message == msg::DESTROY || message == msg::TIMER) return 0;
    return SaverInputProc(window, message, wParam, lParam);
}

inline void ResetHost() {
    fake::Reset();
    hostState = HostState{};
    fieldScreenCount = 0;
    animationPaused = false;
    saverPassOn = AnimationStandIn;
    fake::Windows().sendTarget = SaverWindowProc;
    fake::Windows().defaultResult = 0xDEF;
}

// A Windows 95 family system whose password setting is on and whose verifier
// library is in the system directory.
inline void SetUpPasswordSystem(std::int32_t verifierResult) {
    hostState.win95Family = 1;
    fake::Registry().valuePresent = true;
    fake::Registry().value = {1, 0, 0, 0};
    fake::Libraries().files.push_back({"C:\\windows\\system32\\PASSWORD.CPL", kPasswordCpl, {"VerifyScreenSavePwd"}});
    fake::Libraries().verifierResult = verifierResult;
}

inline std::size_t Posted(std::uint32_t message) {
    std::size_t n = 0;
    for (const auto& c : fake::CallsNamed("PostWindowMessage"))
        if (c.args[1] == static_cast<std::intptr_t>(message)) ++n;
    return n;
}

}  // namespace hosttest
