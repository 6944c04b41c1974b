// Windows 95: restart-time deletion through the [rename] section of wininit.ini, the editing
// rules of that section, and a restart of the Wine session that really deletes the files.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/platform.h"
#include "services/deferred_ops.h"
#include "support/platform_emulation.h"
#include "support/temp_tree.h"
#include "support/wine_system.h"
#include "support/wininit_guard.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win95");

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH + 1];
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return length > 0 && length < sizeof shortPath ? std::string(shortPath) : std::string();
}

class WininitTest : public ::testing::Test {
protected:
    WininitTest() : ini_(guard_.IniPath()) {}
    WininitGuard guard_;
    std::string ini_;
};

struct RenameEditCase {
    const char* name;
    bool exists;
    const char* before;
    std::vector<const char*> lines;
    const char* after;
};

TEST_F(WininitTest, RenameSectionEditing)
{
    const RenameEditCase cases[] = {
        {"no file: created with the header and the entry", false, "", {"NUL=C:\\OLD\\A.DLL"},
         "[rename]\r\nNUL=C:\\OLD\\A.DLL"},
        {"empty file", true, "", {"NUL=X"}, "[rename]\r\nNUL=X"},
        {"other sections only: header and entry appended after the last line", true,
         "[boot]\r\nshell=Explorer.exe\r\n", {"NUL=X"}, "[boot]\r\nshell=Explorer.exe\r\n\r\n[rename]\r\nNUL=X"},
        {"entries present: the new one comes first", true, "[rename]\r\nNUL=C:\\OLD.TXT\r\n[other]\r\nkey=1",
         {"NUL=NEW"}, "[rename]\r\nNUL=NEW\r\nNUL=C:\\OLD.TXT\r\n[other]\r\nkey=1"},
        {"header found in any letter case; newest entry first", true, "[boot]\r\n[RENAME]\r\n",
         {"NUL=ONE", "NUL=TWO"}, "[boot]\r\n[RENAME]\r\nNUL=TWO\r\nNUL=ONE\r\n"},
        {"a header with blanks is another line: a second header is appended", true, " [rename] \r\nNUL=A",
         {"NUL=B"}, " [rename] \r\nNUL=A\r\n[rename]\r\nNUL=B"},
        {"the same entry twice gives two lines", true, "[Rename]", {"NUL=SAME", "NUL=SAME"},
         "[Rename]\r\nNUL=SAME\r\nNUL=SAME"},
    };
    for (const RenameEditCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(ini_.c_str());
        if (c.exists) {
            ASSERT_TRUE(WriteWholeFile(ini_, c.before));
        }
        for (const char* line : c.lines)
            EXPECT_EQ(0, AddWininitRename(line));
        EXPECT_EQ(c.after, ReadWholeFile(ini_));
    }
}

// The file belongs to Windows and to every other program with work pending for the restart: a line
// too long to be read as one must not come back split in two, which would make its tail a new line.
TEST_F(WininitTest, AFileWithALineTooLongToReadWholeIsLeftAsItWas)
{
    for (size_t length : {size_t(9000), size_t(20000)}) {
        SCOPED_TRACE(length);
        const std::string before =
            "[boot]\r\nnote=" + std::string(length, 'x') + "\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n";
        ASSERT_TRUE(WriteWholeFile(ini_, before));
        EXPECT_EQ(-1, AddWininitRename("NUL=C:\\NEW.TXT"));
        EXPECT_EQ(before, ReadWholeFile(ini_));
    }
    // Lines well within the limit are edited as usual.
    const std::string wide = "[boot]\r\nnote=" + std::string(8000, 'x') + "\r\n[rename]\r\nNUL=C:\\OLD.TXT";
    ASSERT_TRUE(WriteWholeFile(ini_, wide));
    EXPECT_EQ(0, AddWininitRename("NUL=C:\\NEW.TXT"));
    EXPECT_EQ("[boot]\r\nnote=" + std::string(8000, 'x') + "\r\n[rename]\r\nNUL=C:\\NEW.TXT\r\nNUL=C:\\OLD.TXT",
              ReadWholeFile(ini_));
}

TEST_F(WininitTest, FilesInUseAreDeletedByTheNextRestart)
{
    DetectPlatform();
    ASSERT_EQ(PLATFORM_WIN95, GetPlatformClass());
    EXPECT_EQ(0, DeferredOpsInit(GetPlatformClass()));

    TempTree tree("deferred_95");
    std::string longName = tree.AddFile("Long Directory Name\\A file with a long name.dat");
    std::string plain = tree.AddFile("plain.dll");
    std::string kept = tree.AddFile("Long Directory Name\\kept.txt");
    ASSERT_TRUE(WriteWholeFile(ini_, "[boot]\r\nshell=Explorer.exe\r\n"));

    HANDLE longHandle = CreateFileA(longName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE plainHandle = CreateFileA(plain.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(1, IsFileInUse(longName.c_str()));
    ASSERT_EQ(1, IsFileInUse(plain.c_str()));
    std::string longShort = ShortPath(longName);
    std::string plainShort = ShortPath(plain);
    ASSERT_EQ(std::string::npos, longShort.find(' '));
    ASSERT_NE(std::string::npos, longShort.find("~"));

    std::string pendingBefore = PendingFileRenames();
    EXPECT_EQ(0, ScheduleDeleteAtRestart(longName.c_str()));
    EXPECT_EQ(0, ScheduleDeleteAtRestart(plain.c_str()));
    EXPECT_EQ("[boot]\r\nshell=Explorer.exe\r\n\r\n[rename]\r\nNUL=" + plainShort + "\r\nNUL=" + longShort,
              ReadWholeFile(ini_));
    EXPECT_EQ(pendingBefore, PendingFileRenames());

    CloseHandle(longHandle);
    CloseHandle(plainHandle);
    EXPECT_TRUE(PathExists(longName));
    ASSERT_TRUE(SimulateWindowsRestart());
    EXPECT_FALSE(PathExists(longName));
    EXPECT_FALSE(PathExists(plain));
    EXPECT_TRUE(PathExists(kept));
    EXPECT_FALSE(PathExists(ini_));
}

}  // namespace
