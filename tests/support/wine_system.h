// Test helpers that reach into the Wine prefix the tests run in: restarting "Windows" and
// defining drive letters of a chosen type.
#pragma once
#include <windows.h>
#include <string>

// Runs "wineboot -r" in the running Wine session and waits for it: what Windows does at a
// restart (wininit.ini's [rename] section, delayed moves) is carried out. The caller keeps the
// session alive, so nothing else restarts it in between. true when wineboot ran and ended with 0.
bool SimulateWindowsRestart();

// Makes `letter` a drive of the given type (DRIVE_REMOTE, DRIVE_FIXED, ...) over the existing
// directory `windowsDirectory`, through Wine's mount manager, which also records the type under
// HKLM\Software\Wine\Drives. true on success.
bool DefineWineDrive(char letter, UINT driveType, const std::string& windowsDirectory);

// Removes a drive letter defined by DefineWineDrive. true on success.
bool RemoveWineDrive(char letter);

// The value PendingFileRenameOperations of the session manager, as ANSI texts, empty when there
// is none; delayed deletions appear as a source path ("\??\" form) followed by an empty target.
std::string PendingFileRenames();
