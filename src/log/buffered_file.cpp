#include "log/buffered_file.h"

#include <stdio.h>
#include <string.h>

#include "core/pool.h"
#include "services/paths.h"

namespace {

struct FileSlot {
    int32_t position;      // next byte in the window
    int32_t fill;          // valid bytes in the window
    DWORD windowStart;     // file offset of window byte 0
    DWORD windowLast;      // file offset of the last valid byte; windowStart when empty
    HANDLE handle;         // null while the slot is free
    bool writable;
    bool dirty;
    unsigned char* window;
};

// The window is allocated a little larger than it is used, as it always has been.
const size_t WINDOW_ALLOCATION = FILE_WINDOW_SIZE + 10;
const size_t BUFFER_POOL_SIZE = FILE_WINDOW_SIZE * 7 / 6;
const unsigned long BUFFER_POOL_FLAGS = 0x103;

const size_t COPY_POOL_SIZE = 16394;
const unsigned long COPY_POOL_FLAGS = POOL_TRY_ENLARGE | POOL_GROWABLE;
const DWORD COPY_CHUNK = 16384;
const size_t COPY_BUFFER_SIZE = COPY_CHUNK + 1;

const int TEMP_NAME_LIMIT = 1000;

FileSlot g_slots[FILE_SLOT_COUNT];
MemoryPool g_bufferPool = POOL_NONE;
FreeBytesQuery g_freeBytesQuery = nullptr;

FileSlot* FindSlot(BufferedFile file)
{
    if (!file || file == INVALID_HANDLE_VALUE)
        return nullptr;
    for (FileSlot& slot : g_slots)
        if (slot.handle == file)
            return &slot;
    return nullptr;
}

FileSlot* FreeSlot()
{
    for (FileSlot& slot : g_slots)
        if (!slot.handle)
            return &slot;
    return nullptr;
}

bool AnySlotInUse()
{
    for (const FileSlot& slot : g_slots)
        if (slot.handle)
            return true;
    return false;
}

void ReleaseBufferPoolIfIdle()
{
    if (!AnySlotInUse() && g_bufferPool != POOL_NONE) {
        PoolDestroy(g_bufferPool);
        g_bufferPool = POOL_NONE;
    }
}

bool SeekRawTo(HANDLE file, DWORD offset)
{
    DWORD wanted = offset;
    return RawSeek(file, &wanted) == offset;
}

// Loads the window from windowStart. The end of the file counts as failure; a failed fill leaves
// an empty window at windowStart, so the logical position stays where the data ended.
bool FillWindow(FileSlot* slot)
{
    DWORD count = FILE_WINDOW_SIZE;
    if (!SeekRawTo(slot->handle, slot->windowStart) || RawRead(slot->handle, slot->window, &count) <= 0) {
        slot->position = 0;
        slot->fill = 0;
        slot->windowLast = slot->windowStart;
        return false;
    }
    slot->fill = (int32_t)count;
    slot->windowLast = slot->windowStart + count - 1;
    slot->position = 0;
    return true;
}

// Makes the window hold the next unread byte: true, or false at the end of the file or on failure.
bool AdvanceWindow(FileSlot* slot)
{
    if (slot->writable && FileFlush(slot->handle) < 0)
        return false;
    if (slot->fill != 0)
        slot->windowStart = slot->windowLast + 1;
    return FillWindow(slot);
}

// Makes room for the next written byte: true, or false if a full window could not be written back.
bool MakeRoomToWrite(FileSlot* slot)
{
    return slot->position < FILE_WINDOW_SIZE || FileFlush(slot->handle) >= 0;
}

void StoreByte(FileSlot* slot, unsigned char byte)
{
    slot->window[slot->position] = byte;
    slot->dirty = true;
    if (slot->position >= slot->fill)
        slot->fill = slot->position + 1;
    slot->windowLast = slot->windowStart + (DWORD)slot->fill - 1;
    slot->position++;
}

// The size of a file that may exceed what one 32-bit size can tell: false if it cannot be had or
// is 4 GB or more.
bool RawSizeOf(HANDLE file, DWORD* size)
{
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0)
        return false;
    *size = low;
    return true;
}

