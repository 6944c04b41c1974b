#include "engine/session.h"

#include <stdio.h>
#include <string.h>

#include "app/messages.h"
#include "app/platform.h"
#include "app/startup.h"
#include "engine/directory_action.h"
#include "engine/file_actions.h"
#include "engine/registry_actions.h"
#include "engine/shell_actions.h"
#include "log/buffered_file.h"
#include "log/log_reader.h"
#include "services/paths.h"
#include "services/registry.h"
#include "services/shared_counts.h"

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

static const DWORD kPhasePauseMs = 310;

static void SleepPause(DWORD milliseconds) { Sleep(milliseconds); }

SessionPause gSessionPause = SleepPause;

static MemoryPool enginePool = POOL_NONE;

// The uninstall DLL is initialised once, before the first phase of the run.
static int dllInitPending;

enum { UNINSTALL_KEY_SIZE = sizeof kUninstallKeyPrefix + LOG_FIELD_BUFFER_SIZE,
       FINAL_MESSAGE_SIZE = 200 };

int EngineInit()
{
    dllInitPending = 1;
    enginePool = PoolCreate(16384, POOL_TRY_ENLARGE | POOL_GROWABLE | POOL_ZERO_FILL);
    SharedCountInit(enginePool, GetPlatformClass());
    return 0;
}

int EngineShutdown()
{
    if (enginePool != POOL_NONE)
        PoolDestroy(enginePool);
    enginePool = POOL_NONE;
    return 0;
}

// --- Phase table ---------------------------------------------------------------------------------

// Row n of the session's table: the driver bound to that row's kind, list flag and action.
template <int Row>
static intptr_t TableRowHandler(PhaseState* state, int message, UninstallSession* session,
                                InstallLog* log)
{
    if (!session || !session->phaseTable)
        return message == PHASE_RUN ? -1 : 0;
    const PhaseRow& row = session->phaseTable[Row];
    return PhaseDriver(state, message, row.withList, session, log, row.action, row.kindCode);
}

static const PhaseHandler kRowHandlers[SESSION_PHASE_COUNT] = {
    TableRowHandler<0>, TableRowHandler<1>, TableRowHandler<2>, TableRowHandler<3>,
    TableRowHandler<4>, TableRowHandler<5>, TableRowHandler<6>, TableRowHandler<7>,
    TableRowHandler<8>, TableRowHandler<9>,
};

// 1 when every phase got its state.
static int RegisterPhases(UninstallSession* session)
{
    int complete = 1;
    for (int index = 0; index < SESSION_PHASE_COUNT; ++index) {
        PhaseEntry& entry = session->phases[index];
        entry.handler = kRowHandlers[index];
        entry.state = reinterpret_cast<PhaseState*>(
            entry.handler(nullptr, PHASE_CREATE, session, session->log));
        if (!entry.state)
            complete = 0;
    }
    session->phaseCount = SESSION_PHASE_COUNT;
    session->currentPhase = 0;
    return complete;
}

static void DestroyPhases(UninstallSession* session)
{
    for (int index = 0; index < session->phaseCount; ++index) {
        PhaseEntry& entry = session->phases[index];
        if (entry.handler)
            entry.handler(entry.state, PHASE_DESTROY, session, nullptr);
        entry.state = nullptr;
    }
}

// --- The uninstall entry -------------------------------------------------------------------------

static void UninstallKeyPath(const char* keyName, char* path)
{
    snprintf(path, UNINSTALL_KEY_SIZE, "%s%s", kUninstallKeyPrefix, keyName);
}

// Reads a text value of the entry into field; a missing value, or one longer than the field,
// leaves it empty (a cut text would be written back wrong after a failure).
// *type keeps whether the text was stored expandable, so that it is written back the same way.
static void ReadEntryValue(const char* keyPath, const char* valueName, char* field, DWORD fieldSize,
                           DWORD* type)
{
    if (!RegistryReadValue(HKEY_LOCAL_MACHINE, keyPath, valueName, type, nullptr, field, fieldSize) ||
        (*type != REG_SZ && *type != REG_EXPAND_SZ)) {
        field[0] = 0;
        *type = REG_SZ;
    }
}

