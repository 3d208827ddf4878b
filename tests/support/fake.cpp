#include "fake.h"

#include <cstring>

namespace fake {
namespace {

// Never destroyed: program-wide objects of the code under test may still call
// the double while the test program exits.
std::vector<Call>& Log() {
    static std::vector<Call>& log = *[] {
        auto* v = new std::vector<Call>;
        v->reserve(kCallCapacity);
        return v;
    }();
    return log;
}

std::vector<void (*)()>& Resets() {
    static std::vector<void (*)()> resets;
    return resets;
}

}  // namespace

void Record(const char* name, std::initializer_list<std::intptr_t> args) {
    Call call{name, {}, 0};
    for (std::intptr_t a : args) {
        if (call.argCount == 6) break;
        call.args[call.argCount++] = a;
    }
    Log().push_back(call);
}

const std::vector<Call>& Calls() { return Log(); }

std::vector<Call> CallsNamed(const char* name) {
    std::vector<Call> out;
    for (const Call& c : Log())
        if (std::strcmp(c.name, name) == 0) out.push_back(c);
    return out;
}

std::size_t CountCalls(const char* name) {
    std::size_t n = 0;
    for (const Call& c : Log())
        if (std::strcmp(c.name, name) == 0) ++n;
    return n;
}

void ClearCalls() { Log().clear(); }

void Reset() {
    ClearCalls();
    for (auto reset : Resets()) reset();
}

ResetHook::ResetHook(void (*reset)()) { Resets().push_back(reset); }

}  // namespace fake
