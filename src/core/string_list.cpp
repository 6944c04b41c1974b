#include "core/string_list.h"

#include <windows.h>
#include <string.h>

struct StringListNode {
    char* text;
    StringListNode* next;
    StringListNode* previous;
};

namespace {

const size_t kSharedPoolSize = 65000;
const char kCarriageReturn = 13;
const char kLineFeed = 10;
const char kEndOfFile = 26;

// Lists without a pool of their own, and the load and save buffers, live here for the whole process.
MemoryPool g_sharedPool = POOL_NONE;

MemoryPool SharedListPool()
{
    if (g_sharedPool == POOL_NONE) g_sharedPool = PoolCreate(kSharedPoolSize, POOL_STANDARD);
    return g_sharedPool;
}

// Releasing an entry must not raise a report of its own: a failure to free is of no consequence
// to the list, which has already unlinked the entry.
void ReleaseQuietly(MemoryPool pool, void* block)
{
    int reports = PoolSetReports(0);
    PoolFree(pool, block);
    PoolSetReports(reports);
}

void ReleaseNode(StringList* list, StringListNode* node)
{
    ReleaseQuietly(list->pool, node->text);
    PoolFree(list->pool, node);
}

// A copy of the entry in the list's pool: a text with its terminator and one spare byte, or a
// fixed record with a terminating zero.
char* CopyEntry(const StringList* list, const char* text)
{
    size_t length = list->elementSize > 0 ? size_t(list->elementSize) : strlen(text);
    size_t room = list->elementSize > 0 ? length + 1 : length + 2;
    char* copy = static_cast<char*>(PoolAlloc(list->pool, room));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text, length);
    memset(copy + length, 0, room - length);
    return copy;
}

// Links the node directly after the current entry; with no current entry it goes first.
void LinkAfterCurrent(StringList* list, StringListNode* node)
{
    StringListNode* before = list->current;
    StringListNode* after = before != nullptr ? before->next : list->first;
    node->previous = before;
    node->next = after;
    if (before != nullptr) before->next = node;
    else list->first = node;
    if (after != nullptr) after->previous = node;
    else list->last = node;
}

const char* TextOf(const StringListNode* node) { return node != nullptr ? node->text : nullptr; }

bool IsLineEnd(char c) { return c == kCarriageReturn || c == kLineFeed; }

// ---- Loading ----------------------------------------------------------------------------------------

// Reading a file in chunks of LIST_LOAD_CHUNK bytes; the unfinished line at a chunk's end is read
// again with the next chunk.
struct LineReader {
    StringList* list;
    HANDLE file;
    char* chunk;            // LIST_LOAD_CHUNK bytes plus a terminator
    DWORD unread;           // bytes of the file not yet read
    bool lineEndOwedToCut;  // the previous chunk ended inside a cut long line
};

// Appends chunk[start, end) as an entry; the byte at 'end' is overwritten by the terminator.
bool AppendLine(LineReader* reader, DWORD start, DWORD end)
{
    reader->chunk[end] = 0;
    return ListAppend(reader->list, reader->chunk + start) != 0;
}

// The next character's offset, stepping over a double-byte character as a whole so that its trail
// byte is never taken for a line end. A zero byte is stepped over singly (the platform's stepping
// function stands still on it).
DWORD NextCharacter(const char* chunk, DWORD offset)
{
    if (chunk[offset] == 0) return offset + 1;
    return DWORD(CharNextA(chunk + offset) - chunk);
}

// A line end directly at the start of a chunk that follows a cut long line ends that line, which
// is already in the list.
DWORD SkipOwedLineEnd(LineReader* reader, DWORD got)
{
    DWORD start = 0;
    if (reader->lineEndOwedToCut && got > 0 && IsLineEnd(reader->chunk[0])) {
        start = 1;
        if (got > 1 && IsLineEnd(reader->chunk[1])) start = 2;
    }
    reader->lineEndOwedToCut = false;
    return start;
}

