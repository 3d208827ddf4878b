// The end-to-end driver's tools: it starts pendral.scr as a process of its own,
// finds its windows, reads the screen, sends input through the system's input
// queue and looks at the settings file, the registry and the stand-in libraries'
// call log. Every wait has a bound; a saver still running when its Saver object
// goes away is ended by its process id.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// GetExitCodeProcess's view of the exit status -1.
inline constexpr DWORD EXIT_MINUS_ONE = 0xFFFFFFFFu;
// The bound of every wait for an event (a window to appear, a process to end
// after it was told to, a frame to show): it only bounds a failure, so it is
// generous enough for a busy machine.
inline constexpr DWORD WINDOW_WAIT_MS = 15000;
inline constexpr DWORD EXIT_WAIT_MS = WINDOW_WAIT_MS;

inline constexpr char SAVER_CLASS[] = "WindowsScreenSaverClass";
inline constexpr char DIALOG_CLASS[] = "#32770";
inline constexpr char SECTION[] = "Screen_Saver.Pendral";

// Set once by main from the command line.
void SetSaverPath(const std::string& path);
const std::string& SaverPath();  // Windows path of pendral.scr
std::string SaverFileName();     // its last path component
std::string WorkDir();           // the driver's scratch folder, created on first use
std::string SettingsPath();      // CONTROL.INI in the Windows directory
std::string SystemDir();         // the system directory, as the saver is given it

// Quoted program path followed by a space and the tail (no space when the tail is empty).
std::string CommandFor(const std::string& tail);

bool IsWin95Family();

// Dispatches the driver's own messages for the given time (windows of the
// saver may be children of the driver's windows, which then must answer).
void Pump(DWORD ms);

// --- the saver's process ---
class Saver {
public:
    Saver() = default;
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;
    ~Saver();

    // Starts the program with this command line (see CommandFor) in the given
    // current directory (empty: the driver's).
    bool Start(const std::string& commandLine, const std::string& currentDir = "");
    // Exit status once the process has ended within ms, pumping meanwhile.
    std::optional<DWORD> WaitExit(DWORD ms = EXIT_WAIT_MS);
    bool Running() const;
    void Kill();
    DWORD Pid() const { return pid_; }

    // A window of the process (class and title when given), or null.
    HWND FindWindowOf(const char* windowClass, const char* title, HWND parent = nullptr) const;
    HWND WaitWindow(const char* windowClass, const char* title, HWND parent = nullptr,
                    DWORD ms = WINDOW_WAIT_MS);
    // Whether any window of the process was seen during the waits so far
    // (top-level, or a child of the parent given to WatchChildrenOf).
    bool SawWindow() const { return sawWindow_; }
    void WatchChildrenOf(HWND parent) { watchParent_ = parent; }

private:
    void Look();

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    bool sawWindow_ = false;
    HWND watchParent_ = nullptr;
};

// --- the screen ---
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Shot Capture();                  // the whole screen
Shot Capture(const RECT& area);  // part of it, screen coordinates
size_t CountDifferent(const Shot& a, const Shot& b);
// Writes the shot as a 32-bit bitmap file into the work folder (for a look after a failure).
std::string SaveShot(const Shot& shot, const std::string& name);

// The colours that the saver's three sprite pictures put on the screen, read
// from the program's own bitmap resources: class 0 the red disc, 1 the blue
// disc, 2 the plain (green) disc. A colour used by more than one picture
// belongs to none.
enum class Disc { red = 0, blue = 1, green = 2 };
struct Pictures {
    bool loaded = false;
    std::array<std::uint32_t, 256> colours{};  // the first picture's table, 0x00RRGGBB
    std::array<std::vector<std::uint8_t>, 3> pixels;  // 64 x 64 indices, bottom row first
    std::array<std::uint8_t, 3> mainIndex{};  // most used index of each disc
};
const Pictures& SaverPictures();

struct ColourCount {
    size_t black = 0;
    std::array<size_t, 3> disc{};  // pixels of each disc's own colours
    size_t shared = 0;             // pixels of colours that several pictures use
    size_t other = 0;              // anything else
    size_t NonBlack() const { return disc[0] + disc[1] + disc[2] + shared + other; }
};
ColourCount CountColours(const Shot& shot);
// Number of 8-connected patches of the disc's colours with at least minArea pixels.
int CountPatches(const Shot& shot, Disc disc, size_t minArea = 40);

// --- input, through the system's input queue ---
void KeyPress(WORD virtualKey);
void KeyPresses(WORD virtualKey, int times);  // all in one batch
void AltTab();
void MoveCursorTo(int x, int y);  // an absolute movement, in screen pixels
void PlaceCursor(int x, int y);  // no input message: for set-up before a saver runs
enum class Button { left, right, middle };
void ClickHere(Button button = Button::left);
void ClickAt(int x, int y, Button button = Button::left);
void ClickOn(HWND control);  // centre of its window rectangle
POINT CursorPos();

// --- settings file ---
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
void RemoveFile(const std::string& path);
void SetSettingsFile(const std::optional<std::string>& content);  // nullopt: no file
std::optional<std::string> SettingsFile();
// The raw text of a key in the settings file, or nullopt when it is missing.
std::optional<std::string> IniText(const char* section, const char* key);

// --- registry ---
// "ScreenSaveUsePassword" under HKCU\Control Panel\Desktop: a DWORD, or removed.
void SetUsePassword(std::optional<DWORD> value);

// Where the saver keeps its settings when the Windows folder refuses them.
inline constexpr char USER_SETTINGS_KEY[] = "Software\\Pendral\\Settings";
// The string values of HKCU\<USER_SETTINGS_KEY>, or nullopt when the key is missing.
std::optional<std::vector<std::pair<std::string, std::string>>> UserSettings();
// Removes HKCU\Software\Pendral with everything in it.
void RemoveUserSettings();
// Makes HKCU\Software\Pendral a volatile key, under which no lasting key can be made.
void BlockUserSettings();
// Registers (or removes) the system's redirection of the settings section of
// CONTROL.INI to the per-user key, as the setup program does.
void SetSettingsMapping(bool on);
// Puts a folder where CONTROL.INI belongs, so that every write to it fails
// (false: removes that folder again).
void LockSettingsFile(bool locked);

// --- stand-in libraries ---
// Names the log and answer files in the environment that every saver inherits.
void PrepareStandIns();
void ResetStandIns(long answer, long pumpMs);  // clears the log and sets the answer
void SetStandInAnswer(long answer, long pumpMs);
std::vector<std::string> StandInLog();
int CountLogLines(const std::string& prefix);

// --- a window of the driver's own: preview parent, or something to activate ---
class HostWindow {
public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    HostWindow(int clientWidth, int clientHeight);
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    ~HostWindow();
    HWND Handle() const { return hwnd_; }
    void Destroy();
    std::vector<Received> ReceivedOf(UINT message) const;
    // Decimal number of the handle, as a command line carries it.
    std::string Number() const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    std::vector<Received> received_;
};

std::string Number(HWND hwnd);
std::string WindowText(HWND hwnd);
std::string ClassOf(HWND hwnd);

// Waits (pumping) until the condition holds or ms pass; returns the condition.
template <typename Condition>
bool WaitFor(Condition condition, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= ms) return condition();
        Pump(20);
    }
}

}  // namespace e2e
