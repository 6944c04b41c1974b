#include "support/temp_tree.h"

#include <windows.h>
#include <stdio.h>

namespace {

void MakeDirectories(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

TempTree::TempTree(const char* name)
{
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    char unique[MAX_PATH + 64];
    snprintf(unique, sizeof unique, "%suninst_%s_%lu", temp, name, GetCurrentProcessId());
    root_ = unique;
    RemoveTree(root_);
    MakeDirectories(root_);
}

TempTree::~TempTree()
{
    RemoveTree(root_);
}

std::string TempTree::Path(const std::string& relative) const
{
    return root_ + "\\" + relative;
}

std::string TempTree::AddFile(const std::string& relative, const std::string& contents)
{
    std::string path = Path(relative);
    size_t slash = path.rfind('\\');
    MakeDirectories(path.substr(0, slash));
    WriteWholeFile(path, contents);
    return path;
}

std::string TempTree::AddDirectory(const std::string& relative)
{
    std::string path = Path(relative);
    MakeDirectories(path);
    return path;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string contents;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        contents.append(buffer, read);
    CloseHandle(file);
    return contents;
}

bool WriteWholeFile(const std::string& path, const std::string& contents)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == contents.size();
}

void RemoveTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}