// Opens type 1: an empty file whatever was there before.
HANDLE OpenEmpty(const char* path)
{
    DeleteFileA(path);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    // A file that could not be deleted (another program holds it open for deleting, say) is opened
    // with its old bytes; cut them, or a shorter copy would keep the old file's tail.
    if (GetFileSize(file, NULL) != 0 && (!SeekRawTo(file, 0) || !SetEndOfFile(file))) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

int CopyContents(HANDLE source, HANDLE destination, DWORD size, unsigned char* buffer)
{
    DWORD remaining = size;
    while (remaining > 0) {
        DWORD chunk = remaining < COPY_CHUNK ? remaining : COPY_CHUNK;
        DWORD count = chunk;
        if (RawRead(source, buffer, &count) != (int)chunk)
            return -1;
        count = chunk;
        if (RawWrite(destination, buffer, &count) != (int)chunk)
            return -1;
        remaining -= chunk;
    }
    return 0;
}

int CopyOpenSource(HANDLE source, const char* destinationPath, unsigned char* buffer)
{
    DWORD size;
    if (!RawSizeOf(source, &size))
        return -1;
    DWORD freeBytes = g_freeBytesQuery ? g_freeBytesQuery(destinationPath) : GetFreeBytes(destinationPath);
    // Unsigned on purpose: a drive whose free space is unknown (0) or a network path that cannot be
    // asked (0xFFFFFFFF) never refuses the copy.
    if (freeBytes - FILE_COPY_SPACE_MARGIN < size)
        return FILE_COPY_NO_SPACE;
    HANDLE destination = RawOpen(destinationPath, FILE_OPEN_CREATE);
    if (destination == INVALID_HANDLE_VALUE)
        return -1;
    if (CopyContents(source, destination, size, buffer) != 0) {
        RawClose(destination);
        FileDelete(destinationPath);
        return -1;
    }
    int closed = RawClose(destination);
    if (closed != 0)
        FileDelete(destinationPath);
    return closed;
}

}  // namespace

HANDLE RawOpen(const char* path, int openType)
{
    if (!path)
        return INVALID_HANDLE_VALUE;
    switch (openType) {
    case FILE_OPEN_CREATE:
        return OpenEmpty(path);
    case FILE_OPEN_READ:
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    case FILE_OPEN_READ_WRITE:
        return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    default:
        return INVALID_HANDLE_VALUE;
    }
}

int RawClose(HANDLE file)
{
    return CloseHandle(file) ? 0 : -1;
}

int RawRead(HANDLE file, void* buffer, DWORD* count)
{
    DWORD done = 0;
    if (!count || !ReadFile(file, buffer, *count, &done, NULL))
        return -1;
    *count = done;
    return (int)done;
}

int RawWrite(HANDLE file, const void* buffer, DWORD* count)
{
    DWORD done = 0;
    if (!count || !WriteFile(file, buffer, *count, &done, NULL))
        return -1;
    *count = done;
    return (int)done;
}

