#include "support/uninstall_entry.h"

#include <windows.h>

#include "support/registry_keys.h"

std::string UninstallEntryPath(const std::string& keyName)
{
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keyName;
}

bool SetUninstallValue(const std::string& keyName, const char* valueName, const std::string& text)
{
    return TestSetString(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName), valueName, text.c_str());
}

bool GetUninstallValue(const std::string& keyName, const char* valueName, std::string* text)
{
    DWORD type = 0;
    if (!TestGetValue(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName), valueName, &type, text))
        return false;
    while (!text->empty() && text->back() == 0)
        text->pop_back();
    return true;
}

bool UninstallEntryExists(const std::string& keyName)
{
    return TestKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName));
}

void DeleteUninstallEntry(const std::string& keyName)
{
    if (!keyName.empty())
        TestDeleteTree(HKEY_LOCAL_MACHINE, UninstallEntryPath(keyName));
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
        if (ReadWholeFile(path) == content)
            found.push_back(path);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}
