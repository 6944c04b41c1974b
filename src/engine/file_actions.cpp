#include "engine/file_actions.h"

#include <windows.h>
#include <string.h>

#include "app/messages.h"
#include "app/options.h"
#include "app/platform.h"
#include "app/startup.h"
#include "core/string_list.h"
#include "log/buffered_file.h"
#include "services/deferred_ops.h"
#include "services/paths.h"
#include "services/shared_counts.h"

namespace {

const int32_t OPTIONAL_FILE = 0x40;
const int32_t SELF_REGISTERING = 0x20;

const int SHARED_CAPTION_SIZE = 100;
const int SHARED_TEXT_BEFORE_SIZE = 1024;
const int SHARED_TEXT_AFTER_SIZE = 512;

// Loading OLE and a server must never bring up the platform's "insert disk" or "file not
// found" boxes in the middle of an uninstall.
const UINT QUIET_LOAD_ERROR_MODE = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

// Handles at or below 32 are the error codes of the 16-bit loader that Win32s still reports.
const uintptr_t FIRST_VALID_MODULE = 32;

HMODULE LoadModuleQuietly(const char* path)
{
    UINT previous = SetErrorMode(QUIET_LOAD_ERROR_MODE);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(previous);
    if (reinterpret_cast<uintptr_t>(module) < FIRST_VALID_MODULE)
        return nullptr;
    return module;
}

// Records name files by their drive or network share. A relative path would be resolved against
// whatever directory the program runs in (its own, normally the Windows directory), and a longer
// path cannot be handled by the ANSI file functions.
int IsUsablePath(const char* path)
{
    if (!path || strlen(path) > MAX_PATH)
        return 0;
    return IsAbsoluteDrivePath(path) || (path[0] == '\\' && path[1] == '\\');
}

// An empty list entry names nothing and is skipped like a missing file.
int IsUsableOrEmpty(const char* path)
{
    return path[0] == 0 || IsUsablePath(path);
}

// The path as the file system resolves it: ".", ".." and doubled backslashes gone, and the short
// form where the file exists. 0 when it cannot be resolved.
int ResolvePath(const char* path, char* resolved, size_t resolvedSize)
{
    char full[MAX_PATH + 1];
    char* namePart = nullptr;
    DWORD length = GetFullPathNameA(path, sizeof full, full, &namePart);
    if (length == 0 || length >= sizeof full)
        return 0;
    return GetShortPath(full, resolved, resolvedSize);
}

// 1 when two spellings name the same file, so that a record whose copy path is the shared file
// spelt another way is not taken for a pending copy (which goes without looking at the count).
int NameSameFile(const char* first, const char* second)
{
    if (lstrcmpiA(first, second) == 0)
        return 1;
    char resolvedFirst[MAX_PATH + 1];
    char resolvedSecond[MAX_PATH + 1];
    return ResolvePath(first, resolvedFirst, sizeof resolvedFirst) &&
           ResolvePath(second, resolvedSecond, sizeof resolvedSecond) &&
           lstrcmpiA(resolvedFirst, resolvedSecond) == 0;
}

int DeleteOrFail(const char* path)
{
    return FileDelete(path) == 0 ? 0 : ERR_FILE_NOT_REMOVED;
}

typedef HRESULT(WINAPI* CoInitializeProc)(LPVOID);
typedef void(WINAPI* CoUninitializeProc)();
typedef HINSTANCE(WINAPI* CoLoadLibraryProc)(LPWSTR, BOOL);
typedef void(WINAPI* CoFreeLibraryProc)(HINSTANCE);
typedef HRESULT(STDAPICALLTYPE* DllUnregisterServerProc)();

struct OleEntries {
    CoInitializeProc initialize;
    CoUninitializeProc uninitialize;
    CoLoadLibraryProc loadLibrary;
    CoFreeLibraryProc freeLibrary;
};

int FindOleEntries(HMODULE ole, OleEntries* entries)
{
    entries->initialize = reinterpret_cast<CoInitializeProc>(
        reinterpret_cast<void*>(GetProcAddress(ole, "CoInitialize")));
    entries->uninitialize = reinterpret_cast<CoUninitializeProc>(
        reinterpret_cast<void*>(GetProcAddress(ole, "CoUninitialize")));
    entries->loadLibrary = reinterpret_cast<CoLoadLibraryProc>(
        reinterpret_cast<void*>(GetProcAddress(ole, "CoLoadLibrary")));
    entries->freeLibrary = reinterpret_cast<CoFreeLibraryProc>(
        reinterpret_cast<void*>(GetProcAddress(ole, "CoFreeLibrary")));
    return entries->initialize && entries->uninitialize && entries->loadLibrary &&
           entries->freeLibrary;
}

// 1 when the server's own DllUnregisterServer reported success; 0 when it failed or is absent.
int CallUnregisterEntry(HMODULE server)
{
    DllUnregisterServerProc unregister = reinterpret_cast<DllUnregisterServerProc>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllUnregisterServer")));
    if (!unregister)
        return 0;
    return unregister() >= 0 ? 1 : 0;
}

int UnregisterWithOle(const OleEntries& ole, const char* path)
{
    HRESULT initialized = ole.initialize(nullptr);
    if (initialized != S_OK && initialized != S_FALSE)
        return 0;
    HMODULE server = LoadModuleQuietly(path);
    if (!server) {
        ole.uninitialize();
        return 0;
    }
    int result = CallUnregisterEntry(server);
    // The server was loaded by the platform loader; CoFreeLibrary hands it back the same way.
    ole.freeLibrary(server);
    ole.uninitialize();
    return result;
}

// The record's list carries the copy path first and the final shared path second.
int TakeSharedPaths(StringList* list, const char** copyPath, const char** sharedPath)
{
    *copyPath = ListFirst(list);
    *sharedPath = *copyPath ? ListNext(list) : nullptr;
    return *copyPath && *sharedPath;
}

// A copy that was still waiting to be moved onto the shared path at the next restart: only the
// copy goes; the shared file and its count belong to whoever installed it.
int RemovePendingCopy(const char* copyPath)
{
    return DeleteOrFail(copyPath);
}

int32_t RemoveUnusedSharedFile(const char* sharedPath, int32_t flags)
{
    if (!IsProtectedRuntimeFile(sharedPath) && ConfirmSharedFileRemoval(sharedPath)) {
        if (flags & SELF_REGISTERING)
            UnregisterServer(sharedPath);
        if (DeferIfInUse(sharedPath))
            return 0;
        return DeleteOrFail(sharedPath);
    }
    // Kept: the count comes back as 0 so that a later installation finds the file counted.
    SharedCountAdjust(sharedPath, 0, 1);
    return 0;
}

}  // namespace

