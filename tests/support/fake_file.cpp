#include "fake_file.h"

#include <cstring>

#include "fake.h"
#include "platform/bitmap_resource.h"
#include "platform/file.h"

namespace fake {
namespace {

struct OpenedFile {
    bool used = false;
    const std::vector<std::uint8_t>* bytes = nullptr;
    std::int64_t position = 0;
};

constexpr int kMaxOpenFiles = 16;

FileState fileState;
OpenedFile openFiles[kMaxOpenFiles];

ResetHook resetFiles([] {
    fileState = FileState{};
    for (OpenedFile& f : openFiles) f = OpenedFile{};
});

OpenedFile* Slot(plat::File file) { return reinterpret_cast<OpenedFile*>(file); }

}  // namespace

FileState& Files() { return fileState; }

}  // namespace fake

namespace plat {

File OpenFileForReading(const char* name) {
    fake::Record("OpenFileForReading", {fake::Arg(name)});
    auto found = fake::fileState.files.find(name);
    if (found == fake::fileState.files.end()) return nullptr;
    for (fake::OpenedFile& slot : fake::openFiles) {
        if (slot.used) continue;
        slot = fake::OpenedFile{true, &found->second, 0};
        ++fake::fileState.openFiles;
        return reinterpret_cast<File>(&slot);
    }
    return nullptr;
}

std::int32_t SeekFile(File file, std::int32_t offset, SeekOrigin origin) {
    fake::Record("SeekFile", {fake::Arg(file), offset, origin == SeekOrigin::Start ? 0 : 1});
    fake::OpenedFile* f = fake::Slot(file);
    const std::int64_t target = (origin == SeekOrigin::Start ? 0 : f->position) + offset;
    if (target < 0 || target > INT32_MAX) return -1;
    f->position = target;
    return static_cast<std::int32_t>(target);
}

std::uint32_t ReadFromFile(File file, void* buffer, std::uint32_t count) {
    fake::Record("ReadFromFile", {fake::Arg(file), static_cast<std::intptr_t>(count)});
    fake::OpenedFile* f = fake::Slot(file);
    const std::int64_t size = static_cast<std::int64_t>(f->bytes->size());
    const std::int64_t left = f->position < size ? size - f->position : 0;
    const std::int64_t n = left < count ? left : count;
    if (n > 0) std::memcpy(buffer, f->bytes->data() + f->position, static_cast<std::size_t>(n));
    f->position += n;
    return static_cast<std::uint32_t>(n);
}

void CloseFile(File file) {
    fake::Record("CloseFile", {fake::Arg(file)});
    fake::OpenedFile* f = fake::Slot(file);
    if (f->used) --fake::fileState.openFiles;
    *f = fake::OpenedFile{};
}

void ReportUnusableFile(const char* name, const char* why) {
    fake::fileState.reports.push_back(std::string(name) + ": " + why);
}

BuiltInData FindBuiltInBitmap(const char* name) {
    fake::Record("FindBuiltInBitmap", {fake::Arg(name)});
    auto found = fake::fileState.builtInBitmaps.find(name);
    if (found == fake::fileState.builtInBitmaps.end()) return {nullptr, 0};
    return {found->second.data(), static_cast<std::uint32_t>(found->second.size())};
}

}  // namespace plat
