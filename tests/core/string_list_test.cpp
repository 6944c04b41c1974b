#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/string_list.h"

namespace {

typedef std::vector<std::string> Lines;

Lines Entries(StringList* list)
{
    Lines lines;
    for (const char* text = ListFirst(list); text != nullptr; text = ListNext(list)) lines.push_back(text);
    return lines;
}

StringList* ListOf(const Lines& lines)
{
    StringList* list = ListCreate(0);
    for (const std::string& line : lines) ListAppend(list, line.c_str());
    return list;
}

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%suninst_core_list_%lu_%s", dir, GetCurrentProcessId(), name);
    return path;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

std::string ReadBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    return bytes;
}

class StringListTest : public ::testing::Test {
protected:
    void SetUp() override { list_ = ListCreate(0); }
    void TearDown() override
    {
        ListDestroy(list_);
        DeleteFileA(path_.c_str());
    }

    Lines Load(const std::string& bytes)
    {
        WriteBytes(path_, bytes);
        EXPECT_EQ(1, ListLoad(list_, path_.c_str()));
        return Entries(list_);
    }

    StringList* list_ = nullptr;
    std::string path_ = TempPath("lines.txt");
};

// ---- Cursor --------------------------------------------------------------------------------------

TEST_F(StringListTest, NewListIsEmptyWithoutCursor)
{
    ASSERT_NE(nullptr, list_);
    EXPECT_EQ(0, ListCount(list_));
    EXPECT_EQ(nullptr, ListFirst(list_));
    EXPECT_EQ(nullptr, ListLast(list_));
    EXPECT_EQ(nullptr, ListNext(list_));
    EXPECT_EQ(nullptr, ListGetPosition(list_));
    EXPECT_EQ(0, ListRemoveCurrent(list_));
}

TEST_F(StringListTest, AppendInsertsAfterCurrentAndBecomesCurrent)
{
    ASSERT_EQ(1, ListAppend(list_, "a"));
    ASSERT_EQ(1, ListAppend(list_, "c"));
    EXPECT_STREQ("a", ListFirst(list_));
    ASSERT_EQ(1, ListAppend(list_, "b"));
    EXPECT_EQ((Lines{"a", "b", "c"}), Entries(list_));
    EXPECT_EQ(3, ListCount(list_));
}

TEST_F(StringListTest, NextAtTheEndStaysAndAppendGoesLast)
{
    ListAppend(list_, "a");
    ListAppend(list_, "b");
    ListFirst(list_);
    EXPECT_STREQ("b", ListNext(list_));
    EXPECT_EQ(nullptr, ListNext(list_));
    EXPECT_EQ(nullptr, ListNext(list_));
    ListAppend(list_, "c");
    EXPECT_EQ((Lines{"a", "b", "c"}), Entries(list_));
    EXPECT_STREQ("c", ListLast(list_));
}

TEST_F(StringListTest, TextIsCopied)
{
    char text[] = "original";
    ListAppend(list_, text);
    strcpy(text, "changed");
    EXPECT_STREQ("original", ListFirst(list_));
}

TEST_F(StringListTest, RemovingMovesCursorToFollowingThenPreceding)
{
    StringList* list = ListOf({"a", "b", "c"});
    ListFirst(list);
    ListNext(list);
    ASSERT_EQ(1, ListRemoveCurrent(list));  // b: c, the following entry, becomes current
    EXPECT_EQ(nullptr, ListNext(list));
    ListAppend(list, "d");
    EXPECT_EQ((Lines{"a", "c", "d"}), Entries(list));

    ListLast(list);
    ASSERT_EQ(1, ListRemoveCurrent(list));  // d, the last: c becomes current
    ListAppend(list, "after c");
    EXPECT_EQ((Lines{"a", "c", "after c"}), Entries(list));
    EXPECT_EQ(3, ListCount(list));
    ListDestroy(list);
}

