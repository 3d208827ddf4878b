#include "driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace e2e {

namespace {

std::string g_saverPath;

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool SameText(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

void SendInputs(std::vector<INPUT>& inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

INPUT MouseInput(DWORD flags, int dx = 0, int dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.dwFlags = flags;
    return in;
}

}  // namespace

void SetSaverPath(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;  // Wine shows the Linux root as drive Z
    std::replace(p.begin(), p.end(), '/', '\\');
    g_saverPath = p;
}

const std::string& SaverPath() { return g_saverPath; }

std::string SaverFileName() { return g_saverPath.substr(g_saverPath.find_last_of('\\') + 1); }

std::string WorkDir() {
    static const std::string dir = [] {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        std::string d = std::string(windows, 2) + "\\pendral-e2e";  // same drive as Windows
        CreateDirectoryA(d.c_str(), nullptr);
        return d;
    }();
    return dir;
}

std::string SettingsPath() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\CONTROL.INI";
}

std::string SystemDir() {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    return system;
}

std::string CommandFor(const std::string& tail) {
    std::string line = "\"" + SaverPath() + "\"";
    if (!tail.empty()) line += " " + tail;
    return line;
}

bool IsWin95Family() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

// ---------------------------------------------------------------- process

Saver::~Saver() {
    Kill();
    if (process_ != nullptr) CloseHandle(process_);
}

bool Saver::Start(const std::string& commandLine, const std::string& currentDir) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool Saver::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Saver::WaitExit(DWORD ms) {
    if (process_ == nullptr) return std::nullopt;
    DWORD start = GetTickCount();
    for (;;) {
        Look();
        DWORD elapsed = GetTickCount() - start;
        DWORD slice = elapsed >= ms ? 0 : std::min<DWORD>(20, ms - elapsed);
        DWORD r = MsgWaitForMultipleObjects(1, &process_, FALSE, slice, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            return code;
        }
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (GetTickCount() - start >= ms) return std::nullopt;
    }
}

void Saver::Kill() {
    if (Running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
}

namespace {
struct FindRequest {
    DWORD pid;
    const char* windowClass;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* req = reinterpret_cast<FindRequest*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != req->pid) return TRUE;
    if (req->windowClass != nullptr && !SameText(ClassOf(hwnd), req->windowClass)) return TRUE;
    if (req->title != nullptr && WindowText(hwnd) != req->title) return TRUE;
    req->found = hwnd;
    return FALSE;
}
}  // namespace

HWND Saver::FindWindowOf(const char* windowClass, const char* title, HWND parent) const {
    FindRequest req{pid_, windowClass, title, nullptr};
    if (parent != nullptr) {
        EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&req));
    } else {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&req));
    }
    return req.found;
}

namespace {
struct SeenRequest {
    DWORD pid;
    bool seen;
};

// Any visible window of the process, or any window of the saver's class.
BOOL CALLBACK NoteWindow(HWND hwnd, LPARAM param) {
    auto* req = reinterpret_cast<SeenRequest*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == req->pid && (IsWindowVisible(hwnd) || SameText(ClassOf(hwnd), SAVER_CLASS))) {
        req->seen = true;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void Saver::Look() {
    if (sawWindow_ || process_ == nullptr) return;
    SeenRequest req{pid_, false};
    EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&req));
    if (!req.seen && watchParent_ != nullptr && IsWindow(watchParent_)) {
        EnumChildWindows(watchParent_, NoteWindow, reinterpret_cast<LPARAM>(&req));
    }
    sawWindow_ = req.seen;
}

HWND Saver::WaitWindow(const char* windowClass, const char* title, HWND parent, DWORD ms) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowOf(windowClass, title, parent)) != nullptr || !Running(); },
            ms);
    if (found == nullptr) found = FindWindowOf(windowClass, title, parent);
    if (found != nullptr) sawWindow_ = true;
    return found;
}

// ---------------------------------------------------------------- screen

Shot Capture() {
    RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return Capture(all);
}

