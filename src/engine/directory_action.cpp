#include "engine/directory_action.h"

#include <windows.h>
#include <commdlg.h>
#include <string.h>

#include "app/platform.h"
#include "app/startup.h"
#include "core/pool.h"
#include "core/string_list.h"
#include "services/paths.h"

namespace {

const int DRIVE_LETTER_COUNT = 26;

// The longest text a collected path can have: the phase driver hands over at most this much.
const size_t DIRECTORY_PATH_SIZE = PHASE_RECORD_TEXT_SIZE;

const char kUnusedFileName[] = "02sdazzr.qzy";
const LPARAM PATH_EDIT_LIMIT = 259;

// Walking a missing path up to an existing directory ends at a root; this bounds it regardless.
const int MAX_WALK_UP_STEPS = MAX_PATH;

// Process-wide: the hook serves one chooser at a time, and the registered numbers stay valid for
// the life of the process.
ChooserRecord* gServedChooser = nullptr;
UINT gSelChangedMessage = 0;
UINT gFileNameOkMessage = 0;

StringList* CollectedDirectories(const PhaseState* state)
{
    return reinterpret_cast<StringList*>(state->actionData);
}

// Only a path that names its drive (or its network share) can be meant; anything relative would
// be resolved against whatever directory the program happens to run in.
int IsFullPath(const char* path)
{
    return IsAbsoluteDrivePath(path) || (path[0] == '\\' && path[1] == '\\');
}

int RemoveOneDirectory(const char* path)
{
    if (!IsFullPath(path))
        return 0;
    char directory[DIRECTORY_PATH_SIZE];
    lstrcpynA(directory, path, sizeof directory);
    RemoveBackslash(directory);
    if (!IsDirectory(directory) || !IsDirectoryEmpty(path))
        return 0;
    return RemoveDirectoryPath(directory) ? 1 : 0;
}

// The slot of a path's drive letter, or -1 for a path that does not begin with one.
int DriveSlot(const char* path)
{
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z' || path[1] != ':')
        return -1;
    return letter - 'a';
}

int IsNetworkDrivePath(const char* path)
{
    UINT driveType = DRIVE_UNKNOWN;
    return GetPathDriveType(path, &driveType) && driveType == DRIVE_REMOTE;
}

void OpenChooserOnDrive(MemoryPool pool, const char* path)
{
    char root[8];
    int length = 0;
    if (!GetDrivePrefix(path, root, &length, sizeof root) || length == 0 ||
        !AddBackslash(root, sizeof root))
        return;
    char scratch[MAX_PATH + 1];
    ChooseDirectory(pool, gProgressDialog, root, scratch, sizeof scratch);
}

// The dialog starts in the nearest directory that exists, so that it can list something.
void WalkUpToExistingDirectory(char* path)
{
    for (int step = 0; step < MAX_WALK_UP_STEPS && path[0] && !IsDirectory(path); ++step) {
        if (IsRootPath(path))
            return;
        char parent[MAX_PATH + 1];
        if (!GetDirectoryPart(path, parent, sizeof parent))
            return;
        RemoveBackslash(parent);
        if (lstrcmpA(parent, path) == 0)
            return;
        lstrcpyA(path, parent);
    }
}

void FillChooserDialog(ChooserRecord* record, HWND owner, const char* startDirectory)
{
    OPENFILENAMEA& dialog = record->dialog;
    memset(&dialog, 0, sizeof dialog);
    // The original structure, without the fields later platforms added, works on all of them.
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.hInstance = gInstance;
    dialog.lpstrFile = record->fileBuffer;
    dialog.nMaxFile = sizeof record->fileBuffer;
    dialog.lpstrFileTitle = record->fileTitleBuffer;
    dialog.nMaxFileTitle = sizeof record->fileTitleBuffer;
    dialog.lpstrInitialDir = startDirectory;
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    dialog.lCustData = reinterpret_cast<LPARAM>(record);
    dialog.lpfnHook = ChooserHookProc;
    dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_CHOOSE_DIRECTORY);
}

