// The configuration dialog as the system sees it: the compiled template's bytes,
// and the dialog opened on the real controls with the real procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/config_dialog.h"
#include "app/settings.h"
#include "platform/dialog.h"

namespace {

// Reads a DLGTEMPLATE (the classic, non-extended form) from its resource bytes.
class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }

    std::uint16_t Word() {
        if (offset_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        std::uint16_t w;
        std::memcpy(&w, data_ + offset_, 2);
        offset_ += 2;
        return w;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | (static_cast<std::uint32_t>(Word()) << 16);
    }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }

    // A string or an ordinal field: ordinals come back as "#<number>".
    std::string NameOrOrdinal() {
        const std::uint16_t first = Word();
        if (first != 0xFFFF) return StringFrom(first);
        std::string ordinal(1, '#');
        ordinal += std::to_string(Word());
        return ordinal;
    }
    std::string String() { return StringFrom(Word()); }

    void AlignDword() { offset_ = (offset_ + 3) & ~static_cast<std::size_t>(3); }

private:
    std::string StringFrom(std::uint16_t c) {
        std::string out;
        while (ok_ && c != 0) {
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            c = Word();
        }
        return out;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

// The system's ordinals for the predefined control classes, and their names.
std::string ClassName(std::string name) {
    if (name == "#128") return "BUTTON";
    if (name == "#130") return "STATIC";
    if (name == "#132") return "SCROLLBAR";
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return name;
}

struct Item {
    std::uint16_t id;
    const char* className;
    std::uint32_t style;  // besides WS_CHILD | WS_VISIBLE
    const char* text;     // "#100" for the icon's ordinal; null for any text
    std::int16_t x, y, cx, cy;
};

constexpr std::uint16_t NONE = 0xFFFF;
constexpr std::uint32_t TEXT_STYLE = SS_LEFT | WS_GROUP;
constexpr std::uint32_t CHECK_STYLE = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr std::uint32_t GROUP_STYLE = BS_GROUPBOX | BS_CENTER;

const Item EXPECTED_ITEMS[] = {
    {NONE, "STATIC", SS_ICON, "#100", 7, 5, 18, 20},
    {NONE, "STATIC", TEXT_STYLE, "Pendral Screen Saver (Freeware)", 27, 4, 113, 8},
    {110, "SCROLLBAR", SBS_HORZ, "", 15, 34, 115, 8},
    {111, "STATIC", TEXT_STYLE, "16 ", 73, 44, 15, 8},
    {105, "SCROLLBAR", SBS_HORZ, "", 15, 71, 115, 8},
    {106, "STATIC", TEXT_STYLE, "16 ", 73, 80, 15, 8},
    {NONE, "STATIC", TEXT_STYLE, nullptr, 3, 171, 143, 8},
    {1, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, "OK", 58, 192, 32, 17},
    {NONE, "STATIC", TEXT_STYLE, "distract", 14, 45, 31, 8},
    {NONE, "STATIC", TEXT_STYLE, "attract", 113, 45, 22, 8},
    {NONE, "STATIC", TEXT_STYLE, "Sound", 22, 159, 29, 8},
    {103, "BUTTON", CHECK_STYLE, "ON", 58, 157, 27, 10},
    {104, "BUTTON", CHECK_STYLE, "OFF", 86, 157, 27, 10},
    {112, "BUTTON", CHECK_STYLE, "ON", 58, 142, 27, 10},
    {113, "BUTTON", CHECK_STYLE, "OFF", 86, 142, 27, 10},
    {114, "BUTTON", CHECK_STYLE, "ON", 58, 127, 27, 10},
    {115, "BUTTON", CHECK_STYLE, "OFF", 86, 127, 27, 10},
    {NONE, "BUTTON", GROUP_STYLE, "Magnitude of the Pendral", 7, 25, 137, 29},
    {NONE, "BUTTON", GROUP_STYLE, "Number of the moving objects", 7, 60, 137, 29},
    {NONE, "STATIC", TEXT_STYLE, "Blue object", 11, 128, 40, 8},
    {NONE, "STATIC", TEXT_STYLE, "Red object", 11, 144, 40, 8},
    {NONE, "STATIC", TEXT_STYLE, nullptr, 3, 182, 143, 8},
    {NONE, "BUTTON", GROUP_STYLE, "Screen refresh interval (minutes)", 7, 94, 137, 29},
    {116, "SCROLLBAR", SBS_HORZ, "", 15, 104, 115, 8},
    {117, "STATIC", TEXT_STYLE, "16 ", 73, 113, 15, 8},
    {NONE, "STATIC", TEXT_STYLE, nullptr, 78, 14, 62, 8},
};

TEST(ConfigDialogTemplate, MatchesTheLayoutControlByControl) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(CONFIG_DIALOG_ID), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(nullptr, found);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(nullptr, data);
    TemplateReader t(data, SizeofResource(nullptr, found));

    EXPECT_EQ(static_cast<std::uint32_t>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
              t.Dword());
    EXPECT_EQ(0u, t.Dword());  // extended style
    const std::uint16_t count = t.Word();
    EXPECT_EQ(18, t.Short());
    EXPECT_EQ(18, t.Short());
    EXPECT_EQ(147, t.Short());
    EXPECT_EQ(211, t.Short());
    EXPECT_EQ("", t.NameOrOrdinal());  // menu
    EXPECT_EQ("", t.NameOrOrdinal());  // class
    EXPECT_EQ("Configuration", t.String());
    EXPECT_EQ(9, t.Word());
    EXPECT_EQ("Times New Roman", t.String());

    ASSERT_EQ(std::size(EXPECTED_ITEMS), count);
    for (const Item& want : EXPECTED_ITEMS) {
        SCOPED_TRACE(testing::Message() << "control id " << want.id << " at " << want.x << "," << want.y);
        t.AlignDword();
        EXPECT_EQ(static_cast<std::uint32_t>(WS_CHILD | WS_VISIBLE) | want.style, t.Dword());
        EXPECT_EQ(0u, t.Dword());
        EXPECT_EQ(want.x, t.Short());
        EXPECT_EQ(want.y, t.Short());
        EXPECT_EQ(want.cx, t.Short());
        EXPECT_EQ(want.cy, t.Short());
        EXPECT_EQ(want.id, t.Word());
        EXPECT_EQ(want.className, ClassName(t.NameOrOrdinal()));
        const std::string text = t.NameOrOrdinal();
        if (want.text) {
            EXPECT_EQ(want.text, text);
        } else {
            EXPECT_FALSE(text.empty());  // a text of our own
        }
        EXPECT_EQ(0, t.Word());  // no creation data
        ASSERT_TRUE(t.ok());
    }
}

