// Arbitrary command lines: cutting the tail (single- and double-byte stepping),
// reading the switch and the window number never read outside the line and
// always land on a position inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fake_system.h"
#include "host/command_line.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Inside(const char* p, const char* begin, std::size_t length) { return p >= begin && p <= begin + length; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the code page and the system family.
    const std::uint8_t mode = data[0];
    fake::System().doubleByteCodePage = (mode & 1) != 0;
    const std::int32_t win95 = (mode >> 1) & 1;

    // An exactly sized copy, so that any read past the terminator is caught.
    std::vector<char> line(data + 1, data + size);
    line.push_back('\0');
    const std::size_t length = std::strlen(line.data());

    const char* tail = CutCommandTail(line.data());
    Check(Inside(tail, line.data(), length));
    Check(*tail == '\0' || static_cast<unsigned char>(*tail) > ' ');

    SwitchChoice choice = ReadSwitch(tail, win95);
    Check(Inside(choice.rest, line.data(), length));
    if (choice.mode == RunMode::ChangePassword) Check(win95 == 1);
    if (choice.mode == RunMode::Configuration) Check(*choice.rest == '\0');
    std::uint32_t handle = ParseWindowHandle(choice.rest);
    if (*choice.rest < '0' || *choice.rest > '9') Check(handle == 0);
    return 0;
}
