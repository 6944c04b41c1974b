// The text description of an installation log that logtool builds logs from and dumps them as.
// One statement per line: a keyword, one space, and a value running to the end of the line, in
// which %HH stands for the byte with that hexadecimal value. Lines starting with '#' are comments.
//
//   version 0x02010000     format version in the fixed header (optional, before everything else)
//   notice <text>          notice text (optional, before everything else)
//   field <id> <value>     header field; text for 1, 2, 3, 4, 8, 9, 11, a number for 5, 6, 7, 10
//   kind <name>            gives a kind its directory entry now (kinds are indexed 100, 101, ...
//                          in the order they are declared or first used)
//   record <kind>          starts a record of that kind; the lines below describe it
//   string <text>          the record's string
//   number <n>             the record's number (decimal, or hexadecimal with 0x)
//   list                   the record carries a string list (possibly empty)
//   item <text>            appends an entry to the record's list
#pragma once

#include <stdint.h>

#include <string>

#include "log_writer.h"

// Text as it stands in a description: %HH for control bytes, '%' and a final space.
std::string DescriptionEscape(const std::string& bytes);

// The bytes a description value stands for; false for a malformed %HH.
bool DescriptionUnescape(const std::string& text, std::string* bytes);

// Parses a number as the description writes it (decimal, or 0x hexadecimal), 32 bits at most.
bool DescriptionParseNumber(const std::string& text, uint32_t* value);

// Builds a log from the description text. 0, or -1 with the reason (and line) in *error.
int LogBuildFromDescription(const std::string& description, const char* logPath,
                            const LogWriterOptions& options, std::string* error);
