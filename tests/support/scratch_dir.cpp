#include "support/scratch_dir.h"

#include <windows.h>

bool DeleteTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return DeleteFileA(path.c_str()) != 0;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..") {
                DeleteTree(path + "\\" + name);
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}

ScratchDir::ScratchDir(const std::string& name)
{
    char temp[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    std::string base = (length > 0 && length < sizeof temp) ? std::string(temp, length) : std::string("C:\\");
    if (base.back() != '\\') {
        base += '\\';
    }
    path_ = base + name + "_" + std::to_string(GetCurrentProcessId());
    DeleteTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir()
{
    DeleteTree(path_);
}

bool ScratchDir::writeFile(const std::string& relative, const std::string& contents) const
{
    HANDLE file = CreateFileA((*this / relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == contents.size();
}

bool ScratchDir::makeDir(const std::string& relative) const
{
    return CreateDirectoryA((*this / relative).c_str(), nullptr) != 0;
}
