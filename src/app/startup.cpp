#include "app/startup.h"

#include <stdio.h>

#include "app/messages.h"
#include "app/options.h"
#include "app/platform.h"
#include "app/splash.h"
#include "engine/session.h"
#include "log/buffered_file.h"
#include "services/deferred_ops.h"
#include "services/paths.h"
#include "services/progman.h"

HINSTANCE gInstance;
HWND gProgressDialog;
UninstallSession* gSession;

static char gSavedDirectory[MAX_PATH + 1];
static int timerTicks;

static const UINT kTimerId = 1000;
static const UINT kTimerIntervalMs = 1500;
static const DWORD kSplashMs = 2000;
static const int kMaxTempNumber = 99999;

int MakeTempName(char* buffer)
{
    char directory[MAX_PATH + 1];
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    buffer[0] = 0;
    if (length == 0 || length >= sizeof directory || !AddBackslash(directory, sizeof directory))
        return 0;
    for (int number = 1; number <= kMaxTempNumber; ++number) {
        int written = snprintf(buffer, MAX_PATH + 1, "%s%s.%d", directory, "_detmp", number);
        if (written < 0 || written > MAX_PATH)
            break;
        if (!FileExists(buffer))
            return 1;
    }
    buffer[0] = 0;
    return 0;
}

// --- The application's uninstall DLL --------------------------------------------------------------

typedef LONG(WINAPI* UninstEntry)(HWND progressWindow, HINSTANCE instance, LONG reserved);

int32_t CallExternalDll(int which)
{
    if (!gOptions.externalDll)
        return 0;
    // A DLL on a missing floppy or share must not raise the system's own boxes.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(gOptions.dllPath);
    SetErrorMode(oldMode);
    if (reinterpret_cast<uintptr_t>(library) < 32) {
        ReportError(-7, nullptr, 0, nullptr);
        return -1;
    }
    const char* name = which ? "UninstInitialize" : "UninstUnInitialize";
    UninstEntry entry = LookUpEntry<UninstEntry>(library, name);
    if (!entry) {
        FreeLibrary(library);
        ReportError(-7, nullptr, 0, nullptr);
        return -1;
    }
    LONG result = entry(gProgressDialog, gInstance, 0);
    FreeLibrary(library);
    return result;
}

void CopyExternalDll()
{
    char tempName[MAX_PATH + 1];
    gOptions.dllCopied = 0;
    if (!gOptions.dllSourcePath[0] || !MakeTempName(tempName))
        return;
    if (FileCopy(gOptions.dllSourcePath, tempName) != 0)
        return;
    gOptions.dllCopied = 1;
    lstrcpyA(gOptions.dllPath, tempName);
}

// An unfinished run may have removed the application's directory with its DLL in it: the DLL goes
// back so that the uninstall can be run again.
void RestoreExternalDll()
{
    if (!gOptions.dllCopied)
        return;
    if (!SessionIsFinished(gSession)) {
        char directory[MAX_PATH + 1];
        if (GetDirectoryPart(gOptions.dllSourcePath, directory, sizeof directory) && directory[0])
            EnsureDirectory(directory);
        if (!FileExists(gOptions.dllSourcePath) &&
            FileCopy(gOptions.dllPath, gOptions.dllSourcePath) != 0)
            return;
    }
    FileDelete(gOptions.dllPath);
}

// --- The hidden timer window of the unattended modes ----------------------------------------------

static void OnTimerTick(HWND window)
{
    int ticks = ++timerTicks;
    if (ticks >= 3 && ticks <= 5) {
        if (gOptions.deleteMode) {
            if (FileDelete(gOptions.logPath) == 0) {
                PostQuitMessage(0);
                KillTimer(window, kTimerId);
            }
        } else {
            KillTimer(window, kTimerId);
            // -a without -f has no session to run: the program simply ends.
            if (SessionStart(gSession, 0) < 0)
                PostQuitMessage(0);
        }
    } else if (ticks >= 8) {
        PostQuitMessage(0);
    }
}

static LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        OnTimerTick(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

static int CreateHiddenWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HiddenWindowProc;
    windowClass.hInstance = gInstance;
    windowClass.hIcon = LoadIconA(gInstance, MAKEINTRESOURCEA(1000));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNSHADOW + 1));
    windowClass.lpszMenuName = "DEQX21";
    windowClass.lpszClassName = "DeQx21ClsName";
    if (!RegisterClassA(&windowClass))
        return 0;
    HWND window = CreateWindowExA(0, "DeQx21ClsName", "DeQx21WinName", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, gInstance, nullptr);
    if (!window)
        return 0;
    SetTimer(window, kTimerId, kTimerIntervalMs, nullptr);
    return 1;
}

// --- Start-up --------------------------------------------------------------------------------------

static int ConfirmUninstall()
{
    if (gOptions.automatic || gOptions.deleteMode || gOptions.noConfirm)
        return 1;
    char text[500];
    char caption[100];
    if (!LoadStringA(gInstance, IDS_CONFIRM_TEXT, text, sizeof text))
        text[0] = 0;
    if (!LoadStringA(gInstance, IDS_CONFIRM_CAPTION, caption, sizeof caption))
        caption[0] = 0;
    return MessageBoxA(nullptr, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The splash stays at least two seconds; nothing is processed meanwhile, so it is painted once.
static int ShowSplashForAWhile()
{
    DWORD start = GetTickCount();
    if (!ShowSplash(gInstance))
        return 0;
    for (DWORD elapsed = GetTickCount() - start; elapsed < kSplashMs;
         elapsed = GetTickCount() - start)
        Sleep(kSplashMs - elapsed);
    CloseSplash();
    return 1;
}

static int PrepareRun()
{
    if (gOptions.deleteMode || gOptions.automatic) {
        if (!CreateHiddenWindow()) {
            ReportError(-200, nullptr, 0, nullptr);
            return 0;
        }
    }
    if (!gOptions.automatic && !gOptions.deleteMode && !gOptions.runSession)
        gOptions.runSession = 1;
    if (gOptions.runSession) {
        EngineInit();
        gSession = SessionCreate(gOptions.logPath, ReportError);
        if (!gSession)
            return 0;
        DeferredOpsInit(GetPlatformClass());
        if (!gOptions.automatic)
            SessionStart(gSession, gOptions.interactive);
    }
    return 1;
}

// One step whenever the queue is empty and the session can go on; otherwise the thread sleeps
// until a message arrives (timer ticks included), so a waiting program uses no processor time.
static int RunMessageLoop()
{
    for (;;) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return 0;
            if (gProgressDialog && IsWindow(gProgressDialog) &&
                IsDialogMessageA(gProgressDialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        if (gOptions.runSession && !gSession)
            return 0;
        if (gOptions.runSession && SessionIsRunnable(gSession)) {
            int result = SessionStep(gSession);
            if (result == -1 || (result == 1 && !gOptions.interactive))
                PostQuitMessage(0);
            continue;
        }
        WaitMessage();
    }
}

// The program starts in its own directory, where an application keeps what its DLL may need.
static void EnterProgramDirectory()
{
    char program[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program)
        return;
    char directory[MAX_PATH + 1];
    if (GetDirectoryPart(program, directory, sizeof directory) && directory[0])
        SetCurrentDirectoryPath(directory);
}

static int EndProgram()
{
    Release3dControls(gInstance);
    SetCurrentDirectoryPath(gSavedDirectory);
    return 0;
}

static void ReleaseRun()
{
    RestoreExternalDll();
    ProgmanShutdown();
    if (gOptions.runSession) {
        SessionDestroy(gSession);
        gSession = nullptr;
        EngineShutdown();
    }
}

int RunUninstaller(HINSTANCE instance, const char* commandTail)
{
    gInstance = instance;
    gProgressDialog = nullptr;
    gOptions.noRuntimeProtection = 0;
    gOptions.noConfirm = 0;
    SaveCurrentDirectory(gSavedDirectory, sizeof gSavedDirectory);
    EnterProgramDirectory();
    DetectPlatform();
    DetectShell();
    Load3dControls(instance);
    ParseCommandLine(commandTail);
    if (!ConfirmUninstall())
        return EndProgram();
    if (gOptions.interactive && !ShowSplashForAWhile())
        return EndProgram();
    if (!PrepareRun()) {
        EngineShutdown();
        return EndProgram();
    }
    if (!gPlatform.explorerShell)
        ProgmanInit(gPlatform.windowsNT, gPlatform.win32s);
    CopyExternalDll();
    RunMessageLoop();
    ReleaseRun();
    return EndProgram();
}
