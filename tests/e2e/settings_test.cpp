// The configuration dialog against the settings file, and what the next
// full-screen run makes of the saved settings.
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "cases.h"

namespace e2e {
namespace {

constexpr int OK_BUTTON = 1;
constexpr int SOUND_ON = 103, SOUND_OFF = 104, RED_ON = 112, RED_OFF = 113, BLUE_ON = 114, BLUE_OFF = 115;
constexpr int BODY_BAR = 105, BODY_LABEL = 106, ATTRACTION_BAR = 110, ATTRACTION_LABEL = 111;
constexpr int REFRESH_BAR = 116, REFRESH_LABEL = 117;
const char* const KEYS[] = {"SOUND_SW", "EVENT_FREQ", "ANI_INTERVAL", "REFRESH_INTERVAL", "RED_SW", "BLUE_SW"};

class Settings : public SaverCase {
protected:
    // Opens the dialog in a new process; the case fails when it does not appear,
    // set up (shown once its controls hold the settings) and active for the keys.
    void Open() {
        saver_ = std::make_unique<Saver>();
        ASSERT_TRUE(saver_->Start(CommandFor("/c")));
        dialog_ = saver_->WaitWindow(DIALOG_CLASS, "Configuration");
        ASSERT_NE(dialog_, nullptr);
        ASSERT_TRUE(Activate(dialog_));
    }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::string Label(int id) const { return WindowText(Item(id)); }
    LRESULT Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0); }
    LRESULT BarPos(int id) const { return SendMessageA(Item(id), SBM_GETPOS, 0, 0); }
    void Scroll(int bar, int code, int pos = 0) {
        SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(Item(bar)));
    }
    // Clicks a scroll bar at this many pixels from its left (negative: from its right) end.
    void ClickBar(int bar, int fromEnd) {
        RECT r;
        GetWindowRect(Item(bar), &r);
        ClickAt(fromEnd >= 0 ? r.left + fromEnd : r.right + fromEnd, (r.top + r.bottom) / 2);
    }
    // Clicks reach the dialog through its input queue, and a question sent to a
    // control may be answered first: what a click does is waited for.
    bool Becomes(const std::function<bool()>& condition) { return WaitFor(condition, WINDOW_WAIT_MS); }
    void ExpectShown(const char* bodies, const char* attraction, const char* minutes) {
        EXPECT_EQ(Label(BODY_LABEL), bodies);
        EXPECT_EQ(Label(ATTRACTION_LABEL), attraction);
        EXPECT_EQ(Label(REFRESH_LABEL), minutes);
    }
    // Exactly one box of each ON/OFF pair is checked.
    void ExpectPairs(bool soundOn, bool redOn, bool blueOn) {
        const struct {
            int on, off;
            bool isOn;
        } pairs[] = {{SOUND_ON, SOUND_OFF, soundOn}, {RED_ON, RED_OFF, redOn}, {BLUE_ON, BLUE_OFF, blueOn}};
        const auto shown = [&] {
            for (const auto& pair : pairs)
                if (Checked(pair.on) != (pair.isOn ? BST_CHECKED : BST_UNCHECKED) ||
                    Checked(pair.off) != (pair.isOn ? BST_UNCHECKED : BST_CHECKED))
                    return false;
            return true;
        };
        if (Becomes(shown)) return;
        for (const auto& pair : pairs) {
            EXPECT_EQ(Checked(pair.on), pair.isOn ? BST_CHECKED : BST_UNCHECKED) << "box " << pair.on;
            EXPECT_EQ(Checked(pair.off), pair.isOn ? BST_UNCHECKED : BST_CHECKED) << "box " << pair.off;
        }
    }
    void ExpectSaved(const char* const (&values)[6]) {
        for (int i = 0; i < 6; ++i) EXPECT_EQ(IniText(SECTION, KEYS[i]).value_or("(missing)"), values[i]) << KEYS[i];
    }
    void Ok() {
        ClickOn(Item(OK_BUTTON));
        EXPECT_TRUE(ExitsWith(*saver_, 1));
    }
    void Escape() {
        KeyPress(VK_ESCAPE);
        EXPECT_TRUE(ExitsWith(*saver_, 1));
    }

    void SaveAndSeeThemNext(bool switchesOn);

    std::unique_ptr<Saver> saver_;
    HWND dialog_ = nullptr;
};

