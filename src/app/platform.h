// Which Windows platform and shell the program runs on, and the three-dimensional control
// library that older shells need.
#pragma once
#include <windows.h>

struct PlatformInfo {
    int windows95;
    int windowsNT;
    int win32s;
    int explorerShell;  // Windows NT whose system.ini names the Explorer as shell
};

extern PlatformInfo gPlatform;

enum PlatformClass {
    PLATFORM_WIN95 = 1,
    PLATFORM_NT_INTEL = 2,
    PLATFORM_NT_ALPHA = 3,
    PLATFORM_NT_MIPS = 4,
    PLATFORM_NT_PPC = 5,
    PLATFORM_WIN32S = 7
};

void DetectPlatform();
void DetectShell();
// DetectShell on the given profile file instead of system.ini.
void DetectShellFrom(const char* profilePath);
int IsWin32s();
int GetPlatformClass();

// Loaded only where neither Windows 95 nor the Explorer gives controls their 3D look.
void Load3dControls(HINSTANCE instance);
void Release3dControls(HINSTANCE instance);
// An export of a loaded module as a function of type Function, or null.
template <typename Function>
Function LookUpEntry(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The handle of the loaded three-dimensional control library, or null.
HMODULE Get3dControlsLibrary();
