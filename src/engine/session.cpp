#include "engine/session.h"
#include "engine/directory_action.h"
#include "engine/file_actions.h"
#include "engine/registry_actions.h"
#include "engine/shell_actions.h"

const char kUninstallKeyPrefix[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const PhaseRow kUninstallPhases[SESSION_PHASE_COUNT] = {
    {"CF", 0, 0, RemoveFilesAction},
    {"CSF", 1, 1, RemoveSharedFilesAction},
    {"API", 1, 2, RemoveShellItemAction},
    {"RPI", 1, -1, RemoveShellItemAction},
    {"CPG", 0, 3, RemoveShellGroupAction},
    {"CDR", 0, 4, RemoveDirectoriesAction},
    {"CRK", 0, -1, RemoveKeysAction},
    {"SRK", 1, -1, RemoveValuesAction},
    {"URK", 0, -1, RemoveProductKeysAction},
    {"MRK", 0, 5, RemoveAppEntriesAction},
};

DWORD gPhasePauseMs = 310;

int EngineInit() { return 0; }
int EngineShutdown() { return 0; }
UninstallSession* SessionCreate(const char* logPath, ErrorReporter reporter)
{
    return SessionCreateWithTable(logPath, reporter, kUninstallPhases);
}
UninstallSession* SessionCreateWithTable(const char*, ErrorReporter, const PhaseRow*) { return nullptr; }
int SessionDestroy(UninstallSession*) { return -1; }
int SessionStart(UninstallSession*, int) { return -1; }
int SessionIsRunnable(UninstallSession*) { return 0; }
int SessionStep(UninstallSession*) { return -1; }
int SessionIsFinished(UninstallSession*) { return 1; }
intptr_t SessionQuery(UninstallSession*, int) { return -1; }
int SessionSetResult(UninstallSession*, int32_t) { return -1; }
int32_t SessionReportError(UninstallSession*, int32_t, const char*, int32_t) { return 0; }
