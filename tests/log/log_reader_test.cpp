#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "log/log_reader.h"
#include "log_test_support.h"

using namespace logtest;

namespace {

const uint32_t ALL_PARTS = RECORD_HAS_STRING | RECORD_HAS_NUMBER | RECORD_HAS_LIST;

// What one read delivered.
struct Delivered {
    int result;
    uint32_t flags;
    std::string text;
    uint32_t number;
    std::vector<std::string> list;
};

std::vector<std::string> Entries(StringList* list)
{
    std::vector<std::string> entries;
    for (const char* item = ListFirst(list); item; item = ListNext(list))
        entries.push_back(item);
    return entries;
}

Delivered Read(InstallLog* log, int mode)
{
    Delivered got = {0, 0xEEEE, "untouched", 0xDDDD, {}};
    char text[LOG_RECORD_STRING_BUFFER_SIZE];
    strcpy(text, "untouched");
    StringList* list = ListCreate(0);
    got.result = LogReadRecord(log, &got.flags, text, &got.number, list, mode);
    got.text = text;
    got.list = Entries(list);
    ListDestroy(list);
    return got;
}

class LogReaderTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (log)
            LogClose(log);
        for (const std::string& path : created)
            DeleteFileA(path.c_str());
    }

    // Writes a log with the given header and records and remembers it for deletion.
    std::string Write(const std::string& name, const std::vector<LogWriterRecord>& records,
                      const std::function<void(LogWriter*)>& header = nullptr,
                      const LogWriterOptions& options = LogWriterOptions())
    {
        std::string path = TempPath(name);
        created.push_back(path);
        LogWriter* writer = LogWriterCreate(path.c_str(), options);
        EXPECT_NE(writer, nullptr);
        if (!writer)
            return path;
        if (header)
            header(writer);
        for (const LogWriterRecord& record : records)
            EXPECT_EQ(LogWriterAddRecord(writer, record), 0) << LogWriterError(writer);
        std::string error;
        EXPECT_EQ(LogWriterFinish(writer, &error), 0) << error;
        return path;
    }

    std::string Standard(const std::string& name)
    {
        return Write(name,
                     {MakeRecord("CF", ALL_PARTS, "C:\\App\\a.exe", 1, {"x", "y"}), MakeRecord("CSF", RECORD_HAS_STRING, "s1"),
                      MakeRecord("CF", RECORD_HAS_STRING, "C:\\App\\b.dll"), MakeRecord("CF", 0),
                      MakeRecord("CDR", RECORD_HAS_LIST, "", 0, {})},
                     [](LogWriter* writer) {
                         LogWriterSetString(writer, 1, "Application");
                         LogWriterSetString(writer, 2, "1.0");
                         LogWriterSetString(writer, 3, "three");
                         LogWriterSetString(writer, 4, "four");
                         LogWriterSetString(writer, 8, "app.exe;tool.exe");
                         LogWriterSetString(writer, 9, "Company");
                         LogWriterSetString(writer, 11, "AppUninstall");
                         LogWriterSetNumber(writer, 5, 0xFFFF);
                         LogWriterSetNumber(writer, 6, 0x80000001);
                         LogWriterSetNumber(writer, 7, 7);
                     });
    }

    void Open(const std::string& path)
    {
        log = LogOpen(path.c_str(), 5);
        ASSERT_NE(log, nullptr) << "error " << LogLastError();
    }

    // Opens a log that must be refused with code, and checks that the file was let go.
    void ExpectRefused(const std::string& path, int code)
    {
        InstallLog* refused = LogOpen(path.c_str(), 5);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(LogLastError(), code);
        if (refused)
            LogClose(refused);
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the refused log is still open";
        CloseHandle(exclusive);
    }

    // Alters a copy of a valid log and writes it under a new name; the checksum is made right again.
    std::string Altered(const std::string& path, const std::string& name,
                        const std::function<void(Bytes&, const LogLayout&)>& alter, bool fixChecksum = true)
    {
        Bytes image = ReadBytes(path);
        alter(image, LayoutOf(image));
        if (fixChecksum)
            LogImageFixChecksum(image);
        std::string altered = TempPath(name);
        created.push_back(altered);
        EXPECT_TRUE(WriteBytes(altered, image));
        return altered;
    }

    InstallLog* log = nullptr;
    std::vector<std::string> created;
};

