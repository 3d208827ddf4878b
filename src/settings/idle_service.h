// The idle watcher's user service, through the systemd user manager's D-Bus API
// on the user bus (sd-bus): its state, and switching it on and off.
#pragma once

#include <string>

namespace idle_service {

struct State {
    bool managerAnswers = false;  // a user manager is on the user bus
    bool known = false;           // it knows the service's unit file
    bool enabled = false;         // the unit file's state is "enabled"
    bool sessionTargetActive = false;  // graphical-session.target is active
};

// Asks the user manager (bounded by a few seconds).
State Query();

// On: enables the unit file, reloads the manager and starts the service. Off:
// disables it, reloads, and stops it. False, with one line in `error`, when a
// step failed (those before it stay done).
bool Switch(bool on, std::string* error);

}  // namespace idle_service
