// Installation log format: the byte layout shared by the installer (which writes logs) and the log
// reader, the block scrambling routine (also used for the splash pictures) and the checksum.
// Everything here is plain byte arithmetic with no platform dependency, so build-time tools can
// compile it natively.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Fixed file header, plain (not scrambled).
const uint16_t LOG_MAGIC = 0xA871;
const uint32_t LOG_FORMAT_VERSION = 0x02010000;  // a reader refuses anything larger
const uint32_t LOG_OFFSET_MAGIC = 0;
const uint32_t LOG_OFFSET_VERSION = 2;
const uint32_t LOG_OFFSET_CHECKSUM = 6;
const uint32_t LOG_OFFSET_NOTICE_LENGTH = 10;  // also where the checksummed bytes begin
const uint32_t LOG_OFFSET_NOTICE = 12;
const uint32_t LOG_CHECKSUM_START = LOG_OFFSET_NOTICE_LENGTH;

// Every block of a log is scrambled with this key.
const uint32_t LOG_SCRAMBLE_KEY = 0x5C0E6B21;

// A block is a plain u16 length followed by that many scrambled bytes; no log block is longer than
// the reader's block buffer.
const uint32_t LOG_BLOCK_LENGTH_SIZE = 2;
const uint32_t LOG_MAX_BLOCK = 4096;

// Header block content (30 bytes).
const uint32_t LOG_HEADER_BLOCK_SIZE = 30;
const uint32_t LOG_HEADER_VERSION = 0;
const uint32_t LOG_HEADER_FIELD5 = 4;          // u16
const uint32_t LOG_HEADER_FIELD6 = 6;          // u32
const uint32_t LOG_HEADER_FIELD7 = 10;         // u32
const uint32_t LOG_HEADER_RECORD_COUNT = 14;   // u32, header field 10
const uint32_t LOG_HEADER_STRINGS_OFFSET = 18; // u32, file offset of the header strings block
const uint32_t LOG_HEADER_DIRECTORY_OFFSET = 22; // u32, file offset of the directory block
const uint32_t LOG_HEADER_RESERVED = 26;       // u32, 0

// As the installer lays a log out: after the notice text a reserved area holds the header block at
// its start and the directory block 32 bytes further on; records follow it, the strings block last.
const uint32_t LOG_RESERVED_AREA_SIZE = 1058;
const uint32_t LOG_DIRECTORY_AREA_OFFSET = 32;
const uint32_t LOG_MAX_DIRECTORY_BLOCK = LOG_RESERVED_AREA_SIZE - LOG_DIRECTORY_AREA_OFFSET;  // 1026

// Header field ids. 5, 6, 7 and 10 are numbers, the others strings; 3 to 7 are carried but unused.
const int LOG_FIELD_APPLICATION = 1;     // application name
const int LOG_FIELD_VERSION_KEY = 2;     // third level of the per-application registry key
const int LOG_FIELD_3 = 3;
const int LOG_FIELD_4 = 4;
const int LOG_FIELD_5 = 5;               // u16
const int LOG_FIELD_6 = 6;               // u32
const int LOG_FIELD_7 = 7;               // u32
const int LOG_FIELD_APP_PATHS = 8;       // App Paths key name(s), separated by ";"
const int LOG_FIELD_COMPANY = 9;         // company key name
const int LOG_FIELD_RECORD_COUNT = 10;   // total number of records
const int LOG_FIELD_UNINSTALL_KEY = 11;  // name of the application's Uninstall key
const int LOG_FIELD_FIRST = 1;
const int LOG_FIELD_LAST = 11;

// The header strings block holds seven counted strings in this order (9 before 8).
const int LOG_HEADER_STRING_COUNT = 7;
extern const int LOG_HEADER_STRING_ORDER[LOG_HEADER_STRING_COUNT];

// Position of a string field in the header strings block, or -1 for a number field or an unknown id.
int LogHeaderStringSlot(int fieldId);

// Directory block: u16 entry count, then per kind a counted name, u32 record count, u32 first-record
// offset, u32 last-record offset (unreliable) and u16 kind index.
const uint32_t LOG_MAX_KIND_NAME = 254;
const uint32_t LOG_KIND_ENTRY_FIXED_SIZE = 14;  // the entry's bytes after the counted name
const uint16_t LOG_FIRST_KIND_INDEX = 100;

// Record block content: u32 link, u16 kind index, u16 flags, then the parts the flags announce.
const uint32_t RECORD_HAS_STRING = 1;
const uint32_t RECORD_HAS_NUMBER = 2;
const uint32_t RECORD_HAS_LIST = 4;
const uint32_t LOG_RECORD_LINK = 0;
const uint32_t LOG_RECORD_KIND_INDEX = 4;
const uint32_t LOG_RECORD_FLAGS = 6;
const uint32_t LOG_RECORD_PARTS = 8;

// The record kinds the uninstaller has a phase for, in phase order.
const int LOG_UNINSTALL_KIND_COUNT = 10;
extern const char* const LOG_UNINSTALL_KINDS[LOG_UNINSTALL_KIND_COUNT];

// Blocks longer than this are processed only up to it (the cap belongs to the routine).
const size_t SCRAMBLE_MAX_LENGTH = 65000;

// In-place block scrambling with a 32-bit key; the two are exact inverses.
void ScrambleBlock(void* buffer, size_t length, uint32_t key);
void UnscrambleBlock(void* buffer, size_t length, uint32_t key);

// The amount added to word i of a block (modulo 2^32) under the given key.
uint32_t ScrambleWordDelta(uint32_t key, size_t wordIndex);

// Adds count bytes, each taken as a signed 8-bit value, to a running checksum (modulo 2^32).
uint32_t LogChecksumAdd(uint32_t sum, const void* bytes, size_t count);

// Little-endian access to unaligned integers in a byte buffer.
inline uint16_t LogLoadU16(const unsigned char* p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}

inline uint32_t LogLoadU32(const unsigned char* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void LogStoreU16(unsigned char* p, uint16_t value)
{
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
}

inline void LogStoreU32(unsigned char* p, uint32_t value)
{
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
    p[2] = (unsigned char)(value >> 16);
    p[3] = (unsigned char)(value >> 24);
}