// --- Header fields ----------------------------------------------------------------------------

TEST_F(LogReaderTest, HeaderFieldsComeBackByIdWithNineBeforeEightInTheFile)
{
    Open(Standard("fields.log"));
    struct Case {
        int id;
        const char* text;
    } strings[] = {{1, "Application"}, {2, "1.0"}, {3, "three"}, {4, "four"},
                   {8, "app.exe;tool.exe"}, {9, "Company"}, {11, "AppUninstall"}};
    for (const Case& c : strings) {
        char buffer[LOG_FIELD_BUFFER_SIZE] = "junk";
        EXPECT_EQ(LogGetField(log, c.id, buffer), (int32_t)strlen(c.text)) << c.id;
        EXPECT_STREQ(buffer, c.text) << c.id;
        EXPECT_EQ(LogLastError(), 0);
    }
    EXPECT_EQ(LogGetField(log, 5, nullptr), 65535);
    EXPECT_EQ((uint32_t)LogGetField(log, 6, nullptr), 0x80000001u);
    EXPECT_EQ(LogGetField(log, 7, nullptr), 7);
    EXPECT_EQ(LogGetField(log, 10, nullptr), 5) << "the writer counts the records";
    char buffer[LOG_FIELD_BUFFER_SIZE] = "junk";
    for (int id : {0, 12, -1, 1000})
        EXPECT_EQ(LogGetField(log, id, buffer), 0) << id;
    EXPECT_STREQ(buffer, "junk");
    EXPECT_EQ(LogGetField(log, 1, nullptr), 0) << "no buffer, nothing copied";
    EXPECT_EQ(LogGetField(nullptr, 1, buffer), 0);
    EXPECT_EQ(LogLastError(), LOG_ERR_NO_HANDLE);
}

TEST_F(LogReaderTest, EmptyStringsEverywhere)
{
    Open(Write("empty.log", {MakeRecord("CF", RECORD_HAS_STRING | RECORD_HAS_LIST, "", 0, {"", ""})}));
    for (int id : {1, 2, 3, 4, 8, 9, 11}) {
        char buffer[LOG_FIELD_BUFFER_SIZE] = "junk";
        EXPECT_EQ(LogGetField(log, id, buffer), 0);
        EXPECT_STREQ(buffer, "");
    }
    ASSERT_EQ(LogSelectKind(log, "CF"), 0);
    Delivered got = Read(log, READ_FIRST);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.text, "");
    EXPECT_EQ(got.list, (std::vector<std::string>{"", ""}));
}

TEST_F(LogReaderTest, LongestHeaderAndRecordStringsFitTheCallersBuffers)
{
    std::string header(263, 'h'), text(299, 'r');
    Open(Write("longest.log", {MakeRecord("CF", RECORD_HAS_STRING, text)},
               [&](LogWriter* writer) { LogWriterSetString(writer, 11, header); }));
    char buffer[LOG_FIELD_BUFFER_SIZE];
    EXPECT_EQ(LogGetField(log, 11, buffer), 263);
    EXPECT_EQ(std::string(buffer), header);
    LogSelectKind(log, "CF");
    EXPECT_EQ(Read(log, READ_FIRST).text, text);
}

// --- Reading records ---------------------------------------------------------------------------

