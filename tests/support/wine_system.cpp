#include "support/wine_system.h"

#include <winioctl.h>
#include <string.h>
#include <vector>

namespace {

// Wine's own mount manager interface (include/ddk/mountmgr.h of Wine): one request defines or,
// with DRIVE_NO_ROOT_DIR, removes a drive letter backed by a Unix directory.
const DWORD IOCTL_WINE_DEFINE_UNIX_DRIVE = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

typedef char*(CDECL* UnixFileNameProc)(LPCWSTR);

std::string UnixPathOf(const std::string& windowsPath)
{
    UnixFileNameProc unixName = reinterpret_cast<UnixFileNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return std::string();
    WCHAR wide[MAX_PATH + 1];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH + 1))
        return std::string();
    char* result = unixName(wide);
    if (!result)
        return std::string();
    std::string path(result);
    HeapFree(GetProcessHeap(), 0, result);
    return path;
}

bool SendDriveRequest(char letter, UINT driveType, const std::string& unixPath)
{
    std::vector<char> buffer(sizeof(WineUnixDrive) + unixPath.size() + 1, 0);
    WineUnixDrive* drive = reinterpret_cast<WineUnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = driveType;
    drive->letter = static_cast<WCHAR>(letter | 0x20);
    if (!unixPath.empty()) {
        drive->mountPointOffset = sizeof(WineUnixDrive);
        memcpy(buffer.data() + sizeof(WineUnixDrive), unixPath.c_str(), unixPath.size() + 1);
    }
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, IOCTL_WINE_DEFINE_UNIX_DRIVE, buffer.data(), drive->size, nullptr, 0,
                              &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

}  // namespace

bool SimulateWindowsRestart()
{
    char command[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(command, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    lstrcatA(command, "\\wineboot.exe -r");
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode == 0;
}

bool DefineWineDrive(char letter, UINT driveType, const std::string& windowsDirectory)
{
    std::string unixPath = UnixPathOf(windowsDirectory);
    return !unixPath.empty() && SendDriveRequest(letter, driveType, unixPath);
}

bool RemoveWineDrive(char letter)
{
    return SendDriveRequest(letter, DRIVE_NO_ROOT_DIR, std::string());
}

std::string PendingFileRenames()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::string();
    DWORD size = 0;
    std::string texts;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::vector<char> data(size + 2, 0);
        if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS)
            texts.assign(data.data(), size);
    }
    RegCloseKey(key);
    return texts;
}
