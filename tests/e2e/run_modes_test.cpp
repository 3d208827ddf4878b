// Which command lines select which run mode, and the exit status of each.
#include "cases.h"

namespace e2e {
namespace {

class RunModes : public SaverCase {};

// The dialog opens (and nothing else does); the cancel command ends it with 1.
void ExpectDialog(const std::string& commandLine) {
    SCOPED_TRACE(commandLine);
    Saver saver;
    ASSERT_TRUE(saver.Start(commandLine));
    HWND dialog = saver.WaitWindow(DIALOG_CLASS, "Configuration");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(saver.FindWindowOf(SAVER_CLASS, nullptr), nullptr);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(ExitsWith(saver, 1));
}

void ExpectFullScreen(const std::string& commandLine) {
    SCOPED_TRACE(commandLine);
    Saver saver;
    ASSERT_TRUE(saver.Start(commandLine));
    ASSERT_TRUE(ShownFullScreen(saver));
    KeyPress(VK_SPACE);
    EXPECT_TRUE(ExitsWith(saver, 0));
}

TEST_F(RunModes, NoSwitchOrSeparatorsOnlyOpenTheDialog) {
    ExpectDialog(CommandFor(""));
    ExpectDialog(CommandFor("   "));
    ExpectDialog(CommandFor("- / -/ "));
}

TEST_F(RunModes, ConfigureSwitchIgnoresWhatFollowsIt) {
    ExpectDialog(CommandFor("/c:1234"));
    ExpectDialog(CommandFor("-C 99"));
}

TEST_F(RunModes, WordsStartingWithSRunFullScreenUntilAKey) {
    ExpectFullScreen(CommandFor("/s"));
    ExpectFullScreen(CommandFor("-S"));
    ExpectFullScreen(CommandFor("saver"));
}

TEST_F(RunModes, OtherSwitchesExitMinusOneWithoutAWindow) {
    EXPECT_TRUE(RefusesQuietly(CommandFor("/x")));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/1")));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/\ts")));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/\xE9")));
    EXPECT_TRUE(RefusesQuietly(CommandFor("-\x80s")));
}

TEST_F(RunModes, PasswordChangeOnTheNtFamilyExitsMinusOneAndLoadsNothing) {
    ASSERT_FALSE(IsWin95Family());
    HostWindow host(200, 100);
    EXPECT_TRUE(RefusesQuietly(CommandFor("/a")));
    EXPECT_TRUE(RefusesQuietly(CommandFor("/a " + host.Number())));
    EXPECT_TRUE(RefusesQuietly(CommandFor("-A")));
    EXPECT_EQ(StandInLog(), std::vector<std::string>{});
}

TEST_F(RunModes, ProgramPathsWithSpacesOrBlanksStillFindTheSwitch) {
    std::string folder = WorkDir() + "\\Program Files";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\Pendral Saver";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string spaced = folder + "\\pendral.scr";
    ASSERT_TRUE(CopyFileA(SaverPath().c_str(), spaced.c_str(), FALSE));
    std::string plain = WorkDir() + "\\pendral.scr";
    ASSERT_TRUE(CopyFileA(SaverPath().c_str(), plain.c_str(), FALSE));

    ExpectFullScreen("\"" + spaced + "\"  /s");
    EXPECT_TRUE(RefusesQuietly("\"" + spaced + "\"/x"));
    ExpectDialog("\"" + spaced + "\"");
    ExpectFullScreen(plain + " \t \t-s");
    EXPECT_TRUE(RefusesQuietly(plain + "\t\t/X"));
}

}  // namespace
}  // namespace e2e
