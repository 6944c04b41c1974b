#include "log/log_reader.h"

#include <string.h>

#include "core/hash_table.h"
#include "core/pool.h"
#include "core/string_list.h"
#include "log/buffered_file.h"
#include "services/paths.h"

namespace {

const size_t LOG_POOL_SIZE = 8192;
const unsigned long LOG_POOL_FLAGS = POOL_ZERO_FILL | POOL_GROWABLE | POOL_TRY_ENLARGE;
const int DIRECTORY_BUCKETS = 73;
const size_t CHECKSUM_PIECE = 4096;
const size_t CHECKSUM_BUFFER_SIZE = CHECKSUM_PIECE + 10;

// The longest texts the callers' buffers take, terminator excluded.
const uint32_t MAX_HEADER_STRING = LOG_FIELD_BUFFER_SIZE - 1;
const uint32_t MAX_RECORD_STRING = LOG_RECORD_STRING_BUFFER_SIZE - 1;

// The smallest record block: length word, link, kind index and flags. No log can hold more
// records than its size allows blocks of this size, which bounds every chain walk.
const uint32_t MIN_RECORD_BLOCK = LOG_BLOCK_LENGTH_SIZE + LOG_RECORD_PARTS;

// The smallest directory entry: an empty counted name and the fixed fields.
const uint32_t MIN_KIND_ENTRY = 2 + LOG_KIND_ENTRY_FIXED_SIZE;

struct KindEntry {
    char name[LOG_MAX_KIND_NAME + 1];
    uint32_t firstRecord;
    uint32_t lastRecord;
    uint32_t recordCount;
    uint32_t kindIndex;
};

// A counted string inside the block buffer.
struct CountedText {
    const unsigned char* bytes;
    uint32_t length;
};

// One decoded record: its fixed fields, and where its parts lie in the block buffer, every part
// bounds-checked. It is valid until the next block is read.
struct LogRecord {
    uint32_t link;
    uint32_t kindIndex;
    uint32_t flags;
    CountedText string;
    uint32_t number;
    uint32_t listCount;
    const unsigned char* listStart;  // the first counted string of the list
};

// Reads a block's content front to back; every take checks that the block holds what is taken.
struct BlockCursor {
    const unsigned char* next;
    uint32_t left;
};

int g_lastError = LOG_OK;

int SetError(int code)
{
    g_lastError = code;
    return code;
}

bool TakeBytes(BlockCursor* cursor, uint32_t count, const unsigned char** bytes)
{
    if (count > cursor->left)
        return false;
    *bytes = cursor->next;
    cursor->next += count;
    cursor->left -= count;
    return true;
}

bool TakeU16(BlockCursor* cursor, uint32_t* value)
{
    const unsigned char* bytes;
    if (!TakeBytes(cursor, 2, &bytes))
        return false;
    *value = LogLoadU16(bytes);
    return true;
}

bool TakeU32(BlockCursor* cursor, uint32_t* value)
{
    const unsigned char* bytes;
    if (!TakeBytes(cursor, 4, &bytes))
        return false;
    *value = LogLoadU32(bytes);
    return true;
}

bool TakeCounted(BlockCursor* cursor, CountedText* text)
{
    return TakeU16(cursor, &text->length) && TakeBytes(cursor, text->length, &text->bytes);
}

}  // namespace

struct InstallLog {
    unsigned char header[LOG_HEADER_BLOCK_SIZE];
    char* strings[LOG_HEADER_STRING_COUNT];  // null stands for empty
    HashTable* directory;
    KindEntry** kinds;  // the directory in file order
    int kindCount;
    char selectedKind[LOG_SELECTED_KIND_SIZE];
    bool selectionRefused;
    uint32_t chainPosition;
    bool firstPending;
    uint32_t chainDelivered;  // records of the selected kind handed out since READ_FIRST
    uint32_t chainLimit;      // the selected kind's record count
    BufferedFile file;
    char path[PATH_BUFFER_SIZE];
    MemoryPool pool;
    uint32_t openFlags;
    unsigned char* block;
    uint32_t blockLength;
    char* text;  // a counted string of the block, zero-terminated for the caller
    uint32_t fileSize;
};

