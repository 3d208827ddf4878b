// The recording test double of the platform boundary: shared machinery.
//
// Every platform function of the double appends one Call to the log, in order,
// with up to six integer arguments (handles and pointers as their addresses).
// The log is reserved up front, so recording does not allocate until it holds
// more than kCallCapacity entries. Each area of the double keeps its own state
// (what the queries answer) and registers a reset function with a ResetHook;
// fake::Reset() clears the log and every registered area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace fake {

struct Call {
    const char* name;  // the platform function, e.g. "StretchCopy"
    std::intptr_t args[6];
    int argCount;
};

inline constexpr std::size_t kCallCapacity = 1u << 16;

// Appends a call to the log.
void Record(const char* name, std::initializer_list<std::intptr_t> args = {});

// The log, oldest first.
const std::vector<Call>& Calls();

// Calls of the given name, and how many there were.
std::vector<Call> CallsNamed(const char* name);
std::size_t CountCalls(const char* name);

// Empties the log (keeping its reserved capacity).
void ClearCalls();

// Empties the log and resets every area of the double to its starting state.
void Reset();

// A file-scope ResetHook registers an area's reset function.
struct ResetHook {
    explicit ResetHook(void (*reset)());
};

template <typename T>
std::intptr_t Arg(T* pointer) {
    return reinterpret_cast<std::intptr_t>(pointer);
}

}  // namespace fake