static void WriteEntryValue(const char* keyPath, const char* valueName, const char* text, DWORD type)
{
    RegistryWriteValue(HKEY_LOCAL_MACHINE, keyPath, valueName, type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ,
                       -1, text);
}

// A name of backslashes only resolves to the Uninstall key itself, which holds every other
// product's entry: such a name counts as no name at all.
static void KeepOnlyUsableKeyName(char* keyName)
{
    for (const char* c = keyName; *c; ++c)
        if (*c != '\\')
            return;
    keyName[0] = 0;
}

static void ReadUninstallKeyName(UninstallSession* session, char* keyName)
{
    keyName[0] = 0;
    if (session->log)
        LogGetField(session->log, LOG_FIELD_UNINSTALL_KEY, keyName);
    KeepOnlyUsableKeyName(keyName);
}

static void ReadUninstallEntry(UninstallSession* session)
{
    char keyName[LOG_FIELD_BUFFER_SIZE];
    ReadUninstallKeyName(session, keyName);
    if (!keyName[0])
        return;
    char keyPath[UNINSTALL_KEY_SIZE];
    UninstallKeyPath(keyName, keyPath);
    ReadEntryValue(keyPath, "DisplayName", session->displayName, sizeof session->displayName,
                   &session->displayNameType);
    ReadEntryValue(keyPath, "UninstallString", session->uninstallString,
                   sizeof session->uninstallString, &session->uninstallStringType);
}

// The command that starts this program on the log: the Windows directory's uninst.exe. A log
// path with a blank is quoted, or the command line would end it at the blank and the next run
// could not find the log.
static void DefaultUninstallCommand(const UninstallSession* session, char* command, int size)
{
    char directory[MAX_PATH + 1];
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory)
        directory[0] = 0;
    AddBackslash(directory, sizeof directory);
    const char* quote = strchr(session->logPath, ' ') ? "\"" : "";
    snprintf(command, size, "%suninst.exe -f%s%s%s", directory, quote, session->logPath, quote);
}

// Puts the log back at its place from the temporary copy. 1 when the copy succeeded.
static int RestoreLog(UninstallSession* session)
{
    char directory[MAX_PATH + 1];
    if (GetDirectoryPart(session->logPath, directory, sizeof directory) && directory[0])
        EnsureDirectory(directory);
    if (FileCopy(session->tempLogPath, session->logPath) != 0)
        return 0;
    FileDelete(session->tempLogPath);
    return 1;
}

// The log goes back even without a usable key name: a program item or command line may still
// name it, and left only as a temporary copy the uninstall could not be started again.
static void RestoreUninstallEntry(UninstallSession* session, const char* keyName)
{
    RestoreLog(session);
    if (!keyName[0])
        return;
    char command[SESSION_UNINSTALL_STRING_SIZE + MAX_PATH + 32];
    if (session->uninstallString[0])
        lstrcpynA(command, session->uninstallString, sizeof command);
    else
        DefaultUninstallCommand(session, command, sizeof command);
    char keyPath[UNINSTALL_KEY_SIZE];
    UninstallKeyPath(keyName, keyPath);
    // The command this program builds itself holds no variables.
    WriteEntryValue(keyPath, "UninstallString", command,
                    session->uninstallString[0] ? session->uninstallStringType : REG_SZ);
    WriteEntryValue(keyPath, "DisplayName", session->displayName, session->displayNameType);
}

// --- Creation ------------------------------------------------------------------------------------

static UninstallSession* AllocateSession()
{
    if (enginePool == POOL_NONE)
        return nullptr;
    void* memory = PoolAlloc(enginePool, sizeof(UninstallSession));
    if (memory)
        memset(memory, 0, sizeof(UninstallSession));
    return static_cast<UninstallSession*>(memory);
}