namespace {

// Reads the block at offset into the block buffer and unscrambles it. Blocks that would not fit the
// buffer, or reach past the end of the file, are refused before anything is read.
bool ReadBlock(InstallLog* log, uint32_t offset)
{
    if (offset < LOG_OFFSET_NOTICE || (uint64_t)offset + LOG_BLOCK_LENGTH_SIZE > log->fileSize)
        return false;
    DWORD position = offset;
    if (FileSeek(log->file, &position) != 0)
        return false;
    unsigned char lengthWord[LOG_BLOCK_LENGTH_SIZE];
    if (FileRead(log->file, lengthWord, sizeof lengthWord) != (int)sizeof lengthWord)
        return false;
    uint32_t length = LogLoadU16(lengthWord);
    if (length > LOG_MAX_BLOCK || length > log->fileSize - offset - LOG_BLOCK_LENGTH_SIZE)
        return false;
    if (length > 0 && FileRead(log->file, log->block, (int)length) != (int)length)
        return false;
    UnscrambleBlock(log->block, length, LOG_SCRAMBLE_KEY);
    log->blockLength = length;
    return true;
}

BlockCursor BlockContent(const InstallLog* log)
{
    BlockCursor cursor = {log->block, log->blockLength};
    return cursor;
}

// A zero-terminated pool copy of a counted string (L + 2 zero-filled bytes), or null.
char* CopyText(InstallLog* log, const CountedText& text)
{
    char* copy = (char*)PoolAlloc(log->pool, text.length + 2);
    if (copy)
        memcpy(copy, text.bytes, text.length);
    return copy;
}

// Checks the whole record block in the buffer and notes where its parts lie.
bool ParseRecord(const InstallLog* log, LogRecord* record)
{
    BlockCursor cursor = BlockContent(log);
    *record = LogRecord();
    if (!TakeU32(&cursor, &record->link) || !TakeU16(&cursor, &record->kindIndex) || !TakeU16(&cursor, &record->flags))
        return false;
    if ((record->flags & RECORD_HAS_STRING) &&
        (!TakeCounted(&cursor, &record->string) || record->string.length > MAX_RECORD_STRING))
        return false;
    if ((record->flags & RECORD_HAS_NUMBER) && !TakeU32(&cursor, &record->number))
        return false;
    if (record->flags & RECORD_HAS_LIST) {
        if (!TakeU16(&cursor, &record->listCount))
            return false;
        record->listStart = cursor.next;
        for (uint32_t i = 0; i < record->listCount; ++i) {
            CountedText item;
            if (!TakeCounted(&cursor, &item))
                return false;
        }
    }
    return true;
}

int ComputeChecksum(InstallLog* log, uint32_t* sum)
{
    *sum = 0;
    unsigned char* buffer = (unsigned char*)PoolAlloc(log->pool, CHECKSUM_BUFFER_SIZE);
    if (!buffer) {
        *sum = 1;
        return 0;
    }
    DWORD remembered = 0;
    FileFlush(log->file);
    FileTell(log->file, &remembered);
    DWORD position = LOG_CHECKSUM_START;
    FileSeek(log->file, &position);
    uint32_t wanted = log->fileSize > LOG_CHECKSUM_START ? log->fileSize - LOG_CHECKSUM_START : 0;
    uint32_t done = 0;
    while (done < wanted) {
        int got = FileRead(log->file, buffer, (int)CHECKSUM_PIECE);
        if (got <= 0)
            break;
        *sum = LogChecksumAdd(*sum, buffer, (size_t)got);
        done += (uint32_t)got;
    }
    PoolFree(log->pool, buffer);
    FileSeek(log->file, &remembered);
    return 0;
}

// The header block follows the notice text, whose signed length stands at offset 10.
int ReadHeader(InstallLog* log)
{
    DWORD position = LOG_OFFSET_NOTICE_LENGTH;
    FileSeek(log->file, &position);
    int32_t noticeLength = (int16_t)FileReadWord(log->file);
    int64_t headerOffset = (int64_t)LOG_OFFSET_NOTICE + noticeLength;
    if (headerOffset < (int64_t)LOG_OFFSET_NOTICE || !ReadBlock(log, (uint32_t)headerOffset))
        return LOG_ERR_BAD_BLOCK;
    // Only the first 30 bytes mean anything; a shorter header block lacks fields.
    if (log->blockLength < LOG_HEADER_BLOCK_SIZE)
        return LOG_ERR_BAD_BLOCK;
    memcpy(log->header, log->block, LOG_HEADER_BLOCK_SIZE);
    return LOG_OK;
}

int ReadHeaderStrings(InstallLog* log)
{
    if (!ReadBlock(log, LogLoadU32(log->header + LOG_HEADER_STRINGS_OFFSET)))
        return LOG_ERR_BAD_BLOCK;
    BlockCursor cursor = BlockContent(log);
    for (int slot = 0; slot < LOG_HEADER_STRING_COUNT; ++slot) {
        CountedText text;
        // A header string longer than the callers' buffers is refused rather than cut: a cut key
        // name would name another registry key.
        if (!TakeCounted(&cursor, &text) || text.length > MAX_HEADER_STRING)
            return LOG_ERR_BAD_BLOCK;
        if (!(log->strings[slot] = CopyText(log, text)))
            return LOG_ERR_NO_MEMORY;
    }
    return LOG_OK;
}

int ReadKindEntry(InstallLog* log, BlockCursor* cursor, KindEntry** entryOut)
{
    CountedText name;
    uint32_t count, first, last, index;
    if (!TakeCounted(cursor, &name) || name.length > LOG_MAX_KIND_NAME || !TakeU32(cursor, &count) ||
        !TakeU32(cursor, &first) || !TakeU32(cursor, &last) || !TakeU16(cursor, &index))
        return LOG_ERR_BAD_BLOCK;
    KindEntry* entry = (KindEntry*)PoolAlloc(log->pool, sizeof(KindEntry));
    if (!entry)
        return LOG_ERR_NO_MEMORY;
    memcpy(entry->name, name.bytes, name.length);
    entry->recordCount = count;
    entry->firstRecord = first;
    entry->lastRecord = last;
    entry->kindIndex = index;
    // A name with a zero byte inside would be looked up by its shorter self.
    if (strlen(entry->name) != name.length)
        return LOG_ERR_BAD_BLOCK;
    *entryOut = entry;
    return LOG_OK;
}

int ReadDirectory(InstallLog* log)
{
    if (!ReadBlock(log, LogLoadU32(log->header + LOG_HEADER_DIRECTORY_OFFSET)))
        return LOG_ERR_BAD_BLOCK;
    BlockCursor cursor = BlockContent(log);
    uint32_t entries;
    // The count must be checked against what the block can hold before it sizes an allocation: a
    // request beyond the pool's size would not merely fail, it would bring up the pool's report.
    if (!TakeU16(&cursor, &entries) || entries > cursor.left / MIN_KIND_ENTRY)
        return LOG_ERR_BAD_BLOCK;
    if (entries > 0 && !(log->kinds = (KindEntry**)PoolAlloc(log->pool, entries * sizeof(KindEntry*))))
        return LOG_ERR_NO_MEMORY;
    uint64_t totalRecords = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        KindEntry* entry;
        int result = ReadKindEntry(log, &cursor, &entry);
        if (result != LOG_OK)
            return result;
        // More records than the file has room for cannot be; refusing them here bounds the walks.
        totalRecords += entry->recordCount;
        if (totalRecords > log->fileSize / MIN_RECORD_BLOCK)
            return LOG_ERR_BAD_BLOCK;
        if (HashInsert(log->directory, entry->name, (uintptr_t)entry, 0) != HASH_OK)
            return LOG_ERR_NO_MEMORY;
        log->kinds[log->kindCount++] = entry;
    }
    return LOG_OK;
}

