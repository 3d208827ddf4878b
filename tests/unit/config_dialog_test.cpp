#include "app/config_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/settings.h"
#include "fake.h"
#include "fake_dialog.h"
#include "fake_profile.h"
#include "fake_registry.h"
#include "platform/messages.h"

namespace {

plat::Window const DIALOG = reinterpret_cast<plat::Window>(0x4000);

class ConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        saverSettings = SaverSettings{};
    }

    // Opens the dialog over a CONTROL.INI holding `keys` in the program's section.
    plat::MessageResult Open(const std::string& keys) {
        fake::SetProfileText("CONTROL.INI", "[Screen_Saver.Pendral]\n" + keys);
        plat::MessageResult result = ConfigDialogProc(DIALOG, msg::INITDIALOG, 0, 0);
        fake::ClearCalls();
        return result;
    }

    static plat::MessageResult Command(std::uint32_t id, std::uint32_t notification = 0) {
        return ConfigDialogProc(DIALOG, msg::COMMAND, (plat::WordParam{notification} << 16) | id, 0);
    }

    static plat::MessageResult Scroll(std::int32_t barId, std::uint32_t code, std::uint32_t thumb = 0) {
        return ConfigDialogProc(DIALOG, msg::HSCROLL, (plat::WordParam{thumb} << 16) | code,
                                reinterpret_cast<plat::LongParam>(fake::ControlWindow(barId)));
    }

    static std::string Label(std::int32_t id) { return fake::Dialog().itemText[id]; }
    static std::int32_t BarPos(std::int32_t id) { return fake::Dialog().bars[fake::ControlWindow(id)].pos; }
    static std::uint32_t Checked(std::int32_t id) { return fake::Dialog().checked[id]; }
};

TEST_F(ConfigDialogTest, OpeningShowsTheLoadedSettings) {
    EXPECT_EQ(0, Open("SOUND_SW=0\nEVENT_FREQ=42\nANI_INTERVAL=110\nREFRESH_INTERVAL=7\nRED_SW=1\nBLUE_SW=7\n"));

    EXPECT_EQ(0u, Checked(103));
    EXPECT_EQ(1u, Checked(104));
    EXPECT_EQ(1u, Checked(112));
    EXPECT_EQ(0u, Checked(113));
    // A stored switch other than 0 or 1 reaches the ON box as it stands.
    EXPECT_EQ(7u, Checked(114));
    EXPECT_EQ(0u, Checked(115));

    EXPECT_EQ("42", Label(106));
    EXPECT_EQ("10", Label(111));
    EXPECT_EQ("7", Label(117));
    EXPECT_EQ(42, BarPos(105));
    EXPECT_EQ(110, BarPos(110));
    EXPECT_EQ(7, BarPos(116));
    EXPECT_FALSE(fake::Dialog().ended);
}

TEST_F(ConfigDialogTest, OpeningSetsRangesAndRedrawsAllButTheFirstRange) {
    fake::SetProfileText("CONTROL.INI", "");
    ConfigDialogProc(DIALOG, msg::INITDIALOG, 0, 0);

    auto ranges = fake::CallsNamed("SetScrollBarRange");
    ASSERT_EQ(3u, ranges.size());
    const std::intptr_t expected[3][4] = {
        {fake::Arg(fake::ControlWindow(105)), 3, 100, 0},
        {fake::Arg(fake::ControlWindow(110)), 0, 200, 1},
        {fake::Arg(fake::ControlWindow(116)), 1, 100, 1},
    };
    for (int i = 0; i < 3; ++i)
        for (int a = 0; a < 4; ++a) EXPECT_EQ(expected[i][a], ranges[i].args[a]) << "range " << i << " arg " << a;
    for (const fake::Call& pos : fake::CallsNamed("SetScrollBarPos")) EXPECT_EQ(1, pos.args[2]);

    // Defaults of an empty file: 51 bodies, attraction 110, 5 minutes, sound on.
    EXPECT_EQ("51", Label(106));
    EXPECT_EQ("10", Label(111));
    EXPECT_EQ("5", Label(117));
    EXPECT_EQ(1u, Checked(103));
    EXPECT_EQ(0u, Checked(104));
    // The body count is written as an unsigned number, the others as text.
    EXPECT_EQ(1u, fake::CountCalls("SetItemUnsigned"));
    EXPECT_EQ(2u, fake::CountCalls("SetItemText"));
}

