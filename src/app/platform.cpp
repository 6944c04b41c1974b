#include "app/platform.h"

#include "services/paths.h"

PlatformInfo gPlatform;

typedef BOOL(WINAPI* Ctl3dCall)(HINSTANCE);
typedef BOOL(WINAPI* GetVersionExCall)(OSVERSIONINFOA*);

static HMODULE g3dLibrary;
static Ctl3dCall gCtl3dRegister;
static Ctl3dCall gCtl3dAutoSubclass;
static Ctl3dCall gCtl3dUnregister;

static int VersionIsNT(DWORD version) { return (version & 0x80000000u) == 0; }
static int MajorVersion(DWORD version) { return LOBYTE(LOWORD(version)); }

void DetectPlatform()
{
    gPlatform.windows95 = 0;
    gPlatform.windowsNT = 0;
    gPlatform.win32s = 0;
    gPlatform.explorerShell = 0;
    DWORD version = GetVersion();
    if (VersionIsNT(version))
        gPlatform.windowsNT = 1;
    else if (MajorVersion(version) >= 4)
        gPlatform.windows95 = 1;
    else
        gPlatform.win32s = IsWin32s();
}

// Windows 3.x with Win32s reports itself like Windows 95 with a lower major version, and its
// kernel either lacks GetVersionExA or answers it.
int IsWin32s()
{
    DWORD version = GetVersion();
    if (VersionIsNT(version) || MajorVersion(version) >= 4)
        return 0;
    HMODULE kernel = GetModuleHandleA("Kernel32");
    if (!kernel)
        return 1;
    GetVersionExCall getVersionEx = LookUpEntry<GetVersionExCall>(kernel, "GetVersionExA");
    if (!getVersionEx)
        return 1;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = 148;
    return getVersionEx(&info) ? 1 : 0;
}

struct ProcessorClass {
    DWORD processorType;
    int platformClass;
};

static const ProcessorClass kProcessorClasses[] = {
    {386, PLATFORM_NT_INTEL},  {486, PLATFORM_NT_INTEL},  {586, PLATFORM_NT_INTEL},
    {860, PLATFORM_NT_INTEL},  {21064, PLATFORM_NT_ALPHA}, {2000, PLATFORM_NT_MIPS},
    {3000, PLATFORM_NT_MIPS},  {4000, PLATFORM_NT_MIPS},   {601, PLATFORM_NT_PPC},
    {603, PLATFORM_NT_PPC},    {604, PLATFORM_NT_PPC},     {620, PLATFORM_NT_PPC},
};

int GetPlatformClass()
{
    if (gPlatform.windows95)
        return PLATFORM_WIN95;
    if (IsWin32s())
        return PLATFORM_WIN32S;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    for (const ProcessorClass& entry : kProcessorClasses)
        if (entry.processorType == info.dwProcessorType)
            return entry.platformClass;
    return PLATFORM_NT_INTEL;
}

void DetectShell() { DetectShellFrom("system.ini"); }

void DetectShellFrom(const char* profilePath)
{
    gPlatform.explorerShell = 0;
    if (!gPlatform.windowsNT)
        return;
    char shell[255];
    GetPrivateProfileStringA("Boot", "Shell", "ProgMan.exe", shell, sizeof shell, profilePath);
    char name[255];
    GetFileNamePart(shell, name, sizeof name);
    if (lstrcmpiA(name, "EXPLORER.EXE") == 0)
        gPlatform.explorerShell = 1;
}

static void Forget3dControls()
{
    g3dLibrary = nullptr;
    gCtl3dRegister = nullptr;
    gCtl3dAutoSubclass = nullptr;
    gCtl3dUnregister = nullptr;
}

void Load3dControls(HINSTANCE instance)
{
    Forget3dControls();
    // Windows 95 and the Explorer draw controls in the three-dimensional style themselves.
    if (gPlatform.windows95 || gPlatform.explorerShell)
        return;
    HMODULE library = LoadLibraryA("CTL3D32.DLL");
    if (reinterpret_cast<uintptr_t>(library) < 32)
        return;
    g3dLibrary = library;
    gCtl3dRegister = LookUpEntry<Ctl3dCall>(library, "Ctl3dRegister");
    gCtl3dAutoSubclass = LookUpEntry<Ctl3dCall>(library, "Ctl3dAutoSubclass");
    gCtl3dUnregister = LookUpEntry<Ctl3dCall>(library, "Ctl3dUnregister");
    if (!gCtl3dRegister || !gCtl3dAutoSubclass || !gCtl3dUnregister) {
        FreeLibrary(library);
        Forget3dControls();
        return;
    }
    gCtl3dRegister(instance);
    gCtl3dAutoSubclass(instance);
}

void Release3dControls(HINSTANCE instance)
{
    if (!g3dLibrary || gPlatform.windows95 || gPlatform.explorerShell)
        return;
    gCtl3dUnregister(instance);
    FreeLibrary(g3dLibrary);
    Forget3dControls();
}

HMODULE Get3dControlsLibrary() { return g3dLibrary; }
