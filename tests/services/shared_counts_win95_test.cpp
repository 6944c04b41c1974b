// Shared-file counts as Windows 95 keeps them: under the file's directory as given, followed by the
// file's short (8.3) name. Runs under Wine's Windows 95 emulation.
#include <gtest/gtest.h>

#include <string>

#include "app/platform.h"
#include "core/pool.h"
#include "services/shared_counts.h"
#include "support/platform_emulation.h"
#include "support/registry_keys.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win95");

const char kCounts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SharedCountsWin95Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        directory_ = std::string(temp) + "Uninst Shared Count Directory";
        CreateDirectoryA(directory_.c_str(), nullptr);
        longPath_ = directory_ + "\\Sharedlongname.dll";
        HANDLE file = CreateFileA(longPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        char shortPath[MAX_PATH + 1];
        ASSERT_GT(GetShortPathNameA(longPath_.c_str(), shortPath, sizeof shortPath), 0u);
        const char* shortName = strrchr(shortPath, '\\') + 1;
        countedName_ = directory_ + "\\" + shortName;
        ASSERT_NE(countedName_, longPath_) << "the platform gave the file no short name";

        MemoryPool pool = PoolCreate(16384, POOL_STANDARD);
        ASSERT_NE(pool, POOL_NONE);
        ASSERT_EQ(SharedCountInit(pool, PLATFORM_WIN95), 0);
    }
    void TearDown() override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, countedName_.c_str());
            RegDeleteValueA(key, longPath_.c_str());
            RegCloseKey(key);
        }
        DeleteFileA(longPath_.c_str());
        RemoveDirectoryA(directory_.c_str());
    }
    std::string directory_;
    std::string longPath_;
    std::string countedName_;
};

TEST_F(SharedCountsWin95Test, TheProgramSeesWindows95)
{
    EXPECT_EQ(kPlatform, 1);
    EXPECT_NE(GetVersion() & 0x80000000u, 0u);
}

TEST_F(SharedCountsWin95Test, ALongFileNameIsCountedUnderItsLongDirectoryAndShortName)
{
    char name[MAX_PATH + 1];
    ASSERT_EQ(SharedValueName(longPath_.c_str(), name, sizeof name), 1);
    EXPECT_STREQ(name, countedName_.c_str());

    ASSERT_TRUE(TestSetDword(HKEY_LOCAL_MACHINE, kCounts, countedName_.c_str(), 2));
    EXPECT_EQ(SharedCountAdjust(longPath_.c_str(), -1, 0), 1);
    std::string data;
    ASSERT_TRUE(TestGetValue(HKEY_LOCAL_MACHINE, kCounts, countedName_.c_str(), nullptr, &data));
    EXPECT_EQ(data, std::string("\x01\0\0\0", 4));
    EXPECT_FALSE(TestValueExists(HKEY_LOCAL_MACHINE, kCounts, longPath_.c_str()));

    EXPECT_EQ(SharedCountAdjust(longPath_.c_str(), -1, 0), 0);
    EXPECT_FALSE(TestValueExists(HKEY_LOCAL_MACHINE, kCounts, countedName_.c_str()));
}

TEST_F(SharedCountsWin95Test, AFileWithoutShortNameKeepsItsPath)
{
    // A file that no longer exists has no short name to ask for.
    std::string missing = directory_ + "\\Vanishedlongname.dll";
    char name[MAX_PATH + 1];
    ASSERT_EQ(SharedValueName(missing.c_str(), name, sizeof name), 1);
    EXPECT_STREQ(name, missing.c_str());
}

}  // namespace
