#include "app/startup.h"

HINSTANCE gInstance;
HWND gProgressDialog;
UninstallSession* gSession;

int MakeTempName(char* buffer)
{
    buffer[0] = 0;
    return 1;
}
int32_t CallExternalDll(int) { return 0; }
void CopyExternalDll() {}
void RestoreExternalDll() {}
int RunUninstaller(HINSTANCE, const char*) { return 0; }
