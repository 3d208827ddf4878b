#include "app/idle_rule.h"

IdleSource ChooseIdleSource(const IdleOffers& offers) {
    if (offers.extIdleNotify) return IdleSource::ExtIdleNotify;
    if (offers.kdeIdle) return IdleSource::KdeIdle;
    if (offers.gnomeIdleMonitor) return IdleSource::GnomeIdleMonitor;
    return IdleSource::None;
}

IdleStep NextIdleStep(IdleWatchState* state, IdleEvent event, bool inhibited) {
    if (event == IdleEvent::Active) state->idle = false;
    if (event == IdleEvent::Idle) state->idle = true;
    const bool wanted = state->idle && !inhibited;
    if (wanted == state->showing) return IdleStep::Nothing;
    state->showing = wanted;
    return wanted ? IdleStep::Show : IdleStep::Hide;
}
