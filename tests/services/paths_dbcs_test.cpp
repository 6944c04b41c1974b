// Path routines under the Japanese ANSI code page (932), on names holding double-byte characters whose
// trail byte has the value of a backslash: no routine may take that byte for a separator.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "services/paths.h"
#include "support/scratch_dir.h"

// Two characters of code page 932 whose second byte is 0x5C, the value of a backslash.
#define HYO "\x95\x5C"
#define SO "\x83\x5C"

namespace {

class Dbcs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "these tests need the Japanese ANSI code page; run them with "
                                     "LC_ALL=ja_JP.UTF-8 and the ja_JP.UTF-8 locale generated";
        ASSERT_TRUE(IsDBCSLeadByte(0x95));
        ASSERT_TRUE(IsDBCSLeadByte(0x83));
    }
};

struct TextCase {
    const char* input;
    const char* expected;
};

using PathOut = int (*)(const char*, char*, size_t);

void CheckOutTable(const char* routine, PathOut run, const std::vector<TextCase>& cases)
{
    for (const TextCase& c : cases) {
        char out[PATH_BUFFER_SIZE] = "garbage";
        EXPECT_EQ(1, run(c.input, out, sizeof out)) << routine << "(" << c.input << ")";
        EXPECT_STREQ(c.expected, out) << routine << "(" << c.input << ")";
    }
}

using InPlace = int (*)(char*);

void CheckInPlaceTable(const char* routine, InPlace run, int result, const std::vector<TextCase>& cases)
{
    for (const TextCase& c : cases) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(result, run(path)) << routine << "(" << c.input << ")";
        EXPECT_STREQ(c.expected, path) << routine << "(" << c.input << ")";
    }
}

}  // namespace

TEST_F(Dbcs, BackslashAtTheEnd)
{
    const std::vector<TextCase> added = {
        {"C:\\dir\\" HYO, "C:\\dir\\" HYO "\\"},
        {SO, SO "\\"},
        {"C:\\" HYO "\\", "C:\\" HYO "\\"},
    };
    for (const TextCase& c : added) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(1, AddBackslash(path, sizeof path)) << c.input;
        EXPECT_STREQ(c.expected, path) << c.input;
    }
    CheckInPlaceTable("RemoveBackslash", RemoveBackslash, 1,
                      {
                          {"C:\\" HYO, "C:\\" HYO},
                          {"C:\\" SO "\\", "C:\\" SO},
                          {HYO, HYO},
                      });
}

TEST_F(Dbcs, DirectoryNameAndParent)
{
    CheckOutTable("GetDirectoryPart", GetDirectoryPart,
                  {
                      {"C:\\dir\\" HYO "x.txt", "C:\\dir"},
                      {"C:\\" HYO "\\file", "C:\\" HYO},
                      {"C:\\" HYO, "C:\\"},
                      {SO "\\" HYO, SO "\\"},
                      {HYO SO, ""},
                  });
    CheckOutTable("GetFileNamePart", GetFileNamePart,
                  {
                      {"C:\\dir\\" SO "x.txt", SO "x.txt"},
                      {"C:\\" HYO SO, HYO SO},
                      {"C:" HYO, HYO},
                  });
    CheckOutTable("GetParentPath", GetParentPath,
                  {
                      {"C:\\a\\" HYO "b", "C:\\a"},
                      {"C:\\" HYO, "C:\\"},
                      {"C:\\" HYO "\\" SO, "C:\\" HYO},
                      {HYO "\\" SO, HYO},
                      {HYO, ""},
                      {"\\\\srv\\" HYO "\\" SO, "\\\\srv\\" HYO},
                  });
}

TEST_F(Dbcs, JoinAndExtensions)
{
    char joined[PATH_BUFFER_SIZE];
    EXPECT_EQ(1, JoinPath(joined, "C:\\" HYO, "f", sizeof joined));
    EXPECT_STREQ("C:\\" HYO "\\f", joined);
    strcpy(joined, "C:\\" SO);
    EXPECT_EQ(1, AppendPath(joined, HYO, sizeof joined));
    EXPECT_STREQ("C:\\" SO "\\" HYO, joined);

    char extension[PATH_BUFFER_SIZE];
    EXPECT_EQ(1, GetExtension("C:\\dir\\file." HYO, extension, sizeof extension));
    EXPECT_STREQ(HYO, extension);
    EXPECT_EQ(1, GetExtension("C:\\d." HYO "\\file." SO "x", extension, sizeof extension));
    EXPECT_STREQ(SO "x", extension);
    EXPECT_EQ(0, GetExtension("C:\\" HYO ".d\\file", extension, sizeof extension));

    CheckInPlaceTable("RemoveExtension", RemoveExtension, 1,
                      {
                          {"C:\\" HYO "\\a." SO, "C:\\" HYO "\\a"},
                          {"C:\\d." HYO "\\a.b", "C:\\d." HYO "\\a"},
                      });
    char changed[PATH_BUFFER_SIZE] = "C:\\x\\a." HYO;
    EXPECT_EQ(1, ChangeExtension(changed, "bak", sizeof changed));
    EXPECT_STREQ("C:\\x\\a.bak", changed);

    char path[PATH_BUFFER_SIZE] = "  C:\\" SO "\\" HYO ".EXE \t";
    char name[PATH_BUFFER_SIZE];
    EXPECT_EQ(1, GetBaseName(path, name, sizeof name));
    EXPECT_STREQ(HYO, name);
    EXPECT_STREQ("C:\\" SO "\\" HYO ".EXE", path);
}

