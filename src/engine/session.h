// The uninstall session: one run of the uninstaller over one installation log, its table of ten
// phases, and the engine pool that sessions and phase states live in.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "engine/phase_driver.h"
#include "ui/progress_dialog.h"

// Shows an error code to the user. value is always 0; session may be null.
typedef int32_t (*ErrorReporter)(int32_t code, const char* text, int32_t value,
                                 UninstallSession* session);

struct PhaseEntry {
    PhaseHandler handler;
    PhaseState* state;
};

// One row of a phase table: which kind the driver walks, whether records come with their string
// list, which progress check mark the end of the phase ticks (-1 none) and the action.
struct PhaseRow {
    const char* kindCode;
    int withList;
    int checkMark;
    RecordAction action;
};

enum { SESSION_PHASE_COUNT = 10, SESSION_MAX_PHASES = 100 };

// The program's own phase table, in the order the phases run.
extern const PhaseRow kUninstallPhases[SESSION_PHASE_COUNT];

enum {
    // Room for any text value the registry layer delivers (1023 bytes), so that what is written
    // back after a failure is exactly what was read.
    SESSION_DISPLAY_NAME_SIZE = 1024,
    SESSION_UNINSTALL_STRING_SIZE = 1024
};

struct UninstallSession {
    int32_t currentPhase;
    int32_t phaseCount;
    int finished;
    int32_t lastResult;     // last code other than 0 and 1 an action reported in this step
    int started;
    int partialFailure;
    ErrorReporter errorReporter;
    InstallLog* log;        // the open temporary copy of the log
    ProgressWindow* progress;
    HWND progressWindow;
    char tempLogPath[MAX_PATH + 1];
    char logPath[MAX_PATH + 1];
    char displayName[SESSION_DISPLAY_NAME_SIZE];
    char uninstallString[SESSION_UNINSTALL_STRING_SIZE];
    PhaseEntry phases[SESSION_MAX_PHASES];
    const PhaseRow* phaseTable;  // rows bound to phases[0..phaseCount-1]
    DWORD displayNameType;       // REG_SZ or REG_EXPAND_SZ, as the entry held it
    DWORD uninstallStringType;
};

// Selectors of SessionQuery.
enum { SESSION_POOL = 1, SESSION_PROGRESS = 2 };

// Registry key (under HKEY_LOCAL_MACHINE) whose subkey named by header field 11 is the entry.
extern const char kUninstallKeyPrefix[];

int EngineInit();
int EngineShutdown();

UninstallSession* SessionCreate(const char* logPath, ErrorReporter reporter);
// As SessionCreate, with the phases bound to the rows of `table` (SESSION_PHASE_COUNT rows);
// tests pass tables of their own actions.
UninstallSession* SessionCreateWithTable(const char* logPath, ErrorReporter reporter,
                                         const PhaseRow* table);
int SessionDestroy(UninstallSession* session);
int SessionStart(UninstallSession* session, int show);
int SessionIsRunnable(UninstallSession* session);
int SessionStep(UninstallSession* session);
int SessionIsFinished(UninstallSession* session);
// SESSION_POOL: the engine pool; SESSION_PROGRESS: the progress record; -1 for a null session.
intptr_t SessionQuery(UninstallSession* session, int selector);
int SessionSetResult(UninstallSession* session, int32_t code);
int32_t SessionReportError(UninstallSession* session, int32_t code, const char* text,
                           int32_t value);

// How the session pauses (310 ms) after each of the first nine phases; tests put in their own.
typedef void (*SessionPause)(DWORD milliseconds);
extern SessionPause gSessionPause;
