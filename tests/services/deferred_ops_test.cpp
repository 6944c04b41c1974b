// Whether a file is in use: a loaded module, a file another handle holds, a directory whose
// temporary names are all taken; and that the tests leave the file exactly as they found it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "services/deferred_ops.h"
#include "support/program_resources.h"
#include "support/temp_tree.h"
#include "support/wine_system.h"

namespace {

class InUseTest : public ::testing::Test {
protected:
    InUseTest() : tree_("deferred_inuse") {}
    TempTree tree_;
};

TEST(DeferredOpsInitTest, SchedulingIsRefusedUntilInitialisedThenInitialisesOnce)
{
    TempTree tree("deferred_init");
    std::string file = tree.AddFile("early.txt");
    std::string pendingBefore = PendingFileRenames();

    EXPECT_EQ(-1, ScheduleDeleteAtRestart(file.c_str()));
    EXPECT_EQ(pendingBefore, PendingFileRenames());

    EXPECT_EQ(0, DeferredOpsInit(2));
    EXPECT_EQ(1, DeferredOpsInit(1));
}

TEST_F(InUseTest, MissingFileIsNotInUse)
{
    EXPECT_EQ(0, IsFileInUse(tree_.Path("absent.dll").c_str()));
    EXPECT_EQ(0, IsFileInUse(""));
}

TEST_F(InUseTest, OnlyPlainFilesCanBeInUse)
{
    std::string directory = tree_.AddDirectory("folder");
    tree_.AddFile("folder\\inside.txt");
    HANDLE held = CreateFileA(tree_.Path("folder\\inside.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    EXPECT_EQ(0, IsFileInUse(directory.c_str()));
    EXPECT_EQ(0, IsFileInUse(tree_.Path("folder\\*.txt").c_str()));
    EXPECT_EQ(0, IsFileInUse(tree_.Path("folder\\insid?.txt").c_str()));
    CloseHandle(held);
    EXPECT_TRUE(PathExists(tree_.Path("folder\\inside.txt")));
}

TEST_F(InUseTest, ClosedFileIsNotInUseAndIsLeftAsItWas)
{
    std::string file = tree_.AddFile("free.txt", "contents");
    EXPECT_EQ(0, IsFileInUse(file.c_str()));
    EXPECT_EQ("contents", ReadWholeFile(file));
    EXPECT_FALSE(PathExists(tree_.Path("_fty0.231")));
}

TEST_F(InUseTest, FileHeldOpenIsInUseWhateverItsSharing)
{
    const DWORD sharings[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    for (DWORD sharing : sharings) {
        SCOPED_TRACE(sharing);
        std::string file = tree_.AddFile("held.txt", "held");
        HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_EQ(1, IsFileInUse(file.c_str()));
        CloseHandle(held);
        EXPECT_EQ("held", ReadWholeFile(file));
        EXPECT_EQ(0, IsFileInUse(file.c_str()));
    }
}

TEST_F(InUseTest, LoadedModuleIsInUse)
{
    char self[MAX_PATH + 1];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(1, IsFileInUse(self));

    std::string copy = tree_.Path("loaded.dll");
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\no_unregister.dll").c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(1, IsFileInUse(copy.c_str()));
    FreeLibrary(module);
    EXPECT_EQ(0, IsFileInUse(copy.c_str()));
}

TEST_F(InUseTest, AttributesAreRestoredWhetherOrNotTheFileIsInUse)
{
    const DWORD attributeSets[] = {
        FILE_ATTRIBUTE_READONLY,
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM,
        FILE_ATTRIBUTE_HIDDEN,
    };
    for (DWORD attributes : attributeSets) {
        SCOPED_TRACE(attributes);
        std::string file = tree_.AddFile("marked.txt");
        ASSERT_TRUE(SetFileAttributesA(file.c_str(), attributes));
        DWORD before = GetFileAttributesA(file.c_str());

        EXPECT_EQ(0, IsFileInUse(file.c_str()));
        EXPECT_EQ(before, GetFileAttributesA(file.c_str()));

        HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_EQ(1, IsFileInUse(file.c_str()));
        CloseHandle(held);
        EXPECT_EQ(before, GetFileAttributesA(file.c_str()));
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(InUseTest, EveryFileIsInUseWhenAllThousandTemporaryNamesAreTaken)
{
    std::string first = tree_.AddFile("crowded\\first.dll", "first");
    std::string second = tree_.AddFile("crowded\\second.txt", "second");
    for (int n = 0; n < 1000; ++n)
        tree_.AddFile("crowded\\_fty" + std::to_string(n) + ".231", "taken");

    EXPECT_EQ(1, IsFileInUse(first.c_str()));
    EXPECT_EQ(1, IsFileInUse(second.c_str()));
    EXPECT_EQ("first", ReadWholeFile(first));
    EXPECT_EQ("taken", ReadWholeFile(tree_.Path("crowded\\_fty999.231")));

    ASSERT_TRUE(DeleteFileA(tree_.Path("crowded\\_fty999.231").c_str()));
    EXPECT_EQ(0, IsFileInUse(first.c_str()));
    EXPECT_EQ("first", ReadWholeFile(first));
    EXPECT_FALSE(PathExists(tree_.Path("crowded\\_fty999.231")));
}

}  // namespace
