#include "support/uninstall_entry.h"

#include <windows.h>

#include <fstream>
#include <sstream>

std::string UninstallEntryPath(const std::string& keyName)
{
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keyName;
}

bool SetUninstallValue(const std::string& keyName, const char* valueName, const std::string& text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, valueName, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool GetUninstallValue(const std::string& keyName, const char* valueName, std::string* text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName).c_str(), 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return false;
    char buffer[4096];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return false;
    buffer[size] = 0;
    *text = buffer;
    return true;
}

bool UninstallEntryExists(const std::string& keyName)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static void DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[256];
        std::vector<std::string> children;
        for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
            children.push_back(name);
        RegCloseKey(key);
        for (const std::string& child : children)
            DeleteKeyTree(root, path + "\\" + child);
    }
    RegDeleteKeyA(root, path.c_str());
}

void DeleteUninstallEntry(const std::string& keyName)
{
    if (!keyName.empty())
        DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName));
}

std::string WindowsDirectory()
{
    char directory[MAX_PATH + 1];
    GetWindowsDirectoryA(directory, sizeof directory);
    std::string text = directory;
    if (text.empty() || text.back() != '\\')
        text += '\\';
    return text;
}

std::vector<std::string> TempCopiesHolding(const std::string& content)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((WindowsDirectory() + "_detmp.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        std::string path = WindowsDirectory() + entry.cFileName;
        std::ifstream file(path, std::ios::binary);
        std::stringstream held;
        held << file.rdbuf();
        if (held.str() == content)
            found.push_back(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}