TEST_F(StringListTest, RemovingTheFollowingEntryIsCurrentAfterRemoval)
{
    StringList* list = ListOf({"a", "b", "c"});
    ListFirst(list);
    ListRemoveCurrent(list);
    ListAppend(list, "x");  // goes after the new current entry, b
    EXPECT_EQ((Lines{"b", "x", "c"}), Entries(list));
    ListDestroy(list);
}

TEST_F(StringListTest, RemovingTheOnlyEntryLeavesNoCursor)
{
    ListAppend(list_, "only");
    ASSERT_EQ(1, ListRemoveCurrent(list_));
    EXPECT_EQ(0, ListCount(list_));
    EXPECT_EQ(nullptr, ListGetPosition(list_));
    EXPECT_EQ(nullptr, ListFirst(list_));
    EXPECT_EQ(0, ListRemoveCurrent(list_));
    ListAppend(list_, "again");
    EXPECT_EQ((Lines{"again"}), Entries(list_));
}

TEST_F(StringListTest, PositionsComeBackAndForeignOnesAreRefused)
{
    StringList* list = ListOf({"a", "b", "c"});
    ListFirst(list);
    ListNext(list);
    ListPosition atB = ListGetPosition(list);
    ListLast(list);
    ASSERT_EQ(1, ListSetPosition(list, atB));
    EXPECT_STREQ("c", ListNext(list));

    StringList* other = ListOf({"z"});
    ListFirst(other);
    EXPECT_EQ(0, ListSetPosition(list, ListGetPosition(other)));
    EXPECT_EQ(nullptr, ListNext(list));  // still on c

    ListSetPosition(list, atB);
    ListRemoveCurrent(list);
    EXPECT_EQ(0, ListSetPosition(list, atB));  // removed since

    ASSERT_EQ(1, ListSetPosition(list, nullptr));
    ListAppend(list, "first");
    EXPECT_EQ((Lines{"first", "a", "c"}), Entries(list));
    ListDestroy(other);
    ListDestroy(list);
}

TEST_F(StringListTest, NullListDoesNothing)
{
    EXPECT_EQ(0, ListAppend(nullptr, "a"));
    EXPECT_EQ(nullptr, ListFirst(nullptr));
    EXPECT_EQ(nullptr, ListLast(nullptr));
    EXPECT_EQ(nullptr, ListNext(nullptr));
    EXPECT_EQ(0, ListCount(nullptr));
    EXPECT_EQ(nullptr, ListGetPosition(nullptr));
    EXPECT_EQ(0, ListSetPosition(nullptr, nullptr));
    EXPECT_EQ(0, ListRemoveCurrent(nullptr));
    EXPECT_EQ(0, ListDestroy(nullptr));
    EXPECT_EQ(0, ListLoad(nullptr, path_.c_str()));
    EXPECT_EQ(0, ListSave(nullptr, path_.c_str()));
    EXPECT_EQ(0, ListAppend(list_, nullptr));
}