TEST_F(LogReaderTest, RecordsOfAKindComeInLoggingOrderAndRestart)
{
    Open(Standard("chain.log"));
    ASSERT_EQ(LogSelectKind(log, "CF"), 0);
    EXPECT_EQ(Read(log, READ_NEXT).result, LOG_ERR_NOT_STARTED);
    for (int round = 0; round < 2; ++round) {
        Delivered first = Read(log, READ_FIRST);
        EXPECT_EQ(first.result, 0);
        EXPECT_EQ(first.flags, ALL_PARTS);
        EXPECT_EQ(first.text, "C:\\App\\a.exe");
        EXPECT_EQ(first.number, 1u);
        EXPECT_EQ(first.list, (std::vector<std::string>{"x", "y"}));
        Delivered second = Read(log, READ_NEXT);
        EXPECT_EQ(second.result, 0);
        EXPECT_EQ(second.flags, RECORD_HAS_STRING);
        EXPECT_EQ(second.text, "C:\\App\\b.dll");
        EXPECT_EQ(second.number, 0xDDDDu) << "no number flag, number untouched";
        EXPECT_TRUE(second.list.empty());
        Delivered third = Read(log, READ_NEXT);
        EXPECT_EQ(third.result, 0);
        EXPECT_EQ(third.flags, 0u);
        EXPECT_EQ(third.text, "untouched");
        EXPECT_EQ(third.number, 0xDDDDu);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Read(log, READ_NEXT).result, LOG_NO_RECORD);
            EXPECT_EQ(LogLastError(), LOG_NO_RECORD);
        }
    }
}

TEST_F(LogReaderTest, SingleRecordsEmptyListsAndAbsentKinds)
{
    Open(Standard("single.log"));
    LogSelectKind(log, "CSF");
    EXPECT_EQ(Read(log, READ_FIRST).text, "s1");
    EXPECT_EQ(Read(log, READ_NEXT).result, LOG_NO_RECORD);

    LogSelectKind(log, "CDR");
    Delivered empty = Read(log, READ_FIRST);
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.flags, (uint32_t)RECORD_HAS_LIST);
    EXPECT_TRUE(empty.list.empty());

    for (const char* kind : {"cf", "CF ", "MRK", ""}) {
        EXPECT_EQ(LogSelectKind(log, kind), 0);
        EXPECT_EQ(Read(log, READ_FIRST).result, LOG_NO_RECORD) << kind;
        EXPECT_EQ(Read(log, READ_NEXT).result, LOG_ERR_NO_HANDLE) << kind;
    }
}

TEST_F(LogReaderTest, OutputsMayBeLeftOut)
{
    Open(Standard("nulls.log"));
    LogSelectKind(log, "CF");
    EXPECT_EQ(LogReadRecord(log, nullptr, nullptr, nullptr, nullptr, READ_FIRST), 0);
    EXPECT_EQ(LogReadRecord(log, nullptr, nullptr, nullptr, nullptr, READ_NEXT), 0);
}

TEST_F(LogReaderTest, BadHandlesAndNames)
{
    EXPECT_EQ(LogSelectKind(nullptr, "CF"), LOG_ERR_NO_HANDLE);
    EXPECT_EQ(LogReadRecord(nullptr, nullptr, nullptr, nullptr, nullptr, READ_FIRST), LOG_ERR_NO_HANDLE);
    EXPECT_EQ(LogClose(nullptr), LOG_ERR_NO_HANDLE);
    Open(Standard("names.log"));
    EXPECT_EQ(LogSelectKind(log, nullptr), LOG_ERR_NO_HANDLE);
    ASSERT_EQ(LogSelectKind(log, "CF"), 0);
    EXPECT_EQ(LogSelectKind(log, std::string(300, 'C').c_str()), LOG_ERR_NO_HANDLE);
    EXPECT_EQ(Read(log, READ_FIRST).result, LOG_ERR_NO_HANDLE) << "the refused name does not fall back on CF";
    EXPECT_EQ(LogSelectKind(log, std::string(299, 'C').c_str()), 0);
    EXPECT_EQ(Read(log, READ_FIRST).result, LOG_NO_RECORD);
}

TEST_F(LogReaderTest, KindsInterleavedInTheFileAreReadWithoutLoadingItWhole)
{
    std::vector<LogWriterRecord> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back(MakeRecord(LOG_UNINSTALL_KINDS[i % 10], RECORD_HAS_NUMBER, "", (uint32_t)i));
    Open(Write("interleaved.log", records));
    for (int k = 0; k < 10; ++k) {
        LogSelectKind(log, LOG_UNINSTALL_KINDS[k]);
        int count = 0;
        for (Delivered got = Read(log, READ_FIRST); got.result == 0; got = Read(log, READ_NEXT), ++count)
            EXPECT_EQ(got.number, (uint32_t)(k + 10 * count));
        EXPECT_EQ(count, 300);
        EXPECT_EQ(LogLastError(), LOG_NO_RECORD);
    }
}

