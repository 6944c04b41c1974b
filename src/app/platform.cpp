#include "app/platform.h"

PlatformInfo gPlatform;

void DetectPlatform() {}
void DetectShell() {}
int IsWin32s() { return 0; }
int GetPlatformClass() { return PLATFORM_NT_INTEL; }
void Load3dControls(HINSTANCE) {}
void Release3dControls(HINSTANCE) {}
HMODULE Get3dControlsLibrary() { return nullptr; }