TEST_F(Settings, AFreshPrefixShowsTheDefaults) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectShown("51", "10", "5");
    EXPECT_EQ(BarPos(BODY_BAR), 51);
    EXPECT_EQ(BarPos(ATTRACTION_BAR), 110);
    EXPECT_EQ(BarPos(REFRESH_BAR), 5);
    ExpectPairs(true, false, false);
    Escape();
    EXPECT_FALSE(SettingsFile()) << "closing with Escape wrote a settings file";
}

TEST_F(Settings, StepsTrackingAndClicksFollowedByOkWriteTheSixKeys) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Scroll(BODY_BAR, SB_LINERIGHT);
    Scroll(BODY_BAR, SB_PAGERIGHT);  // a page is one step too
    Scroll(ATTRACTION_BAR, SB_PAGELEFT);
    Scroll(REFRESH_BAR, SB_THUMBTRACK, 42);
    EXPECT_EQ(Label(REFRESH_LABEL), "42");
    Scroll(REFRESH_BAR, SB_THUMBPOSITION, 42);
    Scroll(REFRESH_BAR, SB_ENDSCROLL);
    ExpectShown("53", "9", "42");
    EXPECT_EQ(BarPos(BODY_BAR), 53);
    EXPECT_EQ(BarPos(ATTRACTION_BAR), 109);
    EXPECT_EQ(BarPos(REFRESH_BAR), 42);

    ClickOn(Item(SOUND_OFF));
    ClickOn(Item(RED_ON));
    ClickOn(Item(RED_ON));  // a second click leaves it on
    ClickOn(Item(BLUE_ON));
    ExpectPairs(false, true, true);
    EXPECT_FALSE(SettingsFile()) << "written before OK";
    Ok();

    ExpectSaved({"0", "53", "109", "42", "1", "1"});
    // Written in their fixed order.
    std::string file = SettingsFile().value_or("");
    size_t last = 0;
    for (const char* key : KEYS) {
        size_t at = file.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key << " out of order";
        last = at;
    }
}

TEST_F(Settings, BarsStopAtTheirEnds) {
    SetSettingsFile("[Screen_Saver.Pendral]\r\nEVENT_FREQ=100\r\nANI_INTERVAL=0\r\nREFRESH_INTERVAL=1\r\n");
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectShown("100", "-100", "1");
    Scroll(BODY_BAR, SB_LINERIGHT);
    Scroll(BODY_BAR, SB_PAGERIGHT);
    Scroll(ATTRACTION_BAR, SB_LINELEFT);
    Scroll(REFRESH_BAR, SB_PAGELEFT);
    ExpectShown("100", "-100", "1");
    Scroll(ATTRACTION_BAR, SB_THUMBTRACK, 200);
    Scroll(REFRESH_BAR, SB_THUMBTRACK, 100);
    Scroll(REFRESH_BAR, SB_LINERIGHT);
    ExpectShown("100", "100", "100");
    Ok();
    ExpectSaved({"1", "100", "200", "100", "0", "0"});
}