Shot Capture(const RECT& area) {
    Shot shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    if (shot.width <= 0 || shot.height <= 0) return shot;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
        for (auto& px : shot.pixels) px &= 0x00FFFFFFu;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

size_t CountDifferent(const Shot& a, const Shot& b) {
    if (a.pixels.size() != b.pixels.size()) return std::max(a.pixels.size(), b.pixels.size());
    size_t n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

std::string SaveShot(const Shot& shot, const std::string& name) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = -shot.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD bytes = static_cast<DWORD>(shot.pixels.size() * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info);
    data.append(reinterpret_cast<const char*>(shot.pixels.data()), bytes);
    std::string path = WorkDir() + "\\" + name + ".bmp";
    WriteWholeFile(path, data);
    return path;
}

namespace {

// A picture as the program stores it: 40-byte header, colour table, 8-bit rows.
bool ReadPicture(HMODULE module, const char* name, std::array<std::uint32_t, 256>* colours,
                 std::vector<std::uint8_t>* pixels) {
    HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(2));
    if (res == nullptr) return false;
    DWORD size = SizeofResource(module, res);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, res)));
    if (data == nullptr || size < 40) return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof h);
    if (h.biBitCount != 8 || h.biWidth != 64 || h.biHeight != 64) return false;
    DWORD entries = h.biClrUsed != 0 ? h.biClrUsed : 256;
    size_t offset = h.biSize + 4u * entries;
    if (entries > 256 || size < offset + 64 * 64) return false;
    if (colours != nullptr) {
        colours->fill(0);
        for (DWORD i = 0; i < entries; ++i) {
            const std::uint8_t* q = data + h.biSize + 4 * i;  // blue, green, red, 0
            (*colours)[i] = (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[1]} << 8) | q[0];
        }
    }
    pixels->assign(data + offset, data + offset + 64 * 64);
    return true;
}

struct ColourClasses {
    std::unordered_map<std::uint32_t, int> classOf;  // -1: used by several pictures
};

const ColourClasses& Classes() {
    static const ColourClasses classes = [] {
        ColourClasses c;
        const Pictures& pics = SaverPictures();
        if (!pics.loaded) return c;
        for (int p = 0; p < 3; ++p) {
            for (std::uint8_t index : pics.pixels[p]) {
                if (index == 10) continue;  // transparent
                std::uint32_t colour = pics.colours[index];
                if (colour == 0) continue;
                auto it = c.classOf.find(colour);
                if (it == c.classOf.end()) {
                    c.classOf[colour] = p;
                } else if (it->second != p) {
                    it->second = -1;
                }
            }
        }
        return c;
    }();
    return classes;
}

}  // namespace

const Pictures& SaverPictures() {
    static const Pictures pictures = [] {
        Pictures pics;
        HMODULE module = LoadLibraryExA(SaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module == nullptr) return pics;
        bool ok = ReadPicture(module, "SPPAT_R0", &pics.colours, &pics.pixels[0]) &&
                  ReadPicture(module, "SPPAT_R1", nullptr, &pics.pixels[1]) &&
                  ReadPicture(module, "SPPAT_R2", nullptr, &pics.pixels[2]);
        FreeLibrary(module);
        if (!ok) return pics;
        for (int p = 0; p < 3; ++p) {
            std::array<int, 256> uses{};
            for (std::uint8_t index : pics.pixels[p]) ++uses[index];
            uses[10] = 0;
            pics.mainIndex[p] =
                static_cast<std::uint8_t>(std::max_element(uses.begin(), uses.end()) - uses.begin());
        }
        pics.loaded = true;
        return pics;
    }();
    return pictures;
}

ColourCount CountColours(const Shot& shot) {
    ColourCount count;
    const auto& classOf = Classes().classOf;
    for (std::uint32_t px : shot.pixels) {
        if (px == 0) {
            ++count.black;
            continue;
        }
        auto it = classOf.find(px);
        if (it == classOf.end()) {
            ++count.other;
        } else if (it->second < 0) {
            ++count.shared;
        } else {
            ++count.disc[it->second];
        }
    }
    return count;
}

int CountPatches(const Shot& shot, Disc disc, size_t minArea) {
    const auto& classOf = Classes().classOf;
    const int want = static_cast<int>(disc);
    const int w = shot.width;
    const int h = shot.height;
    std::vector<std::uint8_t> mask(shot.pixels.size(), 0);
    for (size_t i = 0; i < shot.pixels.size(); ++i) {
        auto it = classOf.find(shot.pixels[i]);
        mask[i] = it != classOf.end() && it->second == want;
    }
    int patches = 0;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (mask[start] != 1) continue;
        size_t area = 0;
        stack.assign(1, start);
        mask[start] = 2;
        while (!stack.empty()) {
            int i = stack.back();
            stack.pop_back();
            ++area;
            int x = i % w;
            int y = i / w;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx;
                    int ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    int j = ny * w + nx;
                    if (mask[j] == 1) {
                        mask[j] = 2;
                        stack.push_back(j);
                    }
                }
            }
        }
        if (area >= minArea) ++patches;
    }
    return patches;
}