TEST_F(Dbcs, TokensKeepDoubleByteCharacters)
{
    const struct {
        const char* text;
        const char* separator;
        std::vector<std::string> expected;
    } cases[] = {
        {"Software\\" HYO "\\" SO "x", "\\", {"Software", HYO, SO "x"}},
        {HYO SO, "\\", {HYO SO}},
        {HYO ";" SO, ";", {HYO, SO}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> tokens;
        const char* position = c.text;
        while (position != nullptr && *position != '\0') {
            char token[PATH_BUFFER_SIZE];
            position = NextToken(position, token, c.separator, sizeof token);
            tokens.push_back(token);
        }
        EXPECT_EQ(c.expected, tokens) << c.text;
    }

    // A double-byte character that does not fit whole is not cut in half.
    char token[3];
    EXPECT_EQ(nullptr, NextToken("a" HYO, token, ";", sizeof token));
    EXPECT_STREQ("", token);
    const char* text = "a" HYO;
    char fits[4];
    EXPECT_EQ(text + 3, NextToken(text, fits, ";", sizeof fits));
    EXPECT_STREQ("a" HYO, fits);
}

TEST_F(Dbcs, CollapseBackslashes)
{
    CheckInPlaceTable("CollapseBackslashes", CollapseBackslashes, 0,
                      {
                          {"C:\\" HYO "\\x", "C:\\" HYO "\\x"},
                          {"C:\\" HYO SO "\\" SO, "C:\\" HYO SO "\\" SO},
                          {"\\\\" HYO "\\share", "\\\\" HYO "\\share"},
                      });
    CheckInPlaceTable("CollapseBackslashes", CollapseBackslashes, 1,
                      {
                          {"C:\\" HYO "\\\\x", "C:\\" HYO "\\x"},
                          {"C:\\\\" SO "\\\\\\" HYO, "C:\\" SO "\\" HYO},
                      });
}

TEST_F(Dbcs, SplitUncPath)
{
    const struct {
        const char* path;
        const char* root;
        const char* rest;
    } cases[] = {
        {"\\\\srv\\" HYO "\\dir", "\\\\srv\\" HYO "\\", "\\dir"},
        {"\\\\" SO "\\share\\" HYO, "\\\\" SO "\\share\\", "\\" HYO},
        {"\\\\srv\\" HYO, "\\\\srv\\" HYO "\\", "\\"},
    };
    for (const auto& c : cases) {
        char root[PATH_BUFFER_SIZE];
        char rest[PATH_BUFFER_SIZE];
        EXPECT_EQ(1, SplitUncPath(c.path, root, rest, sizeof root, sizeof rest)) << c.path;
        EXPECT_STREQ(c.root, root) << c.path;
        EXPECT_STREQ(c.rest, rest) << c.path;
    }
    char root[PATH_BUFFER_SIZE];
    char rest[PATH_BUFFER_SIZE];
    // The only "backslash" after the server name is a trail byte: there is no share.
    EXPECT_EQ(0, SplitUncPath("\\\\" HYO, root, rest, sizeof root, sizeof rest));
}

TEST_F(Dbcs, FilesInDoubleByteDirectories)
{
    ScratchDir scratch("uninst_paths_dbcs");
    std::string chain = scratch / (HYO "\\" SO "\\x");
    char path[PATH_BUFFER_SIZE];
    strcpy(path, chain.c_str());
    ASSERT_EQ(1, EnsureDirectory(path));
    EXPECT_STREQ(chain.c_str(), path);
    EXPECT_EQ(1, IsDirectory((scratch / HYO).c_str()));
    EXPECT_EQ(1, IsDirectory((scratch / (HYO "\\" SO)).c_str()));
    EXPECT_EQ(1, IsDirectory((chain + "\\").c_str()));

    // The directory name ends in a trail byte 0x5C; it must not be taken as "C:\...\<lead byte>\".
    std::string soDir = scratch / (HYO "\\" SO);
    EXPECT_EQ(0, IsDirectoryEmpty(soDir.c_str()));
    EXPECT_EQ(1, IsDirectoryEmpty(chain.c_str()));

    ASSERT_TRUE(scratch.writeFile(HYO "\\" SO ".txt"));
    EXPECT_EQ(1, FileExists((scratch / (HYO "\\" SO ".txt")).c_str()));
    EXPECT_EQ(1, FileExists((scratch / (HYO "\\*.txt")).c_str()));

    // A file named like the next directory of a chain blocks it.
    char blocked[PATH_BUFFER_SIZE];
    strcpy(blocked, (scratch / (HYO "\\" SO ".txt\\" HYO)).c_str());
    EXPECT_EQ(0, EnsureDirectory(blocked));

    char shortPath[PATH_BUFFER_SIZE];
    EXPECT_EQ(1, GetShortPath((chain + "\\").c_str(), shortPath, sizeof shortPath));
    char expected[PATH_BUFFER_SIZE];
    ASSERT_NE(0u, GetShortPathNameA(chain.c_str(), expected, sizeof expected));
    EXPECT_STREQ(expected, shortPath);

    EXPECT_NE(0, RemoveDirectoryPath((chain + "\\").c_str()));
    EXPECT_EQ(0, IsDirectory(chain.c_str()));
    EXPECT_EQ(1, IsDirectoryEmpty(soDir.c_str()));
}
