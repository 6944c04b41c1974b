// Path texts, file-system routines and the refusal of texts that do not fit a caller's buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "services/paths.h"
#include "support/scratch_dir.h"

namespace {

const char kGuardByte = 0x7E;

// A caller's buffer of `size` bytes followed by guard bytes that no routine may touch.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t size, const char* text = "") : bytes(size + 32, kGuardByte), size(size)
    {
        std::string initial = text;
        if (initial.size() < size) {
            std::copy(initial.c_str(), initial.c_str() + initial.size() + 1, bytes.begin());
        }
    }
    char* data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.data()); }
    bool guardIntact() const
    {
        for (size_t i = size; i < bytes.size(); ++i) {
            if (bytes[i] != kGuardByte) {
                return false;
            }
        }
        return true;
    }
    std::vector<char> bytes;
    size_t size;
};

struct TextCase {
    const char* input;
    const char* expected;
};

struct TextResultCase {
    const char* input;
    const char* expected;
    int result;
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

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}

// A drive letter that names no drive of this machine, or 0.
char UnusedDriveLetter()
{
    DWORD drives = GetLogicalDrives();
    for (char c = 'Q'; c <= 'Y'; ++c) {
        if (!(drives & (1u << (c - 'A')))) {
            return c;
        }
    }
    return 0;
}

}  // namespace

// --- Path texts -------------------------------------------------------------------------------

TEST(PathTexts, AddBackslash)
{
    const std::vector<TextCase> cases = {
        {"", "\\"}, {"C:", "C:\\"}, {"C:\\", "C:\\"}, {"dir\\", "dir\\"}, {"dir", "dir\\"}, {"\\\\srv\\share", "\\\\srv\\share\\"},
    };
    for (const TextCase& c : cases) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(1, AddBackslash(path, sizeof path)) << c.input;
        EXPECT_STREQ(c.expected, path) << c.input;
    }
}

TEST(PathTexts, AddBackslashRefusesAFullBuffer)
{
    GuardedBuffer full(4, "abc");
    EXPECT_EQ(0, AddBackslash(full.data(), full.size));
    EXPECT_EQ("abc", full.text());
    EXPECT_TRUE(full.guardIntact());

    GuardedBuffer fits(5, "abc");
    EXPECT_EQ(1, AddBackslash(fits.data(), fits.size));
    EXPECT_EQ("abc\\", fits.text());
    EXPECT_TRUE(fits.guardIntact());

    // A text that is not terminated inside its buffer is left alone.
    GuardedBuffer unterminated(3);
    memcpy(unterminated.data(), "abc", 3);
    EXPECT_EQ(0, AddBackslash(unterminated.data(), unterminated.size));
    EXPECT_TRUE(unterminated.guardIntact());
    EXPECT_EQ(0, AddBackslash(nullptr, 10));
}

TEST(PathTexts, RemoveBackslash)
{
    const std::vector<TextCase> cases = {
        {"C:\\", "C:\\"},       {"\\", "\\"},       {"C:\\dir\\", "C:\\dir"},
        {"\\\\server\\share\\", "\\\\server\\share"}, {"", ""}, {"dir", "dir"}, {"C:", "C:"},
    };
    for (const TextCase& c : cases) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(1, RemoveBackslash(path)) << c.input;
        EXPECT_STREQ(c.expected, path) << c.input;
    }
    EXPECT_EQ(0, RemoveBackslash(nullptr));
}

TEST(PathTexts, GetDirectoryPart)
{
    CheckOutTable("GetDirectoryPart", GetDirectoryPart,
                  {
                      {"C:\\dir\\file.ext", "C:\\dir"},
                      {"C:\\file.ext", "C:\\"},
                      {"C:file.ext", "C:"},
                      {"\\file.ext", "\\"},
                      {"dir\\file.ext", "dir\\"},
                      {"dir\\sub\\file.ext", "dir\\sub"},
                      {"file.ext", ""},
                      {"\\\\server\\share\\file", "\\\\server\\share"},
                      {"C:\\dir\\", "C:\\dir"},
                      {"", ""},
                  });
}

TEST(PathTexts, GetParentPath)
{
    CheckOutTable("GetParentPath", GetParentPath,
                  {
                      {"C:\\a\\b", "C:\\a"},
                      {"C:\\a", "C:\\"},
                      {"C:\\a\\", "C:\\"},
                      {"C:\\", "C:\\"},
                      {"C:a", "C:"},
                      {"\\a", "\\"},
                      {"\\", "\\"},
                      {"a\\b", "a"},
                      {"a", ""},
                      {"\\\\server\\share\\dir", "\\\\server\\share"},
                      {"", ""},
                  });
}

TEST(PathTexts, GetFileNamePart)
{
    CheckOutTable("GetFileNamePart", GetFileNamePart,
                  {
                      {"C:\\dir\\file.ext", "file.ext"},
                      {"C:file.ext", "file.ext"},
                      {"file.ext", "file.ext"},
                      {"dir\\", ""},
                      {"C:\\WINDOWS\\ProgMan.exe", "ProgMan.exe"},
                  });
}

