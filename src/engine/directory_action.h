// Action of the directory phase (CDR): collects the directories and removes them at the end
// of the kind, the longest path first, each only when it is empty.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <stddef.h>

#include "core/pool.h"
#include "engine/phase_driver.h"

// Dialog template of the directory chooser and the file dialog controls it uses.
enum {
    IDD_CHOOSE_DIRECTORY = 10500,
    IDC_CHOOSER_PATH = 1161,           // the path edit
    IDC_CHOOSER_FILE_NAME = 1152,      // the file dialog's name edit, placed off the dialog
    IDC_CHOOSER_HIDDEN_BUTTON = 1037
};

// Posted by the chooser's hook to itself once the dialog is up: it ends the dialog at once.
enum { WM_CHOOSER_DISMISS = WM_USER + 100 };

// One run of the directory chooser; lives in the phase's pool for the length of the run.
struct ChooserRecord {
    char fileBuffer[MAX_PATH + 1];
    char fileTitleBuffer[MAX_PATH + 1];
    char initialDirectory[MAX_PATH + 1];  // as handed in, one trailing backslash removed
    char chosenPath[MAX_PATH + 1];        // the path accepted by the user
    HWND owner;
    int accepted;
    int initialised;
    OPENFILENAMEA dialog;
    MemoryPool pool;
};

int32_t RemoveDirectoriesAction(PhaseState* state, int message, UninstallSession* session,
                                const char* recordText, int32_t recordNumber, StringList* recordList);

// Removes every collected directory, the longest first: 0, or ERR_DIR_NOT_REMOVED when any
// stays. On Windows 95 and Win32s each network drive is visited first.
int RemoveCollectedDirectories(StringList* directories, MemoryPool pool);

// Removes the longest entry (the earliest among equals) and copies it to path (pathSize bytes).
// 1 when it was copied; 0 when the list was empty or the entry does not fit (it is removed all
// the same).
int TakeLongestPath(StringList* directories, char* path, size_t pathSize);

// Opens the chooser invisibly once on the root of each network drive that holds a directory.
void VisitNetworkDrives(StringList* directories, MemoryPool pool);

// Runs the directory chooser (template IDD_CHOOSE_DIRECTORY) starting at initialDirectory. 1 when
// a path was accepted and copied to out (outSize bytes); else 0. The program only ever runs it
// invisibly, and such a run dismisses itself without accepting anything.
int ChooseDirectory(MemoryPool pool, HWND owner, const char* initialDirectory, char* out, size_t outSize);

UINT_PTR CALLBACK ChooserHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