// Follows one kind's chain through every record: each block must be whole and well formed, and the
// chain must hold exactly the directory's number of records. A chain that loops back on itself is
// caught by the count, since it never ends.
int CheckChain(InstallLog* log, const KindEntry* entry)
{
    uint32_t position = entry->firstRecord;
    uint32_t seen = 0;
    while (position != 0) {
        LogRecord record;
        if (seen == entry->recordCount || !ReadBlock(log, position) || !ParseRecord(log, &record))
            return LOG_ERR_BAD_BLOCK;
        ++seen;
        position = record.link;
    }
    return seen == entry->recordCount ? LOG_OK : LOG_ERR_BAD_BLOCK;
}

int CheckChains(InstallLog* log)
{
    for (int i = 0; i < log->kindCount; ++i) {
        int result = CheckChain(log, log->kinds[i]);
        if (result != LOG_OK)
            return result;
    }
    return LOG_OK;
}

// The checks of an open, in order; each failure leaves its own code.
int Validate(InstallLog* log)
{
    if (!FileExists(log->path))
        return LOG_ERR_NOT_FOUND;
    if ((log->file = FileOpen(log->path, FILE_OPEN_READ)) == INVALID_HANDLE_VALUE)
        return LOG_ERR_CANNOT_OPEN;
    log->fileSize = FileSize(log->file);
    DWORD position = LOG_OFFSET_MAGIC;
    FileSeek(log->file, &position);
    if (FileReadWord(log->file) != LOG_MAGIC)
        return LOG_ERR_NOT_A_LOG;
    if (FileReadDword(log->file) > LOG_FORMAT_VERSION)
        return LOG_ERR_NEWER_VERSION;
    uint32_t stored = FileReadDword(log->file);
    uint32_t computed;
    ComputeChecksum(log, &computed);
    if (computed != stored)
        return LOG_ERR_CHECKSUM;
    int result = ReadHeader(log);
    if (result == LOG_OK)
        result = ReadHeaderStrings(log);
    if (result == LOG_OK)
        result = ReadDirectory(log);
    if (result == LOG_OK)
        result = CheckChains(log);
    return result;
}

