#include "support/temp_tree.h"

#include <windows.h>

namespace {

void MakeDirectories(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

std::string TempTree::AddFile(const std::string& relative, const std::string& contents)
{
    std::string path = Path(relative);
    MakeDirectories(path.substr(0, path.rfind('\\')));
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
