#include "log/buffered_file.h"

HANDLE RawOpen(const char*, int) { return INVALID_HANDLE_VALUE; }
int RawClose(HANDLE) { return -1; }
int RawRead(HANDLE, void*, DWORD*) { return -1; }
int RawWrite(HANDLE, const void*, DWORD*) { return -1; }
DWORD RawSeek(HANDLE, DWORD*) { return 0; }
DWORD RawSize(HANDLE) { return 0; }
int FileDelete(const char*) { return -1; }
int FileMove(const char*, const char*) { return -1; }
BufferedFile FileOpen(const char*, int) { return INVALID_HANDLE_VALUE; }
int FileClose(BufferedFile) { return -1; }
int FileRead(BufferedFile, void*, int) { return 0; }
int FileWrite(BufferedFile, const void*, int) { return 0; }
int FileGetByte(BufferedFile) { return -1; }
int FilePutByte(BufferedFile, int) { return -1; }
uint32_t FileReadWord(BufferedFile) { return 0xFFFF; }
uint32_t FileReadDword(BufferedFile) { return 0xFFFFFFFF; }
int FileWriteWord(uint32_t, BufferedFile) { return -1; }
int FileWriteDword(uint32_t, BufferedFile) { return -1; }
int FileTell(BufferedFile, DWORD*) { return -1; }
int FileSeek(BufferedFile, DWORD*) { return -1; }
int FileFlush(BufferedFile) { return -1; }
DWORD FileSize(BufferedFile) { return 0; }
int FileCopy(const char*, const char*) { return -1; }
int FileGetTime(const char*, WORD*, WORD*) { return 0; }
int FileSetTime(const char*, WORD, WORD) { return 0; }
void FileCopyTime(const char*, const char*) {}
int FindFreeTempName(const char*, char* nameOut)
{
    if (nameOut)
        nameOut[0] = 0;
    return 0;
}
void FileSetFreeBytesQuery(FreeBytesQuery) {}