// ---------------------------------------------------------------- input

void KeyPress(WORD virtualKey) { KeyPresses(virtualKey, 1); }

void KeyPresses(WORD virtualKey, int times) {
    std::vector<INPUT> in;
    for (int i = 0; i < times; ++i) {
        in.push_back(KeyInput(virtualKey, false));
        in.push_back(KeyInput(virtualKey, true));
    }
    SendInputs(in);
}

void AltTab() {
    std::vector<INPUT> in{KeyInput(VK_MENU, false), KeyInput(VK_TAB, false), KeyInput(VK_TAB, true),
                          KeyInput(VK_MENU, true)};
    SendInputs(in);
}

void MoveCursorTo(int x, int y) {
    // Normalised to 0..65535 across the screen, rounded up so that scaling back lands on the pixel.
    const long long w = GetSystemMetrics(SM_CXSCREEN);
    const long long h = GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> in{MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, static_cast<int>((x * 65536LL + w - 1) / w),
                                     static_cast<int>((y * 65536LL + h - 1) / h))};
    SendInputs(in);
}

void PlaceCursor(int x, int y) { SetCursorPos(x, y); }

namespace {

// Presses and releases a button, as two separate events, as a hand makes them.
// With a position, each event carries it, so that neither lands where the
// cursor was before.
void Click(Button button, const POINT* at) {
    // Two clicks within the double-click time may come out as one double click:
    // keep them further apart.
    static DWORD lastClick = GetTickCount() - 10000;
    const DWORD gap = GetDoubleClickTime() + 50;
    const DWORD since = GetTickCount() - lastClick;
    if (since < gap) Pump(gap - since);

    DWORD down = MOUSEEVENTF_LEFTDOWN;
    DWORD up = MOUSEEVENTF_LEFTUP;
    if (button == Button::right) {
        down = MOUSEEVENTF_RIGHTDOWN;
        up = MOUSEEVENTF_RIGHTUP;
    } else if (button == Button::middle) {
        down = MOUSEEVENTF_MIDDLEDOWN;
        up = MOUSEEVENTF_MIDDLEUP;
    }
    for (DWORD flags : {down, up}) {
        INPUT event = MouseInput(flags);
        if (at != nullptr) {
            const long long w = GetSystemMetrics(SM_CXSCREEN);
            const long long h = GetSystemMetrics(SM_CYSCREEN);
            event.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
            event.mi.dx = static_cast<int>((at->x * 65536LL + w - 1) / w);
            event.mi.dy = static_cast<int>((at->y * 65536LL + h - 1) / h);
        }
        std::vector<INPUT> in{event};
        SendInputs(in);
        Pump(40);
    }
    lastClick = GetTickCount();
}

}  // namespace

void ClickHere(Button button) { Click(button, nullptr); }

void ClickAt(int x, int y, Button button) {
    MoveCursorTo(x, y);
    Pump(50);
    POINT at{x, y};
    Click(button, &at);
    Pump(100);
}