UINT_PTR ChooserInitDialog(HWND dialog, LPARAM parameters)
{
    const OPENFILENAMEA* dialogParameters = reinterpret_cast<const OPENFILENAMEA*>(parameters);
    gServedChooser = dialogParameters ? reinterpret_cast<ChooserRecord*>(dialogParameters->lCustData)
                                      : nullptr;
    HWND pathEdit = GetDlgItem(dialog, IDC_CHOOSER_PATH);
    SendMessageA(pathEdit, EM_LIMITTEXT, PATH_EDIT_LIMIT, 0);
    PostMessageA(dialog, WM_CHOOSER_DISMISS, 0, 0);
    // Beyond the screen's corner: the chooser only has to visit the drive, never to be seen.
    SetWindowPos(dialog, nullptr, GetSystemMetrics(SM_CXSCREEN) + 10, GetSystemMetrics(SM_CYSCREEN) + 10,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(pathEdit);
    if (gServedChooser)
        SetWindowTextA(pathEdit, gServedChooser->initialDirectory);
    SetDlgItemTextA(dialog, IDC_CHOOSER_FILE_NAME, kUnusedFileName);
    SendMessageA(pathEdit, EM_SETSEL, 0, -1);
    if (gServedChooser)
        gServedChooser->initialised = 1;
    return 0;
}

UINT_PTR ChooserDismiss(HWND dialog)
{
    HWND hiddenControl = GetDlgItem(dialog, IDC_CHOOSER_HIDDEN_BUTTON);
    if (hiddenControl)
        SetWindowPos(hiddenControl, GetDlgItem(dialog, IDCANCEL), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PostMessageA(dialog, WM_COMMAND, IDABORT, 0);
    return 1;
}

UINT_PTR ChooserAcceptName(HWND dialog)
{
    if (!gServedChooser)
        return 1;
    GetDlgItemTextA(dialog, IDC_CHOOSER_PATH, gServedChooser->chosenPath,
                    sizeof gServedChooser->chosenPath);
    gServedChooser->accepted = 1;
    return 0;
}

}  // namespace

int TakeLongestPath(StringList* directories, char* path, size_t pathSize)
{
    if (path && pathSize > 0)
        path[0] = '\0';
    if (!path || ListCount(directories) == 0)
        return 0;
    ListPosition longest = nullptr;
    const char* longestText = nullptr;
    size_t longestLength = 0;
    for (const char* entry = ListFirst(directories); entry; entry = ListNext(directories)) {
        size_t length = strlen(entry);
        if (!longestText || length > longestLength) {
            longest = ListGetPosition(directories);
            longestText = entry;
            longestLength = length;
        }
    }
    // A path cut to fit would name another directory: such an entry leaves the list uncopied.
    int fits = longestLength < pathSize;
    if (fits)
        memcpy(path, longestText, longestLength + 1);
    ListSetPosition(directories, longest);
    ListRemoveCurrent(directories);
    return fits;
}

void VisitNetworkDrives(StringList* directories, MemoryPool pool)
{
    int visited[DRIVE_LETTER_COUNT] = {0};
    for (const char* path = ListFirst(directories); path; path = ListNext(directories)) {
        int slot = DriveSlot(path);
        // Network paths without a drive letter have no slot and are not visited.
        if (slot < 0 || visited[slot] || !IsNetworkDrivePath(path))
            continue;
        OpenChooserOnDrive(pool, path);
        visited[slot] = 1;
    }
}

int RemoveCollectedDirectories(StringList* directories, MemoryPool pool)
{
    int result = 0;
    int platformClass = GetPlatformClass();
    if (platformClass == PLATFORM_WIN95 || platformClass == PLATFORM_WIN32S)
        VisitNetworkDrives(directories, pool);

    char path[DIRECTORY_PATH_SIZE];
    while (ListCount(directories) > 0) {
        if (!TakeLongestPath(directories, path, sizeof path) || !RemoveOneDirectory(path))
            result = ERR_DIR_NOT_REMOVED;
    }
    return result;
}

int ChooseDirectory(MemoryPool pool, HWND owner, const char* initialDirectory, char* out, size_t outSize)
{
    if (!initialDirectory || strlen(initialDirectory) > MAX_PATH)
        return 0;
    ChooserRecord* record = static_cast<ChooserRecord*>(PoolAlloc(pool, sizeof(ChooserRecord)));
    if (!record)
        return 0;
    memset(record, 0, sizeof *record);
    record->owner = owner;
    record->pool = pool;
    lstrcpyA(record->initialDirectory, initialDirectory);
    RemoveBackslash(record->initialDirectory);
    char workingDirectory[MAX_PATH + 1];
    lstrcpyA(workingDirectory, record->initialDirectory);
    WalkUpToExistingDirectory(workingDirectory);
    FillChooserDialog(record, owner, workingDirectory);

    gSelChangedMessage = RegisterWindowMessageA("commdlg_LBSelChangedNotify");
    gFileNameOkMessage = RegisterWindowMessageA("commdlg_FileNameOK");

    GetSaveFileNameA(&record->dialog);
    int accepted = record->accepted;
    if (accepted && out && strlen(record->chosenPath) < outSize)
        lstrcpyA(out, record->chosenPath);
    else
        accepted = 0;
    PoolFree(pool, record);
    return accepted;
}

UINT_PTR CALLBACK ChooserHookProc(HWND dialog, UINT message, WPARAM, LPARAM parameters)
{
    if (message == WM_INITDIALOG)
        return ChooserInitDialog(dialog, parameters);
    if (message == WM_CHOOSER_DISMISS)
        return ChooserDismiss(dialog);
    if (message == WM_DESTROY) {
        gServedChooser = nullptr;
        return 0;
    }
    if (gSelChangedMessage != 0 && message == gSelChangedMessage)
        return gServedChooser ? 1 : 0;
    if (gFileNameOkMessage != 0 && message == gFileNameOkMessage)
        return ChooserAcceptName(dialog);
    return 0;
}

int32_t RemoveDirectoriesAction(PhaseState* state, int message, UninstallSession*, const char* recordText,
                                int32_t, StringList*)
{
    if (!state)
        return 0;
    if (message == PHASE_RUN) {
        if (state->firstRecord && !state->actionData)
            state->actionData = reinterpret_cast<uintptr_t>(ListCreateInPool(0, state->pool));
        ListLast(CollectedDirectories(state));
        ListAppend(CollectedDirectories(state), recordText ? recordText : "");
        return 0;
    }
    if (message == PHASE_END) {
        StringList* directories = CollectedDirectories(state);
        if (!directories)
            return 0;
        int result = RemoveCollectedDirectories(directories, state->pool);
        ListDestroy(directories);
        state->actionData = 0;
        return result;
    }
    return 0;
}
