#include "support/program_resources.h"

#include <string.h>

HINSTANCE ProgramResources()
{
    static HINSTANCE resources = nullptr;
    if (resources)
        return resources;
    char path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    char* slash = strrchr(path, '\\');
    strcpy(slash ? slash + 1 : path, "uninst.exe");
    resources = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return resources;
}

std::string ProgramDirectory()
{
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string text(path, length);
    return text.substr(0, text.rfind('\\'));
}