DWORD RawSeek(HANDLE file, DWORD* offset)
{
    // With the high part given, the low part counts as unsigned: offsets up to 4 GB - 1.
    LONG high = 0;
    DWORD landed = SetFilePointer(file, (LONG)*offset, &high, FILE_BEGIN);
    if (landed == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        landed = INVALID_SET_FILE_POINTER;
    *offset = landed;
    return landed;
}

DWORD RawSize(HANDLE file)
{
    DWORD size;
    return RawSizeOf(file, &size) ? size : 0;
}

int FileDelete(const char* path)
{
    return path && DeleteFileA(path) ? 0 : -1;
}

int FileMove(const char* oldPath, const char* newPath)
{
    return oldPath && newPath && MoveFileA(oldPath, newPath) ? 0 : -1;
}

BufferedFile FileOpen(const char* path, int openType)
{
    HANDLE file = RawOpen(path, openType);
    if (file == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    if (g_bufferPool == POOL_NONE)
        g_bufferPool = PoolCreate(BUFFER_POOL_SIZE, BUFFER_POOL_FLAGS);
    FileSlot* slot = g_bufferPool == POOL_NONE ? nullptr : FreeSlot();
    unsigned char* window = slot ? (unsigned char*)PoolAlloc(g_bufferPool, WINDOW_ALLOCATION) : nullptr;
    if (!window) {
        // The raw handle would be lost to the caller; close it here.
        RawClose(file);
        ReleaseBufferPoolIfIdle();
        return INVALID_HANDLE_VALUE;
    }
    *slot = FileSlot();
    slot->handle = file;
    slot->writable = openType == FILE_OPEN_CREATE || openType == FILE_OPEN_READ_WRITE;
    slot->window = window;
    return file;
}

int FileClose(BufferedFile file)
{
    FileSlot* slot = FindSlot(file);
    if (!slot)
        return -1;
    int flushed = FileFlush(file);
    int closed = RawClose(file);
    PoolFree(g_bufferPool, slot->window);
    *slot = FileSlot();
    ReleaseBufferPoolIfIdle();
    return flushed < 0 ? -1 : closed;
}

int FileRead(BufferedFile file, void* buffer, int count)
{
    FileSlot* slot = FindSlot(file);
    if (!slot)
        return 0;
    unsigned char* out = (unsigned char*)buffer;
    int delivered = 0;
    while (delivered < count) {
        if (slot->position >= slot->fill && !AdvanceWindow(slot))
            return delivered > 0 ? delivered : -1;
        int available = slot->fill - slot->position;
        int chunk = count - delivered < available ? count - delivered : available;
        memcpy(out + delivered, slot->window + slot->position, (size_t)chunk);
        slot->position += chunk;
        delivered += chunk;
    }
    return delivered;
}

int FileWrite(BufferedFile file, const void* buffer, int count)
{
    FileSlot* slot = FindSlot(file);
    if (!slot)
        return 0;
    if (!slot->writable)
        return -1;
    const unsigned char* in = (const unsigned char*)buffer;
    for (int i = 0; i < count; ++i) {
        if (!MakeRoomToWrite(slot))
            return -1;
        StoreByte(slot, in[i]);
    }
    return count;
}

int FileGetByte(BufferedFile file)
{
    FileSlot* slot = FindSlot(file);
    if (!slot || (slot->position >= slot->fill && !AdvanceWindow(slot)))
        return -1;
    return (signed char)slot->window[slot->position++];
}

int FilePutByte(BufferedFile file, int byte)
{
    FileSlot* slot = FindSlot(file);
    if (!slot || !slot->writable || !MakeRoomToWrite(slot))
        return -1;
    StoreByte(slot, (unsigned char)byte);
    return byte;
}

uint32_t FileReadWord(BufferedFile file)
{
    uint32_t low = (uint32_t)FileGetByte(file) & 0xFF;
    uint32_t high = (uint32_t)FileGetByte(file) & 0xFF;
    return low | (high << 8);
}

uint32_t FileReadDword(BufferedFile file)
{
    uint32_t low = FileReadWord(file);
    return low | (FileReadWord(file) << 16);
}

int FileWriteWord(uint32_t value, BufferedFile file)
{
    bool ok = FilePutByte(file, (int)(value & 0xFF)) >= 0;
    ok = FilePutByte(file, (int)((value >> 8) & 0xFF)) >= 0 && ok;
    return ok ? 0 : -1;
}

int FileWriteDword(uint32_t value, BufferedFile file)
{
    bool ok = FileWriteWord(value & 0xFFFF, file) == 0;
    ok = FileWriteWord(value >> 16, file) == 0 && ok;
    return ok ? 0 : -1;
}

int FileTell(BufferedFile file, DWORD* position)
{
    FileSlot* slot = FindSlot(file);
    if (!slot || !position)
        return -1;
    *position = slot->windowStart + (DWORD)slot->position;
    return 0;
}

int FileSeek(BufferedFile file, DWORD* position)
{
    FileSlot* slot = FindSlot(file);
    if (!slot || !position)
        return -1;
    DWORD target = *position;
    if (slot->windowStart <= target && target <= slot->windowLast) {
        slot->position = (int32_t)(target - slot->windowStart);
        return 0;
    }
    if (slot->writable && FileFlush(file) < 0)
        return -1;
    slot->windowStart = target;
    slot->windowLast = target;
    slot->position = 0;
    slot->fill = 0;
    // Beyond the end is no error here; the next read fails instead.
    DWORD rawTarget = target;
    RawSeek(slot->handle, &rawTarget);
    return 0;
}

int FileFlush(BufferedFile file)
{
    FileSlot* slot = FindSlot(file);
    if (!slot)
        return -1;
    if (!slot->writable || slot->fill <= 0)
        return 0;
    if (slot->dirty) {
        DWORD count = (DWORD)slot->fill;
        if (!SeekRawTo(slot->handle, slot->windowStart) || RawWrite(slot->handle, slot->window, &count) != slot->fill)
            return -1;
    }
    int held = slot->fill;
    slot->windowStart += (DWORD)held;
    slot->windowLast = slot->windowStart;
    slot->position = 0;
    slot->fill = 0;
    slot->dirty = false;
    return held;
}

DWORD FileSize(BufferedFile file)
{
    FileSlot* slot = FindSlot(file);
    if (!slot)
        return 0;
    DWORD size = RawSize(file);
    DWORD windowEnd = slot->windowStart + (DWORD)slot->fill;
    return slot->fill > 0 && windowEnd > size ? windowEnd : size;
}

int FileCopy(const char* sourcePath, const char* destinationPath)
{
    if (!sourcePath || !destinationPath)
        return -1;
    MemoryPool pool = PoolCreate(COPY_POOL_SIZE, COPY_POOL_FLAGS);
    if (pool == POOL_NONE)
        return -1;
    int result = -1;
    unsigned char* buffer = (unsigned char*)PoolAlloc(pool, COPY_BUFFER_SIZE);
    HANDLE source = buffer ? RawOpen(sourcePath, FILE_OPEN_READ) : INVALID_HANDLE_VALUE;
    if (source != INVALID_HANDLE_VALUE) {
        result = CopyOpenSource(source, destinationPath, buffer);
        RawClose(source);
        if (result == 0)
            FileCopyTime(sourcePath, destinationPath);
    }
    PoolDestroy(pool);
    return result;
}

int FileGetTime(const char* path, WORD* dosDate, WORD* dosTime)
{
    HANDLE file = RawOpen(path, FILE_OPEN_READ);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME created, accessed, written, local;
    BOOL ok = GetFileTime(file, &created, &accessed, &written) && FileTimeToLocalFileTime(&written, &local) &&
              FileTimeToDosDateTime(&local, dosDate, dosTime);
    RawClose(file);
    return ok ? 1 : 0;
}

int FileSetTime(const char* path, WORD dosDate, WORD dosTime)
{
    HANDLE file = RawOpen(path, FILE_OPEN_READ_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME local, written;
    BOOL ok = DosDateTimeToFileTime(dosDate, dosTime, &local) && LocalFileTimeToFileTime(&local, &written) &&
              SetFileTime(file, NULL, NULL, &written);
    RawClose(file);
    return ok ? 1 : 0;
}

void FileCopyTime(const char* sourcePath, const char* destinationPath)
{
    WORD date, time;
    if (FileGetTime(sourcePath, &date, &time))
        FileSetTime(destinationPath, date, time);
}

int FindFreeTempName(const char* directory, char* nameOut)
{
    if (!nameOut)
        return 0;
    nameOut[0] = 0;
    char base[PATH_BUFFER_SIZE];
    if (!directory || strlen(directory) > MAX_PATH)
        return 0;
    strcpy(base, directory);
    if (!AddBackslash(base, sizeof base))
        return 0;
    for (int n = 0; n < TEMP_NAME_LIMIT; ++n) {
        char name[PATH_BUFFER_SIZE];
        int length = snprintf(name, sizeof name, "%s_fty%d.231", base, n);
        if (length < 0 || length > MAX_PATH) {
            nameOut[0] = 0;
            return 0;
        }
        strcpy(nameOut, name);
        if (!FileExists(name))
            return 1;
    }
    return 0;
}

void FileSetFreeBytesQuery(FreeBytesQuery query)
{
    g_freeBytesQuery = query;
}
