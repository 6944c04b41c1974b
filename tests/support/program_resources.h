// The program's own resources (string table, dialog templates) for tests of code that loads
// them: uninst.exe, built beside the test programs, is mapped as a data file.
#pragma once
#include <windows.h>
#include <string>

// The module handle of uninst.exe mapped as a data file (kept for the life of the process),
// or null when it cannot be loaded.
HINSTANCE ProgramResources();

// The directory of the running test program, where the build puts every program and test DLL.
std::string ProgramDirectory();
