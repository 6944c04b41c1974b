// The CDR action on real directories (Windows NT): longest path first, only empty directories,
// ERR_DIR_NOT_REMOVED for whatever stays, and no chooser on NT even for network drives.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/platform.h"
#include "core/string_list.h"
#include "directory_action_fixture.h"
#include "support/chooser_watch.h"
#include "support/wine_system.h"

namespace {

class DirectoryActionTest : public ::testing::Test {
protected:
    DirectoryActionTest() : tree_("directories")
    {
        gInstance = ProgramResources();
        DetectPlatform();
    }
    TempTree tree_;
    DirectoryPhase phase_;
};

TEST(TakeLongestPathTest, LongestFirstAndEqualLengthsInRecordOrder)
{
    StringList* list = ListCreate(0);
    const char* records[] = {"C:\\App", "C:\\App\\Data", "C:\\App\\Data\\Cache", "C:\\App\\Logs", "C:\\App\\Data\\"};
    for (const char* record : records) {
        ListLast(list);
        ListAppend(list, record);
    }
    const char* expected[] = {"C:\\App\\Data\\Cache", "C:\\App\\Data\\", "C:\\App\\Data", "C:\\App\\Logs", "C:\\App"};
    char path[MAX_PATH + 1];
    for (const char* want : expected) {
        ASSERT_EQ(1, TakeLongestPath(list, path, sizeof path));
        EXPECT_STREQ(want, path);
    }
    EXPECT_EQ(0, ListCount(list));
    EXPECT_EQ(0, TakeLongestPath(list, path, sizeof path));

    // An entry that does not fit is dropped whole, never cut into another path.
    ListAppend(list, "C:\\A\\Much\\Longer\\Entry");
    char small[8];
    EXPECT_EQ(0, TakeLongestPath(list, small, sizeof small));
    EXPECT_STREQ("", small);
    EXPECT_EQ(0, ListCount(list));
    ListDestroy(list);
}

TEST_F(DirectoryActionTest, NestedDirectoriesGoDeepestFirstWhateverTheRecordOrder)
{
    std::string app = tree_.AddDirectory("App");
    std::string data = tree_.AddDirectory("App\\Data");
    std::string cache = tree_.AddDirectory("App\\Data\\Cache");
    std::string logs = tree_.AddDirectory("App\\Logs");
    EXPECT_EQ(0, phase_.Run({app, data + "\\", cache, logs}));
    EXPECT_FALSE(PathExists(cache));
    EXPECT_FALSE(PathExists(data));
    EXPECT_FALSE(PathExists(logs));
    EXPECT_FALSE(PathExists(app));
    EXPECT_TRUE(PathExists(tree_.Root()));
}

TEST_F(DirectoryActionTest, FileLeftInsideKeepsItsDirectoryAndTheParents)
{
    std::string app = tree_.AddDirectory("App");
    std::string data = tree_.AddDirectory("App\\Data");
    std::string cache = tree_.AddDirectory("App\\Data\\Cache");
    tree_.AddFile("App\\Data\\user.cfg", "settings");
    EXPECT_EQ(ERR_DIR_NOT_REMOVED, phase_.Run({app, data, cache}));
    EXPECT_FALSE(PathExists(cache));
    EXPECT_EQ("settings", ReadWholeFile(tree_.Path("App\\Data\\user.cfg")));
    EXPECT_TRUE(PathExists(app));
}

TEST_F(DirectoryActionTest, RecordsThatCannotBeRemovedGiveThePartialFailure)
{
    struct Case {
        const char* name;
        std::string record;
        std::string survivor;  // must still exist afterwards ("" for none)
    };
    std::string dotted = tree_.AddDirectory("Dotted\\.hidden");
    Case cases[] = {
        {"missing directory", tree_.Path("Missing"), ""},
        {"a file, not a directory", tree_.AddFile("plain.txt"), tree_.Path("plain.txt")},
        {"only a dot-directory inside: empty, but its removal fails", tree_.Path("Dotted"), dotted},
        {"relative path", "relative_dir", ""},
        {"drive root", "C:\\", "C:\\"},
        {"empty record", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DirectoryPhase phase;
        EXPECT_EQ(ERR_DIR_NOT_REMOVED, phase.Run({c.record}));
        if (!c.survivor.empty()) {
            EXPECT_TRUE(PathExists(c.survivor));
        }
    }
}

TEST_F(DirectoryActionTest, DirectoryRecordedTwiceIsRemovedOnceAndReported)
{
    std::string twice = tree_.AddDirectory("Twice");
    EXPECT_EQ(ERR_DIR_NOT_REMOVED, phase_.Run({twice, twice}));
    EXPECT_FALSE(PathExists(twice));
}

TEST_F(DirectoryActionTest, EndOfKindWithoutRecordsAndRepeatedEndDoNothing)
{
    EXPECT_EQ(0, phase_.End());
    std::string one = tree_.AddDirectory("One");
    EXPECT_EQ(0, phase_.Run({one}));
    EXPECT_EQ(0, phase_.End());
    EXPECT_EQ(0u, phase_.state_.actionData);
    EXPECT_EQ(0, RemoveDirectoriesAction(&phase_.state_, 99, nullptr, "", 0, nullptr));
    EXPECT_EQ(0, RemoveDirectoriesAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr));
}

TEST_F(DirectoryActionTest, NetworkDrivesAreNeverVisitedOnWindowsNt)
{
    std::string share = tree_.AddDirectory("share");
    ASSERT_TRUE(DefineWineDrive('N', DRIVE_REMOTE, share));
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOTE), GetDriveTypeA("N:\\"));
    CreateDirectoryA("N:\\NtApp", nullptr);
    {
        ChooserWatch watch;
        EXPECT_EQ(0, phase_.Run({"N:\\NtApp"}));
        EXPECT_EQ(0u, watch.Sightings().size());
    }
    EXPECT_FALSE(PathExists(tree_.Path("share\\NtApp")));
    EXPECT_TRUE(RemoveWineDrive('N'));
}

}  // namespace
