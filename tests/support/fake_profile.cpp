#include "fake_profile.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "app/settings.h"
#include "fake.h"
#include "fake_system.h"
#include "platform/profile.h"

namespace fake {
namespace {

struct Line {
    std::string key;
    std::string value;
    bool hasValue;
};

struct Section {
    std::string name;  // "" for lines before the first section header
    std::vector<Line> lines;
};

using Profile = std::vector<Section>;

struct ProfileState {
    std::map<std::string, Profile> files;  // by upper-cased file name
    std::map<std::uint32_t, std::string> strings;
    std::uint32_t writesFail = 0;
    std::vector<ProfileAccess> reads;
    std::vector<ProfileAccess> writes;
};

ProfileState& State() {
    static ProfileState state;
    return state;
}

void ResetProfiles() {
    ProfileState& s = State();
    s = ProfileState{};
    s.strings[1007] = "Screen_Saver.Pendral";
}

ResetHook resetProfiles(ResetProfiles);
// The starting state holds the program's own string table too.
[[maybe_unused]] const bool initialised = (ResetProfiles(), true);

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = Upper(c);
    return out;
}

bool SameName(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// The profile reader's whitespace: C isspace, plus ^Z (a DOS end-of-file mark).
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a; }

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

Profile Parse(const std::string& text) {
    Profile profile;
    profile.push_back(Section{"", {}});
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string::npos) {
                profile.push_back(Section{line.substr(1, close - 1), {}});
                continue;
            }
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            profile.back().lines.push_back(Line{line, "", false});
        } else {
            profile.back().lines.push_back(Line{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), true});
        }
    }
    return profile;
}

Section* FindSection(Profile& profile, const std::string& name) {
    // Lines before the first header belong to no section and are never found by name.
    for (std::size_t i = 1; i < profile.size(); ++i)
        if (SameName(profile[i].name, name)) return &profile[i];
    return nullptr;
}

Line* FindLine(Section& section, const std::string& key) {
    for (Line& line : section.lines)
        if (SameName(line.key, key)) return &line;
    return nullptr;
}

Profile* FindProfile(const std::string& file) {
    auto it = State().files.find(Upper(file));
    return it == State().files.end() ? nullptr : &it->second;
}

// The value of `key`, or null when the file, section or key (or its value) is absent.
const std::string* FindValue(const std::string& file, const std::string& section, const std::string& key) {
    Profile* profile = FindProfile(file);
    if (profile == nullptr) return nullptr;
    Section* s = FindSection(*profile, section);
    if (s == nullptr) return nullptr;
    Line* line = FindLine(*s, key);
    if (line == nullptr || !line->hasValue) return nullptr;
    return &line->value;
}

}  // namespace

void SetProfileText(const std::string& file, const std::string& text) {
    State().files[Upper(file)] = Parse(text);
}

void RemoveProfile(const std::string& file) { State().files.erase(Upper(file)); }

bool ProfileExists(const std::string& file) { return FindProfile(file) != nullptr; }

std::string ProfileText(const std::string& file) {
    const Profile* profile = FindProfile(file);
    if (profile == nullptr) return "";
    std::string out;
    for (const Section& section : *profile) {
        if (&section != &profile->front()) {
            if (!out.empty()) out += "\n";
            out += "[" + section.name + "]\n";
        }
        for (const Line& line : section.lines) out += line.hasValue ? line.key + "=" + line.value + "\n" : line.key + "\n";
    }
    return out;
}

std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key) {
    Profile* profile = FindProfile(file);
    Section* s = profile ? FindSection(*profile, section) : nullptr;
    Line* line = s ? FindLine(*s, key) : nullptr;
    if (line == nullptr) return "<absent>";
    return line->hasValue ? line->value : "<no value>";
}

void SetProfileWritesFail(std::uint32_t error) { State().writesFail = error; }

const std::vector<ProfileAccess>& ProfileReads() { return State().reads; }
const std::vector<ProfileAccess>& ProfileWrites() { return State().writes; }

void SetResourceString(std::uint32_t id, const std::string& text) { State().strings[id] = text; }
void RemoveResourceString(std::uint32_t id) { State().strings.erase(id); }

}  // namespace fake

namespace plat {

int LoadResourceString(std::uint32_t id, char* buffer, int limit) {
    fake::Record("LoadResourceString", {static_cast<std::intptr_t>(id), limit});
    if (buffer == nullptr || limit <= 0) return 0;
    buffer[0] = '\0';
    auto& strings = fake::State().strings;
    auto it = strings.find(id);
    if (it == strings.end()) return 0;
    const std::size_t n = std::min(it->second.size(), static_cast<std::size_t>(limit - 1));
    std::memcpy(buffer, it->second.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

std::int32_t ReadProfileInt(const char* section, const char* key, std::int32_t fallback, const char* file) {
    const std::string* value = fake::FindValue(file, section, key);
    const std::int32_t result = value ? ProfileIntFromText(value->c_str(), fallback) : fallback;
    fake::Record("ReadProfileInt", {fallback, result});
    fake::State().reads.push_back({file, section, key, std::to_string(result)});
    return result;
}

bool WriteProfileText(const char* section, const char* key, const char* text, const char* file) {
    fake::Record("WriteProfileText");
    fake::State().writes.push_back({file, section, key, text});
    if (fake::State().writesFail != 0) {
        fake::System().lastError = fake::State().writesFail;
        return false;
    }
    fake::Profile& profile = fake::State().files[fake::Upper(file)];
    if (profile.empty()) profile.push_back(fake::Section{"", {}});
    fake::Section* s = fake::FindSection(profile, section);
    if (s == nullptr) {
        profile.push_back(fake::Section{section, {}});
        s = &profile.back();
    }
    // The system stores the text without its leading whitespace.
    std::string value = text;
    value.erase(0, std::min(value.size(), value.find_first_not_of(" \t\r\n\v\f\x1a")));
    if (fake::Line* line = fake::FindLine(*s, key)) {
        line->value = value;
        line->hasValue = true;
    } else {
        s->lines.push_back(fake::Line{key, value, true});
    }
    return true;
}

}  // namespace plat