TEST_F(Settings, EscapeAndTheCloseBoxLeaveTheFileAsItWas) {
    const std::string before =
        "; kept byte for byte\r\n[Screen_Saver.Pendral]\r\nSOUND_SW=0\r\nEVENT_FREQ=20\r\n"
        "  ANI_INTERVAL = 150\n[Other]\r\nk=v\r\n";
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Escape");
        SetSettingsFile(before);
        ASSERT_NO_FATAL_FAILURE(Open());
        ExpectShown("20", "50", "5");
        // Real clicks: a check box, and a scroll bar's right arrow (held long
        // enough on a busy machine, an arrow repeats: any step will do).
        ClickOn(Item(SOUND_ON));
        ClickBar(BODY_BAR, -GetSystemMetrics(SM_CXHSCROLL) / 2);
        EXPECT_TRUE(Becomes([&] {
            return Checked(SOUND_ON) == BST_CHECKED && BarPos(BODY_BAR) > 20 && std::atoi(Label(BODY_LABEL).c_str()) > 20;
        })) << "sound " << Checked(SOUND_ON) << ", bar " << BarPos(BODY_BAR) << ", label " << Label(BODY_LABEL);
        if (closeBox) {
            // What the caption's close box sends.
            PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_TRUE(ExitsWith(*saver_, 1));
        } else {
            Escape();
        }
        EXPECT_EQ(SettingsFile().value_or("(no file)"), before);
    }
}

TEST_F(Settings, OkKeepsOtherProgramsSectionsAndKeys) {
    SetSettingsFile(
        "[Other Program]\r\nColour=7\r\n\r\n[Screen_Saver.Pendral]\r\nEXTRA=keep\r\nEVENT_FREQ=20\r\n"
        "RED_SW=7\r\n\r\n[Last]\r\nx=1\r\n");
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectShown("20", "10", "5");
    Ok();
    ExpectSaved({"1", "20", "110", "5", "7", "0"});
    EXPECT_EQ(IniText("Other Program", "Colour").value_or("(missing)"), "7");
    EXPECT_EQ(IniText(SECTION, "EXTRA").value_or("(missing)"), "keep");
    EXPECT_EQ(IniText("Last", "x").value_or("(missing)"), "1");
}

TEST_F(Settings, OutOfRangeValuesComeBackAsTheirFallbacks) {
    for (const char* stored : {"EVENT_FREQ=2\r\nANI_INTERVAL=201\r\nREFRESH_INTERVAL=0\r\n",
                               "EVENT_FREQ=101\r\nANI_INTERVAL=-1\r\nREFRESH_INTERVAL=101\r\n"}) {
        SCOPED_TRACE(stored);
        SetSettingsFile(std::string("[Screen_Saver.Pendral]\r\n") + stored);
        ASSERT_NO_FATAL_FAILURE(Open());
        ExpectShown("51", "10", "5");
        Ok();
        ExpectSaved({"1", "51", "110", "5", "0", "0"});
    }
}

// Patches of each disc colour in one frame.
struct Patches {
    int red, blue, green;
    bool operator==(const Patches&) const = default;
};
Patches PatchesOf(const Shot& shot) {
    return {CountPatches(shot, Disc::red), CountPatches(shot, Disc::blue), CountPatches(shot, Disc::green)};
}

// Three bodies and the two switches, saved through the dialog; the next
// full-screen run draws them and the next dialog shows them.
void Settings::SaveAndSeeThemNext(bool switchesOn) {
    const Patches expected = switchesOn ? Patches{1, 1, 1} : Patches{0, 0, 3};
    ASSERT_NO_FATAL_FAILURE(Open());
    Scroll(BODY_BAR, SB_THUMBTRACK, 3);
    Scroll(BODY_BAR, SB_THUMBPOSITION, 3);
    ClickOn(Item(switchesOn ? RED_ON : RED_OFF));
    ClickOn(Item(switchesOn ? BLUE_ON : BLUE_OFF));
    ExpectShown("3", "10", "5");
    Ok();

    Saver saver;
    ASSERT_TRUE(StartFullScreen(saver));
    // Discs that overlap merge into one patch: look for a frame where all are apart.
    Patches last{};
    bool seen = SomeFrame(
        [&](const Shot& shot) {
            last = PatchesOf(shot);
            ColourCount count = CountColours(shot);
            if (!switchesOn) {
                EXPECT_EQ(count.disc[0], 0u) << "a red disc";
                EXPECT_EQ(count.disc[1], 0u) << "a blue disc";
            }
            return last == expected;
        },
        WINDOW_WAIT_MS, 150);
    EXPECT_TRUE(seen) << "last frame: red " << last.red << ", blue " << last.blue << ", green " << last.green;
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));

    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectShown("3", "10", "5");
    ExpectPairs(true, switchesOn, switchesOn);
    Escape();
}

