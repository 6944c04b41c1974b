#include <windows.h>
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int)
{
    return RunUninstaller(instance, commandTail);
}
