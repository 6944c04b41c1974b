#include "support/platform_emulation.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kChildMarker[] = "UNINST_EMULATED_CHILD";

// The platform families as GetVersion tells them apart: the high bit marks the non-NT ones,
// whose major version is 4 on Windows 95 and 3 on Win32s.
int SeesVersion(const char* version)
{
    DWORD word = GetVersion();
    int notNt = (word & 0x80000000u) != 0;
    int major = LOBYTE(LOWORD(word));
    if (lstrcmpiA(version, "win95") == 0 || lstrcmpiA(version, "win98") == 0 || lstrcmpiA(version, "winme") == 0)
        return notNt && major >= 4;
    if (lstrcmpiA(version, "win31") == 0 || lstrcmpiA(version, "win30") == 0)
        return notNt && major < 4;
    return !notNt;
}

int AppDefaultsKeyName(char* key, size_t keySize)
{
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    return snprintf(key, keySize, "Software\\Wine\\AppDefaults\\%s", name) < static_cast<int>(keySize);
}

DWORD RunSelfAgain()
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    SetEnvironmentVariableA(kChildMarker, "1");
    if (!CreateProcessA(nullptr, GetCommandLineA(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fprintf(stderr, "cannot run the test program again (error %lu)\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

}  // namespace

int RunUnderWindowsVersion(const char* version)
{
    if (SeesVersion(version))
        return 1;
    if (GetEnvironmentVariableA(kChildMarker, nullptr, 0) > 0) {
        fprintf(stderr, "Wine did not emulate Windows version %s for this program\n", version);
        ExitProcess(1);
    }
    char keyName[MAX_PATH + 64];
    HKEY key;
    DWORD disposition = 0;
    if (!AppDefaultsKeyName(keyName, sizeof keyName) ||
        RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
            ERROR_SUCCESS) {
        fprintf(stderr, "cannot write the Wine version setting\n");
        ExitProcess(1);
    }
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
    RegFlushKey(key);
    DWORD exitCode = RunSelfAgain();
    RegDeleteValueA(key, "Version");
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY)
        RegDeleteKeyA(HKEY_CURRENT_USER, keyName);
    fflush(stdout);
    ExitProcess(exitCode);
}
