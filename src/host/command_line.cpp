#include "host/command_line.h"

#include "platform/system.h"

const char* CutCommandTail(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        // A quoted program name may hold spaces; it ends at the next quote.
        do {
            p = plat::NextCharacter(p);
        } while (*p != '"' && *p != '\0');
        if (*p == '"') ++p;
    } else if (static_cast<unsigned char>(*p) > ' ') {
        while (static_cast<unsigned char>(*p) > ' ') p = plat::NextCharacter(p);
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') p = plat::NextCharacter(p);
    return p;
}

namespace {
const char* SkipSpaces(const char* p) {
    while (*p == ' ') ++p;
    return p;
}
}  // namespace

SwitchChoice ReadSwitch(const char* tail, std::int32_t win95Family) {
    const char* p = tail;
    while (*p == ' ' || *p == '-' || *p == '/') ++p;
    switch (*p) {
        case '\0':
            return {RunMode::Configuration, p};
        case 'a':
        case 'A':
            if (!win95Family) return {RunMode::Invalid, p};
            return {RunMode::ChangePassword, SkipSpaces(p + 1)};
        case 'c':
        case 'C':
            return {RunMode::ConfigurationOwned, p};
        case 'p':
        case 'P':
        case 'l':
        case 'L':
            return {RunMode::Preview, SkipSpaces(p + 1)};
        case 's':
        case 'S':
            return {RunMode::FullScreen, p};
        default:
            return {RunMode::Invalid, p};
    }
}

std::uint32_t ParseWindowHandle(const char* text) {
    std::uint32_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    return value;
}

std::uintptr_t WindowHandleValue(std::uint32_t number) {
    return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(number)));
}
