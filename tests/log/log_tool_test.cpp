// Round trips through logtool: descriptions are built into logs by the tool and read back through
// the reader; dumps build into logs that dump the same.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "log/log_reader.h"
#include "log_description.h"
#include "log_test_support.h"

using namespace logtest;

namespace {

struct ModelRecord {
    uint32_t flags;
    std::string text;
    uint32_t number;
    std::vector<std::string> list;

    bool operator==(const ModelRecord& other) const
    {
        return flags == other.flags && text == other.text && number == other.number && list == other.list;
    }
};

// What a description says: header strings by id and the records of each kind in logging order.
struct Model {
    std::map<int, std::string> strings;
    std::map<int, uint32_t> numbers;
    std::vector<std::string> kindOrder;
    std::map<std::string, std::vector<ModelRecord>> records;
    std::string description;
};

// Text of every byte but the terminator, with the awkward ones (%, control bytes, high bytes,
// spaces at the end) well represented.
std::string RandomText(Random& random, size_t maxLength)
{
    static const char awkward[] = "%\r\n\t \xE9\x81\x5C\xFF#";
    std::string text;
    size_t length = random.Below((uint32_t)maxLength + 1);
    for (size_t i = 0; i < length; ++i)
        text += random.Below(4) == 0 ? awkward[random.Below(sizeof awkward - 1)] : (char)(1 + random.Below(255));
    return text;
}

const char* const EXTRA_KINDS[] = {"XYZ", "cf", "A B", "%", "CF2"};

Model MakeModel(uint32_t seed, int recordCount)
{
    Random random(seed);
    Model model;
    std::ostringstream out;
    out << "# generated description\n";
    for (int id : {1, 2, 3, 4, 8, 9, 11}) {
        model.strings[id] = RandomText(random, id == 1 ? 263 : 40);
        out << "field " << id << " " << DescriptionEscape(model.strings[id]) << "\n";
    }
    model.numbers[5] = random.Below(65536);
    model.numbers[6] = random.Next() * 3u;
    model.numbers[7] = 0xFFFFFFFF;
    for (const auto& number : model.numbers)
        out << "field " << number.first << " " << number.second << "\n";
    for (int i = 0; i < recordCount; ++i) {
        uint32_t pick = random.Below(15);
        std::string kind = pick < 10 ? LOG_UNINSTALL_KINDS[pick] : EXTRA_KINDS[pick - 10];
        if (!model.records.count(kind))
            model.kindOrder.push_back(kind);
        ModelRecord record = {random.Below(8), "", 0, {}};
        out << "record " << DescriptionEscape(kind) << "\n";
        if (record.flags & RECORD_HAS_STRING) {
            record.text = RandomText(random, i % 50 == 0 ? 299 : 30);
            out << "string " << DescriptionEscape(record.text) << "\n";
        }
        if (record.flags & RECORD_HAS_NUMBER) {
            record.number = random.Next() ^ (random.Next() << 24);
            out << "number 0x" << std::hex << record.number << std::dec << "\n";
        }
        if (record.flags & RECORD_HAS_LIST) {
            out << "list\n";
            for (uint32_t n = random.Below(5); n > 0; --n) {
                record.list.push_back(RandomText(random, 20));
                out << "item " << DescriptionEscape(record.list.back()) << "\n";
            }
        }
        model.records[kind].push_back(record);
    }
    model.description = out.str();
    return model;
}

std::vector<ModelRecord> ReadKind(InstallLog* log, const std::string& kind)
{
    std::vector<ModelRecord> records;
    EXPECT_EQ(LogSelectKind(log, kind.c_str()), 0);
    for (int mode = READ_FIRST;; mode = READ_NEXT) {
        ModelRecord record = {0, "", 0, {}};
        char text[LOG_RECORD_STRING_BUFFER_SIZE] = "";
        StringList* list = ListCreate(0);
        int result = LogReadRecord(log, &record.flags, text, &record.number, list, mode);
        record.text = text;
        for (const char* item = ListFirst(list); item; item = ListNext(list))
            record.list.push_back(item);
        ListDestroy(list);
        if (result != 0) {
            EXPECT_EQ(result, LOG_NO_RECORD) << kind;
            return records;
        }
        records.push_back(record);
    }
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

class LogToolTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& path : created)
            DeleteFileA(path.c_str());
    }

    std::string Remember(const std::string& name)
    {
        created.push_back(TempPath(name));
        return created.back();
    }

    // Builds the description with logtool; the exit code.
    int Build(const std::string& description, const std::string& logPath, std::string* output = nullptr)
    {
        std::string descriptionPath = Remember("description.txt");
        WriteBytes(descriptionPath, Bytes(description.begin(), description.end()));
        return RunBuiltProgram("logtool.exe", "build " + Quoted(descriptionPath) + " " + Quoted(logPath), output);
    }

    void ExpectLogHolds(const std::string& logPath, const Model& model)
    {
        InstallLog* log = LogOpen(logPath.c_str(), 5);
        ASSERT_NE(log, nullptr) << LogLastError();
        for (const auto& text : model.strings) {
            char buffer[LOG_FIELD_BUFFER_SIZE];
            LogGetField(log, text.first, buffer);
            EXPECT_EQ(std::string(buffer), text.second) << "field " << text.first;
        }
        for (const auto& number : model.numbers)
            EXPECT_EQ((uint32_t)LogGetField(log, number.first, nullptr), number.second) << "field " << number.first;
        size_t total = 0;
        for (const auto& kind : model.records) {
            EXPECT_EQ(ReadKind(log, kind.first), kind.second) << "kind " << kind.first;
            total += kind.second.size();
        }
        EXPECT_EQ((size_t)LogGetField(log, LOG_FIELD_RECORD_COUNT, nullptr), total);
        for (const char* kind : LOG_UNINSTALL_KINDS) {
            if (!model.records.count(kind)) {
                EXPECT_TRUE(ReadKind(log, kind).empty());
            }
        }
        ASSERT_EQ(LogKindCount(log), (int)model.kindOrder.size());
        for (size_t i = 0; i < model.kindOrder.size(); ++i) {
            LogKindInfo info;
            LogGetKind(log, (int)i, &info);
            EXPECT_EQ(info.name, model.kindOrder[i]);
            EXPECT_EQ(info.kindIndex, 100 + i) << "kinds are indexed in the order they first appear";
        }
        LogClose(log);
    }

    std::vector<std::string> created;
};

