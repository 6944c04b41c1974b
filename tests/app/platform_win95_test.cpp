// Platform detection on Windows 95: no Windows NT shell question and no three-dimensional control
// library, because the system draws controls that way itself.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/platform.h"
#include "support/platform_emulation.h"

namespace {

const int kOnWindows95 = RunUnderWindowsVersion("win95");

TEST(PlatformOnWindows95, IsWindows95AndUsesNoThreeDimensionalLibrary)
{
    ASSERT_EQ(1, kOnWindows95);
    DetectPlatform();
    EXPECT_EQ(1, gPlatform.windows95);
    EXPECT_EQ(0, gPlatform.windowsNT);
    EXPECT_EQ(0, gPlatform.win32s);
    EXPECT_EQ(0, IsWin32s());
    EXPECT_EQ(PLATFORM_WIN95, GetPlatformClass());
    DetectShell();
    EXPECT_EQ(0, gPlatform.explorerShell);
    Load3dControls(GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, Get3dControlsLibrary());
    EXPECT_EQ(nullptr, GetModuleHandleA("CTL3D32.DLL"));
    Release3dControls(GetModuleHandleA(nullptr));
}

}  // namespace