TEST(StringListRecords, FixedRecordsAreCopiedByLengthAndNotLoadedOrSaved)
{
    StringList* list = ListCreate(4);
    ASSERT_NE(nullptr, list);
    const char record[4] = {'a', 0, 'b', 'c'};
    ASSERT_EQ(1, ListAppend(list, record));
    const char* stored = ListFirst(list);
    EXPECT_EQ(0, memcmp(record, stored, 4));
    EXPECT_EQ(0, stored[4]);
    std::string path = TempPath("records.txt");
    EXPECT_EQ(0, ListLoad(list, path.c_str()));
    EXPECT_EQ(0, ListSave(list, path.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    ListDestroy(list);
    EXPECT_EQ(nullptr, ListCreate(-1));
}

TEST(StringListPools, ListLivesInItsOwnPoolAndFailedAppendChangesNothing)
{
    PoolSetReports(0);
    MemoryPool pool = PoolCreate(256, 0);
    StringList* list = ListCreateInPool(0, pool);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(pool, list->pool);
    ASSERT_EQ(1, ListAppend(list, "kept"));
    std::string tooLong(300, 'x');
    EXPECT_EQ(0, ListAppend(list, tooLong.c_str()));
    EXPECT_EQ((Lines{"kept"}), Entries(list));
    PoolSegmentInfo info;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &info));
    EXPECT_EQ(3u, info.usedBlocks);  // the list, one node and its text
    ASSERT_EQ(1, ListDestroy(list));
    EXPECT_EQ(0, PoolSegmentCount(pool));  // everything went back
    EXPECT_EQ(1, PoolDestroy(pool));

    StringList* shared = ListCreateInPool(0, POOL_NONE);
    StringList* plain = ListCreate(0);
    ASSERT_TRUE(shared && plain);
    EXPECT_EQ(plain->pool, shared->pool);
    ListDestroy(shared);
    ListDestroy(plain);
    PoolSetReports(1);
}

// ---- Loading --------------------------------------------------------------------------------------

struct LoadCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

