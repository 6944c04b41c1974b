// Buffered file layer: a raw layer over the platform's file calls, opened by numbered open types,
// and a buffered layer that lays a 4096-byte window over up to three open files so that the log
// reader's many small reads and seeks stay free of platform calls. Also the whole-file copy that
// keeps the source's time stamp, DOS-form file times and the search for a free temporary name.
#pragma once

#include <stdint.h>
#include <windows.h>

// Open types of both layers.
const int FILE_OPEN_CREATE = 1;      // read and write; the file is deleted first, so it starts empty
const int FILE_OPEN_READ = 2;        // read, existing file
const int FILE_OPEN_READ_WRITE = 3;  // read and write, existing file

// A buffered file is the platform handle itself; INVALID_HANDLE_VALUE stands for none.
typedef HANDLE BufferedFile;

const int FILE_SLOT_COUNT = 3;
const int FILE_WINDOW_SIZE = 4096;

// Raw layer: thin wrappers that keep no state; callers close their own handles.
HANDLE RawOpen(const char* path, int openType);  // INVALID_HANDLE_VALUE on failure
int RawClose(HANDLE file);                       // 0, or -1
int RawRead(HANDLE file, void* buffer, DWORD* count);         // bytes read (also in *count), or -1
int RawWrite(HANDLE file, const void* buffer, DWORD* count);  // bytes written (also in *count), or -1
DWORD RawSeek(HANDLE file, DWORD* offset);  // moves to *offset; the new position (also in *offset)
DWORD RawSize(HANDLE file);                 // size in bytes, 0 if it cannot be had

int FileDelete(const char* path);                       // 0, or -1
int FileMove(const char* oldPath, const char* newPath);  // 0, or -1

// Buffered layer.
BufferedFile FileOpen(const char* path, int openType);  // INVALID_HANDLE_VALUE on failure
int FileClose(BufferedFile file);                        // 0, or -1
int FileRead(BufferedFile file, void* buffer, int count);         // bytes delivered, or -1 (0: not buffered)
int FileWrite(BufferedFile file, const void* buffer, int count);  // count, or -1 (0: not buffered)
int FileGetByte(BufferedFile file);            // -128..127, or -1 at the end or on failure
int FilePutByte(BufferedFile file, int byte);  // the byte, or -1
uint32_t FileReadWord(BufferedFile file);      // little-endian; missing bytes read as 0xFF
uint32_t FileReadDword(BufferedFile file);
int FileWriteWord(uint32_t value, BufferedFile file);   // 0, or -1 if a byte could not be put
int FileWriteDword(uint32_t value, BufferedFile file);
int FileTell(BufferedFile file, DWORD* position);  // 0, or -1 if not buffered
int FileSeek(BufferedFile file, DWORD* position);  // 0, or -1
int FileFlush(BufferedFile file);  // bytes the window held, 0 if nothing to do, -1 on failure
DWORD FileSize(BufferedFile file);  // counting bytes still in the window; 0 if not buffered

// Whole-file copy keeping the source's time stamp: 0, -1 on failure, -2 when the destination's
// drive has too little free space. A failed copy leaves no destination behind.
const int FILE_COPY_NO_SPACE = -2;
const DWORD FILE_COPY_SPACE_MARGIN = 4196;
int FileCopy(const char* sourcePath, const char* destinationPath);

// Last-write time as a DOS date and time in local time: nonzero on success.
int FileGetTime(const char* path, WORD* dosDate, WORD* dosTime);
int FileSetTime(const char* path, WORD dosDate, WORD dosTime);
void FileCopyTime(const char* sourcePath, const char* destinationPath);

// The first "<directory>\_fty<n>.231" (n = 0..999) that does not exist: 1, or 0. nameOut must hold
// MAX_PATH + 1 bytes; when all names exist it holds the one for n = 999, and it is empty when the
// directory is too long for any name to fit.
int FindFreeTempName(const char* directory, char* nameOut);

// Tests replace the free-space query of FileCopy to reach its limits on any drive; null restores
// the real one (GetFreeBytes).
typedef uint32_t (*FreeBytesQuery)(const char* path);
void FileSetFreeBytesQuery(FreeBytesQuery query);