InstallLog* CreateLog(const char* path, uint32_t openFlags)
{
    MemoryPool pool = PoolCreate(LOG_POOL_SIZE, LOG_POOL_FLAGS);
    if (pool == POOL_NONE)
        return nullptr;
    InstallLog* log = (InstallLog*)PoolAlloc(pool, sizeof(InstallLog));
    if (log) {
        log->pool = pool;
        log->file = INVALID_HANDLE_VALUE;
        log->block = (unsigned char*)PoolAlloc(pool, LOG_MAX_BLOCK);
        log->text = (char*)PoolAlloc(pool, LOG_MAX_BLOCK + 1);
        log->directory = HashCreate(DIRECTORY_BUCKETS, pool);
        log->openFlags = openFlags;
        strcpy(log->path, path);
    }
    if (!log || !log->block || !log->text || !log->directory) {
        PoolDestroy(pool);
        return nullptr;
    }
    return log;
}

void DestroyLog(InstallLog* log)
{
    if (log->file != INVALID_HANDLE_VALUE)
        FileClose(log->file);
    PoolDestroy(log->pool);
}

KindEntry* SelectedEntry(const InstallLog* log)
{
    uintptr_t value = 0;
    return HashFind(log->directory, log->selectedKind, &value) ? (KindEntry*)value : nullptr;
}

// Where the requested record lies: 0 and *offset, 1 for no record, or a negative code.
int LocateRecord(InstallLog* log, int mode, uint32_t* offset)
{
    if (mode == READ_FIRST) {
        log->chainPosition = 0;
        log->chainDelivered = 0;
        log->firstPending = false;
        if (log->selectionRefused)
            return LOG_ERR_NO_HANDLE;
        KindEntry* entry = SelectedEntry(log);
        if (!entry)
            return LOG_NO_RECORD;
        log->chainLimit = entry->recordCount;
        log->chainPosition = entry->firstRecord;
    } else {
        if (log->firstPending)
            return LOG_ERR_NOT_STARTED;
        if (log->selectionRefused || !SelectedEntry(log))
            return LOG_ERR_NO_HANDLE;
    }
    if (log->chainPosition == 0)
        return LOG_NO_RECORD;
    // The open checked every chain; this keeps a reader that was never told about a loop finite.
    if (log->chainDelivered >= log->chainLimit)
        return LOG_ERR_BAD_BLOCK;
    *offset = log->chainPosition;
    return LOG_OK;
}

// A counted string as a zero-terminated text in the log's text buffer.
const char* TerminatedText(InstallLog* log, const CountedText& text)
{
    memcpy(log->text, text.bytes, text.length);
    log->text[text.length] = 0;
    return log->text;
}

// Hands the record's parts to the caller's outputs; those whose flag is clear stay untouched.
int DeliverRecord(InstallLog* log, const LogRecord& record, uint32_t* flags, char* stringBuffer, uint32_t* number,
                  StringList* list)
{
    if (flags)
        *flags = record.flags;
    if ((record.flags & RECORD_HAS_STRING) && stringBuffer)
        strcpy(stringBuffer, TerminatedText(log, record.string));
    if ((record.flags & RECORD_HAS_NUMBER) && number)
        *number = record.number;
    if (!(record.flags & RECORD_HAS_LIST) || !list)
        return LOG_OK;
    BlockCursor cursor = {record.listStart, (uint32_t)(log->block + log->blockLength - record.listStart)};
    for (uint32_t i = 0; i < record.listCount; ++i) {
        CountedText item = {nullptr, 0};
        if (!TakeCounted(&cursor, &item))
            return LOG_ERR_BAD_BLOCK;
        if (!ListAppend(list, TerminatedText(log, item)))
            return LOG_ERR_NO_MEMORY;
    }
    return LOG_OK;
}

}  // namespace

