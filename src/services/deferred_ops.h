// Deferred file operations: deciding whether a file is in use, and having such a file deleted
// at the next start of Windows (wininit.ini on Windows 95, a delayed move on Windows NT).
#pragma once

// Records the platform class (1 Windows 95, 2..5 Windows NT, 7 Win32s) for later requests.
// 1 if already initialised (nothing changes), 0 after the first initialisation, -1 on failure.
int DeferredOpsInit(int platformClass);

// 1 when the file exists and is in use (loaded, cannot be renamed or opened exclusively), else 0.
int IsFileInUse(const char* path);

// Asks for the file's deletion at the next restart. 0 when the request was made (Windows 95 and
// NT), -1 when the module is not initialised or the platform offers no such mechanism.
int ScheduleDeleteAtRestart(const char* path);

// Adds one line directly after the "[rename]" header of wininit.ini (the header is appended when
// missing, the file created when absent). 0 when the file was written, -1 otherwise.
int AddWininitRename(const char* line);