void ClickOn(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

POINT CursorPos() {
    POINT p{};
    GetCursorPos(&p);
    return p;
}

// ---------------------------------------------------------------- files

std::optional<std::string> ReadWholeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::nullopt;
    std::string bytes;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

void SetSettingsFile(const std::optional<std::string>& content) {
    if (content) {
        WriteWholeFile(SettingsPath(), *content);
    } else {
        RemoveFile(SettingsPath());
    }
}

std::optional<std::string> SettingsFile() { return ReadWholeFile(SettingsPath()); }

std::optional<std::string> IniText(const char* section, const char* key) {
    std::optional<std::string> file = SettingsFile();
    if (!file) return std::nullopt;
    std::string text = *file;
    // A profile file written as UTF-16 is read through its low bytes.
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        std::string narrow;
        for (size_t i = 2; i + 1 < text.size(); i += 2) narrow += text[i];
        text = narrow;
    }
    bool inSection = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            inSection = close != std::string::npos && SameText(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        size_t eq = line.find('=');
        if (inSection && eq != std::string::npos && SameText(Trim(line.substr(0, eq)), key)) {
            return Trim(line.substr(eq + 1));
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- registry

void SetUsePassword(std::optional<DWORD> value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value) {
        DWORD v = *value;
        RegSetValueExA(key, "ScreenSaveUsePassword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                       sizeof v);
    } else {
        RegDeleteValueA(key, "ScreenSaveUsePassword");
    }
    RegCloseKey(key);
}

namespace {
constexpr char MAPPING_KEY[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\CONTROL.INI";
}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> UserSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, USER_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[256];
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        data[dataLength] = 0;
        values.emplace_back(name, type == REG_SZ ? reinterpret_cast<char*>(data) : "(not a string)");
    }
    RegCloseKey(key);
    return values;
}

void RemoveUserSettings() {
    RegDeleteKeyA(HKEY_CURRENT_USER, USER_SETTINGS_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Pendral");
}

void BlockUserSettings() {
    RemoveUserSettings();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Pendral", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void SetSettingsMapping(bool on) {
    // In both registry views, as the setup program registers it on 64-bit Windows
    // (Wine reads the 64-bit view only, Windows each program's own).
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, MAPPING_KEY, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            continue;
        }
        const char target[] = "USR:Software\\Pendral\\Settings";
        if (on) {
            RegSetValueExA(key, SECTION, 0, REG_SZ, reinterpret_cast<const BYTE*>(target), sizeof target);
        } else {
            RegDeleteValueA(key, SECTION);
        }
        RegCloseKey(key);
    }
    // The profile functions keep a copy of the file they read last: let them read afresh.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "CONTROL.INI");
}

void LockSettingsFile(bool locked) {
    if (locked) {
        RemoveFile(SettingsPath());
        CreateDirectoryA(SettingsPath().c_str(), nullptr);
    } else {
        RemoveDirectoryA(SettingsPath().c_str());
    }
}

// ---------------------------------------------------------------- stand-ins

namespace {
std::string LogPath() { return WorkDir() + "\\stand-in.log"; }
std::string AnswerPath() { return WorkDir() + "\\stand-in-answer.txt"; }
}  // namespace

void PrepareStandIns() {
    SetEnvironmentVariableA("PENDRAL_E2E_LOG", LogPath().c_str());
    SetEnvironmentVariableA("PENDRAL_E2E_ANSWER", AnswerPath().c_str());
    ResetStandIns(0, 0);
}

void SetStandInAnswer(long answer, long pumpMs) {
    char text[64];
    std::snprintf(text, sizeof text, "%ld %ld\r\n", answer, pumpMs);
    WriteWholeFile(AnswerPath(), text);
}

void ResetStandIns(long answer, long pumpMs) {
    RemoveFile(LogPath());
    SetStandInAnswer(answer, pumpMs);
}

std::vector<std::string> StandInLog() {
    std::vector<std::string> lines;
    std::optional<std::string> text = ReadWholeFile(LogPath());
    if (!text) return lines;
    size_t pos = 0;
    while (pos < text->size()) {
        size_t end = text->find('\n', pos);
        if (end == std::string::npos) end = text->size();
        std::string line = Trim(text->substr(pos, end - pos));
        if (!line.empty()) lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

int CountLogLines(const std::string& prefix) {
    int n = 0;
    for (const std::string& line : StandInLog()) n += line.rfind(prefix, 0) == 0;
    return n;
}

// ---------------------------------------------------------------- host window

HostWindow::HostWindow(int clientWidth, int clientHeight) {
    static const char* const className = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &HostWindow::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = "PendralE2eHost";
        RegisterClassA(&wc);
        return "PendralE2eHost";
    }();
    hwnd_ = CreateWindowExA(0, className, "e2e host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, clientWidth,
                            clientHeight, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    SetForegroundWindow(hwnd_);
    Pump(50);
}

HostWindow::~HostWindow() { Destroy(); }

void HostWindow::Destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

std::vector<HostWindow::Received> HostWindow::ReceivedOf(UINT message) const {
    std::vector<Received> out;
    for (const Received& r : received_) {
        if (r.message == message) out.push_back(r);
    }
    return out;
}

std::string HostWindow::Number() const { return e2e::Number(hwnd_); }

LRESULT CALLBACK HostWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && (message == WM_HELP || message == WM_CONTEXTMENU)) {
        self->received_.push_back({message, wParam, lParam});
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::string Number(HWND hwnd) {
    return std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
}

std::string WindowText(HWND hwnd) {
    char text[256] = "";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        GetWindowTextA(hwnd, text, sizeof text);
    }
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[128] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

}  // namespace e2e