TEST_F(ConfigDialogTest, AttractionLabelShowsTheValueMinusOneHundred) {
    Open("ANI_INTERVAL=0\n");
    EXPECT_EQ("-100", Label(111));
    Open("ANI_INTERVAL=200\n");
    EXPECT_EQ("100", Label(111));
    Scroll(110, msg::SCROLL_LINELEFT);
    EXPECT_EQ("99", Label(111));
    Scroll(110, msg::SCROLL_THUMBTRACK, 100);
    EXPECT_EQ("0", Label(111));
}

TEST_F(ConfigDialogTest, LineAndPageCodesStepByOneAndClampAtBothEnds) {
    struct Bar {
        std::int32_t id, label, low, high;
        std::int32_t SaverSettings::*field;
    };
    for (Bar bar :
         {Bar{105, 106, 3, 100, &SaverSettings::bodyCount}, Bar{110, 111, 0, 200, &SaverSettings::attractionSetting},
          Bar{116, 117, 1, 100, &SaverSettings::refreshMinutes}}) {
        SCOPED_TRACE(bar.id);
        Open("EVENT_FREQ=3\nANI_INTERVAL=0\nREFRESH_INTERVAL=1\n");
        for (std::uint32_t code : {msg::SCROLL_LINELEFT, msg::SCROLL_PAGELEFT}) {
            EXPECT_EQ(0, Scroll(bar.id, code));
            EXPECT_EQ(bar.low, BarPos(bar.id));
        }
        // Even an unchanged value is written back to its bar and label.
        EXPECT_EQ(2u, fake::CountCalls("SetScrollBarPos"));
        EXPECT_EQ(2u, fake::CountCalls("SetItemText") + fake::CountCalls("SetItemUnsigned"));

        Scroll(bar.id, msg::SCROLL_PAGERIGHT);
        EXPECT_EQ(bar.low + 1, BarPos(bar.id));
        Scroll(bar.id, msg::SCROLL_LINERIGHT);
        EXPECT_EQ(bar.low + 2, BarPos(bar.id));

        Scroll(bar.id, msg::SCROLL_THUMBTRACK, static_cast<std::uint32_t>(bar.high));
        for (std::uint32_t code : {msg::SCROLL_LINERIGHT, msg::SCROLL_PAGERIGHT}) {
            Scroll(bar.id, code);
            EXPECT_EQ(bar.high, BarPos(bar.id));
        }
        const std::int32_t shown = bar.id == 110 ? bar.high - 100 : bar.high;
        EXPECT_EQ(std::to_string(shown), Label(bar.label));
        EXPECT_EQ(bar.high, saverSettings.*bar.field);
    }
}

TEST_F(ConfigDialogTest, ThumbTrackingSetsTheValueAndReleaseKeepsIt) {
    Open("EVENT_FREQ=10\n");
    Scroll(105, msg::SCROLL_THUMBTRACK, 60);
    Scroll(105, msg::SCROLL_THUMBTRACK, 77);
    EXPECT_EQ(77, saverSettings.bodyCount);
    // The release reports a thumb position of its own; the tracked value stays.
    Scroll(105, msg::SCROLL_THUMBPOSITION, 20);
    EXPECT_EQ(77, saverSettings.bodyCount);
    EXPECT_EQ(77, BarPos(105));
    EXPECT_EQ("77", Label(106));
    // End-of-scroll and the codes above it change nothing.
    for (std::uint32_t code : {6u, 7u, 8u, 0xFFFFu}) Scroll(105, code, 5);
    EXPECT_EQ(77, saverSettings.bodyCount);

    // The thumb is the whole high word, read unsigned.
    Scroll(116, msg::SCROLL_THUMBTRACK, 0xFFFF);
    EXPECT_EQ(0xFFFF, saverSettings.refreshMinutes);
}