TEST_F(LogToolTest, DescriptionsOfZeroOneAndThousandsOfRecordsRoundTrip)
{
    for (int count : {0, 1, 4000}) {
        SCOPED_TRACE(count);
        Model model = MakeModel(1000 + count, count);
        std::string logPath = Remember("roundtrip.log");
        std::string output;
        ASSERT_EQ(Build(model.description, logPath, &output), 0) << output;
        ExpectLogHolds(logPath, model);
    }
}

std::string WithoutComments(const std::string& text)
{
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#')
            kept += line + "\n";
    return kept;
}

TEST_F(LogToolTest, ADumpBuildsIntoALogThatDumpsTheSame)
{
    Model model = MakeModel(77, 600);
    std::string first = Remember("dump_first.log"), second = Remember("dump_second.log");
    ASSERT_EQ(Build(model.description, first), 0);
    std::string dumped, redumped;
    ASSERT_EQ(RunBuiltProgram("logtool.exe", "dump " + Quoted(first), &dumped), 0) << dumped;
    ASSERT_EQ(Build(dumped, second), 0);
    ASSERT_EQ(RunBuiltProgram("logtool.exe", "dump " + Quoted(second), &redumped), 0);
    EXPECT_EQ(WithoutComments(dumped), WithoutComments(redumped));
    EXPECT_NE(dumped.find("# field 9: company key name\nfield 9 "), std::string::npos);
    ExpectLogHolds(second, model);
}

