// The life of the program's one thread: start-up, the hidden timer window of the unattended
// modes, the main loop, the application's uninstall DLL and the clean-up at the end.
#pragma once
#include <windows.h>
#include <stdint.h>

struct UninstallSession;

extern HINSTANCE gInstance;
// The progress dialog's window, set when the session is created; null before.
extern HWND gProgressDialog;
extern UninstallSession* gSession;

// Chooses the first free "_detmp.N" in the Windows directory (MAX_PATH + 1 bytes). Always 1.
int MakeTempName(char* buffer);

// Calls UninstInitialize (which = 1) or UninstUnInitialize (which = 0) of the uninstall DLL.
// 0 without -c; -1 when the DLL cannot be loaded or lacks the function; else its result.
int32_t CallExternalDll(int which);
void CopyExternalDll();
void RestoreExternalDll();

// The whole run, from the command-line tail to the clean-up. Always 0.
int RunUninstaller(HINSTANCE instance, const char* commandTail);