InstallLog* LogOpen(const char* path, uint32_t openFlags)
{
    if (!path || !path[0]) {
        SetError(LOG_ERR_NOT_FOUND);
        return nullptr;
    }
    if (strlen(path) > MAX_PATH) {
        SetError(LOG_ERR_CANNOT_OPEN);
        return nullptr;
    }
    InstallLog* log = CreateLog(path, openFlags);
    if (!log) {
        SetError(LOG_ERR_NO_MEMORY);
        return nullptr;
    }
    // Creating logs belongs to the installer; without the bit for reading there is nothing to do.
    if (!(openFlags & LOG_OPEN_EXISTING)) {
        SetError(LOG_ERR_NOT_READING);
        DestroyLog(log);
        return nullptr;
    }
    int result = Validate(log);
    if (result != LOG_OK) {
        SetError(result);
        DestroyLog(log);
        return nullptr;
    }
    SetError(LOG_OK);
    return log;
}

int32_t LogGetField(InstallLog* log, int fieldId, char* buffer)
{
    if (!log) {
        SetError(LOG_ERR_NO_HANDLE);
        return 0;
    }
    SetError(LOG_OK);
    int slot = LogHeaderStringSlot(fieldId);
    if (slot >= 0) {
        if (!buffer)
            return 0;
        const char* text = log->strings[slot] ? log->strings[slot] : "";
        strcpy(buffer, text);
        return (int32_t)strlen(text);
    }
    switch (fieldId) {
    case LOG_FIELD_5:
        return LogLoadU16(log->header + LOG_HEADER_FIELD5);
    case LOG_FIELD_6:
        return (int32_t)LogLoadU32(log->header + LOG_HEADER_FIELD6);
    case LOG_FIELD_7:
        return (int32_t)LogLoadU32(log->header + LOG_HEADER_FIELD7);
    case LOG_FIELD_RECORD_COUNT:
        return (int32_t)LogLoadU32(log->header + LOG_HEADER_RECORD_COUNT);
    default:
        return 0;
    }
}

int LogSelectKind(InstallLog* log, const char* kindName)
{
    if (!log || !kindName)
        return SetError(LOG_ERR_NO_HANDLE);
    if (!(log->openFlags & LOG_OPEN_EXISTING))
        return SetError(LOG_ERR_NOT_READING);
    log->firstPending = true;
    log->chainPosition = 0;
    // A name that does not fit is refused, and no earlier selection stays in force behind it.
    log->selectionRefused = strlen(kindName) >= sizeof log->selectedKind;
    if (log->selectionRefused) {
        log->selectedKind[0] = 0;
        return SetError(LOG_ERR_NO_HANDLE);
    }
    strcpy(log->selectedKind, kindName);
    return SetError(LOG_OK);
}

int LogReadRecord(InstallLog* log, uint32_t* flags, char* stringBuffer, uint32_t* number, StringList* list, int mode)
{
    if (!log)
        return SetError(LOG_ERR_NO_HANDLE);
    if (!(log->openFlags & LOG_OPEN_EXISTING))
        return SetError(LOG_ERR_NOT_READING);
    SetError(LOG_NO_RECORD);
    uint32_t offset = 0;
    int result = LocateRecord(log, mode, &offset);
    if (result != LOG_OK)
        return SetError(result);
    LogRecord record;
    if (!ReadBlock(log, offset) || !ParseRecord(log, &record))
        return SetError(LOG_ERR_BAD_BLOCK);
    log->chainPosition = record.link;
    log->chainDelivered++;
    result = DeliverRecord(log, record, flags, stringBuffer, number, list);
    return SetError(result);
}

int LogClose(InstallLog* log)
{
    if (!log)
        return SetError(LOG_ERR_NO_HANDLE);
    DestroyLog(log);
    return SetError(LOG_OK);
}

int LogLastError()
{
    return g_lastError;
}

int LogKindCount(InstallLog* log)
{
    return log ? log->kindCount : 0;
}

int LogGetKind(InstallLog* log, int position, LogKindInfo* info)
{
    if (!log || !info || position < 0 || position >= log->kindCount)
        return 0;
    const KindEntry* entry = log->kinds[position];
    strcpy(info->name, entry->name);
    info->recordCount = entry->recordCount;
    info->firstRecord = entry->firstRecord;
    info->lastRecord = entry->lastRecord;
    info->kindIndex = entry->kindIndex;
    return 1;
}
