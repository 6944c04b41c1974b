// Speaks to the system's own Program Manager DDE server (the shell's, not the tests' stand-in):
// creates a group and an item through it, then removes them with the client's commands and
// checks the Programs folder after each step. Prints one line per step; exit code 0 when all
// steps behaved, 1 otherwise, 2 when no server answered at all.
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include "services/progman.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* step)
{
    printf("%s: %s\n", ok ? "ok" : "FAILED", step);
    if (!ok) ++g_failures;
}

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The shell answers DDE from its desktop process, which may still be starting.
bool WaitForServer()
{
    for (int attempt = 0; attempt < 60; ++attempt) {
        if (ProgmanExecute("[CreateGroup(UninstProbe)]")) return true;
        Sleep(500);
    }
    return false;
}

bool WriteFileText(const char* path, const char* text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(file);
    return true;
}

}  // namespace

int main()
{
    char programs[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs) != S_OK) return 1;
    char group[MAX_PATH];
    char link[MAX_PATH];
    snprintf(group, sizeof group, "%s\\UninstProbe", programs);
    snprintf(link, sizeof link, "%s\\Tool.lnk", group);

    if (!ProgmanInit(1, 0)) return 1;
    if (!WaitForServer()) {
        printf("FAILED: no Program Manager DDE server answered\n");
        ProgmanShutdown();
        return 2;
    }
    Check(Exists(group), "[CreateGroup(UninstProbe)] made the group folder");
    Check(ProgmanShowGroup("UninstProbe", 6) == 1, "[ShowGroup(UninstProbe,6)] accepted");
    Check(ProgmanShowGroup("UninstProbe", 1) == 1, "[ShowGroup(UninstProbe,1)] accepted");
    Check(WriteFileText(link, "stand-in shortcut"), "shortcut placed in the group");
    Check(ProgmanDeleteItem("UninstProbe", "Tool") == 1, "[DeleteItem(Tool)] accepted");
    Check(!Exists(link), "the item's shortcut is gone");
    Check(ProgmanDeleteItem("UninstProbe", "Tool") == 0, "a second [DeleteItem(Tool)] refused");
    Check(ProgmanDeleteGroup("UninstProbe") == 1, "[DeleteGroup(UninstProbe)] accepted");
    Check(!Exists(group), "the group folder is gone");
    long count = 0;
    ProgmanGroupInfo("UninstProbe", nullptr, 0, &count, nullptr);
    Check(count == 0, "no items reported for the deleted group");
    ProgmanShutdown();
    return g_failures ? 1 : 0;
}
