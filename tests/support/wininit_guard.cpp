#include "support/wininit_guard.h"

#include <windows.h>

#include "support/temp_tree.h"

namespace {

std::string WindowsFile(const char* name)
{
    char directory[MAX_PATH + 1];
    GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + name;
}

void Restore(const std::string& path, bool had, const std::string& contents)
{
    if (had)
        WriteWholeFile(path, contents);
    else
        DeleteFileA(path.c_str());
}

}  // namespace

WininitGuard::WininitGuard() : ini_(WindowsFile("wininit.ini")), bak_(WindowsFile("wininit.bak"))
{
    hadIni_ = PathExists(ini_);
    hadBak_ = PathExists(bak_);
    savedIni_ = ReadWholeFile(ini_);
    savedBak_ = ReadWholeFile(bak_);
    DeleteFileA(ini_.c_str());
}

WininitGuard::~WininitGuard()
{
    Restore(ini_, hadIni_, savedIni_);
    Restore(bak_, hadBak_, savedBak_);
}
