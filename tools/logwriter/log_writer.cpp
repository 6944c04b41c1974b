#include "log_writer.h"

#include <stdio.h>
#include <string.h>

#include "log/log_format.h"

namespace {

struct KindState {
    std::string name;
    uint32_t count = 0;
    uint32_t first = 0;
    uint32_t last = 0;
    uint16_t index = 0;
};

// Records are written through this buffer; a link to patch that still sits in it is patched there.
const size_t OUTPUT_BUFFER_SIZE = 1 << 20;

// The longest strings the reader accepts: its callers' buffers less the terminator.
const size_t MAX_HEADER_STRING = 263;
const size_t MAX_RECORD_STRING = 299;

}  // namespace

struct LogWriter {
    FILE* file = nullptr;
    std::string path;
    LogWriterOptions options;
    std::vector<unsigned char> pending;  // bytes from pendingStart on, not yet in the file
    uint32_t pendingStart = 0;
    uint32_t reservedStart = 0;  // file offset of the header block
    std::vector<KindState> kinds;
    std::string strings[LOG_HEADER_STRING_COUNT];
    uint32_t numbers[LOG_FIELD_LAST + 1] = {};
    bool recordCountGiven = false;
    uint32_t recordsWritten = 0;
    std::string error;
};

static int Fail(LogWriter* writer, const std::string& why)
{
    writer->error = why;
    return -1;
}

static uint32_t WriterEnd(const LogWriter* writer)
{
    return writer->pendingStart + (uint32_t)writer->pending.size();
}

static bool FlushPending(LogWriter* writer)
{
    if (writer->pending.empty())
        return true;
    if (fseek(writer->file, (long)writer->pendingStart, SEEK_SET) != 0 ||
        fwrite(writer->pending.data(), 1, writer->pending.size(), writer->file) != writer->pending.size())
        return false;
    writer->pendingStart += (uint32_t)writer->pending.size();
    writer->pending.clear();
    return true;
}

static bool Append(LogWriter* writer, const unsigned char* bytes, size_t count)
{
    if ((uint64_t)WriterEnd(writer) + count > 0xFFFFFFFFu)
        return false;
    writer->pending.insert(writer->pending.end(), bytes, bytes + count);
    return writer->pending.size() < OUTPUT_BUFFER_SIZE || FlushPending(writer);
}

// Overwrites bytes already written, in the buffer or in the file.
static bool WriteAt(LogWriter* writer, uint32_t offset, const unsigned char* bytes, size_t count)
{
    if (offset >= writer->pendingStart) {
        memcpy(writer->pending.data() + (offset - writer->pendingStart), bytes, count);
        return true;
    }
    return fseek(writer->file, (long)offset, SEEK_SET) == 0 && fwrite(bytes, 1, count, writer->file) == count;
}

std::vector<unsigned char> LogEncodeBlock(const std::vector<unsigned char>& content)
{
    std::vector<unsigned char> block(LOG_BLOCK_LENGTH_SIZE + content.size());
    LogStoreU16(block.data(), (uint16_t)content.size());
    if (!content.empty()) {
        memcpy(block.data() + LOG_BLOCK_LENGTH_SIZE, content.data(), content.size());
        ScrambleBlock(block.data() + LOG_BLOCK_LENGTH_SIZE, content.size(), LOG_SCRAMBLE_KEY);
    }
    return block;
}

static void PutU16(std::vector<unsigned char>& out, uint16_t value)
{
    unsigned char bytes[2];
    LogStoreU16(bytes, value);
    out.insert(out.end(), bytes, bytes + 2);
}

