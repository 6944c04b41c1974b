// Log reader: opens an installation log, validates it completely before anything is undone, keeps
// the header fields and the kind directory, and hands out the records of one kind at a time in
// logging order. The file stays open and every record is read by seeking to its block.
#pragma once

#include <stdint.h>

#include "log/log_format.h"

struct StringList;

struct InstallLog;

// Open flags: this system only reads logs; LOG_OPEN_CREATE belongs to the installer.
const uint32_t LOG_OPEN_CREATE = 2;
const uint32_t LOG_OPEN_EXISTING = 4;

// LogReadRecord modes.
const int READ_FIRST = 1;
const int READ_NEXT = 2;

// The reader's last-error codes (LogLastError) and results.
const int LOG_OK = 0;
const int LOG_NO_RECORD = 1;          // the selected kind has no (further) record
const int LOG_ERR_NOT_A_LOG = -1;     // bad magic
const int LOG_ERR_BAD_BLOCK = -2;     // a block could not be read whole or does not hold what it must
const int LOG_ERR_NOT_FOUND = -5;     // the file does not exist
const int LOG_ERR_CANNOT_OPEN = -6;   // the file exists but cannot be opened
const int LOG_ERR_NO_HANDLE = -7;     // no log, no kind name, or READ_NEXT for a kind not in the log
const int LOG_ERR_NOT_READING = -8;   // the log was not opened for reading
const int LOG_ERR_NO_MEMORY = -10;    // the log's pool is exhausted, or a kind is named twice
const int LOG_ERR_NOT_STARTED = -12;  // READ_NEXT after LogSelectKind without READ_FIRST
const int LOG_ERR_NEWER_VERSION = -13;
const int LOG_ERR_CHECKSUM = -15;

// Buffers callers hand to the reader: header fields and record strings.
const int LOG_FIELD_BUFFER_SIZE = 264;
const int LOG_RECORD_STRING_BUFFER_SIZE = 300;
const int LOG_SELECTED_KIND_SIZE = 300;

// Opens and validates a log; null on failure with the reason in LogLastError().
InstallLog* LogOpen(const char* path, uint32_t openFlags);

// String fields are copied into buffer (LOG_FIELD_BUFFER_SIZE bytes) and their length returned;
// number fields are returned (u32 values as their bit pattern). 0 for unknown ids.
int32_t LogGetField(InstallLog* log, int fieldId, char* buffer);

// Selects the kind whose records LogReadRecord hands out next: 0, -7 or -8.
int LogSelectKind(InstallLog* log, const char* kindName);

// Delivers the first (READ_FIRST) or next record of the selected kind: 0 with a record, 1 when there
// is none, or a negative code. Outputs whose flag is clear are left untouched; any output may be
// null. stringBuffer must hold LOG_RECORD_STRING_BUFFER_SIZE bytes.
int LogReadRecord(InstallLog* log, uint32_t* flags, char* stringBuffer, uint32_t* number,
                  StringList* list, int mode);

// Closes the file and releases everything the reader holds for the log: 0, or -7 with no log.
int LogClose(InstallLog* log);

// The code the last reader operation left.
int LogLastError();

// The kind directory in file order, for tools that list a log's contents.
struct LogKindInfo {
    char name[LOG_MAX_KIND_NAME + 1];
    uint32_t recordCount;
    uint32_t firstRecord;
    uint32_t lastRecord;
    uint32_t kindIndex;
};
int LogKindCount(InstallLog* log);  // number of directory entries, 0 with no log
int LogGetKind(InstallLog* log, int position, LogKindInfo* info);  // 1, or 0 out of range
