// A stand-in for a self-registering OLE server. Built with EXPORT_UNREGISTER it exports
// DllUnregisterServer, which writes "unregistered.mark" beside the DLL holding the DLL's own path,
// so a test can prove that the uninstaller called it.
#include <windows.h>
#include <string.h>

namespace {
HMODULE gModule = nullptr;
}  // namespace

#ifdef EXPORT_UNREGISTER
namespace {
void WriteMark()
{
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(gModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    char mark[MAX_PATH + 32];
    strcpy(mark, path);
    char* slash = strrchr(mark, '\\');
    strcpy(slash ? slash + 1 : mark, "unregistered.mark");
    HANDLE file = CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, path, length, &written, nullptr);
    CloseHandle(file);
}
}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    WriteMark();
    return S_OK;
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        gModule = instance;
    return TRUE;
}

// Something to export in both builds, so that each is a proper library with an export table.
extern "C" __declspec(dllexport) int WINAPI ServerVersion()
{
    return 1;
}
