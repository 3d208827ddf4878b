// Files on the page: only the pictures dropped on it, held in memory by name.
#include "platform/file.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/web/canvas.h"

namespace plat {

struct FileObject {
    const std::uint8_t* data;
    std::uint32_t size;
    std::uint32_t position;
};

namespace {

struct KeptFile {
    char name[16];
    std::uint8_t* data;
    std::uint32_t size;
};

// One place for each of the three pictures, and one for a new file of each
// that waits for its check.
KeptFile kept[6] = {};

KeptFile* Find(const char* name) {
    for (KeptFile& f : kept)
        if (f.data && std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

}  // namespace

namespace web {

void KeepFile(const char* name, std::uint8_t* data, std::uint32_t size) {
    ForgetFile(name);
    for (KeptFile& f : kept) {
        if (f.data || std::strlen(name) >= sizeof f.name) continue;
        std::strcpy(f.name, name);
        f.data = data;
        f.size = size;
        return;
    }
    std::free(data);  // no place for it
}

void ForgetFile(const char* name) {
    if (KeptFile* f = Find(name)) {
        std::free(f->data);
        *f = KeptFile{};
    }
}

bool HasFile(const char* name) { return Find(name) != nullptr; }

void RenameFile(const char* from, const char* to) {
    if (!Find(from) || std::strcmp(from, to) == 0 || std::strlen(to) >= sizeof KeptFile::name) return;
    ForgetFile(to);
    std::strcpy(Find(from)->name, to);
}

}  // namespace web

File OpenFileForReading(const char* name) {
    const KeptFile* f = name ? Find(name) : nullptr;
    if (!f) return nullptr;
    return new (std::nothrow) FileObject{f->data, f->size, 0};
}

std::int32_t SeekFile(File file, std::int32_t offset, SeekOrigin origin) {
    const std::int64_t target = (origin == SeekOrigin::Start ? 0 : std::int64_t{file->position}) + offset;
    if (target < 0 || target > INT32_MAX) return -1;
    file->position = static_cast<std::uint32_t>(target);
    return static_cast<std::int32_t>(target);
}

std::uint32_t ReadFromFile(File file, void* buffer, std::uint32_t count) {
    if (file->position >= file->size) return 0;
    const std::uint32_t n = file->size - file->position < count ? file->size - file->position : count;
    std::memcpy(buffer, file->data + file->position, n);
    file->position += n;
    return n;
}

void CloseFile(File file) { delete file; }

// The page checks each file (pendral_check_pictures) and shows why it was refused
// before any scene loads it.
void ReportUnusableFile(const char*, const char*) {}

}  // namespace plat