TEST_F(LogToolTest, VerifySaysOkOnlyForValidLogs)
{
    std::string logPath = Remember("verify.log");
    ASSERT_EQ(Build("field 1 App\nrecord CF\nstring a\nrecord CSF\nrecord CF\nnumber 5\n", logPath), 0);
    std::string output;
    EXPECT_EQ(RunBuiltProgram("logtool.exe", "verify " + Quoted(logPath), &output), 0);
    EXPECT_EQ(output.rfind("ok", 0), 0u) << output;
    EXPECT_NE(output.find("CF 2\n"), std::string::npos) << output;
    EXPECT_NE(output.find("CSF 1\n"), std::string::npos) << output;

    Bytes image = ReadBytes(logPath);
    image.back() ^= 0x10;
    std::string damaged = Remember("verify_damaged.log");
    WriteBytes(damaged, image);
    EXPECT_EQ(RunBuiltProgram("logtool.exe", "verify " + Quoted(damaged), &output), 1);
    EXPECT_EQ(output.rfind("error -15: ", 0), 0u) << output;
    EXPECT_EQ(RunBuiltProgram("logtool.exe", "verify " + Quoted(Remember("none.log")), &output), 1);
    EXPECT_EQ(output.rfind("error -5: ", 0), 0u) << output;
}

TEST_F(LogToolTest, BadDescriptionsAreRefusedWithTheirLine)
{
    struct Case {
        const char* description;
        const char* message;
    } cases[] = {
        {"record CF\nbogus 1\n", "line 2: unknown statement 'bogus'"},
        {"field 12 x\n", "line 1: unknown field id '12'"},
        {"field 5 70000\n", "line 1: field 5 holds 16 bits"},
        {"field 6 abc\n", "line 1: field 6 needs a number"},
        {"string outside\n", "line 1: string outside a record"},
        {"record CF\nnumber 0x1FFFFFFFF\n", "line 2: bad number"},
        {"record CF\nstring a%4\n", "line 2: malformed %HH escape"},
        {"record CF\nstring a\nstring b\n", "line 3: a record has one string"},
        {"field 1 x\nversion 1\n", "line 2: version must come before everything else"},
    };
    for (const Case& c : cases) {
        std::string logPath = Remember("bad.log");
        std::string output;
        EXPECT_EQ(Build(c.description, logPath, &output), 1) << c.description;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        EXPECT_EQ(GetFileAttributesA(logPath.c_str()), INVALID_FILE_ATTRIBUTES) << "no half-written log stays";
    }
    std::string output;
    EXPECT_EQ(RunBuiltProgram("logtool.exe", "frobnicate", &output), 2);
    EXPECT_NE(output.find("usage"), std::string::npos);
}

TEST(DescriptionText, EscapesRoundTripEveryByte)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += (char)c;
    all += ' ';
    std::string escaped = DescriptionEscape(all);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped.substr(escaped.size() - 3), "%20") << "a final space stays visible";
    std::string back;
    ASSERT_TRUE(DescriptionUnescape(escaped, &back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(DescriptionEscape("C:\\Program Files\\App"), "C:\\Program Files\\App");
    EXPECT_FALSE(DescriptionUnescape("%G0", &back));
    EXPECT_FALSE(DescriptionUnescape("%", &back));
    uint32_t value;
    EXPECT_TRUE(DescriptionParseNumber("4294967295", &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_FALSE(DescriptionParseNumber("4294967296", &value));
    EXPECT_TRUE(DescriptionParseNumber("0xAbC", &value));
    EXPECT_EQ(value, 0xABCu);
    EXPECT_FALSE(DescriptionParseNumber("0x", &value));
    EXPECT_FALSE(DescriptionParseNumber("", &value));
    EXPECT_FALSE(DescriptionParseNumber("-1", &value));
}

}  // namespace
