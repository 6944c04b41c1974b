// Windows NT: a file in use is registered as a delayed move without target, and a restart of the
// Wine session really deletes it. The one running Wine session is kept from scheduling to
// checking, because a fresh session would carry the deletions out by itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/platform.h"
#include "services/deferred_ops.h"
#include "support/temp_tree.h"
#include "support/wine_system.h"

namespace {

HANDLE HoldOpen(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(DeferredDeleteNtTest, FilesInUseAreDeletedAtTheNextRestart)
{
    DetectPlatform();
    ASSERT_NE(PLATFORM_WIN95, GetPlatformClass());
    ASSERT_NE(PLATFORM_WIN32S, GetPlatformClass());
    DeferredOpsInit(GetPlatformClass());

    TempTree tree("deferred_nt");
    std::string plain = tree.AddFile("plain.dll");
    std::string longName = tree.AddFile("Long Directory Name\\A file with a long name.dat");
    std::string kept = tree.AddFile("Long Directory Name\\kept.txt");

    HANDLE plainHandle = HoldOpen(plain);
    HANDLE longHandle = HoldOpen(longName);
    ASSERT_NE(INVALID_HANDLE_VALUE, plainHandle);
    ASSERT_NE(INVALID_HANDLE_VALUE, longHandle);
    ASSERT_EQ(1, IsFileInUse(plain.c_str()));
    ASSERT_EQ(1, IsFileInUse(longName.c_str()));

    EXPECT_EQ(0, ScheduleDeleteAtRestart(plain.c_str()));
    EXPECT_EQ(0, ScheduleDeleteAtRestart(longName.c_str()));
    std::string pending = PendingFileRenames();
    EXPECT_NE(std::string::npos, pending.find(plain));
    EXPECT_NE(std::string::npos, pending.find(longName));

    // Still there until the restart: scheduling deletes nothing by itself.
    CloseHandle(plainHandle);
    CloseHandle(longHandle);
    EXPECT_TRUE(PathExists(plain));
    EXPECT_TRUE(PathExists(longName));

    ASSERT_TRUE(SimulateWindowsRestart());
    EXPECT_FALSE(PathExists(plain));
    EXPECT_FALSE(PathExists(longName));
    EXPECT_TRUE(PathExists(kept));
}

}  // namespace
