// Damaged and hostile logs, made deterministically from valid ones: the reader either refuses a
// mutant at open or reads every kind of it to a finite end; nothing crashes.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "log/log_reader.h"
#include "log_test_support.h"

using namespace logtest;

namespace {

const int MUTANT_COUNT = 20000;

// No valid chain in these small logs comes near this; a reader still going is not going to stop.
const int READ_LIMIT = 100000;

struct Base {
    Bytes image;
    LogLayout layout;
    std::vector<uint32_t> blocks;   // every block's offset
    std::vector<uint32_t> records;  // every record's offset
};

Base MakeBase(const std::string& path, const std::vector<LogWriterRecord>& records)
{
    LogWriter* writer = LogWriterCreate(path.c_str());
    LogWriterSetString(writer, 1, "Application");
    LogWriterSetString(writer, 9, "Company");
    LogWriterSetString(writer, 11, "");
    for (const LogWriterRecord& record : records)
        LogWriterAddRecord(writer, record);
    LogWriterFinish(writer);
    Base base;
    base.image = ReadBytes(path);
    base.layout = LayoutOf(base.image);
    base.blocks = {base.layout.header, base.layout.strings, base.layout.directory};
    for (const KindLayout& kind : base.layout.kinds)
        for (uint32_t record : kind.records)
            base.records.push_back(record);
    base.blocks.insert(base.blocks.end(), base.records.begin(), base.records.end());
    return base;
}

std::vector<Base> MakeBases(const std::string& path)
{
    std::vector<Base> bases;
    bases.push_back(MakeBase(path, {}));
    bases.push_back(MakeBase(path, {MakeRecord("CF", 7, "C:\\a", 1, {"x"})}));
    std::vector<LogWriterRecord> mixed;
    const char* kinds[] = {"CF", "CSF", "API", "RPI", "CPG", "CDR", "CRK", "SRK", "URK", "MRK", "XYZ", "cf"};
    for (int i = 0; i < 36; ++i)
        mixed.push_back(MakeRecord(kinds[(i * 5) % 12], (uint32_t)(i % 8), std::string((size_t)(i % 7), 'a' + i % 26),
                                   (uint32_t)i, std::vector<std::string>((size_t)(i % 4), "item")));
    bases.push_back(MakeBase(path, mixed));
    std::vector<LogWriterRecord> contiguous;
    for (int i = 0; i < 20; ++i)
        contiguous.push_back(MakeRecord(i < 10 ? "CRK" : "SRK", 1, "HKLM\\Software\\" + std::to_string(i), 0, {}));
    bases.push_back(MakeBase(path, contiguous));
    return bases;
}

uint32_t PickOffsetValue(Random& random, const Base& base, uint32_t self)
{
    uint32_t size = (uint32_t)base.image.size();
    switch (random.Below(9)) {
    case 0: return 0;
    case 1: return self;
    case 2: return size - random.Below(3);
    case 3: return size + random.Below(100);
    case 4: return 0xFFFFFFFF - random.Below(3);
    case 5: return random.Below(size);
    case 6: return base.blocks[random.Below((uint32_t)base.blocks.size())];
    case 7: return base.blocks[random.Below((uint32_t)base.blocks.size())] + 1;
    default: return random.Next();
    }
}

uint16_t PickLength(Random& random, uint16_t length)
{
    const uint16_t choices[] = {0, 1, (uint16_t)(length - 1), (uint16_t)(length + 1), 4096, 4097,
                                (uint16_t)(0x8000 | length), 0xFFFF, (uint16_t)random.Next()};
    return choices[random.Below(sizeof choices / sizeof choices[0])];
}

// One structural or random change of a valid log.
Bytes Mutate(const Base& base, Random& random)
{
    Bytes image = base.image;
    const LogLayout& layout = base.layout;
    uint32_t size = (uint32_t)image.size();
    switch (random.Below(9)) {
    case 0:  // bit flips anywhere
        for (uint32_t n = 1 + random.Below(3); n > 0; --n)
            image[random.Below(size)] ^= (unsigned char)(1 << random.Below(8));
        break;
    case 1:  // truncation
        image.resize(random.Below(size));
        break;
    case 2: {  // a block's length word
        uint32_t block = base.blocks[random.Below((uint32_t)base.blocks.size())];
        LogStoreU16(&image[block], PickLength(random, LogLoadU16(&image[block])));
        break;
    }
    case 3: {  // a byte inside a block's content, where counts and lengths live
        uint32_t block = base.blocks[random.Below((uint32_t)base.blocks.size())];
        Bytes content = BlockAt(image, block);
        if (!content.empty()) {
            content[random.Below((uint32_t)content.size())] = (unsigned char)random.Next();
            PutBlock(image, block, content);
        }
        break;
    }
    case 4: {  // the header's block offsets
        uint32_t at = random.Below(2) ? LOG_HEADER_STRINGS_OFFSET : LOG_HEADER_DIRECTORY_OFFSET;
        SetHeaderField(image, layout, at, PickOffsetValue(random, base, LogLoadU32(&BlockAt(image, layout.header)[at])));
        break;
    }
    case 5:  // a kind's first-record offset or record count
        if (!layout.kinds.empty()) {
            size_t kind = random.Below((uint32_t)layout.kinds.size());
            if (random.Below(2))
                SetDirectoryField(image, layout, kind, KIND_ENTRY_FIRST, PickOffsetValue(random, base, layout.kinds[kind].first));
            else
                SetDirectoryField(image, layout, kind, KIND_ENTRY_COUNT,
                                  random.Below(2) ? layout.kinds[kind].count + random.Below(3) - 1 : random.Next());
        }
        break;
    case 6:  // a record's link: anywhere, onto itself, onto another record (duplicates and loops)
        if (!base.records.empty()) {
            uint32_t record = base.records[random.Below((uint32_t)base.records.size())];
            uint32_t target = random.Below(2) ? base.records[random.Below((uint32_t)base.records.size())]
                                              : PickOffsetValue(random, base, record);
            SetLink(image, record, target);
        }
        break;
    case 7:  // the notice length
        LogStoreU16(&image[LOG_OFFSET_NOTICE_LENGTH], PickLength(random, LogLoadU16(&image[LOG_OFFSET_NOTICE_LENGTH])));
        break;
    default:  // garbage after the end
        for (uint32_t n = 1 + random.Below(64); n > 0; --n)
            image.push_back((unsigned char)random.Next());
        break;
    }
    return image;
}

// Reads every record of the kind; false if the chain did not end.
bool ReadsToAnEnd(InstallLog* log, const char* kind)
{
    if (LogSelectKind(log, kind) != 0)
        return true;
    int mode = READ_FIRST;
    for (int reads = 0; reads < READ_LIMIT; ++reads, mode = READ_NEXT) {
        uint32_t flags, number;
        char text[LOG_RECORD_STRING_BUFFER_SIZE];
        if (LogReadRecord(log, &flags, text, &number, nullptr, mode) != 0)
            return true;
    }
    return false;
}

TEST(LogMutation, EveryMutantIsRefusedOrReadToAnEnd)
{
    std::string path = TempPath("mutant.log");
    std::vector<Base> bases = MakeBases(path);
    Random random(0x5EED1234);
    int opened = 0, refusedByChecksum = 0;
    for (int n = 0; n < MUTANT_COUNT; ++n) {
        if (getenv("LOG_MUTATION_TRACE"))
            fprintf(stderr, "mutant %d\n", n);
        const Base& base = bases[n % bases.size()];
        Bytes mutant = Mutate(base, random);
        bool fixChecksum = n % 2 == 0;
        if (fixChecksum)
            LogImageFixChecksum(mutant);
        ASSERT_TRUE(WriteBytes(path, mutant)) << "mutant " << n << ": the previous one was left open";
        InstallLog* log = LogOpen(path.c_str(), 5);
        if (!log) {
            ASSERT_LT(LogLastError(), 0) << "mutant " << n;
            refusedByChecksum += LogLastError() == LOG_ERR_CHECKSUM;
            continue;
        }
        ++opened;
        for (const char* kind : LOG_UNINSTALL_KINDS)
            ASSERT_TRUE(ReadsToAnEnd(log, kind)) << "mutant " << n << ", kind " << kind;
        for (int i = 0; i < LogKindCount(log); ++i) {
            LogKindInfo info;
            LogGetKind(log, i, &info);
            ASSERT_TRUE(ReadsToAnEnd(log, info.name)) << "mutant " << n << ", kind " << info.name;
        }
        char field[LOG_FIELD_BUFFER_SIZE];
        for (int id = 0; id <= 12; ++id)
            LogGetField(log, id, field);
        ASSERT_EQ(LogClose(log), 0);
    }
    DeleteFileA(path.c_str());
    // The mutants must reach the parser, and some must survive it, or this proves little.
    EXPECT_GT(opened, MUTANT_COUNT / 50);
    EXPECT_LT(refusedByChecksum, MUTANT_COUNT * 3 / 4);
    printf("%d mutants: %d opened, %d refused for their checksum\n", MUTANT_COUNT, opened, refusedByChecksum);
}

}  // namespace