TEST_F(ConfigDialogTest, ScrollBarIsKnownByItsControlIdNotByItsWindow) {
    plat::Window bar = reinterpret_cast<plat::Window>(0x9100);
    fake::Dialog().controls[116] = bar;
    Open("EVENT_FREQ=10\nREFRESH_INTERVAL=10\n");
    ConfigDialogProc(DIALOG, msg::HSCROLL, msg::SCROLL_LINERIGHT, reinterpret_cast<plat::LongParam>(bar));
    EXPECT_EQ(11, saverSettings.refreshMinutes);
    EXPECT_EQ(11, fake::Dialog().bars[bar].pos);
    EXPECT_EQ("11", Label(117));

    // Any other control (a label, a check box, an unknown window) changes and writes nothing.
    const SaverSettings before = saverSettings;
    fake::ClearCalls();
    for (std::int32_t id : {106, 111, 103, 1, 0}) EXPECT_EQ(0, Scroll(id, msg::SCROLL_LINERIGHT));
    EXPECT_EQ(0, ConfigDialogProc(DIALOG, msg::HSCROLL, msg::SCROLL_LINERIGHT, 0));
    EXPECT_EQ(0, std::memcmp(&before, &saverSettings, sizeof before));
    EXPECT_EQ(0u, fake::CountCalls("SetScrollBarPos"));
    EXPECT_EQ(0u, fake::CountCalls("SetItemText") + fake::CountCalls("SetItemUnsigned"));
}

TEST_F(ConfigDialogTest, CheckBoxPairsBehaveAsRadioButtons) {
    struct Pair {
        std::int32_t on, off;
        std::int32_t SaverSettings::*field;
    };
    for (Pair pair : {Pair{103, 104, &SaverSettings::soundSwitch}, Pair{112, 113, &SaverSettings::redSwitch},
                      Pair{114, 115, &SaverSettings::blueSwitch}}) {
        SCOPED_TRACE(pair.on);
        Open("SOUND_SW=7\nRED_SW=7\nBLUE_SW=7\n");
        // Clicking the already checked ON box keeps it checked and stores a plain 1.
        EXPECT_EQ(0, Command(pair.on, 0));
        EXPECT_EQ(1, saverSettings.*pair.field);
        EXPECT_EQ(1u, Checked(pair.on));
        EXPECT_EQ(0u, Checked(pair.off));

        // The notification code in the high word is not looked at.
        EXPECT_EQ(0, Command(pair.off, 5));
        EXPECT_EQ(0, saverSettings.*pair.field);
        EXPECT_EQ(0u, Checked(pair.on));
        EXPECT_EQ(1u, Checked(pair.off));
        EXPECT_EQ(0, Command(pair.off));
        EXPECT_EQ(1u, Checked(pair.off));
        EXPECT_EQ(6u, fake::CountCalls("SetCheck"));
    }
    EXPECT_FALSE(fake::Dialog().ended);
}

TEST_F(ConfigDialogTest, OkSavesTheEditedValuesAndEndsWithOne) {
    Open("SOUND_SW=1\nEVENT_FREQ=20\nANI_INTERVAL=150\nREFRESH_INTERVAL=9\nRED_SW=0\nBLUE_SW=1\n");
    Scroll(105, msg::SCROLL_LINERIGHT);
    Scroll(110, msg::SCROLL_THUMBTRACK, 30);
    Command(104);
    Command(112);

    EXPECT_EQ(1, Command(msg::CMD_OK, 0));
    EXPECT_TRUE(fake::Dialog().ended);
    EXPECT_EQ(1, fake::Dialog().endResult);
    const auto& writes = fake::ProfileWrites();
    ASSERT_EQ(6u, writes.size());
    const char* keys[] = {"SOUND_SW", "EVENT_FREQ", "ANI_INTERVAL", "REFRESH_INTERVAL", "RED_SW", "BLUE_SW"};
    const char* texts[] = {"0", "21", "30", "9", "1", "1"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(keys[i], writes[i].key);
        EXPECT_EQ(texts[i], writes[i].text);
        EXPECT_EQ("Screen_Saver.Pendral", writes[i].section);
    }
    // The file is written before the dialog is ended.
    const auto& calls = fake::Calls();
    EXPECT_STREQ("EndModalDialog", calls.back().name);
}