TEST_F(Settings, SavedCountAndSwitchesShowInTheNextFullScreenRun) {
    ASSERT_TRUE(SaverPictures().loaded);
    for (bool switchesOn : {true, false}) {
        SCOPED_TRACE(switchesOn ? "red and blue on" : "red and blue off");
        SaveAndSeeThemNext(switchesOn);
    }
}

// A Windows folder that refuses every write, as Windows Vista and later give a
// program that is not elevated: the settings live in the user's registry, by the
// mapping that the setup program registers or, installed by hand, by the saver.
TEST_F(Settings, AReadOnlyWindowsFolderKeepsTheSettingsPerUser) {
    ASSERT_TRUE(SaverPictures().loaded);
    for (bool mapped : {false, true}) {
        SCOPED_TRACE(mapped ? "installed by the setup program" : "installed by hand");
        RemoveUserSettings();
        SetSettingsMapping(mapped);
        LockSettingsFile(true);
        SaveAndSeeThemNext(true);

        auto stored = UserSettings();
        ASSERT_TRUE(stored.has_value()) << "nothing in HKCU\\" << USER_SETTINGS_KEY;
        std::map<std::string, std::string> values(stored->begin(), stored->end());
        EXPECT_EQ(values, (std::map<std::string, std::string>{{"SOUND_SW", "1"}, {"EVENT_FREQ", "3"},
                                                               {"ANI_INTERVAL", "110"}, {"REFRESH_INTERVAL", "5"},
                                                               {"RED_SW", "1"}, {"BLUE_SW", "1"}}));
        // What the saver stored by itself is what the system's mapping reads, once registered.
        if (!mapped) {
            SetSettingsMapping(true);
            EXPECT_EQ(GetPrivateProfileIntA(SECTION, "EVENT_FREQ", 0, "CONTROL.INI"), 3u);
        }
    }
}

TEST_F(Settings, OkThatCannotStoreTheSettingsSaysWhyAndClaimsNoSuccess) {
    LockSettingsFile(true);
    BlockUserSettings();
    ASSERT_NO_FATAL_FAILURE(Open());
    ClickOn(Item(RED_ON));
    ClickOn(Item(OK_BUTTON));
    HWND message = saver_->WaitWindow(DIALOG_CLASS, "Pendral");
    ASSERT_NE(message, nullptr) << "no message about the failed save";
    ASSERT_TRUE(Activate(message));
    HWND text = FindWindowExA(message, nullptr, "Static", nullptr);
    std::string said;
    while (text != nullptr && said.find("could not be saved") == std::string::npos) {
        said = WindowText(text);
        text = FindWindowExA(message, text, "Static", nullptr);
    }
    EXPECT_NE(said.find("The settings could not be saved."), std::string::npos) << said;
    EXPECT_GT(said.size(), std::string("The settings could not be saved.").size() + 2) << "no reason given";
    KeyPress(VK_RETURN);
    EXPECT_TRUE(Becomes([&] { return !IsWindow(message); }));
    // The dialog is still there, with the choice made, until the user cancels.
    EXPECT_TRUE(saver_->Running());
    EXPECT_EQ(Checked(RED_ON), BST_CHECKED);
    ASSERT_TRUE(Activate(dialog_));
    Escape();
    EXPECT_FALSE(UserSettings().has_value());
}

}  // namespace
}  // namespace e2e
