#include "app/options.h"

#include <string.h>

StartOptions gOptions;

const char* CopyArgument(char* dest, int destSize, const char* text)
{
    char endMark = ' ';
    if (*text == '"') {
        endMark = '"';
        ++text;
    }
    // Measure first: a path that does not fit is refused whole (the destination is emptied),
    // because a shortened path names another file.
    const char* end = text;
    while (*end && *end != endMark)
        end = CharNextA(end);
    int length = static_cast<int>(end - text);
    if (length > 0) {
        if (length < destSize) {
            memcpy(dest, text, length);
            dest[length] = 0;
        } else if (destSize > 0) {
            dest[0] = 0;
        }
    }
    if (*end == '"' && endMark == '"')
        ++end;
    return end;
}

static const char* TakePath(char* dest, const char* letter)
{
    return CopyArgument(dest, MAX_PATH + 1, CharNextA(letter));
}

// Handles the option whose letter is at `letter`; answers where the walk goes on (the caller
// then steps one more character, which is why options are separated by one blank).
static const char* TakeOption(const char* letter)
{
    switch (*letter) {
    case 'a':
    case 'A':
        gOptions.automatic = 1;
        return CharNextA(letter);
    case 'c':
    case 'C': {
        const char* next = TakePath(gOptions.dllPath, letter);
        gOptions.externalDll = 1;
        lstrcpyA(gOptions.dllSourcePath, gOptions.dllPath);
        return next;
    }
    case 'd':
    case 'D': {
        const char* next = TakePath(gOptions.logPath, letter);
        gOptions.deleteMode = 1;
        gOptions.automatic = 1;
        return next;
    }
    case 'f':
    case 'F': {
        const char* next = TakePath(gOptions.logPath, letter);
        gOptions.runSession = 1;
        return next;
    }
    case 'x':
        gOptions.noRuntimeProtection = 1;
        return letter + 1;
    case 'y':
        gOptions.noConfirm = 1;
        return letter;
    default:
        return letter;
    }
}

void ParseCommandLine(const char* tail)
{
    gOptions.automatic = 0;
    gOptions.deleteMode = 0;
    gOptions.runSession = 0;
    gOptions.interactive = 0;
    gOptions.externalDll = 0;
    gOptions.dllCopied = 0;
    const char* position = tail ? tail : "";
    while (*position) {
        if (*position == '-' || *position == '/')
            position = TakeOption(CharNextA(position));
        position = CharNextA(position);
    }
    gOptions.interactive = !gOptions.deleteMode && !gOptions.automatic;
}
