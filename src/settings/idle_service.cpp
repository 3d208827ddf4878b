#include "settings/idle_service.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/settings_window_rules.h"

namespace idle_service {
namespace {

constexpr const char* DESTINATION = "org.freedesktop.systemd1";
constexpr const char* PATH = "/org/freedesktop/systemd1";
constexpr const char* MANAGER = "org.freedesktop.systemd1.Manager";
// A manager that does not answer within this long is taken as absent.
constexpr std::uint64_t CALL_TIMEOUT_US = 5 * 1000 * 1000;

// The user bus, closed when it goes out of scope.
struct UserBus {
    sd_bus* bus = nullptr;
    int status = 0;
    UserBus() {
        status = sd_bus_open_user(&bus);
        if (status >= 0) sd_bus_set_method_call_timeout(bus, CALL_TIMEOUT_US);
    }
    ~UserBus() { sd_bus_flush_close_unref(bus); }
};

// "what: the bus's error", or the errno's text.
std::string Failure(const char* what, const sd_bus_error& e, int status) {
    return std::string(what) + ": " + (e.message ? e.message : std::strerror(-status));
}

}  // namespace

State Query() {
    State state;
    UserBus user;
    if (user.status < 0) return state;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int status = sd_bus_call_method(user.bus, DESTINATION, PATH, MANAGER, "GetUnitFileState", &error, &reply,
                                          "s", IDLE_SERVICE);
    if (status >= 0) {
        const char* fileState = nullptr;
        state.managerAnswers = true;
        state.known = sd_bus_message_read(reply, "s", &fileState) >= 0;
        state.enabled = state.known && std::strcmp(fileState, "enabled") == 0;
    } else {
        // An error from the manager itself (no such unit file) says it answers.
        state.managerAnswers = sd_bus_error_is_set(&error) &&
                               !sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) &&
                               !sd_bus_error_has_name(&error, SD_BUS_ERROR_NO_REPLY) &&
                               !sd_bus_error_has_name(&error, SD_BUS_ERROR_TIMEOUT);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    char* active = nullptr;
    if (state.managerAnswers &&
        sd_bus_get_property_string(user.bus, DESTINATION, "/org/freedesktop/systemd1/unit/graphical_2dsession_2etarget",
                                   "org.freedesktop.systemd1.Unit", "ActiveState", nullptr, &active) >= 0)
        state.sessionTargetActive = std::strcmp(active, "active") == 0;
    std::free(active);
    return state;
}

bool Switch(bool on, std::string* message) {
    UserBus user;
    if (user.status < 0) {
        *message = std::string("cannot reach the user bus: ") + std::strerror(-user.status);
        return false;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int status = 0;
    const char* step = nullptr;
    // Enable/DisableUnitFiles take a list of names.
    sd_bus_message* call = nullptr;
    status = sd_bus_message_new_method_call(user.bus, &call, DESTINATION, PATH, MANAGER,
                                            on ? "EnableUnitFiles" : "DisableUnitFiles");
    char name[64];
    std::snprintf(name, sizeof name, "%s", IDLE_SERVICE);
    char* names[] = {name, nullptr};
    if (status >= 0) status = sd_bus_message_append_strv(call, names);
    if (status >= 0) status = on ? sd_bus_message_append(call, "bb", 0, 0) : sd_bus_message_append(call, "b", 0);
    if (status >= 0) status = sd_bus_call(user.bus, call, 0, &error, nullptr);
    sd_bus_message_unref(call);
    if (status < 0) step = on ? "cannot enable " : "cannot disable ";
    if (status >= 0) {
        status = sd_bus_call_method(user.bus, DESTINATION, PATH, MANAGER, "Reload", &error, nullptr, "");
        if (status < 0) step = "cannot reload the user manager for ";
    }
    if (status >= 0) {
        status = sd_bus_call_method(user.bus, DESTINATION, PATH, MANAGER, on ? "StartUnit" : "StopUnit", &error,
                                    nullptr, "ss", IDLE_SERVICE, "replace");
        if (status < 0) step = on ? "cannot start " : "cannot stop ";
    }
    if (step) *message = Failure((std::string(step) + IDLE_SERVICE).c_str(), error, status);
    sd_bus_error_free(&error);
    return status >= 0;
}

}  // namespace idle_service
