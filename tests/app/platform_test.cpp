#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/platform.h"

namespace {

TEST(Platform, WineIsSeenAsWindowsNT)
{
    DetectPlatform();
    EXPECT_EQ(1, gPlatform.windowsNT);
    EXPECT_EQ(0, gPlatform.windows95);
    EXPECT_EQ(0, gPlatform.win32s);
    EXPECT_EQ(0, IsWin32s());
    EXPECT_EQ(PLATFORM_NT_INTEL, GetPlatformClass());
}

TEST(Platform, Windows95ClassComesFromTheFlag)
{
    gPlatform = PlatformInfo{1, 0, 0, 0};
    EXPECT_EQ(PLATFORM_WIN95, GetPlatformClass());
    DetectPlatform();
}

class ShellDetection : public ::testing::Test {
protected:
    void SetUp() override
    {
        char directory[MAX_PATH];
        GetTempPathA(sizeof directory, directory);
        GetTempFileNameA(directory, "shl", 0, profile_);
    }
    void TearDown() override { DeleteFileA(profile_); }

    int ExplorerFor(const char* shell, int windowsNT)
    {
        WritePrivateProfileStringA("Boot", "Shell", shell, profile_);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, profile_);
        gPlatform = PlatformInfo{!windowsNT, windowsNT, 0, 1};
        DetectShellFrom(profile_);
        return gPlatform.explorerShell;
    }

    char profile_[MAX_PATH];
};

TEST_F(ShellDetection, NamesTheExplorerInAnyCaseAndWithAnyDirectory)
{
    struct Case {
        const char* shell;
        int windowsNT;
        int explorer;
    };
    const Case cases[] = {
        {"Explorer.exe", 1, 1},
        {"EXPLORER.EXE", 1, 1},
        {"explorer.exe", 1, 1},
        {"C:\\WINNT\\explorer.exe", 1, 1},
        {"C:explorer.exe", 1, 1},
        {"progman.exe", 1, 0},
        {"explorer", 1, 0},
        {"myexplorer.exe", 1, 0},
        {"explorer.exe /n", 1, 0},
        {"Explorer.exe", 0, 0},  // only Windows NT looks at system.ini
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.explorer, ExplorerFor(c.shell, c.windowsNT)) << c.shell << " NT=" << c.windowsNT;
}

TEST_F(ShellDetection, NoShellEntryMeansProgramManager)
{
    gPlatform = PlatformInfo{0, 1, 0, 1};
    DetectShellFrom(profile_);
    EXPECT_EQ(0, gPlatform.explorerShell);
}

class ThreeDControls : public ::testing::Test {
protected:
    void TearDown() override
    {
        Release3dControls(GetModuleHandleA(nullptr));
        DetectPlatform();
    }
};

TEST_F(ThreeDControls, LoadedOnWindowsNTWithProgramManagerAndReleasedAgain)
{
    gPlatform = PlatformInfo{0, 1, 0, 0};
    Load3dControls(GetModuleHandleA(nullptr));
    HMODULE library = Get3dControlsLibrary();
    ASSERT_NE(nullptr, library);
    EXPECT_EQ(library, GetModuleHandleA("CTL3D32.DLL"));
    Release3dControls(GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, Get3dControlsLibrary());
    EXPECT_EQ(nullptr, GetModuleHandleA("CTL3D32.DLL"));
}

TEST_F(ThreeDControls, NotLoadedWhereTheShellDrawsIn3D)
{
    const PlatformInfo platforms[] = {{1, 0, 0, 0}, {0, 1, 0, 1}};
    for (const PlatformInfo& platform : platforms) {
        gPlatform = platform;
        Load3dControls(GetModuleHandleA(nullptr));
        EXPECT_EQ(nullptr, Get3dControlsLibrary());
        EXPECT_EQ(nullptr, GetModuleHandleA("CTL3D32.DLL"));
    }
}

}  // namespace
