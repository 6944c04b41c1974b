// Windows NT: a copied file and a confirmed shared file that are in use are left for the restart
// (the actions count them as done), and a restart of the Wine session removes them.
#include "file_actions_fixture.h"
#include "support/message_box_answerer.h"
#include "support/wine_system.h"

namespace {

TEST_F(FileActionsTest, FilesInUseGoAtTheNextRestart)
{
    ASSERT_NE(PLATFORM_WIN95, GetPlatformClass());
    std::string copied = tree_.AddFile("app\\running.exe");
    std::string shared = Counted(tree_.AddFile("common\\loaded.dll"), 1);
    HANDLE copiedHandle = CreateFileA(copied.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE sharedHandle = CreateFileA(shared.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);

    EXPECT_EQ(0, RunCf(copied, 0));
    EXPECT_EQ(0, RunCsf(shared, shared, 0));
    EXPECT_EQ(1, answerer.Count());
    EXPECT_EQ("none", CountOf(shared));
    std::string pending = PendingFileRenames();
    EXPECT_NE(std::string::npos, pending.find(copied));
    EXPECT_NE(std::string::npos, pending.find(shared));

    CloseHandle(copiedHandle);
    CloseHandle(sharedHandle);
    EXPECT_TRUE(PathExists(copied));
    EXPECT_TRUE(PathExists(shared));
    ASSERT_TRUE(SimulateWindowsRestart());
    EXPECT_FALSE(PathExists(copied));
    EXPECT_FALSE(PathExists(shared));
}

}  // namespace
