// The command line: option flags and paths, read once at start and then read by the whole program.
#pragma once
#include <windows.h>

struct StartOptions {
    int deleteMode;           // -d: delete the file named by logPath after a delay, then quit
    int automatic;            // -a or -d: nothing shown, the program quits by itself
    int runSession;           // -f, or no mode option: an uninstall session is built from logPath
    int interactive;          // neither -a nor -d
    int externalDll;          // -c: the application's uninstall DLL is called around the run
    int dllCopied;            // the uninstall DLL was copied to a temporary file
    int noRuntimeProtection;  // -x: the shared-file phase may remove protected runtime files
    int noConfirm;            // -y: no confirmation box
    char logPath[MAX_PATH + 1];
    char dllPath[MAX_PATH + 1];
    char dllSourcePath[MAX_PATH + 1];
};

extern StartOptions gOptions;

// Reads the command-line tail (the text after the program name) into gOptions.
void ParseCommandLine(const char* tail);

// Copies one option argument (unquoted up to a blank, or quoted up to the closing quote) into
// dest, which holds destSize bytes; an argument that does not fit is cut at a character
// boundary. Answers the position after the argument.
const char* CopyArgument(char* dest, int destSize, const char* text);
