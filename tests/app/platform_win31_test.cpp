// Platform detection on Windows 3.1 with Win32s: a version word like Windows 95's with a major
// version below 4, and a kernel that answers GetVersionExA.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/platform.h"
#include "support/platform_emulation.h"

namespace {

const int kOnWin32s = RunUnderWindowsVersion("win31");

TEST(PlatformOnWin32s, IsWin32sOfClassSeven)
{
    ASSERT_EQ(1, kOnWin32s);
    DetectPlatform();
    EXPECT_EQ(0, gPlatform.windows95);
    EXPECT_EQ(0, gPlatform.windowsNT);
    EXPECT_EQ(1, gPlatform.win32s);
    EXPECT_EQ(1, IsWin32s());
    EXPECT_EQ(PLATFORM_WIN32S, GetPlatformClass());
    DetectShell();
    EXPECT_EQ(0, gPlatform.explorerShell);
    // Program Manager's look needs the library here.
    Load3dControls(GetModuleHandleA(nullptr));
    EXPECT_NE(nullptr, Get3dControlsLibrary());
    Release3dControls(GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, Get3dControlsLibrary());
}

}  // namespace
