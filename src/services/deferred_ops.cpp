#include "services/deferred_ops.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "core/pool.h"
#include "core/string_list.h"
#include "log/buffered_file.h"
#include "services/paths.h"

namespace {

// Platform classes as recorded at start-up; only these decide how a deletion is deferred.
const int CLASS_WIN95 = 1;
const int CLASS_NT_FIRST = 2;
const int CLASS_NT_LAST = 5;
const int CLASS_WIN32S = 7;

const size_t DEFERRED_POOL_SIZE = 2500;
const unsigned long DEFERRED_POOL_FLAGS = 0x1003;

const char kRenameHeader[] = "[rename]";
const char kWininitName[] = "wininit.ini";

struct DeferredOpsState {
    MemoryPool pool;
    int platformClass;
};

DeferredOpsState* gDeferredState = nullptr;

// The read-only attribute blocks both the rename and the exclusive open on some platforms, so it
// is lifted for the duration of a test and put back exactly as it was.
struct ReadOnlyLift {
    DWORD attributes;
    int lifted;
};

ReadOnlyLift LiftReadOnly(const char* path)
{
    ReadOnlyLift lift = {GetAttributes(path), 0};
    if (lift.attributes & FILE_ATTRIBUTE_READONLY) {
        SetAttributes(path, lift.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        lift.lifted = 1;
    }
    return lift;
}

void RestoreReadOnly(const char* path, const ReadOnlyLift& lift)
{
    if (lift.lifted)
        SetAttributes(path, lift.attributes);
}

// A file that another process holds open cannot be renamed: moving it aside and straight back
// tells without disturbing it. 1 when the move worked.
int PassesRenameTest(const char* path)
{
    char directory[MAX_PATH + 1];
    if (!FileExists(path) || !GetDirectoryPart(path, directory, sizeof directory))
        return 0;
    // A bare file name lives in the current directory; an empty directory would mean the root.
    if (directory[0] == '\0')
        lstrcpyA(directory, ".");
    SetErrorMode(SEM_NOOPENFILEERRORBOX);

    char tempName[MAX_PATH + 1];
    // With every name taken the last one is tried anyway; the move onto it then fails, which
    // counts the file as in use rather than risking another file.
    FindFreeTempName(directory, tempName);

    ReadOnlyLift lift = LiftReadOnly(path);
    int moved = tempName[0] != '\0' && FileMove(path, tempName) == 0;
    if (moved)
        FileMove(tempName, path);
    RestoreReadOnly(path, lift);

    SetErrorMode(0);
    return moved;
}

// 1 when nobody else has the file open: an open for writing without any sharing succeeds.
int PassesExclusiveOpenTest(const char* path)
{
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    ReadOnlyLift lift = LiftReadOnly(path);

    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    int opened = file != INVALID_HANDLE_VALUE;
    if (opened)
        CloseHandle(file);

    RestoreReadOnly(path, lift);
    SetErrorMode(0);
    return opened;
}

int IsPlainFileName(const char* path)
{
    return path && path[0] && !strpbrk(path, "*?");
}

int IsNtClass(int platformClass)
{
    return platformClass >= CLASS_NT_FIRST && platformClass <= CLASS_NT_LAST;
}

int WininitPath(char* path, size_t pathSize)
{
    char windowsDirectory[MAX_PATH + 1];
    UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
    if (length == 0 || length > MAX_PATH)
        return 0;
    return JoinPath(path, windowsDirectory, kWininitName, pathSize);
}

// Puts the cursor on the "[rename]" header, appending one after the last line when the file has
// none. 1, or 0 when the list cannot grow.
int SeekRenameSection(StringList* lines)
{
    for (const char* line = ListFirst(lines); line; line = ListNext(lines)) {
        if (lstrcmpiA(line, kRenameHeader) == 0)
            return 1;
    }
    ListLast(lines);
    return ListAppend(lines, kRenameHeader);
}

// The list cuts a line too long for one read into several entries, and saving them would split that
// line of another program's pending work in two. A file that may hold such a line is not rewritten.
int EveryLineReadWhole(StringList* lines)
{
    for (const char* line = ListFirst(lines); line; line = ListNext(lines)) {
        if (strlen(line) >= size_t(LIST_LOAD_CHUNK - 1))
            return 0;
    }
    return 1;
}

int ScheduleByWininit(const char* path)
{
    char shortPath[MAX_PATH + 1];
    if (!GetShortPath(path, shortPath, sizeof shortPath))
        return -1;
    char line[sizeof "NUL=" + MAX_PATH];
    snprintf(line, sizeof line, "NUL=%s", shortPath);
    AddWininitRename(line);
    return 0;
}

}  // namespace

int DeferredOpsInit(int platformClass)
{
    if (gDeferredState)
        return 1;
    MemoryPool pool = PoolCreate(DEFERRED_POOL_SIZE, DEFERRED_POOL_FLAGS);
    if (pool == POOL_NONE)
        return -1;
    DeferredOpsState* state = static_cast<DeferredOpsState*>(PoolAlloc(pool, sizeof *state));
    if (!state) {
        PoolDestroy(pool);
        return -1;
    }
    state->pool = pool;
    state->platformClass = platformClass;
    gDeferredState = state;
    return 0;
}

int IsFileInUse(const char* path)
{
    // Only a plain file can be in use: a directory, or a pattern that happens to match files,
    // must never be handed to the restart-time deletion.
    if (!IsPlainFileName(path) || !FileExists(path) || IsDirectory(path))
        return 0;
    if (GetModuleHandleA(path))
        return 1;
    if (!PassesRenameTest(path))
        return 1;
    return PassesExclusiveOpenTest(path) ? 0 : 1;
}

int ScheduleDeleteAtRestart(const char* path)
{
    if (!gDeferredState || !path)
        return -1;
    int platformClass = gDeferredState->platformClass;
    if (platformClass == CLASS_WIN95)
        return ScheduleByWininit(path);
    if (IsNtClass(platformClass)) {
        // A refusal is not reported: the caller has already counted the file as handled.
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return 0;
    }
    // Win32s has no restart-time mechanism; its callers never ask.
    return -1;
}

int AddWininitRename(const char* line)
{
    if (!line)
        return -1;
    char path[MAX_PATH + 1];
    if (!WininitPath(path, sizeof path))
        return -1;

    StringList* lines = ListCreate(0);
    if (!lines)
        return -1;
    int ready;
    if (FileExists(path))
        ready = ListLoad(lines, path) && EveryLineReadWhole(lines);  // else left alone rather than replaced
    else
        ready = ListAppend(lines, kRenameHeader);

    int result = -1;
    // The new line goes directly under the header, so the section's newest entry comes first.
    if (ready && SeekRenameSection(lines) && ListAppend(lines, line) && ListSave(lines, path))
        result = 0;
    ListDestroy(lines);
    return result;
}
