// Loading and releasing the password verifier, and the system's
// screen-saver-running state that goes with it.
#include <gtest/gtest.h>

#include <cstring>

#include "host/password_lock.h"
#include "host_test_support.h"

using namespace hosttest;

namespace {

class PasswordLock : public ::testing::Test {
protected:
    void SetUp() override { ResetHost(); }
    bool Loaded() { return hostState.passwordModule != nullptr && hostState.verifyPassword != nullptr; }
};

TEST_F(PasswordLock, NtFamilyNeverReadsTheSettingOrLoadsAnything) {
    SetUpPasswordSystem(1);
    hostState.win95Family = 0;
    LoadPasswordVerifier();
    UnloadPasswordVerifier();
    EXPECT_EQ(SetSaverRunning(1), 0);
    EXPECT_EQ(fake::CountCalls("OpenUserKey"), 0u);
    EXPECT_EQ(fake::CountCalls("LoadLibraryFile"), 0u);
    EXPECT_EQ(fake::CountCalls("SetScreenSaverRunning"), 0u);
}

TEST_F(PasswordLock, SetPasswordLoadsTheVerifierFromTheSystemDirectoryAndMarksTheSaverRunning) {
    SetUpPasswordSystem(1);
    LoadPasswordVerifier();
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(fake::Registry().openedPath, "Control Panel\\Desktop");
    EXPECT_EQ(fake::Registry().openKeys, 0);
    ASSERT_EQ(fake::Libraries().loadAttempts.size(), 1u);
    EXPECT_EQ(fake::Libraries().loadAttempts[0], "C:\\windows\\system32\\PASSWORD.CPL");
    EXPECT_EQ(fake::System().saverRunning, 1);
    EXPECT_EQ(fake::CallsNamed("ReadRegistryValue")[0].args[1], 4);  // a four-byte buffer

    UnloadPasswordVerifier();
    EXPECT_EQ(hostState.passwordModule, nullptr);
    EXPECT_EQ(hostState.verifyPassword, nullptr);
    EXPECT_EQ(fake::CallsNamed("ReleaseLibrary")[0].args[0], fake::Arg(kPasswordCpl));
    EXPECT_EQ(fake::System().saverRunning, 0);
    fake::ClearCalls();
    UnloadPasswordVerifier();  // nothing left to release
    EXPECT_EQ(fake::Calls().size(), 0u);
}

TEST_F(PasswordLock, StoredValueCountsByItsOwnBytes) {
    struct Case {
        std::vector<unsigned char> bytes;
        bool password;
    } cases[] = {
        {{0, 0, 0, 0}, false}, {{1, 0, 0, 0}, true}, {{0, 0, 0, 1}, true},  {{1}, true},
        {{0}, false},          {{0, 1}, true},       {{}, false},           {{1, 0, 0, 0, 0}, false},  // too long: unreadable
    };
    for (const Case& c : cases) {
        ResetHost();
        SetUpPasswordSystem(1);
        fake::Registry().value = c.bytes;
        LoadPasswordVerifier();
        EXPECT_EQ(Loaded(), c.password) << c.bytes.size() << " bytes";
        EXPECT_EQ(fake::Registry().openKeys, 0);
    }
}

TEST_F(PasswordLock, MissingKeyValueLibraryOrExportMeansNoPassword) {
    SetUpPasswordSystem(1);
    fake::Registry().keyPath = "elsewhere";
    LoadPasswordVerifier();
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(fake::CountCalls("CloseRegistryKey"), 0u);

    ResetHost();
    SetUpPasswordSystem(1);
    fake::Registry().valuePresent = false;
    LoadPasswordVerifier();
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(fake::CountCalls("CloseRegistryKey"), 1u);

    ResetHost();
    SetUpPasswordSystem(1);
    fake::Libraries().files.clear();
    LoadPasswordVerifier();
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(fake::CountCalls("SetScreenSaverRunning"), 0u);

    ResetHost();
    SetUpPasswordSystem(1);
    fake::Libraries().files[0].exports.clear();
    LoadPasswordVerifier();
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(hostState.passwordModule, nullptr);
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 1u);  // loaded, then released again
    EXPECT_EQ(fake::CountCalls("SetScreenSaverRunning"), 0u);

    ResetHost();
    SetUpPasswordSystem(1);
    fake::Libraries().systemDirectory = "";  // no system directory: nothing is loaded from elsewhere
    LoadPasswordVerifier();
    EXPECT_FALSE(Loaded());
    EXPECT_EQ(fake::CountCalls("LoadLibraryFile"), 0u);
}

TEST_F(PasswordLock, LoadingAgainReleasesTheFirstVerifier) {
    SetUpPasswordSystem(1);
    LoadPasswordVerifier();
    fake::ClearCalls();
    LoadPasswordVerifier();
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(fake::CountCalls("ReleaseLibrary"), 1u);
    auto running = fake::CallsNamed("SetScreenSaverRunning");
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].args[0], 0);
    EXPECT_EQ(running[1].args[0], 1);
}

TEST_F(PasswordLock, SystemPathsAreJoinedWithOneSeparatorAndNeverTruncated) {
    char out[32];
    EXPECT_TRUE(JoinSystemPath("C:\\WINDOWS\\SYSTEM", "MPR.DLL", out, sizeof out));
    EXPECT_STREQ(out, "C:\\WINDOWS\\SYSTEM\\MPR.DLL");
    EXPECT_TRUE(JoinSystemPath("C:\\", "MPR.DLL", out, sizeof out));
    EXPECT_STREQ(out, "C:\\MPR.DLL");
    EXPECT_FALSE(JoinSystemPath("", "MPR.DLL", out, sizeof out));  // never relative to the current directory
    EXPECT_STREQ(out, "");
    char small[12];
    EXPECT_FALSE(JoinSystemPath("C:\\WIN", "MPR.DLL", small, sizeof small));  // needs 15
    EXPECT_STREQ(small, "");
    char exact[15];
    EXPECT_TRUE(JoinSystemPath("C:\\WIN", "MPR.DLL", exact, sizeof exact));
}

}  // namespace
