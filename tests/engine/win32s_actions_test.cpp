// Win32s: nothing is left for a restart, so a file in use is tried at once and reported; network
// drives holding directories are visited by the invisible chooser as on Windows 95.
#include "directory_action_fixture.h"
#include "file_actions_fixture.h"
#include "support/chooser_watch.h"
#include "support/platform_emulation.h"
#include "support/wine_system.h"
#include "support/wininit_guard.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win31");

TEST_F(FileActionsTest, FileInUseIsTriedAtOnceAndReported)
{
    WininitGuard wininit;
    ASSERT_EQ(PLATFORM_WIN32S, GetPlatformClass());
    std::string copied = tree_.AddFile("app\\running.exe", "running");
    HANDLE held = CreateFileA(copied.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string pendingBefore = PendingFileRenames();

    EXPECT_EQ(0, DeferIfInUse(copied.c_str()));
    EXPECT_EQ(-1, ScheduleDeleteAtRestart(copied.c_str()));
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(copied, 0));
    EXPECT_EQ(0, RunCf(copied, OPTIONAL_FILE));

    CloseHandle(held);
    EXPECT_EQ("running", ReadWholeFile(copied));
    EXPECT_FALSE(PathExists(wininit.IniPath()));
    EXPECT_EQ(pendingBefore, PendingFileRenames());
}

TEST(Win32sDirectoryTest, NetworkDrivesAreVisitedOnce)
{
    gInstance = ProgramResources();
    DetectPlatform();
    TempTree tree("directories_32s");
    ASSERT_TRUE(DefineWineDrive('R', DRIVE_REMOTE, tree.AddDirectory("shareR")));
    tree.AddDirectory("shareR\\App\\Sub");
    DirectoryPhase phase;
    {
        ChooserWatch watch;
        EXPECT_EQ(0, phase.Run({"R:\\App", "R:\\App\\Sub"}));
        ASSERT_EQ(1u, watch.Sightings().size());
        EXPECT_EQ("R:\\", watch.Sightings()[0].pathText);
    }
    EXPECT_FALSE(PathExists(tree.Path("shareR\\App")));
    EXPECT_TRUE(RemoveWineDrive('R'));
}

}  // namespace