TEST(PathTexts, JoinAndAppend)
{
    const struct {
        const char* directory;
        const char* name;
        const char* expected;
    } cases[] = {
        {"C:\\dir", "file", "C:\\dir\\file"},
        {"C:\\dir\\", "file", "C:\\dir\\file"},
        {"C:", "file", "C:\\file"},
        {"", "file", "\\file"},
        {"C:\\dir", "", "C:\\dir\\"},
    };
    for (const auto& c : cases) {
        char joined[PATH_BUFFER_SIZE] = "garbage";
        EXPECT_EQ(1, JoinPath(joined, c.directory, c.name, sizeof joined));
        EXPECT_STREQ(c.expected, joined);
        char appended[PATH_BUFFER_SIZE];
        strcpy(appended, c.directory);
        EXPECT_EQ(1, AppendPath(appended, c.name, sizeof appended));
        EXPECT_STREQ(c.expected, appended);
    }
}

TEST(PathTexts, JoinAndAppendRefuseWhatDoesNotFit)
{
    // "C:\dir\file" needs 12 bytes.
    GuardedBuffer exact(12);
    EXPECT_EQ(1, JoinPath(exact.data(), "C:\\dir", "file", exact.size));
    EXPECT_EQ("C:\\dir\\file", exact.text());

    GuardedBuffer shortJoin(11, "old");
    EXPECT_EQ(0, JoinPath(shortJoin.data(), "C:\\dir", "file", shortJoin.size));
    EXPECT_EQ("", shortJoin.text());
    EXPECT_TRUE(shortJoin.guardIntact());

    GuardedBuffer shortAppend(11, "C:\\dir");
    EXPECT_EQ(0, AppendPath(shortAppend.data(), "file", shortAppend.size));
    EXPECT_EQ("C:\\dir", shortAppend.text());
    EXPECT_TRUE(shortAppend.guardIntact());

    // The joined path may be built in the directory's own buffer.
    char inPlace[PATH_BUFFER_SIZE] = "C:\\dir";
    EXPECT_EQ(1, JoinPath(inPlace, inPlace, "x", sizeof inPlace));
    EXPECT_STREQ("C:\\dir\\x", inPlace);
    EXPECT_EQ(0, JoinPath(inPlace, nullptr, "x", sizeof inPlace));
}

TEST(PathTexts, Extensions)
{
    const std::vector<TextResultCase> extensions = {
        {"C:\\dir.d\\file", "", 0}, {"C:\\dir\\file.tar.gz", "gz", 1}, {"file.", "", 1},
        {"", "", 0},                {"a.b\\c.txt", "txt", 1},         {".profile", "profile", 1},
    };
    for (const TextResultCase& c : extensions) {
        char extension[PATH_BUFFER_SIZE] = "garbage";
        EXPECT_EQ(c.result, GetExtension(c.input, extension, sizeof extension)) << c.input;
        EXPECT_STREQ(c.expected, extension) << c.input;
    }
    const std::vector<TextResultCase> removals = {
        {"C:\\dir.d\\file", "C:\\dir.d\\file", 0}, {"C:\\dir\\file.tar.gz", "C:\\dir\\file.tar", 1},
        {"file.", "file", 1},                     {"", "", 0},
    };
    for (const TextResultCase& c : removals) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(c.result, RemoveExtension(path)) << c.input;
        EXPECT_STREQ(c.expected, path) << c.input;
    }
}

TEST(PathTexts, ChangeExtension)
{
    const struct {
        const char* path;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"C:\\dir\\a.txt", "bak", "C:\\dir\\a.bak"}, {"C:\\dir\\a.txt", ".bak", "C:\\dir\\a.bak"},
        {"C:\\dir.d\\a", "lnk", "C:\\dir.d\\a.lnk"}, {"a.txt", "", "a."},
    };
    for (const auto& c : cases) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.path);
        EXPECT_EQ(1, ChangeExtension(path, c.extension, sizeof path)) << c.path;
        EXPECT_STREQ(c.expected, path) << c.path;
    }
    // "a.txt" -> "a.longer" needs 9 bytes.
    GuardedBuffer tight(8, "a.txt");
    EXPECT_EQ(0, ChangeExtension(tight.data(), "longer", tight.size));
    EXPECT_EQ("a.txt", tight.text());
    EXPECT_TRUE(tight.guardIntact());
    GuardedBuffer enough(9, "a.txt");
    EXPECT_EQ(1, ChangeExtension(enough.data(), "longer", enough.size));
    EXPECT_EQ("a.longer", enough.text());
}

