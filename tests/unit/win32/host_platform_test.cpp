// The host's platform functions on the real system: the registry read into a
// zeroed buffer, libraries by full system path, calls through found function
// addresses in the system's calling convention, the message loop's code, and the
// desktop that the full-screen window covers.
#include <windows.h>

#include <gtest/gtest.h>

#include "host/password_lock.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

constexpr const char* kTestKey = "Software\\PendralHostTest";

TEST(HostPlatform, RegistryValuesReadIntoAFourByteBufferByTheirOwnLength) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kTestKey, &key), ERROR_SUCCESS);
    const BYTE shortValue[1] = {1};
    const BYTE longValue[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const DWORD dword = 0x01020304;
    RegSetValueExA(key, "Short", 0, REG_BINARY, shortValue, sizeof shortValue);
    RegSetValueExA(key, "Long", 0, REG_BINARY, longValue, sizeof longValue);
    RegSetValueExA(key, "Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
    RegCloseKey(key);

    plat::RegistryKey opened = nullptr;
    ASSERT_TRUE(plat::OpenUserKey(kTestKey, &opened));
    unsigned char buffer[4] = {0, 0, 0, 0};
    std::uint32_t size = 4;
    EXPECT_TRUE(plat::ReadRegistryValue(opened, "Short", buffer, &size));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1] | buffer[2] | buffer[3], 0);
    size = 4;
    EXPECT_TRUE(plat::ReadRegistryValue(opened, "Dword", buffer, &size));
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[3], 1);
    size = 4;
    EXPECT_FALSE(plat::ReadRegistryValue(opened, "Long", buffer, &size));
    size = 4;
    EXPECT_FALSE(plat::ReadRegistryValue(opened, "Missing", buffer, &size));
    plat::CloseRegistryKey(opened);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    EXPECT_FALSE(plat::OpenUserKey(kTestKey, &opened));
}

TEST(HostPlatform, SystemLibrariesLoadByTheirFullPathOnly) {
    char directory[MAX_PATH];
    ASSERT_GT(plat::SystemDirectory(directory, sizeof directory), 0u);
    plat::Module kernel = LoadSystemLibrary("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(reinterpret_cast<HMODULE>(kernel), GetModuleHandleA("KERNEL32.DLL"));
    EXPECT_NE(plat::FindProc(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(plat::FindProc(kernel, "NoSuchExport"), nullptr);
    plat::ReleaseLibrary(kernel);

    // A library beside the program, not in the system directory, is not found.
    EXPECT_EQ(LoadSystemLibrary("pendral_no_such_library.dll"), nullptr);
    EXPECT_EQ(plat::FindLoadedModule("pendral_no_such_library.dll"), nullptr);
}

HWND verifiedWindow = nullptr;
BOOL WINAPI Verify(HWND window) {
    verifiedWindow = window;
    return 7;
}
void* WINAPI Associate(HWND, void* context) { return reinterpret_cast<char*>(context) + 1; }
DWORD WINAPI ChangePassword(LPCSTR provider, HWND parent, UINT_PTR a, UINT_PTR b) {
    return (lstrcmpA(provider, "SCRSAVE") == 0 && parent == reinterpret_cast<HWND>(0x44) && a == 0 && b == 0) ? 1 : 0;
}

TEST(HostPlatform, FoundFunctionsAreCalledInTheSystemsConvention) {
    // Many calls in a row: a convention mismatch would unbalance the stack.
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(plat::CallVerifier(reinterpret_cast<plat::ProcAddress>(&Verify), reinterpret_cast<plat::Window>(0x55)),
                  7);
        plat::InputContext previous = plat::CallImeAssociate(reinterpret_cast<plat::ProcAddress>(&Associate),
                                                             nullptr, reinterpret_cast<plat::InputContext>(0x100));
        EXPECT_EQ(previous, reinterpret_cast<plat::InputContext>(0x101));
        EXPECT_EQ(plat::CallPasswordChange(reinterpret_cast<plat::ProcAddress>(&ChangePassword), "SCRSAVE",
                                           reinterpret_cast<plat::Window>(0x44), 0, 0),
                  1u);
    }
    EXPECT_EQ(verifiedWindow, reinterpret_cast<HWND>(0x55));
}

TEST(HostPlatform, MessageLoopEndsWithTheQuitCode) {
    plat::PostQuit(7);
    EXPECT_EQ(plat::RunMessageLoop(), 7u);
    EXPECT_EQ(plat::PlatformId(), VER_PLATFORM_WIN32_NT);  // the default prefix
}

TEST(HostPlatform, DesktopIsTheVirtualScreen) {
    const plat::Rect desktop = plat::DesktopRect();
    EXPECT_EQ(desktop.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(desktop.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(desktop.right - desktop.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(desktop.bottom - desktop.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    // With one monitor that is the screen as before.
    if (GetSystemMetrics(SM_CMONITORS) == 1) {
        EXPECT_EQ(desktop.left, 0);
        EXPECT_EQ(desktop.top, 0);
        EXPECT_EQ(desktop.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(desktop.bottom, GetSystemMetrics(SM_CYSCREEN));
    }
}

}  // namespace