// Splits one chunk into lines. Answers the offset where the unfinished line at the chunk's end
// begins (got when none is left), or -1 when an entry could not be appended.
long SplitChunk(LineReader* reader, DWORD got, DWORD* lastCharacter)
{
    char* chunk = reader->chunk;
    DWORD lineStart = SkipOwedLineEnd(reader, got);
    DWORD offset = lineStart;
    *lastCharacter = lineStart;
    while (offset < got) {
        *lastCharacter = offset;
        if (!IsLineEnd(chunk[offset])) {
            offset = NextCharacter(chunk, offset);
            continue;
        }
        // A line end that is the chunk's last byte may be the first half of a pair: read it again.
        if (offset == got - 1 && reader->unread > 0) return long(lineStart);
        DWORD after = offset + 1;
        if (after < got && IsLineEnd(chunk[after])) ++after;
        if (!AppendLine(reader, lineStart, offset)) return -1;
        lineStart = after;
        offset = after;
    }
    return long(lineStart);
}

// A line that fills a whole chunk without ending cannot be read again whole: it is cut before the
// chunk's last character when that may be the lead byte of a split double-byte character or a line
// end, so that the cut never splits a character and the rest follows as a new entry.
long CutLongLine(LineReader* reader, DWORD got, DWORD lastCharacter)
{
    char* chunk = reader->chunk;
    DWORD cut = got;
    if (lastCharacter == got - 1 && (IsLineEnd(chunk[lastCharacter]) || IsDBCSLeadByte(BYTE(chunk[lastCharacter]))))
        cut = lastCharacter;
    if (cut == 0) cut = got;
    if (!AppendLine(reader, 0, cut)) return -1;
    reader->lineEndOwedToCut = true;
    return long(cut);
}

// Moves the file back so that the bytes from 'keep' to the chunk's end are read again.
bool RereadFrom(LineReader* reader, DWORD keep, DWORD got)
{
    DWORD back = got - keep;
    if (back == 0) return true;
    if (SetFilePointer(reader->file, -LONG(back), nullptr, FILE_CURRENT) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return false;
    reader->unread += back;
    return true;
}

// Reads the file chunk by chunk: 1 at its end, 0 on a read or memory failure.
int ReadLines(LineReader* reader)
{
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(reader->file, reader->chunk, LIST_LOAD_CHUNK, &got, nullptr)) return 0;
        if (got == 0) return 1;
        // A short read is the file's end, whatever its size was when it was opened.
        reader->unread = got < reader->unread && got == DWORD(LIST_LOAD_CHUNK) ? reader->unread - got : 0;
        reader->chunk[got] = 0;
        DWORD lastCharacter = 0;
        long rest = SplitChunk(reader, got, &lastCharacter);
        if (rest < 0) return 0;
        if (reader->unread > 0) {
            if (rest == 0) rest = CutLongLine(reader, got, lastCharacter);
            if (rest < 0 || !RereadFrom(reader, DWORD(rest), got)) return 0;
            continue;
        }
        // The rest after the last line end is the final line, even when empty, unless it begins
        // with the end-of-file mark.
        bool endMark = DWORD(rest) < got && reader->chunk[rest] == kEndOfFile;
        if (!endMark && !AppendLine(reader, DWORD(rest), got)) return 0;
    }
}

// ---- Saving -------------------------------------------------------------------------------------------

// Entries live in a pool, so none is longer than a pool's largest block.
bool WriteAll(HANDLE file, const char* data, size_t length)
{
    DWORD written = 0;
    return WriteFile(file, data, DWORD(length), &written, nullptr) && written == DWORD(length);
}

bool WriteEntries(StringList* list, HANDLE file)
{
    static const char kLineEnd[] = {kCarriageReturn, kLineFeed};
    bool first = true;
    for (const char* text = ListFirst(list); text != nullptr; text = ListNext(list)) {
        if (!first && !WriteAll(file, kLineEnd, sizeof kLineEnd)) return false;
        if (!WriteAll(file, text, strlen(text))) return false;
        first = false;
    }
    return true;
}

}  // namespace

StringList* ListCreate(int elementSize)
{
    return ListCreateInPool(elementSize, POOL_NONE);
}

