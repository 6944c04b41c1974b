#include "app/messages.h"

#include <windows.h>
#include <stdio.h>

#include "app/options.h"
#include "app/startup.h"

enum { CAPTION_SIZE = 100, MESSAGE_SIZE = 500 };

struct ErrorMessage {
    int32_t code;
    UINT stringId;
    int namesFile;  // the string is a format whose "%s" takes the file the error is about
};

static const ErrorMessage kErrorMessages[] = {
    {-2, IDS_ERR_TEMP_COPY, 1},       {-3, IDS_ERR_LOG_INVALID, 1},
    {-4, IDS_ERR_NO_MEMORY, 0},       {-5, IDS_ERR_LOG_MISSING, 1},
    {-6, IDS_ERR_INTERNAL, 0},        {-7, IDS_ERR_EXTERNAL_DLL, 0},
    {-200, IDS_ERR_FEEDBACK_WINDOW, 0},
};

static const ErrorMessage* FindErrorMessage(int32_t code)
{
    for (const ErrorMessage& entry : kErrorMessages)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

int FormatErrorMessage(int32_t code, const char* text, char* buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = 0;
    const ErrorMessage* entry = FindErrorMessage(code);
    if (!entry || !LoadStringA(gInstance, entry->stringId, buffer, bufferSize))
        return 0;
    if (entry->namesFile && text) {
        char format[MESSAGE_SIZE];
        lstrcpynA(format, buffer, sizeof format);
        snprintf(buffer, bufferSize, format, text);
    }
    return 1;
}

int32_t ReportError(int32_t code, const char* text, int32_t, UninstallSession*)
{
    // The unattended modes never show anything.
    if (!gOptions.interactive)
        return 1;
    char caption[CAPTION_SIZE];
    if (!LoadStringA(gInstance, IDS_CAPTION, caption, sizeof caption))
        caption[0] = 0;
    char message[MESSAGE_SIZE];
    FormatErrorMessage(code, text, message, sizeof message);
    MessageBeep(MB_OK);
    MessageBoxA(nullptr, message, caption, MB_OK);
    return 1;
}