// --- Opening -----------------------------------------------------------------------------------

TEST_F(LogReaderTest, OpenFlagsNeedTheReadingBit)
{
    std::string path = Standard("flags.log");
    EXPECT_EQ(LogOpen(path.c_str(), 0), nullptr);
    EXPECT_EQ(LogOpen(path.c_str(), LOG_OPEN_CREATE), nullptr);
    InstallLog* opened = LogOpen(path.c_str(), LOG_OPEN_EXISTING);
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(LogClose(opened), 0);
}

TEST_F(LogReaderTest, MissingAndUnopenableFiles)
{
    ExpectRefused(TempPath("no_such.log"), LOG_ERR_NOT_FOUND);
    EXPECT_EQ(LogOpen(nullptr, 5), nullptr);
    EXPECT_EQ(LogLastError(), LOG_ERR_NOT_FOUND);
    std::string path = Standard("locked.log");
    HANDLE locker = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LogOpen(path.c_str(), 5), nullptr);
    EXPECT_EQ(LogLastError(), LOG_ERR_CANNOT_OPEN);
    CloseHandle(locker);
}

TEST_F(LogReaderTest, MagicVersionAndChecksumAreChecked)
{
    std::string path = Standard("checks.log");
    ExpectRefused(Altered(path, "magic.log", [](Bytes& image, const LogLayout&) { image[0] ^= 1; }, false),
                  LOG_ERR_NOT_A_LOG);
    for (uint32_t version : {0x02010001u, 0x80000000u, 0xFFFFFFFFu})
        ExpectRefused(Altered(path, "version.log",
                              [&](Bytes& image, const LogLayout&) { LogStoreU32(&image[LOG_OFFSET_VERSION], version); },
                              false),
                      LOG_ERR_NEWER_VERSION);
    std::string older = Altered(
        path, "older.log", [](Bytes& image, const LogLayout&) { LogStoreU32(&image[LOG_OFFSET_VERSION], 0x01000000); },
        false);
    InstallLog* opened = LogOpen(older.c_str(), 5);
    EXPECT_NE(opened, nullptr) << "older versions and the version in the header block are not compared";
    LogClose(opened);
    ExpectRefused(Altered(path, "checksum.log", [](Bytes& image, const LogLayout& layout) { image[layout.strings + 3] ^= 0x40; }, false),
                  LOG_ERR_CHECKSUM);
    ExpectRefused(Altered(path, "stored.log", [](Bytes& image, const LogLayout&) { image[LOG_OFFSET_CHECKSUM] ^= 1; }, false),
                  LOG_ERR_CHECKSUM);
}

TEST_F(LogReaderTest, BytesAbove7FCountNegativeInTheChecksum)
{
    LogWriterOptions options;
    options.notice = std::string(40, '\xE9');
    Open(Write("signed.log", {MakeRecord("CF", RECORD_HAS_STRING, "\xFF\x80\xC0")}, nullptr, options));
    LogSelectKind(log, "CF");
    EXPECT_EQ(Read(log, READ_FIRST).text, "\xFF\x80\xC0");
}

TEST_F(LogReaderTest, ADirectoryNamingAKindTwiceIsRefused)
{
    std::string path = Write("twice.log", {MakeRecord("AB", 0), MakeRecord("AC", 0)});
    ExpectRefused(Altered(path, "twice_altered.log",
                          [](Bytes& image, const LogLayout& layout) {
                              Bytes directory = BlockAt(image, layout.directory);
                              directory[layout.kinds[1].entryOffset + 3] = 'B';
                              PutBlock(image, layout.directory, directory);
                          }),
                  LOG_ERR_NO_MEMORY);
}