TEST_F(ConfigDialogTest, OkWithoutChangesWritesWhatWasRead) {
    Open("");
    Command(msg::CMD_OK);
    const char* keys[] = {"SOUND_SW", "EVENT_FREQ", "ANI_INTERVAL", "REFRESH_INTERVAL", "RED_SW", "BLUE_SW"};
    const char* texts[] = {"1", "51", "110", "5", "0", "0"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(texts[i], fake::ProfileValue("CONTROL.INI", "Screen_Saver.Pendral", keys[i])) << keys[i];
}

TEST_F(ConfigDialogTest, OkThatCannotSaveTellsWhyAndStaysOpen) {
    Open("EVENT_FREQ=20\n");
    fake::SetProfileWritesFail(5);
    fake::Registry().createError = 1021;
    EXPECT_EQ(1, Command(msg::CMD_OK));
    EXPECT_FALSE(fake::Dialog().ended);
    ASSERT_EQ(fake::Dialog().messages.size(), 1u);
    EXPECT_EQ(fake::Dialog().messages[0], "Pendral: The settings could not be saved.\n\nSystem error 1021");

    // Once a place to store them is there again, OK saves and closes.
    fake::Registry().createError = 0;
    EXPECT_EQ(1, Command(msg::CMD_OK));
    EXPECT_TRUE(fake::Dialog().ended);
    EXPECT_EQ(fake::Dialog().messages.size(), 1u);
    EXPECT_EQ(fake::Registry().textKeys[SETTINGS_USER_KEY]["EVENT_FREQ"], "20");
}

TEST_F(ConfigDialogTest, EscapeAndCloseBoxEndWithOneAndSaveNothing) {
    for (std::uint32_t message : {msg::COMMAND, msg::CLOSE}) {
        Open("EVENT_FREQ=20\n");
        Scroll(105, msg::SCROLL_LINERIGHT);
        Command(104);
        const plat::WordParam wParam = message == msg::COMMAND ? msg::CMD_CANCEL : 0;
        EXPECT_EQ(1, ConfigDialogProc(DIALOG, message, wParam, 0));
        EXPECT_TRUE(fake::Dialog().ended);
        EXPECT_EQ(1, fake::Dialog().endResult);
        EXPECT_TRUE(fake::ProfileWrites().empty());
        EXPECT_EQ("20", fake::ProfileValue("CONTROL.INI", "Screen_Saver.Pendral", "EVENT_FREQ"));
        EXPECT_EQ("<absent>", fake::ProfileValue("CONTROL.INI", "Screen_Saver.Pendral", "SOUND_SW"));
    }
}

TEST_F(ConfigDialogTest, OtherCommandsAndMessagesDoNothing) {
    Open("EVENT_FREQ=20\n");
    const SaverSettings before = saverSettings;
    for (std::uint32_t id : {0u, 3u, 105u, 106u, 111u, 116u, 0xFFFFu}) EXPECT_EQ(1, Command(id));
    // Only the low word names the command: a notification code never makes it OK.
    EXPECT_EQ(1, Command(0, 1));
    for (std::uint32_t message : {msg::PAINT, msg::TIMER, msg::KEYDOWN, msg::DESTROY})
        EXPECT_EQ(0, ConfigDialogProc(DIALOG, message, 1, 0));
    EXPECT_EQ(0, std::memcmp(&before, &saverSettings, sizeof before));
    EXPECT_FALSE(fake::Dialog().ended);
    EXPECT_TRUE(fake::ProfileWrites().empty());
}

TEST(ScrolledValue, StepsClampAndTrack) {
    EXPECT_EQ(4, ScrolledValue(5, msg::SCROLL_LINELEFT, 0, 3, 100));
    EXPECT_EQ(3, ScrolledValue(3, msg::SCROLL_PAGELEFT, 0, 3, 100));
    EXPECT_EQ(100, ScrolledValue(100, msg::SCROLL_PAGERIGHT, 0, 3, 100));
    // A value that somehow lies outside the range steps back into it.
    EXPECT_EQ(3, ScrolledValue(-5, msg::SCROLL_LINELEFT, 0, 3, 100));
    EXPECT_EQ(100, ScrolledValue(250, msg::SCROLL_LINERIGHT, 0, 3, 100));
    EXPECT_EQ(3, ScrolledValue(2, msg::SCROLL_LINERIGHT, 0, 3, 100));
    EXPECT_EQ(40, ScrolledValue(5, msg::SCROLL_THUMBTRACK, 40, 3, 100));
    EXPECT_EQ(5, ScrolledValue(5, msg::SCROLL_THUMBPOSITION, 40, 3, 100));
}

}  // namespace
