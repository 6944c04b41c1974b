// Writes installation logs the way the installer lays them out: fixed header and notice text, a
// reserved area for the header block and the directory, the records in logging order with kinds
// interleaved, the header strings block last and the checksum written after everything else.
// Records stream to the file; only the kind directory is kept in memory.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct LogWriter;

struct LogWriterOptions {
    // Strict: refuse what the reader would refuse (blocks over 4096 bytes, kind names over 254
    // characters, header strings over 263 and record strings over 299). Otherwise only what cannot
    // be encoded at all is refused, so that tests can write logs the reader must turn down.
    bool strict = true;
    uint32_t version = 0x02010000;
    std::string notice = "Installation log. Written by the setup program; do not edit.";
};

struct LogWriterRecord {
    std::string kind;
    uint32_t flags = 0;  // RECORD_HAS_STRING, RECORD_HAS_NUMBER, RECORD_HAS_LIST
    std::string string;
    uint32_t number = 0;
    std::vector<std::string> list;
};

// Starts a log at path (replacing any file there); null if it cannot be created.
LogWriter* LogWriterCreate(const char* path, const LogWriterOptions& options = LogWriterOptions());

// Header fields: strings for ids 1, 2, 3, 4, 8, 9, 11; numbers for 5, 6, 7 and 10 (field 10 defaults
// to the number of records written). 0, or -1 with LogWriterError set.
int LogWriterSetString(LogWriter* writer, int fieldId, const std::string& text);
int LogWriterSetNumber(LogWriter* writer, int fieldId, uint32_t value);

// Gives a kind its directory entry (and index) now, even if it never gets a record. 0, or -1.
int LogWriterDeclareKind(LogWriter* writer, const std::string& kind);

// Appends one record and links it to the previous record of its kind. 0, or -1.
int LogWriterAddRecord(LogWriter* writer, const LogWriterRecord& record);

// Writes the strings block, header block, directory and checksum, closes the file and releases the
// writer. 0, or -1 with the reason in *error (if given); a failed log is deleted.
int LogWriterFinish(LogWriter* writer, std::string* error = nullptr);

// Closes and deletes an unfinished log.
void LogWriterAbandon(LogWriter* writer);

// Why the last call failed.
const char* LogWriterError(const LogWriter* writer);

// Recomputes the checksum of a log image in memory (for tests that alter logs).
void LogImageFixChecksum(std::vector<unsigned char>& image);

// Scrambled block (length word and content) for the given content.
std::vector<unsigned char> LogEncodeBlock(const std::vector<unsigned char>& content);
