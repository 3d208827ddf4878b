#include "platform/file.h"

#include <windows.h>

namespace plat {
namespace {

// OpenFile's handles are small integers cast from kernel handles; never 0 when valid.
HFILE ToHfile(File file) { return static_cast<HFILE>(reinterpret_cast<INT_PTR>(file)); }

}  // namespace

File OpenFileForReading(const char* name) {
    OFSTRUCT found{};
    HFILE f = OpenFile(name, &found, OF_READ);
    if (f == HFILE_ERROR) return nullptr;
    return reinterpret_cast<File>(static_cast<INT_PTR>(f));
}

std::int32_t SeekFile(File file, std::int32_t offset, SeekOrigin origin) {
    LONG pos = _llseek(ToHfile(file), offset, origin == SeekOrigin::Start ? FILE_BEGIN : FILE_CURRENT);
    return pos == HFILE_ERROR ? -1 : static_cast<std::int32_t>(pos);
}

std::uint32_t ReadFromFile(File file, void* buffer, std::uint32_t count) {
    // _hread takes a signed count; read in pieces that fit.
    std::uint32_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < count) {
        std::uint32_t piece = count - total;
        if (piece > 0x40000000u) piece = 0x40000000u;
        long got = _hread(ToHfile(file), out + total, static_cast<long>(piece));
        if (got <= 0) break;
        total += static_cast<std::uint32_t>(got);
        if (static_cast<std::uint32_t>(got) < piece) break;
    }
    return total;
}

void CloseFile(File file) { _lclose(ToHfile(file)); }

// The saver has no console; an unusable picture is left out, as it always was.
void ReportUnusableFile(const char*, const char*) {}

}  // namespace plat
