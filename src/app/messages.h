// What the program says to the user: the error reporter and the texts of the string table.
#pragma once
#include <stdint.h>

struct UninstallSession;

// String table ids.
enum {
    IDS_CAPTION = 501,
    IDS_SUCCESS = 502,
    IDS_PARTIAL_SUCCESS = 503,
    IDS_CONFIRM_TEXT = 504,
    IDS_CONFIRM_CAPTION = 505,
    IDS_SHARED_CAPTION = 506,
    IDS_SHARED_TEXT_BEFORE = 507,
    IDS_SHARED_TEXT_AFTER = 508,
    IDS_ERR_TEMP_COPY = 1001,
    IDS_ERR_NO_MEMORY = 1002,
    IDS_ERR_LOG_MISSING = 1003,
    IDS_ERR_LOG_INVALID = 1004,
    IDS_ERR_FEEDBACK_WINDOW = 1005,
    IDS_ERR_INTERNAL = 1006,
    IDS_ERR_EXTERNAL_DLL = 1007,
    IDS_PROTECTED_FIRST = 1401
};

// Shows the message of an error code (-2 … -7, -200) in interactive mode only. Always 1.
int32_t ReportError(int32_t code, const char* text, int32_t value, UninstallSession* session);

// Builds the message of code into buffer (bufferSize bytes): the string itself, or for the codes
// that name a file the string's format with text at "%s". 0 when the code has no message.
int FormatErrorMessage(int32_t code, const char* text, char* buffer, int bufferSize);
