// Windows 95: before the directories go, each network drive that holds one is visited once by
// opening the directory chooser invisibly on its root.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/platform.h"
#include "directory_action_fixture.h"
#include "support/chooser_watch.h"
#include "support/platform_emulation.h"
#include "support/wine_system.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win95");

class NetworkDriveTest : public ::testing::Test {
protected:
    NetworkDriveTest() : tree_("directories_95")
    {
        gInstance = ProgramResources();
        DetectPlatform();
        owner_ = CreateWindowA("STATIC", "progress", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        gProgressDialog = owner_;
        drivesReady_ = DefineWineDrive('P', DRIVE_REMOTE, tree_.AddDirectory("shareP")) &&
                       DefineWineDrive('Q', DRIVE_REMOTE, tree_.AddDirectory("shareQ"));
    }
    ~NetworkDriveTest() override
    {
        RemoveWineDrive('P');
        RemoveWineDrive('Q');
        gProgressDialog = nullptr;
        DestroyWindow(owner_);
    }

    TempTree tree_;
    HWND owner_;
    bool drivesReady_;
    DirectoryPhase phase_;
};

TEST_F(NetworkDriveTest, ChooserOpensInvisiblyOncePerNetworkDriveLetter)
{
    ASSERT_EQ(PLATFORM_WIN95, GetPlatformClass());
    ASSERT_TRUE(drivesReady_);
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOTE), GetDriveTypeA("P:\\"));
    tree_.AddDirectory("shareP\\App\\Data\\Cache");
    tree_.AddDirectory("shareQ\\Shared");
    std::string local = tree_.AddDirectory("Local");

    ChooserWatch watch;
    EXPECT_EQ(0, phase_.Run({"P:\\App", "p:\\App\\Data\\", "Q:\\Shared", local, "P:\\App\\Data\\Cache"}));

    ASSERT_EQ(2u, watch.Sightings().size());
    EXPECT_EQ("P:\\", watch.Sightings()[0].pathText);
    EXPECT_EQ("Q:\\", watch.Sightings()[1].pathText);
    for (const ChooserSighting& sighting : watch.Sightings()) {
        EXPECT_GE(sighting.window.left, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_GE(sighting.window.top, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_EQ(owner_, sighting.owner);
    }
    EXPECT_FALSE(PathExists(tree_.Path("shareP\\App")));
    EXPECT_FALSE(PathExists(tree_.Path("shareQ\\Shared")));
    EXPECT_FALSE(PathExists(local));
}

TEST_F(NetworkDriveTest, LocalDirectoriesOpenNoChooser)
{
    std::string local = tree_.AddDirectory("OnlyLocal");
    ChooserWatch watch;
    EXPECT_EQ(0, phase_.Run({local}));
    EXPECT_EQ(0u, watch.Sightings().size());
}

TEST_F(NetworkDriveTest, ChooserRunAcceptsNothing)
{
    ASSERT_TRUE(drivesReady_);
    char out[MAX_PATH + 1] = "untouched";
    ChooserWatch watch;
    EXPECT_EQ(0, ChooseDirectory(phase_.pool_, owner_, "P:\\Missing\\Deeper\\", out, sizeof out));
    EXPECT_STREQ("untouched", out);
    ASSERT_EQ(1u, watch.Sightings().size());
    EXPECT_EQ("P:\\Missing\\Deeper", watch.Sightings()[0].pathText);
}

}  // namespace