INT_PTR CALLBACK ForwardToConfigDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return ConfigDialogProc(reinterpret_cast<plat::Window>(dialog), message, wParam, lParam);
}

std::string ItemText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// The dialog on the real controls: the template, the platform calls and the procedure together.
// One dialog serves every test (taking a shown window down costs Wine seconds without a
// window manager); each test starts from a fresh initialisation.
class ConfigDialogOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(CONFIG_DIALOG_ID), nullptr,
                                     ForwardToConfigDialog, 0);
    }
    static void TearDownTestSuite() {
        if (dialog_) DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, dialog_);
        SendMessageA(dialog_, WM_INITDIALOG, 0, 0);
    }

    void Scroll(int barId, WORD code, WORD thumb = 0) {
        SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(code, thumb),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, barId)));
    }
    int BarPos(int barId) { return GetScrollPos(GetDlgItem(dialog_, barId), SB_CTL); }

    static HWND dialog_;
};

HWND ConfigDialogOnScreen::dialog_ = nullptr;

TEST_F(ConfigDialogOnScreen, OpensWithTheSettingsOnItsBarsLabelsAndBoxes) {
    char title[32] = {};
    GetWindowTextA(dialog_, title, sizeof title);
    EXPECT_STREQ("Configuration", title);

    struct Bar {
        int id, label, low, high, value;
        std::string shown;
    };
    const SaverSettings& s = saverSettings;
    for (const Bar& bar : {Bar{105, 106, 3, 100, s.bodyCount, std::to_string(s.bodyCount)},
                           Bar{110, 111, 0, 200, s.attractionSetting, std::to_string(s.attractionSetting - 100)},
                           Bar{116, 117, 1, 100, s.refreshMinutes, std::to_string(s.refreshMinutes)}}) {
        SCOPED_TRACE(bar.id);
        int low = -1, high = -1;
        GetScrollRange(GetDlgItem(dialog_, bar.id), SB_CTL, &low, &high);
        EXPECT_EQ(bar.low, low);
        EXPECT_EQ(bar.high, high);
        EXPECT_EQ(bar.value, BarPos(bar.id));
        EXPECT_EQ(bar.shown, ItemText(dialog_, bar.label));
        EXPECT_EQ(static_cast<std::uint32_t>(bar.id),
                  plat::ControlId(reinterpret_cast<plat::Window>(GetDlgItem(dialog_, bar.id))));
    }
    EXPECT_EQ(s.soundSwitch != 0, IsDlgButtonChecked(dialog_, 103) == BST_CHECKED);
    EXPECT_EQ(s.soundSwitch == 0, IsDlgButtonChecked(dialog_, 104) == BST_CHECKED);
}

TEST_F(ConfigDialogOnScreen, ScrollingMovesTheBarAndRewritesTheLabel) {
    Scroll(110, SB_THUMBTRACK, 0);
    EXPECT_EQ(0, BarPos(110));
    EXPECT_EQ("-100", ItemText(dialog_, 111));
    Scroll(110, SB_LINELEFT);
    EXPECT_EQ("-100", ItemText(dialog_, 111));
    Scroll(110, SB_PAGERIGHT);
    EXPECT_EQ(1, BarPos(110));
    EXPECT_EQ("-99", ItemText(dialog_, 111));
    Scroll(105, SB_THUMBTRACK, 100);
    Scroll(105, SB_LINERIGHT);
    EXPECT_EQ(100, BarPos(105));
    EXPECT_EQ("100", ItemText(dialog_, 106));
    EXPECT_EQ(100, saverSettings.bodyCount);
}

TEST_F(ConfigDialogOnScreen, ClickedBoxesStayAPairWithExactlyOneChecked) {
    for (int twice = 0; twice < 2; ++twice) {
        // The second click on a checked box would clear it; the procedure checks it again.
        SendMessageA(GetDlgItem(dialog_, 113), BM_CLICK, 0, 0);
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog_, 112));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog_, 113));
        EXPECT_EQ(0, saverSettings.redSwitch);
    }
    SendMessageA(GetDlgItem(dialog_, 112), BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog_, 112));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog_, 113));
    EXPECT_EQ(1, saverSettings.redSwitch);
}

BOOL CALLBACK CloseIfConfigDialog(HWND window, LPARAM) {
    char title[32] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, "Configuration") != 0) return TRUE;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return FALSE;
}

// Closes this thread's "Configuration" dialog from inside its modal loop.
VOID CALLBACK CloseConfigDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), CloseIfConfigDialog, 0);
}

TEST(ConfigDialogModal, RunsUntilClosedAndEndsWithOne) {
    SetTimer(nullptr, 0, 100, CloseConfigDialog);
    EXPECT_EQ(1, plat::RunModalDialog(CONFIG_DIALOG_ID, nullptr));
}

}  // namespace
