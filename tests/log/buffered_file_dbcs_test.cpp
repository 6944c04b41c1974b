// Under code page 932, a directory name ending in a double-byte character whose trail byte is 0x5C
// (a backslash's value) still needs its separator.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "log/buffered_file.h"
#include "support/scratch_dir.h"

namespace {

const char TABLE_KANJI[] = "\x95\x5C";  // trail byte 0x5C

TEST(BufferedFileDbcs, TempNameGetsItsSeparatorAfterATrailBackslashByte)
{
    ASSERT_EQ(GetACP(), 932u);
    ScratchDir scratch("log_dbcs");
    std::string directory = scratch / (std::string("dir") + TABLE_KANJI);
    ASSERT_TRUE(scratch.makeDir(std::string("dir") + TABLE_KANJI));
    char name[MAX_PATH + 1];
    ASSERT_EQ(FindFreeTempName(directory.c_str(), name), 1);
    EXPECT_EQ(std::string(name), directory + "\\_fty0.231");
    ASSERT_TRUE(scratch.writeFile(std::string("dir") + TABLE_KANJI + "\\_fty0.231"));
    ASSERT_EQ(FindFreeTempName(directory.c_str(), name), 1);
    EXPECT_EQ(std::string(name), directory + "\\_fty1.231");
}

TEST(BufferedFileDbcs, CopyKeepsDoubleBytePaths)
{
    ScratchDir scratch("log_dbcs_copy");
    std::string source = scratch / (std::string("src") + TABLE_KANJI + ".bin");
    std::string destination = scratch / (std::string("dst") + TABLE_KANJI + ".bin");
    ASSERT_TRUE(scratch.writeFile(std::string("src") + TABLE_KANJI + ".bin", "contents"));
    EXPECT_EQ(FileCopy(source.c_str(), destination.c_str()), 0);
    BufferedFile file = FileOpen(destination.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize(file), 8u);
    EXPECT_EQ(FileClose(file), 0);
}

}  // namespace