// Gives up a session whose log was already deleted at its place: the log goes back from the
// temporary copy, so that nothing is lost and the uninstall can be started again.
static UninstallSession* AbandonCreatedSession(UninstallSession* session)
{
    DestroyPhases(session);
    LogClose(session->log);
    session->log = nullptr;
    RestoreLog(session);
    PoolFree(enginePool, session);
    return nullptr;
}

static UninstallSession* FailSession(UninstallSession* session, int32_t code, const char* text)
{
    SessionReportError(session, code, text, 0);
    PoolFree(enginePool, session);
    return nullptr;
}

static int OpenLogCopy(UninstallSession* session, const char* logPath)
{
    if (!MakeTempName(session->tempLogPath) || FileCopy(logPath, session->tempLogPath) != 0) {
        SessionReportError(session, -2, session->tempLogPath, 0);
        return 0;
    }
    lstrcpynA(session->logPath, logPath, sizeof session->logPath);
    session->log = LogOpen(session->tempLogPath, LOG_OPEN_EXISTING | 1);
    if (!session->log) {
        SessionReportError(session, -3, logPath, 0);
        FileDelete(session->tempLogPath);
        return 0;
    }
    return 1;
}

static int CreateProgress(UninstallSession* session)
{
    char appName[LOG_FIELD_BUFFER_SIZE];
    LogGetField(session->log, LOG_FIELD_APPLICATION, appName);
    const char* title = session->displayName[0] ? session->displayName : appName;
    session->progress = ProgressCreate(gInstance, title);
    if (!session->progress)
        return 0;
    session->progressWindow = ProgressGetWindow(session->progress);
    gProgressDialog = session->progressWindow;
    ProgressSet(session->progress, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>(""));
    ProgressSet(session->progress, PROGRESS_TOTAL, LogGetField(session->log, LOG_FIELD_RECORD_COUNT,
                                                               nullptr));
    return 1;
}

UninstallSession* SessionCreateWithTable(const char* logPath, ErrorReporter reporter,
                                         const PhaseRow* table)
{
    UninstallSession* session = AllocateSession();
    if (!session) {
        if (reporter)
            reporter(-4, nullptr, 0, nullptr);
        return nullptr;
    }
    session->errorReporter = reporter;
    session->phaseTable = table;
    if (!logPath)
        logPath = "";
    // A path longer than a path field cannot name the log this program would put back.
    if (lstrlenA(logPath) > MAX_PATH || !FileExists(logPath))
        return FailSession(session, -5, logPath);
    if (!OpenLogCopy(session, logPath)) {
        PoolFree(enginePool, session);
        return nullptr;
    }
    FileDelete(logPath);
    ReadUninstallEntry(session);
    if (!RegisterPhases(session) || !CreateProgress(session)) {
        if (reporter)
            reporter(-4, nullptr, 0, nullptr);
        return AbandonCreatedSession(session);
    }
    return session;
}

UninstallSession* SessionCreate(const char* logPath, ErrorReporter reporter)
{
    return SessionCreateWithTable(logPath, reporter, kUninstallPhases);
}

// --- Running -------------------------------------------------------------------------------------

int SessionStart(UninstallSession* session, int show)
{
    if (!session)
        return -1;
    session->started = 1;
    if (session->progressWindow && IsWindow(session->progressWindow)) {
        if (show) {
            ShowWindow(session->progressWindow, SW_SHOWNORMAL);
            UpdateWindow(session->progressWindow);
        }
        ProgressShow(session->progress);
    }
    return 0;
}

int SessionIsRunnable(UninstallSession* session)
{
    return session && session->started && !session->finished ? 1 : 0;
}

int SessionIsFinished(UninstallSession* session) { return session ? session->finished : 1; }

static int IsPartialFailure(int32_t code)
{
    return code >= ERR_GROUP_NOT_REMOVED && code <= ERR_FILE_NOT_REMOVED;
}