static void PutU32(std::vector<unsigned char>& out, uint32_t value)
{
    unsigned char bytes[4];
    LogStoreU32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

static bool PutCounted(std::vector<unsigned char>& out, const std::string& text)
{
    if (text.size() > 0xFFFF)
        return false;
    PutU16(out, (uint16_t)text.size());
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

LogWriter* LogWriterCreate(const char* path, const LogWriterOptions& options)
{
    if (!path || options.notice.size() > 0x7FFF)
        return nullptr;
    FILE* file = fopen(path, "w+b");
    if (!file)
        return nullptr;
    LogWriter* writer = new LogWriter;
    writer->file = file;
    writer->path = path;
    writer->options = options;

    std::vector<unsigned char> head;
    PutU16(head, LOG_MAGIC);
    PutU32(head, options.version);
    PutU32(head, 0);  // checksum, written last
    PutCounted(head, options.notice);
    writer->reservedStart = (uint32_t)head.size();
    head.resize(head.size() + LOG_RESERVED_AREA_SIZE, 0);
    Append(writer, head.data(), head.size());
    return writer;
}

int LogWriterSetString(LogWriter* writer, int fieldId, const std::string& text)
{
    if (!writer)
        return -1;
    int slot = LogHeaderStringSlot(fieldId);
    if (slot < 0)
        return Fail(writer, "field " + std::to_string(fieldId) + " is not a string field");
    if (text.size() > (writer->options.strict ? MAX_HEADER_STRING : 0xFFFF))
        return Fail(writer, "field " + std::to_string(fieldId) + " is too long");
    writer->strings[slot] = text;
    return 0;
}

int LogWriterSetNumber(LogWriter* writer, int fieldId, uint32_t value)
{
    if (!writer)
        return -1;
    if (fieldId != LOG_FIELD_5 && fieldId != LOG_FIELD_6 && fieldId != LOG_FIELD_7 &&
        fieldId != LOG_FIELD_RECORD_COUNT)
        return Fail(writer, "field " + std::to_string(fieldId) + " is not a number field");
    if (fieldId == LOG_FIELD_5 && value > 0xFFFF)
        return Fail(writer, "field 5 holds 16 bits");
    writer->numbers[fieldId] = value;
    if (fieldId == LOG_FIELD_RECORD_COUNT)
        writer->recordCountGiven = true;
    return 0;
}

static KindState* FindKind(LogWriter* writer, const std::string& name)
{
    for (KindState& kind : writer->kinds)
        if (kind.name == name)
            return &kind;
    return nullptr;
}

static KindState* AddKind(LogWriter* writer, const std::string& name)
{
    if (name.size() > (writer->options.strict ? LOG_MAX_KIND_NAME : 0xFFFF)) {
        Fail(writer, "kind name '" + name.substr(0, 40) + "...' is too long");
        return nullptr;
    }
    if (writer->kinds.size() >= 0xFFFF - LOG_FIRST_KIND_INDEX) {
        Fail(writer, "too many kinds");
        return nullptr;
    }
    KindState kind;
    kind.name = name;
    kind.index = (uint16_t)(LOG_FIRST_KIND_INDEX + writer->kinds.size());
    writer->kinds.push_back(kind);
    return &writer->kinds.back();
}

int LogWriterDeclareKind(LogWriter* writer, const std::string& kind)
{
    if (!writer)
        return -1;
    if (FindKind(writer, kind))
        return Fail(writer, "kind '" + kind + "' declared twice");
    return AddKind(writer, kind) ? 0 : -1;
}

static bool EncodeRecord(const LogWriterRecord& record, uint16_t kindIndex, std::vector<unsigned char>& content)
{
    PutU32(content, 0);  // link, patched when the next record of the kind arrives
    PutU16(content, kindIndex);
    PutU16(content, (uint16_t)record.flags);
    if ((record.flags & RECORD_HAS_STRING) && !PutCounted(content, record.string))
        return false;
    if (record.flags & RECORD_HAS_NUMBER)
        PutU32(content, record.number);
    if (record.flags & RECORD_HAS_LIST) {
        if (record.list.size() > 0xFFFF)
            return false;
        PutU16(content, (uint16_t)record.list.size());
        for (const std::string& item : record.list)
            if (!PutCounted(content, item))
                return false;
    }
    return content.size() <= 0xFFFF;
}

static bool PatchLink(LogWriter* writer, uint32_t recordOffset, uint32_t link)
{
    // The link is word 0 of the record's content and was written as 0, so scrambled it reads as
    // the word's delta alone; adding the link to it gives the scrambled link.
    unsigned char word[4];
    LogStoreU32(word, link + ScrambleWordDelta(LOG_SCRAMBLE_KEY, 0));
    return WriteAt(writer, recordOffset + LOG_BLOCK_LENGTH_SIZE + LOG_RECORD_LINK, word, sizeof word);
}

int LogWriterAddRecord(LogWriter* writer, const LogWriterRecord& record)
{
    if (!writer)
        return -1;
    if (record.flags & ~(RECORD_HAS_STRING | RECORD_HAS_NUMBER | RECORD_HAS_LIST))
        return Fail(writer, "unknown record flags");
    if (writer->options.strict && (record.flags & RECORD_HAS_STRING) && record.string.size() > MAX_RECORD_STRING)
        return Fail(writer, "record string longer than " + std::to_string(MAX_RECORD_STRING) + " bytes");
    KindState* kind = FindKind(writer, record.kind);
    if (!kind && !(kind = AddKind(writer, record.kind)))
        return -1;
    std::vector<unsigned char> content;
    if (!EncodeRecord(record, kind->index, content))
        return Fail(writer, "record too long to encode");
    if (writer->options.strict && content.size() > LOG_MAX_BLOCK)
        return Fail(writer, "record longer than " + std::to_string(LOG_MAX_BLOCK) + " bytes");
    uint32_t offset = WriterEnd(writer);
    std::vector<unsigned char> block = LogEncodeBlock(content);
    if (kind->count > 0 && !PatchLink(writer, kind->last, offset))
        return Fail(writer, "cannot write the log");
    if (!Append(writer, block.data(), block.size()))
        return Fail(writer, "cannot write the log");
    if (kind->count == 0)
        kind->first = offset;
    kind->last = offset;
    kind->count++;
    writer->recordsWritten++;
    return 0;
}

static std::vector<unsigned char> DirectoryContent(const LogWriter* writer)
{
    std::vector<unsigned char> content;
    PutU16(content, (uint16_t)writer->kinds.size());
    for (const KindState& kind : writer->kinds) {
        PutCounted(content, kind.name);
        PutU32(content, kind.count);
        PutU32(content, kind.first);
        PutU32(content, kind.last);
        PutU16(content, kind.index);
    }
    return content;
}

static std::vector<unsigned char> HeaderContent(const LogWriter* writer, uint32_t stringsOffset, uint32_t directoryOffset)
{
    std::vector<unsigned char> content;
    PutU32(content, writer->options.version);
    PutU16(content, (uint16_t)writer->numbers[LOG_FIELD_5]);
    PutU32(content, writer->numbers[LOG_FIELD_6]);
    PutU32(content, writer->numbers[LOG_FIELD_7]);
    PutU32(content, writer->recordCountGiven ? writer->numbers[LOG_FIELD_RECORD_COUNT] : writer->recordsWritten);
    PutU32(content, stringsOffset);
    PutU32(content, directoryOffset);
    PutU32(content, 0);
    return content;
}

static bool WriteChecksum(LogWriter* writer)
{
    if (fflush(writer->file) != 0 || fseek(writer->file, (long)LOG_CHECKSUM_START, SEEK_SET) != 0)
        return false;
    uint32_t sum = 0;
    std::vector<unsigned char> chunk(1 << 16);
    size_t got;
    while ((got = fread(chunk.data(), 1, chunk.size(), writer->file)) > 0)
        sum = LogChecksumAdd(sum, chunk.data(), got);
    unsigned char word[4];
    LogStoreU32(word, sum);
    return fseek(writer->file, (long)LOG_OFFSET_CHECKSUM, SEEK_SET) == 0 && fwrite(word, 1, 4, writer->file) == 4;
}

static bool WriteTail(LogWriter* writer)
{
    std::vector<unsigned char> strings;
    for (const std::string& text : writer->strings)
        if (!PutCounted(strings, text))
            return Fail(writer, "header string too long"), false;
    if (writer->options.strict && strings.size() > LOG_MAX_BLOCK)
        return Fail(writer, "header strings longer than one block"), false;
    uint32_t stringsOffset = WriterEnd(writer);
    std::vector<unsigned char> block = LogEncodeBlock(strings);
    if (!Append(writer, block.data(), block.size()) || !FlushPending(writer))
        return Fail(writer, "cannot write the log"), false;

    std::vector<unsigned char> directory = LogEncodeBlock(DirectoryContent(writer));
    if (directory.size() > LOG_MAX_DIRECTORY_BLOCK)
        return Fail(writer, "kind directory does not fit its reserved area"), false;
    uint32_t directoryOffset = writer->reservedStart + LOG_DIRECTORY_AREA_OFFSET;
    std::vector<unsigned char> header = LogEncodeBlock(HeaderContent(writer, stringsOffset, directoryOffset));
    if (!WriteAt(writer, writer->reservedStart, header.data(), header.size()) ||
        !WriteAt(writer, directoryOffset, directory.data(), directory.size()) || !WriteChecksum(writer))
        return Fail(writer, "cannot write the log"), false;
    return true;
}

int LogWriterFinish(LogWriter* writer, std::string* error)
{
    if (!writer)
        return -1;
    bool ok = WriteTail(writer);
    if (fclose(writer->file) != 0 && ok)
        ok = !Fail(writer, "cannot close the log");
    if (!ok)
        remove(writer->path.c_str());
    if (error)
        *error = writer->error;
    delete writer;
    return ok ? 0 : -1;
}

void LogWriterAbandon(LogWriter* writer)
{
    if (!writer)
        return;
    fclose(writer->file);
    remove(writer->path.c_str());
    delete writer;
}

const char* LogWriterError(const LogWriter* writer)
{
    return writer ? writer->error.c_str() : "no writer";
}

void LogImageFixChecksum(std::vector<unsigned char>& image)
{
    if (image.size() < LOG_CHECKSUM_START)
        return;
    uint32_t sum = LogChecksumAdd(0, image.data() + LOG_CHECKSUM_START, image.size() - LOG_CHECKSUM_START);
    LogStoreU32(image.data() + LOG_OFFSET_CHECKSUM, sum);
}