TEST_F(LogReaderTest, TruncatedLogsAreRefused)
{
    std::string path = Standard("truncated.log");
    Bytes whole = ReadBytes(path);
    for (size_t length : {(size_t)0, (size_t)1, (size_t)9, (size_t)11, whole.size() / 2, whole.size() - 1}) {
        std::string cut = Altered(path, "cut.log", [&](Bytes& image, const LogLayout&) { image.resize(length); });
        InstallLog* opened = LogOpen(cut.c_str(), 5);
        EXPECT_EQ(opened, nullptr) << length;
        EXPECT_LT(LogLastError(), 0) << length;
        if (opened)
            LogClose(opened);
    }
}

// --- Hostile logs ------------------------------------------------------------------------------

struct Hostile {
    const char* what;
    std::function<void(Bytes&, const LogLayout&)> alter;
};

void SetRecordLength(Bytes& image, uint32_t offset, uint16_t length)
{
    LogStoreU16(&image[offset], length);
}

TEST_F(LogReaderTest, HostileStructuresAreRefusedAtOpen)
{
    std::string path = Write("hostile.log", {MakeRecord("CF", RECORD_HAS_STRING | RECORD_HAS_LIST, "abc", 0, {"l1"}),
                                             MakeRecord("CF", RECORD_HAS_STRING, "def"), MakeRecord("CF", RECORD_HAS_NUMBER, "", 9),
                                             MakeRecord("CSF", RECORD_HAS_STRING, "ghi")});
    Hostile cases[] = {
        {"record length word above 4096", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.kinds[0].records[1], 4097); }},
        {"record length word with its top bit set", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.kinds[0].records[1], 0x8009); }},
        {"record length reaching past the end", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.kinds[1].records[0], 4000); }},
        {"record too short for its fixed part", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.kinds[0].records[1], 7); }},
        {"counted string longer than its block",
         [](Bytes& i, const LogLayout& l) {
             Bytes content = BlockAt(i, l.kinds[0].records[1]);
             LogStoreU16(&content[8], 200);
             PutBlock(i, l.kinds[0].records[1], content);
         }},
        {"list longer than its block",
         [](Bytes& i, const LogLayout& l) {
             Bytes content = BlockAt(i, l.kinds[0].records[0]);
             LogStoreU16(&content[8 + 2 + 3], 3);
             PutBlock(i, l.kinds[0].records[0], content);
         }},
        {"number missing from its block",
         [](Bytes& i, const LogLayout& l) {
             Bytes content = BlockAt(i, l.kinds[1].records[0]);
             LogStoreU16(&content[6], RECORD_HAS_STRING | RECORD_HAS_NUMBER);
             PutBlock(i, l.kinds[1].records[0], content);
         }},
        {"first record beyond the end", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_FIRST, (uint32_t)i.size() + 100); }},
        {"first record in the last byte", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_FIRST, (uint32_t)i.size() - 1); }},
        {"first record at 0xFFFFFFFF", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_FIRST, 0xFFFFFFFF); }},
        {"link beyond the end", [](Bytes& i, const LogLayout& l) { SetLink(i, l.kinds[0].records[0], (uint32_t)i.size()); }},
        {"link into the fixed header", [](Bytes& i, const LogLayout& l) { SetLink(i, l.kinds[0].records[0], 3); }},
        {"chain looping onto itself", [](Bytes& i, const LogLayout& l) { SetLink(i, l.kinds[0].records[2], l.kinds[0].records[2]); }},
        {"chain looping back to its start", [](Bytes& i, const LogLayout& l) { SetLink(i, l.kinds[0].records[2], l.kinds[0].records[0]); }},
        {"chain longer than its count", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_COUNT, 2); }},
        {"chain shorter than its count", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_COUNT, 4); }},
        {"count beyond what the file can hold", [](Bytes& i, const LogLayout& l) { SetDirectoryField(i, l, 0, KIND_ENTRY_COUNT, 0xFFFFFFFF); }},
        {"chain running into another kind's chain", [](Bytes& i, const LogLayout& l) { SetLink(i, l.kinds[1].records[0], l.kinds[0].records[1]); }},
        {"strings block beyond the end", [](Bytes& i, const LogLayout& l) { SetHeaderField(i, l, LOG_HEADER_STRINGS_OFFSET, (uint32_t)i.size() + 1); }},
        {"directory beyond the end", [](Bytes& i, const LogLayout& l) { SetHeaderField(i, l, LOG_HEADER_DIRECTORY_OFFSET, 0x7FFFFFFF); }},
        {"strings block length above 4096", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.strings, 0xFFFF); }},
        {"strings block missing a string", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.strings, 12); }},
        {"directory entry cut short", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.directory, 20); }},
        {"directory with more entries than it holds",
         [](Bytes& i, const LogLayout& l) {
             Bytes directory = BlockAt(i, l.directory);
             LogStoreU16(directory.data(), 3);
             PutBlock(i, l.directory, directory);
         }},
        {"header block shorter than 30 bytes", [](Bytes& i, const LogLayout& l) { SetRecordLength(i, l.header, 29); }},
        {"notice length pointing before the header", [](Bytes& i, const LogLayout&) { LogStoreU16(&i[LOG_OFFSET_NOTICE_LENGTH], 0x8000); }},
        {"notice length pointing past the end", [](Bytes& i, const LogLayout&) { LogStoreU16(&i[LOG_OFFSET_NOTICE_LENGTH], 0x7FFF); }},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(Altered(path, "hostile_altered.log", c.alter), LOG_ERR_BAD_BLOCK);
    }
}