static int ClassifyStepResult(UninstallSession* session, intptr_t result)
{
    if (result == -1) {
        SessionReportError(session, -6, nullptr, 0);
        return -1;
    }
    if (IsPartialFailure(session->lastResult)) {
        session->partialFailure = 1;
        return 0;
    }
    if ((session->lastResult == 0 || session->lastResult == 1) && (result == 0 || result == 1))
        return static_cast<int>(result);
    SessionReportError(session, -6, nullptr, 0);
    return -1;
}

static void TickCheckMark(UninstallSession* session)
{
    if (!session->progress)
        return;
    int mark = session->phaseTable[session->currentPhase].checkMark;
    if (mark >= 0)
        ProgressSet(session->progress, PROGRESS_TICK, mark);
}

static void ShowFinalMessage(UninstallSession* session)
{
    char text[FINAL_MESSAGE_SIZE];
    UINT id = session->partialFailure ? IDS_PARTIAL_SUCCESS : IDS_SUCCESS;
    if (!LoadStringA(gInstance, id, text, sizeof text))
        text[0] = 0;
    ProgressFinish(session->progress);
    ProgressSet(session->progress, PROGRESS_MESSAGE, reinterpret_cast<INT_PTR>(text));
}

static int CompletePhase(UninstallSession* session)
{
    TickCheckMark(session);
    session->currentPhase += 1;
    if (session->currentPhase < session->phaseCount) {
        gSessionPause(kPhasePauseMs);
        return 0;
    }
    session->finished = 1;
    ShowFinalMessage(session);
    CallExternalDll(0);
    return 1;
}

static int StopRun(UninstallSession* session)
{
    char keyName[LOG_FIELD_BUFFER_SIZE];
    ReadUninstallKeyName(session, keyName);
    RestoreUninstallEntry(session, keyName);
    return -1;
}

int SessionStep(UninstallSession* session)
{
    if (!session)
        return -1;
    if (!session->started)
        return 0;
    if (session->finished || session->currentPhase < 0 ||
        session->currentPhase >= session->phaseCount)
        return -1;
    PhaseEntry& entry = session->phases[session->currentPhase];
    if (!entry.handler)
        return -1;
    session->lastResult = 0;
    if (dllInitPending) {
        if (CallExternalDll(1) < 0)
            return -1;
        dllInitPending = 0;
    }
    intptr_t result = entry.handler(entry.state, PHASE_RUN, session, session->log);
    switch (ClassifyStepResult(session, result)) {
    case 0:
        return 0;
    case 1:
        return CompletePhase(session);
    default:
        return StopRun(session);
    }
}

// --- End -----------------------------------------------------------------------------------------

int SessionDestroy(UninstallSession* session)
{
    if (!session)
        return -1;
    char keyName[LOG_FIELD_BUFFER_SIZE];
    ReadUninstallKeyName(session, keyName);
    LogClose(session->log);
    session->log = nullptr;
    if (!session->finished) {
        RestoreUninstallEntry(session, keyName);
    } else {
        FileDelete(session->tempLogPath);
        if (FileExists(session->logPath))
            FileDelete(session->logPath);
    }
    DestroyPhases(session);
    if (session->progressWindow && IsWindow(session->progressWindow))
        ProgressDestroy(session->progress);
    if (gProgressDialog == session->progressWindow)
        gProgressDialog = nullptr;
    PoolFree(enginePool, session);
    return 0;
}

intptr_t SessionQuery(UninstallSession* session, int selector)
{
    if (!session)
        return -1;
    switch (selector) {
    case SESSION_POOL:
        return enginePool;
    case SESSION_PROGRESS:
        return reinterpret_cast<intptr_t>(session->progress);
    default:
        return 0;
    }
}

int SessionSetResult(UninstallSession* session, int32_t code)
{
    if (!session)
        return -1;
    session->lastResult = code;
    return 0;
}

int32_t SessionReportError(UninstallSession* session, int32_t code, const char* text, int32_t value)
{
    if (session && session->errorReporter)
        return session->errorReporter(code, text, value, session);
    MessageBoxA(nullptr, "Error handler not displayed", "Uninstall", MB_OK);
    return 0;
}