class StringListLoadTest : public StringListTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(StringListLoadTest, LinesFollowTheLineEndRules)
{
    EXPECT_EQ(GetParam().lines, Load(GetParam().bytes));
    EXPECT_EQ(int(GetParam().lines.size()), ListCount(list_));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StringListLoadTest,
    ::testing::Values(LoadCase{"FinalLineEndGivesEmptyEntry", "a\r\nb\r\n", {"a", "b", ""}},
                      LoadCase{"NoFinalLineEnd", "a\r\nb", {"a", "b"}},
                      LoadCase{"TwoPairsMakeAnEmptyLine", "x\r\n\r\ny", {"x", "", "y"}},
                      LoadCase{"TwoLineFeedsAreOneLineEnd", "x\n\ny", {"x", "y"}},
                      LoadCase{"TwoCarriageReturnsAreOneLineEnd", "x\r\ry", {"x", "y"}},
                      LoadCase{"ThreeLineFeedsGiveAnEmptyLine", "x\n\n\ny", {"x", "", "y"}},
                      LoadCase{"CtrlZStartingTheFinalLineIsDropped", "a\r\n\x1a", {"a"}},
                      LoadCase{"CtrlZElsewhereStays", "\x1a" "b\r\nc\x1a", {"\x1a" "b", "c\x1a"}},
                      LoadCase{"EmptyFile", "", {}},
                      LoadCase{"OnlyALineEnd", "\r\n", {"", ""}},
                      LoadCase{"SingleLine", "alone", {"alone"}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(StringListTest, LoadAppendsAfterTheCursor)
{
    ListAppend(list_, "before");
    ListAppend(list_, "after");
    ListFirst(list_);
    EXPECT_EQ((Lines{"before", "one", "two", "after"}), Load("one\r\ntwo"));
}

TEST_F(StringListTest, MissingFileIsRefused)
{
    ListAppend(list_, "kept");
    EXPECT_EQ(0, ListLoad(list_, TempPath("missing.txt").c_str()));
    EXPECT_EQ((Lines{"kept"}), Entries(list_));
}

// Files laid out so that the 8192-byte chunk boundary falls at a chosen place.
std::string Filler(size_t bytes)
{
    std::string text;
    int line = 0;
    while (text.size() + 2 < bytes) {
        std::string entry = "line" + std::to_string(line++);
        if (text.size() + entry.size() + 2 > bytes) entry.resize(bytes - text.size() - 2);
        text += entry + "\r\n";
    }
    text.resize(bytes, 'p');
    return text;
}

Lines LinesOf(const std::string& text)
{
    Lines lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST_F(StringListTest, LineCrossingTheChunkBoundaryIsReadWhole)
{
    std::string head = Filler(8098) + "\r\n";
    std::string crossing(300, 'c');
    Lines expected = LinesOf(head + crossing + "\r\nend");
    Lines lines = Load(head + crossing + "\r\nend");
    EXPECT_EQ(expected, lines);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), std::string(crossing)));
}

TEST_F(StringListTest, LineEndPairSplitByTheChunkBoundaryIsOneLineEnd)
{
    for (size_t crAt : {8190u, 8191u, 8192u}) {
        SCOPED_TRACE(crAt);
        ListDestroy(list_);
        list_ = ListCreate(0);
        std::string text = Filler(crAt - 5) + "last1\r\nnext";
        ASSERT_EQ('\r', text[crAt]);
        EXPECT_EQ(LinesOf(text), Load(text));
    }
}

TEST_F(StringListTest, ManyChunksKeepEveryLine)
{
    std::string text;
    Lines expected;
    for (int i = 0; i < 3000; ++i) {
        expected.push_back(std::string(1 + i % 37, char('a' + i % 26)));
        text += expected.back() + (i % 3 ? "\r\n" : "\n");
    }
    expected.push_back("tail");
    text += "tail";
    EXPECT_EQ(expected, Load(text));
}

TEST_F(StringListTest, LinesLongerThanAChunkAreCutWithoutLoss)
{
    struct {
        size_t length;
        std::vector<size_t> pieces;
    } cases[] = {
        {8191, {8191}}, {8192, {8192}}, {8193, {8192, 1}}, {20000, {8192, 8192, 3616}}, {16384, {8192, 8192}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        ListDestroy(list_);
        list_ = ListCreate(0);
        Lines expected;
        for (size_t piece : c.pieces) expected.push_back(std::string(piece, 'L'));
        expected.push_back("next");
        expected.push_back("");
        EXPECT_EQ(expected, Load(std::string(c.length, 'L') + "\r\nnext\r\n"));
    }
}

TEST_F(StringListTest, LongLineAtTheEndOfTheFileIsCutToo)
{
    Lines expected = {std::string(8192, 'E'), std::string(100, 'E')};
    EXPECT_EQ(expected, Load(std::string(8292, 'E')));
}

// ---- Saving ---------------------------------------------------------------------------------------

TEST_F(StringListTest, SaveSeparatesEntriesWithoutFinalLineEnd)
{
    ListAppend(list_, "first");
    ListAppend(list_, "second");
    ListFirst(list_);
    ASSERT_EQ(1, ListSave(list_, path_.c_str()));
    EXPECT_EQ("first\r\nsecond", ReadBytes(path_));
    EXPECT_EQ(nullptr, ListNext(list_));  // the cursor was left on the last entry
}

TEST_F(StringListTest, EmptyLastEntryEndsTheFileWithLineEnd)
{
    ListAppend(list_, "a");
    ListAppend(list_, "");
    ASSERT_EQ(1, ListSave(list_, path_.c_str()));
    EXPECT_EQ("a\r\n", ReadBytes(path_));
}

TEST_F(StringListTest, SavingEmptyListTruncatesTheFile)
{
    WriteBytes(path_, "old contents");
    ASSERT_EQ(1, ListSave(list_, path_.c_str()));
    EXPECT_EQ("", ReadBytes(path_));
}

TEST_F(StringListTest, LoadAndSaveRoundTrip)
{
    for (const char* bytes : {"[rename]\r\nNUL=C:\\x.dll\r\n", "a\r\nb", "\r\n"}) {
        SCOPED_TRACE(bytes);
        ListDestroy(list_);
        list_ = ListCreate(0);
        Load(bytes);
        ASSERT_EQ(1, ListSave(list_, path_.c_str()));
        EXPECT_EQ(bytes, ReadBytes(path_));
    }
}

TEST_F(StringListTest, SaveIntoMissingDirectoryFails)
{
    ListAppend(list_, "a");
    EXPECT_EQ(0, ListSave(list_, TempPath("no_such_dir\\file.txt").c_str()));
}

}  // namespace
