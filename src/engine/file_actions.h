// Actions of the file phases: copied files (CF) and shared files (CSF).
#pragma once
#include "engine/phase_driver.h"

int32_t RemoveFilesAction(PhaseState* state, int message, UninstallSession* session,
                          const char* recordText, int32_t recordNumber, StringList* recordList);
int32_t RemoveSharedFilesAction(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber, StringList* recordList);

// 1 when the file is in use and was handed to the restart-time deletion (never on Win32s), else 0.
int DeferIfInUse(const char* path);

// 1 for a runtime file directly in the system directory that must never be removed, else 0.
int IsProtectedRuntimeFile(const char* path);

// Asks the user, in a box owned by the progress dialog, whether the unused shared file may go.
// 1 for Yes; 0 for No or when the texts cannot be loaded.
int ConfirmSharedFileRemoval(const char* path);

// Calls the self-registering server's DllUnregisterServer under OLE. 1 when it reported success.
int UnregisterServer(const char* path);