StringList* ListCreateInPool(int elementSize, MemoryPool pool)
{
    if (elementSize < 0) return nullptr;
    if (pool == POOL_NONE) pool = SharedListPool();
    if (pool == POOL_NONE) return nullptr;
    StringList* list = static_cast<StringList*>(PoolAlloc(pool, sizeof(StringList)));
    if (list == nullptr) return nullptr;
    list->count = 0;
    list->elementSize = elementSize;
    list->first = nullptr;
    list->last = nullptr;
    list->current = nullptr;
    list->pool = pool;
    return list;
}

int ListDestroy(StringList* list)
{
    if (list == nullptr) return 0;
    for (StringListNode* node = list->first; node != nullptr;) {
        StringListNode* next = node->next;
        ReleaseNode(list, node);
        node = next;
    }
    PoolFree(list->pool, list);
    return 1;
}

int ListAppend(StringList* list, const char* text)
{
    if (list == nullptr || text == nullptr) return 0;
    StringListNode* node = static_cast<StringListNode*>(PoolAlloc(list->pool, sizeof(StringListNode)));
    if (node == nullptr) return 0;
    node->text = CopyEntry(list, text);
    if (node->text == nullptr) {
        PoolFree(list->pool, node);
        return 0;
    }
    LinkAfterCurrent(list, node);
    list->current = node;
    ++list->count;
    return 1;
}

const char* ListFirst(StringList* list)
{
    if (list == nullptr || list->first == nullptr) return nullptr;
    list->current = list->first;
    return TextOf(list->current);
}

const char* ListLast(StringList* list)
{
    if (list == nullptr || list->last == nullptr) return nullptr;
    list->current = list->last;
    return TextOf(list->current);
}

const char* ListNext(StringList* list)
{
    if (list == nullptr || list->current == nullptr || list->current->next == nullptr) return nullptr;
    list->current = list->current->next;
    return TextOf(list->current);
}

int ListCount(const StringList* list)
{
    return list != nullptr ? list->count : 0;
}

ListPosition ListGetPosition(const StringList* list)
{
    return list != nullptr ? list->current : nullptr;
}

// A position is checked against the list's entries, so that one of another list, or of an entry
// removed since, can never become the cursor.
int ListSetPosition(StringList* list, ListPosition position)
{
    if (list == nullptr) return 0;
    if (position == nullptr) {
        list->current = nullptr;
        return 1;
    }
    for (StringListNode* node = list->first; node != nullptr; node = node->next) {
        if (node == position) {
            list->current = node;
            return 1;
        }
    }
    return 0;
}

int ListRemoveCurrent(StringList* list)
{
    if (list == nullptr || list->current == nullptr) return 0;
    StringListNode* node = list->current;
    if (node->previous != nullptr) node->previous->next = node->next;
    else list->first = node->next;
    if (node->next != nullptr) node->next->previous = node->previous;
    else list->last = node->previous;
    list->current = node->next != nullptr ? node->next : node->previous;
    --list->count;
    ReleaseNode(list, node);
    return 1;
}

int ListLoad(StringList* list, const char* path)
{
    if (list == nullptr || list->elementSize != 0 || path == nullptr) return 0;
    MemoryPool pool = SharedListPool();
    char* chunk = pool != POOL_NONE ? static_cast<char*>(PoolAlloc(pool, LIST_LOAD_CHUNK + 1)) : nullptr;
    if (chunk == nullptr) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    int result = 0;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD size = GetFileSize(file, nullptr);
        LineReader reader = {list, file, chunk, size == INVALID_FILE_SIZE ? 0 : size, false};
        result = ReadLines(&reader);
        CloseHandle(file);
    }
    PoolFree(pool, chunk);
    return result;
}

int ListSave(StringList* list, const char* path)
{
    if (list == nullptr || list->elementSize != 0 || path == nullptr) return 0;
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    bool written = WriteEntries(list, file);
    bool closed = CloseHandle(file) != 0;
    return written && closed ? 1 : 0;
}