int DeferIfInUse(const char* path)
{
    if (GetPlatformClass() == PLATFORM_WIN32S)
        return 0;
    if (!IsFileInUse(path))
        return 0;
    ScheduleDeleteAtRestart(path);
    return 1;
}

int IsProtectedRuntimeFile(const char* path)
{
    if (gOptions.noRuntimeProtection || !path)
        return 0;

    char directory[MAX_PATH + 2];
    char systemDirectory[MAX_PATH + 2];
    if (!GetDirectoryPart(path, directory, sizeof directory) ||
        !AddBackslash(directory, sizeof directory))
        return 0;
    UINT length = GetSystemDirectoryA(systemDirectory, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH || !AddBackslash(systemDirectory, sizeof systemDirectory))
        return 0;
    if (lstrcmpiA(directory, systemDirectory) != 0)
        return 0;

    char name[MAX_PATH + 1];
    if (!GetFileNamePart(path, name, sizeof name))
        return 0;
    char protectedName[MAX_PATH + 1];
    for (UINT id = IDS_PROTECTED_FIRST; LoadStringA(gInstance, id, protectedName, sizeof protectedName) > 0;
         ++id) {
        if (lstrcmpiA(protectedName, name) == 0)
            return 1;
    }
    return 0;
}

int ConfirmSharedFileRemoval(const char* path)
{
    char caption[SHARED_CAPTION_SIZE];
    char before[SHARED_TEXT_BEFORE_SIZE];
    char after[SHARED_TEXT_AFTER_SIZE];
    if (!path || LoadStringA(gInstance, IDS_SHARED_CAPTION, caption, sizeof caption) <= 0 ||
        LoadStringA(gInstance, IDS_SHARED_TEXT_BEFORE, before, sizeof before) <= 0 ||
        LoadStringA(gInstance, IDS_SHARED_TEXT_AFTER, after, sizeof after) <= 0)
        return 0;

    char upperPath[MAX_PATH + 1];
    lstrcpynA(upperPath, path, sizeof upperPath);
    CharUpperA(upperPath);

    char text[SHARED_TEXT_BEFORE_SIZE + MAX_PATH + 1 + SHARED_TEXT_AFTER_SIZE];
    lstrcpyA(text, before);
    lstrcatA(text, upperPath);
    lstrcatA(text, after);

    int answer = MessageBoxA(gProgressDialog, text, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    return answer == IDYES ? 1 : 0;
}

int UnregisterServer(const char* path)
{
    if (!FileExists(path))
        return 0;
    HMODULE ole = LoadModuleQuietly("OLE32.DLL");
    if (!ole)
        return 0;
    OleEntries entries;
    int result = FindOleEntries(ole, &entries) ? UnregisterWithOle(entries, path) : 0;
    FreeLibrary(ole);
    return result;
}

int32_t RemoveFilesAction(PhaseState*, int message, UninstallSession*, const char* recordText,
                          int32_t recordNumber, StringList*)
{
    if (message != PHASE_RUN)
        return 0;
    if (!IsUsablePath(recordText))
        return (recordNumber & OPTIONAL_FILE) ? 0 : ERR_FILE_NOT_REMOVED;
    if (DeferIfInUse(recordText))
        return 0;
    if (FileDelete(recordText) == 0)
        return 0;
    return (recordNumber & OPTIONAL_FILE) ? 0 : ERR_FILE_NOT_REMOVED;
}

int32_t RemoveSharedFilesAction(PhaseState*, int message, UninstallSession*, const char*,
                                int32_t recordNumber, StringList* recordList)
{
    if (message != PHASE_RUN)
        return 0;
    const char* copyPath;
    const char* sharedPath;
    if (!TakeSharedPaths(recordList, &copyPath, &sharedPath))
        return 0;
    if (!IsUsableOrEmpty(copyPath) || !IsUsableOrEmpty(sharedPath))
        return ERR_FILE_NOT_REMOVED;
    if (!NameSameFile(copyPath, sharedPath) && FileExists(copyPath))
        return RemovePendingCopy(copyPath);
    if (!FileExists(sharedPath))
        return 0;

    int count = SharedCountAdjust(sharedPath, -1, 0);
    if (count > 0)
        return 0;
    if (count < 0)
        return ERR_FILE_NOT_REMOVED;
    return RemoveUnusedSharedFile(sharedPath, recordNumber);
}
