#include "engine/shell_actions.h"

#include <windows.h>

#include <string.h>

#include "app/platform.h"
#include "core/string_list.h"
#include "log/buffered_file.h"
#include "services/paths.h"
#include "services/progman.h"
#include "services/registry.h"

char lastGroupShown[LAST_GROUP_SHOWN_SIZE];

namespace {

enum { PROGRAMS_FOLDER_SIZE = 272 };

// The user's Programs folder: one buffer, filled anew from the registry for every record.
char programsFolder[PROGRAMS_FOLDER_SIZE];

const char kShellFoldersKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

// Windows 95 and an NT desktop run by the Explorer keep program items as shortcut files; every
// other desktop is Program Manager, reached over DDE.
int ExplorerDesktop()
{
    return gPlatform.windows95 || gPlatform.explorerShell;
}

// An empty value would make every group relative to the current directory, so it counts as absent.
int FindProgramsFolder()
{
    if (RegistryReadValue(HKEY_CURRENT_USER, kShellFoldersKey, "Programs", nullptr, nullptr,
                          programsFolder, sizeof programsFolder) &&
        programsFolder[0])
        return 1;
    char windows[PATH_BUFFER_SIZE];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    programsFolder[0] = 0;
    if (length == 0 || length >= sizeof windows) return 0;
    strcpy(programsFolder, windows);
    return AppendPath(programsFolder, "Start Menu\\Programs", sizeof programsFolder);
}

int IsLinkName(const char* item)
{
    char extension[PATH_BUFFER_SIZE];
    return GetExtension(item, extension, sizeof extension) && lstrcmpiA(extension, "lnk") == 0;
}

int AppendText(char* text, const char* tail, size_t size)
{
    size_t used = strlen(text);
    size_t more = strlen(tail);
    if (used + more >= size) return 0;
    memcpy(text + used, tail, more + 1);
    return 1;
}

// The group folder is the group itself for a full path, else the group below the Programs folder.
int GroupFolder(const char* group, char* folder, size_t folderSize)
{
    folder[0] = 0;
    if (!FindProgramsFolder()) return 0;
    int ok;
    if (IsAbsoluteDrivePath(group) || group[0] == '\\') {
        ok = strlen(group) < folderSize;
        if (ok) strcpy(folder, group);
    } else {
        ok = JoinPath(folder, programsFolder, group, folderSize);
    }
    return ok && AddBackslash(folder, folderSize);
}

// The Programs folder itself (or its parent, through a group named "..") is never a group's folder.
int IsProgramsFolderOrAbove(const char* folder)
{
    char full[PATH_BUFFER_SIZE];
    char programs[PATH_BUFFER_SIZE];
    DWORD a = GetFullPathNameA(folder, sizeof full, full, nullptr);
    DWORD b = GetFullPathNameA(programsFolder, sizeof programs, programs, nullptr);
    if (a == 0 || a >= sizeof full || b == 0 || b >= sizeof programs) return 1;
    AddBackslash(full, sizeof full);
    AddBackslash(programs, sizeof programs);
    size_t length = strlen(full);
    return length <= strlen(programs) && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, full,
                                                        (int)length, programs, (int)length) == CSTR_EQUAL;
}

int RemoveShellItemExplorer(const char* group, const char* item)
{
    char folder[PATH_BUFFER_SIZE];
    char link[PATH_BUFFER_SIZE];
    if (!ShellLinkPaths(group, item, folder, sizeof folder, link, sizeof link))
        return ERR_ITEM_NOT_REMOVED;
    if (!FileExists(link)) {
        // Shortcuts to MS-DOS programs are .pif files of the same name.
        if (!ChangeExtension(link, "pif", sizeof link) || !FileExists(link)) return 0;
    }
    return FileDelete(link) == 0 ? 0 : ERR_ITEM_NOT_REMOVED;
}

// Program Manager answers the group's item count; an empty, missing or silent group has nothing
// this record could name, so the item counts as not removed.
int RemoveShellItemProgman(const char* group, const char* item)
{
    long itemCount = 0;
    ShowGroupOnce(group);
    ProgmanGroupInfo(group, nullptr, 0, &itemCount, nullptr);
    if (itemCount <= 0) return ERR_ITEM_NOT_REMOVED;
    ProgmanDeleteItem(group, item);
    return 0;
}

int RemoveShellGroupExplorer(const char* group)
{
    char folder[PATH_BUFFER_SIZE];
    char link[PATH_BUFFER_SIZE];
    if (!ShellLinkPaths(group, "x", folder, sizeof folder, link, sizeof link))
        return ERR_GROUP_NOT_REMOVED;
    if (!IsDirectory(folder) || !IsDirectoryEmpty(folder)) return 0;
    if (IsProgramsFolderOrAbove(folder)) return 0;
    return RemoveDirectoryPath(folder) ? 0 : ERR_GROUP_NOT_REMOVED;
}

// A group that still holds items (the user's, or another application's) stays.
int RemoveShellGroupProgman(const char* group)
{
    long itemCount = 0;
    ShowGroupOnce(group);
    ProgmanGroupInfo(group, nullptr, 0, &itemCount, nullptr);
    if (itemCount > 0) return ERR_GROUP_NOT_REMOVED;
    ProgmanDeleteGroup(group);
    return 0;
}

}  // namespace

int ShellLinkPaths(const char* group, const char* item, char* groupFolder, size_t groupFolderSize,
                   char* linkPath, size_t linkPathSize)
{
    if (!groupFolder || !groupFolderSize || !linkPath || !linkPathSize) return 0;
    groupFolder[0] = 0;
    linkPath[0] = 0;
    if (!group || !item) return 0;
    if (!GroupFolder(group, groupFolder, groupFolderSize)) return 0;
    if (!JoinPath(linkPath, groupFolder, item, linkPathSize)) return 0;
    if (!IsLinkName(item) && !AppendText(linkPath, ".lnk", linkPathSize)) {
        linkPath[0] = 0;
        return 0;
    }
    return 1;
}

int ShowGroupOnce(const char* group)
{
    if (!group) return 1;
    if (lstrcmpiA(group, lastGroupShown) != 0) {
        // Minimised, then restored and active: Program Manager then has the group in front.
        ProgmanShowGroup(group, 6);
        ProgmanShowGroup(group, 1);
        lstrcpynA(lastGroupShown, group, sizeof lastGroupShown);
    }
    return 1;
}

int32_t RemoveShellItemAction(PhaseState*, int message, UninstallSession*, const char*, int32_t,
                              StringList* recordList)
{
    if (message != PHASE_RUN || !recordList) return 0;
    const char* group = ListFirst(recordList);
    const char* item = group ? ListNext(recordList) : nullptr;
    if (!group || !item || !item[0]) return 0;
    return ExplorerDesktop() ? RemoveShellItemExplorer(group, item) : RemoveShellItemProgman(group, item);
}

int32_t RemoveShellGroupAction(PhaseState*, int message, UninstallSession*, const char* recordText,
                               int32_t, StringList*)
{
    if (message != PHASE_RUN || !recordText || !recordText[0]) return 0;
    return ExplorerDesktop() ? RemoveShellGroupExplorer(recordText) : RemoveShellGroupProgman(recordText);
}