TEST(PathTexts, BaseNameTrimsThePath)
{
    char path[PATH_BUFFER_SIZE] = "  C:\\Apps\\Tool.EXE  ";
    char name[PATH_BUFFER_SIZE] = "garbage";
    EXPECT_EQ(1, GetBaseName(path, name, sizeof name));
    EXPECT_STREQ("Tool", name);
    EXPECT_STREQ("C:\\Apps\\Tool.EXE", path);

    char plain[PATH_BUFFER_SIZE] = "\tC:\\dir.d\\README";
    EXPECT_EQ(0, GetBaseName(plain, name, sizeof name));
    EXPECT_STREQ("README", name);

    // Only the name without its extension has to fit.
    char longExtension[PATH_BUFFER_SIZE] = "C:\\x\\Tool.extension";
    GuardedBuffer small(5);
    EXPECT_EQ(1, GetBaseName(longExtension, small.data(), small.size));
    EXPECT_EQ("Tool", small.text());
    char longName[PATH_BUFFER_SIZE] = "C:\\x\\Toolbox.e";
    GuardedBuffer tooSmall(5, "old");
    EXPECT_EQ(0, GetBaseName(longName, tooSmall.data(), tooSmall.size));
    EXPECT_EQ("", tooSmall.text());
    EXPECT_TRUE(tooSmall.guardIntact());
}

TEST(PathTexts, TrimBlanks)
{
    const std::vector<TextCase> cases = {
        {" \t a b \t ", "a b"}, {"   ", ""}, {"", ""}, {"x", "x"}, {"\tC:\\a b\\", "C:\\a b\\"},
    };
    for (const TextCase& c : cases) {
        char text[PATH_BUFFER_SIZE];
        strcpy(text, c.input);
        EXPECT_EQ(1, TrimBlanks(text)) << c.input;
        EXPECT_STREQ(c.expected, text) << "[" << c.input << "]";
    }
    EXPECT_EQ(0, TrimBlanks(nullptr));
}

// Walks a text the way the callers do and collects the tokens.
std::vector<std::string> Tokens(const char* text, const char* separator)
{
    std::vector<std::string> tokens;
    const char* position = text;
    while (position != nullptr && *position != '\0') {
        char token[PATH_BUFFER_SIZE];
        position = NextToken(position, token, separator, sizeof token);
        tokens.push_back(token);
    }
    return tokens;
}

