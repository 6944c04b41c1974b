// Windows 95: a copied file in use is left to wininit.ini under its short name, the action counts
// it as done, and a restart of the Wine session removes it.
#include "file_actions_fixture.h"
#include "support/platform_emulation.h"
#include "support/wine_system.h"
#include "support/wininit_guard.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win95");

TEST_F(FileActionsTest, FileInUseGoesThroughWininitAtTheNextRestart)
{
    WininitGuard wininit;
    ASSERT_EQ(PLATFORM_WIN95, GetPlatformClass());
    std::string copied = tree_.AddFile("Program Files Long\\Running Program.exe");
    HANDLE held = CreateFileA(copied.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char shortPath[MAX_PATH + 1];
    ASSERT_NE(0u, GetShortPathNameA(copied.c_str(), shortPath, sizeof shortPath));

    EXPECT_EQ(0, RunCf(copied, 0));
    EXPECT_EQ(std::string("[rename]\r\nNUL=") + shortPath, ReadWholeFile(wininit.IniPath()));

    CloseHandle(held);
    EXPECT_TRUE(PathExists(copied));
    ASSERT_TRUE(SimulateWindowsRestart());
    EXPECT_FALSE(PathExists(copied));
}

}  // namespace