TEST_F(LogReaderTest, OverlongNamesAndStringsAreRefused)
{
    LogWriterOptions lax;
    lax.strict = false;
    ExpectRefused(Write("kind255.log", {MakeRecord(std::string(255, 'K'), 0)}, nullptr, lax), LOG_ERR_BAD_BLOCK);
    ExpectRefused(Write("header264.log", {}, [](LogWriter* w) { LogWriterSetString(w, 9, std::string(264, 'c')); }, lax),
                  LOG_ERR_BAD_BLOCK);
    ExpectRefused(Write("record300.log", {MakeRecord("CF", RECORD_HAS_STRING, std::string(300, 's'))}, nullptr, lax),
                  LOG_ERR_BAD_BLOCK);
    ExpectRefused(Write("block4097.log", {MakeRecord("CF", RECORD_HAS_LIST, "", 0, {std::string(4085, 'l')})}, nullptr, lax),
                  LOG_ERR_BAD_BLOCK);
    ExpectRefused(Write("nul.log", {MakeRecord(std::string("C\0F", 3), 0)}, nullptr, lax), LOG_ERR_BAD_BLOCK);

    Open(Write("kind254.log", {MakeRecord(std::string(254, 'K'), RECORD_HAS_LIST, "", 0, {std::string(4084, 'l')})}));
    LogSelectKind(log, std::string(254, 'K').c_str());
    Delivered got = Read(log, READ_FIRST);
    EXPECT_EQ(got.result, 0) << "a 254-character kind and a 4096-byte block are fine";
    ASSERT_EQ(got.list.size(), 1u);
    EXPECT_EQ(got.list[0].size(), 4084u);
}

TEST_F(LogReaderTest, KindDirectoryInFileOrder)
{
    Open(Standard("kinds.log"));
    ASSERT_EQ(LogKindCount(log), 3);
    const char* names[] = {"CF", "CSF", "CDR"};
    uint32_t counts[] = {3, 1, 1};
    for (int i = 0; i < 3; ++i) {
        LogKindInfo info;
        ASSERT_EQ(LogGetKind(log, i, &info), 1);
        EXPECT_STREQ(info.name, names[i]);
        EXPECT_EQ(info.recordCount, counts[i]);
        EXPECT_EQ(info.kindIndex, 100u + i);
    }
    LogKindInfo info;
    EXPECT_EQ(LogGetKind(log, 3, &info), 0);
    EXPECT_EQ(LogGetKind(log, -1, &info), 0);
}

}  // namespace