TEST(PathTexts, NextTokenWalksFields)
{
    using Tokens_ = std::vector<std::string>;
    const struct {
        const char* text;
        const char* separator;
        Tokens_ expected;
    } cases[] = {
        {"a;b", ";", {"a", "b"}},
        {";b", ";", {"", "b"}},
        {"a;;b;", ";", {"a", "", "b"}},
        {"Software\\Maker\\App", "\\", {"Software", "Maker", "App"}},
        {"\"Group\",\"Item\"", ",", {"\"Group\"", "\"Item\""}},
        {"(a)", "(", {"", "a)"}},
        {"a;b", "", {"a;b"}},
        {"a;b", nullptr, {"a;b"}},
        {"a;b", ";,", {"a", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, Tokens(c.text, c.separator)) << c.text;
    }
}

TEST(PathTexts, NextTokenPositions)
{
    const char* text = "ab;cd";
    char token[8];
    const char* rest = NextToken(text, token, ";", sizeof token);
    EXPECT_STREQ("ab", token);
    EXPECT_EQ(text + 3, rest);
    rest = NextToken(rest, token, ";", sizeof token);
    EXPECT_STREQ("cd", token);
    EXPECT_EQ(text + 5, rest);
    rest = NextToken(rest, token, ";", sizeof token);
    EXPECT_STREQ("", token);
    EXPECT_EQ(text + 5, rest);
}

TEST(PathTexts, NextTokenRefusesAnOverlongToken)
{
    // "abc" fits into four bytes, "abcd" does not.
    GuardedBuffer fits(4);
    const char* text = "abc;abcd;e";
    const char* rest = NextToken(text, fits.data(), ";", fits.size);
    EXPECT_EQ("abc", fits.text());
    ASSERT_EQ(text + 4, rest);

    GuardedBuffer tooSmall(4, "old");
    EXPECT_EQ(nullptr, NextToken(rest, tooSmall.data(), ";", tooSmall.size));
    EXPECT_EQ("", tooSmall.text());
    EXPECT_TRUE(tooSmall.guardIntact());

    // A field far longer than any path, as a damaged record could hold.
    std::string huge = Repeat('k', 5000) + ";v";
    GuardedBuffer token(PATH_BUFFER_SIZE);
    EXPECT_EQ(nullptr, NextToken(huge.c_str(), token.data(), ";", token.size));
    EXPECT_TRUE(token.guardIntact());

    // A refused call hands on null, and the next call in a chain refuses too instead of crashing.
    char next[8] = "old";
    EXPECT_EQ(nullptr, NextToken(static_cast<const char*>(nullptr), next, ";", sizeof next));
    EXPECT_STREQ("", next);
}

TEST(PathTexts, CollapseBackslashes)
{
    const std::vector<TextResultCase> cases = {
        {"C:\\\\dir\\\\\\sub", "C:\\dir\\sub", 1},
        {"\\\\\\\\x", "\\\\\\x", 1},
        {"\\\\", "\\\\", 0},
        {"", "", 0},
        {"C:\\", "C:\\", 0},
        {"C:", "C:", 0},
        {"\\\\srv\\share", "\\\\srv\\share", 0},
        {"\\\\srv\\\\share\\\\", "\\\\srv\\share\\", 1},
        {"a\\\\\\\\", "a\\", 1},
        {"\\x", "\\x", 0},
        {"C:\\dir\\file", "C:\\dir\\file", 0},
    };
    for (const TextResultCase& c : cases) {
        char path[PATH_BUFFER_SIZE];
        strcpy(path, c.input);
        EXPECT_EQ(c.result, CollapseBackslashes(path)) << c.input;
        EXPECT_STREQ(c.expected, path) << c.input;
    }
    EXPECT_EQ(0, CollapseBackslashes(nullptr));
}

TEST(PathTexts, SplitUncPath)
{
    const struct {
        const char* path;
        int result;
        const char* root;
        const char* rest;
    } cases[] = {
        {"\\\\srv\\share\\dir\\file", 1, "\\\\srv\\share\\", "\\dir\\file"},
        {"\\\\srv\\share", 1, "\\\\srv\\share\\", "\\"},
        {"\\\\srv\\share\\", 1, "\\\\srv\\share\\", "\\"},
        {"\\\\srv", 0, "", ""},
        {"\\\\srv\\", 0, "", ""},
        {"\\\\", 0, "", ""},
        {"\\srv\\share", 0, "", ""},
        {"C:\\dir", 0, "", ""},
        {"\\\\\\share\\dir", 0, "", ""},
        {"\\\\srv\\\\dir", 0, "", ""},
    };
    for (const auto& c : cases) {
        char root[PATH_BUFFER_SIZE] = "garbage";
        char rest[PATH_BUFFER_SIZE] = "garbage";
        EXPECT_EQ(c.result, SplitUncPath(c.path, root, rest, sizeof root, sizeof rest)) << c.path;
        EXPECT_STREQ(c.root, root) << c.path;
        EXPECT_STREQ(c.rest, rest) << c.path;
    }
}

TEST(PathTexts, SplitUncPathRefusesSmallBuffers)
{
    // The root "\\srv\share\" needs 13 bytes, the rest "\d" three.
    GuardedBuffer root(12);
    GuardedBuffer rest(3);
    EXPECT_EQ(0, SplitUncPath("\\\\srv\\share\\d", root.data(), rest.data(), root.size, rest.size));
    EXPECT_EQ("", root.text());
    EXPECT_EQ("", rest.text());
    EXPECT_TRUE(root.guardIntact());
    EXPECT_TRUE(rest.guardIntact());

    GuardedBuffer bigRoot(13);
    GuardedBuffer smallRest(2);
    EXPECT_EQ(0, SplitUncPath("\\\\srv\\share\\d", bigRoot.data(), smallRest.data(), bigRoot.size, smallRest.size));
    EXPECT_TRUE(bigRoot.guardIntact());
    EXPECT_TRUE(smallRest.guardIntact());

    EXPECT_EQ(1, SplitUncPath("\\\\srv\\share\\d", bigRoot.data(), rest.data(), bigRoot.size, rest.size));
    EXPECT_EQ("\\\\srv\\share\\", bigRoot.text());
    EXPECT_EQ("\\d", rest.text());
}

TEST(PathTexts, PathForms)
{
    const struct {
        const char* path;
        int driveRoot;
        int rootPath;
        int absoluteDrive;
        const char* prefix;
    } cases[] = {
        {"C:", 1, 0, 0, "C:"},          {"C:\\", 1, 1, 1, "C:"},     {"C:\\x", 0, 0, 1, "C:"},
        {"c:x", 0, 0, 0, "c:"},         {"1:", 1, 0, 0, "1:"},       {"1:\\", 1, 0, 0, "1:"},
        {"\\", 0, 1, 0, ""},            {"\\x", 0, 0, 0, ""},        {"", 0, 0, 0, ""},
        {"\\\\srv\\s", 0, 0, 0, ""},    {"dir\\x", 0, 0, 0, ""},     {"C:\\\\", 0, 0, 1, "C:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.driveRoot, IsDriveRoot(c.path)) << c.path;
        EXPECT_EQ(c.rootPath, IsRootPath(c.path)) << c.path;
        EXPECT_EQ(c.absoluteDrive, IsAbsoluteDrivePath(c.path)) << c.path;
        char prefix[3] = "xx";
        int length = -1;
        EXPECT_EQ(1, GetDrivePrefix(c.path, prefix, &length, sizeof prefix)) << c.path;
        EXPECT_STREQ(c.prefix, prefix) << c.path;
        EXPECT_EQ(static_cast<int>(strlen(c.prefix)), length) << c.path;
    }
    EXPECT_EQ(0, IsDriveRoot(nullptr));
    EXPECT_EQ(0, IsRootPath(nullptr));
    EXPECT_EQ(0, IsAbsoluteDrivePath(nullptr));

    GuardedBuffer tiny(2);
    int length = -1;
    EXPECT_EQ(0, GetDrivePrefix("C:\\", tiny.data(), &length, tiny.size));
    EXPECT_EQ(0, length);
    EXPECT_TRUE(tiny.guardIntact());
}

TEST(PathTexts, MultiplySaturated)
{
    const struct {
        uint32_t a, b, c, expected;
    } cases[] = {
        {8, 512, 2000000, 0xFFFFFFFFu},
        {8, 512, 1000, 4096000},
        {0, 512, 1000, 0},
        {8, 0, 1000, 0},
        {8, 512, 0, 0},
        {1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {1, 0xFFFFFFFFu, 1, 0xFFFFFFFFu},
        {0x10000, 0x10000, 1, 0xFFFFFFFFu},  // a * b alone already exceeds 32 bits
        {0x10000, 0x10000, 0, 0},
        {2, 0x80000000u, 1, 0xFFFFFFFFu},
        {64, 512, 131071, 4294934528u},      // just below the limit
        {64, 512, 131072, 0xFFFFFFFFu},      // exactly 2^32
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, MultiplySaturated(c.a, c.b, c.c)) << c.a << " " << c.b << " " << c.c;
    }
}

TEST(PathTexts, PlainHelpers)
{
    EXPECT_EQ(0u, TextLength(nullptr));
    EXPECT_EQ(0u, TextLength(""));
    EXPECT_EQ(5u, TextLength("C:\\ab"));
    char target[8] = "1234567";
    CopyBytes(target, "ab", 2);
    EXPECT_STREQ("ab34567", target);
    CopyBytes(target, nullptr, 2);
    CopyBytes(nullptr, "x", 1);
    EXPECT_STREQ("ab34567", target);
}

// --- Inputs longer than any path ----------------------------------------------------------------

TEST(LongInputs, OutputRoutinesRefuseInsteadOfOverrunning)
{
    const std::string longPath = "C:\\" + Repeat('d', 280) + "\\" + Repeat('f', 20) + ".extension";
    const PathOut routines[] = {GetDirectoryPart, GetParentPath, GetFileNamePart, GetExtension, GetShortPath};
    const char* names[] = {"GetDirectoryPart", "GetParentPath", "GetFileNamePart", "GetExtension", "GetShortPath"};
    for (size_t i = 0; i < sizeof routines / sizeof routines[0]; ++i) {
        GuardedBuffer small(4, "old");
        EXPECT_EQ(0, routines[i](longPath.c_str(), small.data(), small.size)) << names[i];
        EXPECT_EQ("", small.text()) << names[i];
        EXPECT_TRUE(small.guardIntact()) << names[i];
    }

    // A parent that does fit is still found.
    char parent[PATH_BUFFER_SIZE + 100];
    EXPECT_EQ(1, GetParentPath(longPath.c_str(), parent, sizeof parent));
    EXPECT_EQ("C:\\" + Repeat('d', 280), std::string(parent));

    // Path routines that hand a path to the platform refuse one over MAX_PATH characters.
    GuardedBuffer shortPath(PATH_BUFFER_SIZE + 100);
    EXPECT_EQ(0, GetShortPath(longPath.c_str(), shortPath.data(), shortPath.size));
    EXPECT_TRUE(shortPath.guardIntact());

    GuardedBuffer joined(PATH_BUFFER_SIZE);
    EXPECT_EQ(0, JoinPath(joined.data(), longPath.c_str(), "x", joined.size));
    EXPECT_TRUE(joined.guardIntact());

    GuardedBuffer root(PATH_BUFFER_SIZE);
    GuardedBuffer rest(PATH_BUFFER_SIZE);
    std::string longUnc = "\\\\srv\\" + Repeat('s', 300) + "\\x";
    EXPECT_EQ(0, SplitUncPath(longUnc.c_str(), root.data(), rest.data(), root.size, rest.size));
    EXPECT_TRUE(root.guardIntact());
    EXPECT_TRUE(rest.guardIntact());
}

TEST(LongInputs, InPlaceRoutinesStayInsideTheText)
{
    std::string doubled;
    for (int i = 0; i < 100; ++i) {
        doubled += "ab\\\\";
    }
    std::vector<char> path(doubled.begin(), doubled.end());
    path.push_back('\0');
    EXPECT_EQ(1, CollapseBackslashes(path.data()));
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        expected += "ab\\";
    }
    EXPECT_EQ(expected, std::string(path.data()));

    std::string blanks = Repeat(' ', 400) + "x" + Repeat('\t', 400);
    std::vector<char> text(blanks.begin(), blanks.end());
    text.push_back('\0');
    EXPECT_EQ(1, TrimBlanks(text.data()));
    EXPECT_STREQ("x", text.data());
}

TEST(LongInputs, FileSystemRoutinesRefuseOverlongPaths)
{
    std::string longPath = "C:\\" + Repeat('d', 300);
    std::vector<char> editable(longPath.begin(), longPath.end());
    editable.push_back('\0');
    EXPECT_EQ(0, EnsureDirectory(editable.data()));
    EXPECT_EQ(0u, GetAttributes(longPath.c_str()));
    DWORD attributes = 0;
    EXPECT_EQ(-1, QueryAttributes(longPath.c_str(), &attributes));
    EXPECT_EQ(0, IsDirectory(longPath.c_str()));
    EXPECT_EQ(0, IsDirectoryEmpty(longPath.c_str()));
    EXPECT_EQ(0, RemoveDirectoryPath(longPath.c_str()));
    EXPECT_EQ(0, SetAttributes(longPath.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0, FileExists(longPath.c_str()));
}

// --- File system ----------------------------------------------------------------------------------

class PathFiles : public ::testing::Test {
protected:
    ScratchDir scratch{"uninst_paths_test"};

    std::string at(const std::string& relative) const { return scratch / relative; }
    bool exists(const std::string& relative) const
    {
        return GetFileAttributesA(at(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(PathFiles, FileExists)
{
    ASSERT_TRUE(scratch.writeFile("file.txt"));
    ASSERT_TRUE(scratch.makeDir("empty"));
    EXPECT_EQ(0, FileExists(""));
    EXPECT_EQ(0, FileExists(nullptr));
    EXPECT_EQ(1, FileExists(at("file.txt").c_str()));
    EXPECT_EQ(1, FileExists(at("empty").c_str()));
    EXPECT_EQ(0, FileExists(at("missing.txt").c_str()));
    EXPECT_EQ(1, FileExists(at("*").c_str()));
    EXPECT_EQ(1, FileExists(at("*.txt").c_str()));
    EXPECT_EQ(0, FileExists(at("*.zip").c_str()));
    EXPECT_EQ(0, FileExists(at("missing\\file.txt").c_str()));
    EXPECT_EQ(0, FileExists("Q:\\no\\such\\drive"));
}

TEST_F(PathFiles, FileExistsRestoresTheErrorMode)
{
    ASSERT_TRUE(scratch.writeFile("file.txt"));
    UINT original = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_EQ(1, FileExists(at("file.txt").c_str()));
    EXPECT_EQ(0, FileExists(at("missing").c_str()));
    EXPECT_EQ(static_cast<UINT>(SEM_NOGPFAULTERRORBOX), SetErrorMode(original));
}

TEST_F(PathFiles, AttributesAndDirectories)
{
    ASSERT_TRUE(scratch.writeFile("file.txt"));
    ASSERT_TRUE(scratch.makeDir("dir"));
    EXPECT_EQ(1, IsDirectory(at("dir").c_str()));
    EXPECT_EQ(1, IsDirectory(at("dir\\").c_str()));
    EXPECT_EQ(0, IsDirectory(at("file.txt").c_str()));
    EXPECT_EQ(0, IsDirectory(at("missing").c_str()));
    EXPECT_EQ(0, IsDirectory(nullptr));

    EXPECT_NE(0, SetAttributes(at("file.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetAttributes(at("file.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0, SetAttributes(at("file.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(GetAttributes(at("file.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, GetAttributes(at("missing").c_str()));
    EXPECT_EQ(0, SetAttributes(at("missing").c_str(), FILE_ATTRIBUTE_NORMAL));

    DWORD attributes = 0;
    EXPECT_EQ(0, QueryAttributes("C:", &attributes));
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0, QueryAttributes(at("dir\\").c_str(), &attributes));
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(-1, QueryAttributes(at("missing").c_str(), &attributes));
    EXPECT_EQ(-1, QueryAttributes(at("dir").c_str(), nullptr));

    EXPECT_EQ(0, CreateSingleDirectory(at("made").c_str()));
    EXPECT_EQ(1, CreateSingleDirectory(at("made").c_str()));
    EXPECT_EQ(1, CreateSingleDirectory(at("missing\\made").c_str()));
    EXPECT_NE(0, RemoveDirectoryPath(at("made\\").c_str()));
    EXPECT_FALSE(exists("made"));
    EXPECT_EQ(0, RemoveDirectoryPath(at("made").c_str()));
}

TEST_F(PathFiles, IsDirectoryEmpty)
{
    ASSERT_TRUE(scratch.makeDir("empty"));
    ASSERT_TRUE(scratch.makeDir("dotdir"));
    ASSERT_TRUE(scratch.makeDir("dotdir\\.hidden"));
    ASSERT_TRUE(scratch.makeDir("dotfile"));
    ASSERT_TRUE(scratch.writeFile("dotfile\\.profile"));
    ASSERT_TRUE(scratch.makeDir("subdir"));
    ASSERT_TRUE(scratch.makeDir("subdir\\sub"));
    ASSERT_TRUE(scratch.makeDir("file"));
    ASSERT_TRUE(scratch.writeFile("file\\a.txt"));
    ASSERT_TRUE(scratch.makeDir("mixed"));
    ASSERT_TRUE(scratch.makeDir("mixed\\.git"));
    ASSERT_TRUE(scratch.writeFile("mixed\\zz"));

    const struct {
        const char* directory;
        int empty;
    } cases[] = {
        {"empty", 1},  {"empty\\", 1}, {"dotdir", 1}, {"dotfile", 0},
        {"subdir", 0}, {"file", 0},    {"mixed", 0},  {"missing", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.empty, IsDirectoryEmpty(at(c.directory).c_str())) << c.directory;
    }
    EXPECT_EQ(0, IsDirectoryEmpty(nullptr));
}

TEST_F(PathFiles, EnsureDirectoryCreatesAChain)
{
    ASSERT_TRUE(scratch.makeDir("a"));
    std::string target = at("a\\b\\c");
    char path[PATH_BUFFER_SIZE];
    strcpy(path, target.c_str());
    EXPECT_EQ(1, EnsureDirectory(path));
    EXPECT_TRUE(exists("a\\b"));
    EXPECT_TRUE(exists("a\\b\\c"));
    EXPECT_EQ(1, IsDirectory(at("a\\b\\c").c_str()));
    // Existing already: still 1, nothing else happens.
    EXPECT_EQ(1, EnsureDirectory(path));

    std::string trailing = at("x\\y\\");
    strcpy(path, trailing.c_str());
    EXPECT_EQ(1, EnsureDirectory(path));
    EXPECT_EQ(1, IsDirectory(at("x\\y").c_str()));
}

TEST_F(PathFiles, EnsureDirectoryIsBlockedByAFile)
{
    ASSERT_TRUE(scratch.makeDir("a"));
    ASSERT_TRUE(scratch.writeFile("a\\b"));
    char path[PATH_BUFFER_SIZE];
    strcpy(path, at("a\\b\\c").c_str());
    EXPECT_EQ(0, EnsureDirectory(path));
    EXPECT_FALSE(exists("a\\b\\c"));
    EXPECT_EQ(0, IsDirectory(at("a\\b").c_str()));

    strcpy(path, at("a\\b").c_str());
    EXPECT_EQ(0, EnsureDirectory(path));
}

TEST_F(PathFiles, EnsureDirectoryNormalisesThePath)
{
    std::string doubled = scratch.path() + "\\\\one\\\\\\two";
    char path[PATH_BUFFER_SIZE];
    strcpy(path, doubled.c_str());
    EXPECT_EQ(1, EnsureDirectory(path));
    EXPECT_EQ(at("one\\two"), std::string(path));
    EXPECT_EQ(1, IsDirectory(at("one\\two").c_str()));
}

TEST_F(PathFiles, EnsureDirectoryEdgeForms)
{
    EXPECT_EQ(0, EnsureDirectory(nullptr));
    char empty[PATH_BUFFER_SIZE] = "";
    EXPECT_EQ(1, EnsureDirectory(empty));
    char driveRoot[PATH_BUFFER_SIZE] = "C:";
    EXPECT_EQ(1, EnsureDirectory(driveRoot));

    // A drive that does not exist cannot hold directories.
    char letter = UnusedDriveLetter();
    ASSERT_NE(0, letter);
    char missingDrive[PATH_BUFFER_SIZE];
    snprintf(missingDrive, sizeof missingDrive, "%c:\\a\\b", letter);
    EXPECT_EQ(0, EnsureDirectory(missingDrive));

    // A colon that is not a drive's must not walk up for ever.
    char oddColon[PATH_BUFFER_SIZE] = "ab:\\";
    EXPECT_EQ(0, EnsureDirectory(oddColon));

    // Relative paths are created below the current directory.
    char saved[PATH_BUFFER_SIZE];
    ASSERT_EQ(1, SaveCurrentDirectory(saved, sizeof saved));
    SetCurrentDirectoryPath(scratch.path().c_str());
    char relative[PATH_BUFFER_SIZE] = "rel\\sub";
    EXPECT_EQ(1, EnsureDirectory(relative));
    SetCurrentDirectoryPath(saved);
    EXPECT_EQ(1, IsDirectory(at("rel\\sub").c_str()));
}

TEST_F(PathFiles, CurrentDirectoryPair)
{
    char saved[PATH_BUFFER_SIZE];
    ASSERT_EQ(1, SaveCurrentDirectory(saved, sizeof saved));
    ASSERT_TRUE(scratch.makeDir("cwd"));
    SetCurrentDirectoryPath((at("cwd") + "\\").c_str());
    char now[PATH_BUFFER_SIZE];
    ASSERT_EQ(1, SaveCurrentDirectory(now, sizeof now));
    EXPECT_EQ(0, lstrcmpiA(at("cwd").c_str(), now));
    SetCurrentDirectoryPath(saved);
    ASSERT_EQ(1, SaveCurrentDirectory(now, sizeof now));
    EXPECT_STREQ(saved, now);

    GuardedBuffer tiny(3, "xx");
    EXPECT_EQ(0, SaveCurrentDirectory(tiny.data(), tiny.size));
    EXPECT_EQ("", tiny.text());
    EXPECT_TRUE(tiny.guardIntact());
}

TEST_F(PathFiles, GetShortPath)
{
    ASSERT_TRUE(scratch.makeDir("Long Directory Name"));
    ASSERT_TRUE(scratch.writeFile("Long Directory Name\\Some Long File.text"));
    const std::string longName = at("Long Directory Name\\Some Long File.text");
    char expected[PATH_BUFFER_SIZE];
    ASSERT_NE(0u, GetShortPathNameA(longName.c_str(), expected, sizeof expected));

    char shortPath[PATH_BUFFER_SIZE] = "garbage";
    EXPECT_EQ(1, GetShortPath(longName.c_str(), shortPath, sizeof shortPath));
    EXPECT_STREQ(expected, shortPath);
    EXPECT_EQ(std::string::npos, std::string(shortPath).find(' '));

    // A trailing backslash is dropped; a path the platform does not know comes back unchanged.
    const std::string directory = at("Long Directory Name");
    ASSERT_NE(0u, GetShortPathNameA(directory.c_str(), expected, sizeof expected));
    EXPECT_EQ(1, GetShortPath((directory + "\\").c_str(), shortPath, sizeof shortPath));
    EXPECT_STREQ(expected, shortPath);
    const std::string missing = at("No Such Directory\\");
    EXPECT_EQ(1, GetShortPath(missing.c_str(), shortPath, sizeof shortPath));
    EXPECT_EQ(at("No Such Directory"), std::string(shortPath));

    GuardedBuffer tiny(8, "old");
    EXPECT_EQ(0, GetShortPath(longName.c_str(), tiny.data(), tiny.size));
    EXPECT_EQ("", tiny.text());
    EXPECT_TRUE(tiny.guardIntact());
}

TEST_F(PathFiles, DriveTypes)
{
    char windows[PATH_BUFFER_SIZE];
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
    char drive[4] = {windows[0], ':', '\\', '\0'};
    UINT expected = GetDriveTypeA(drive);
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), expected);

    const char driveLetter[2] = {windows[0], '\0'};
    const char driveColon[3] = {windows[0], ':', '\0'};
    for (const char* path : {static_cast<const char*>(windows), driveLetter, driveColon}) {
        UINT type = 0;
        EXPECT_EQ(1, GetPathDriveType(path, &type)) << path;
        EXPECT_EQ(expected, type) << path;
    }

    // A relative path asks about the current directory's drive.
    char saved[PATH_BUFFER_SIZE];
    ASSERT_EQ(1, SaveCurrentDirectory(saved, sizeof saved));
    SetCurrentDirectoryPath(windows);
    UINT type = 0;
    EXPECT_EQ(1, GetPathDriveType("some\\relative", &type));
    EXPECT_EQ(expected, type);
    SetCurrentDirectoryPath(saved);

    char letter = UnusedDriveLetter();
    ASSERT_NE(0, letter);
    char missing[8];
    snprintf(missing, sizeof missing, "%c:\\x", letter);
    EXPECT_EQ(0, GetPathDriveType(missing, &type));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), type);
    EXPECT_EQ(0, GetPathDriveType(nullptr, &type));
    EXPECT_EQ(0, GetPathDriveType(windows, nullptr));
}

TEST_F(PathFiles, FreeBytes)
{
    char windows[PATH_BUFFER_SIZE];
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
    char root[4] = {windows[0], ':', '\\', '\0'};
    DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &total));
    uint32_t expected = MultiplySaturated(sectors, bytes, freeClusters);
    EXPECT_NE(0u, expected);
    EXPECT_EQ(expected, GetFreeBytes(windows));

    char letter = UnusedDriveLetter();
    ASSERT_NE(0, letter);
    char missing[8];
    snprintf(missing, sizeof missing, "%c:\\x", letter);
    EXPECT_EQ(0u, GetFreeBytes(missing));
    EXPECT_EQ(0u, GetFreeBytes("\\\\srv"));
    EXPECT_EQ(0u, GetFreeBytes(""));
    EXPECT_EQ(0u, GetFreeBytes(nullptr));
    EXPECT_EQ(0xFFFFFFFFu, GetFreeBytes("\\\\uninst-no-such-server\\share\\dir"));
}
