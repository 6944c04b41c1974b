// Runs a test program under Wine's emulation of an older Windows, so that code paths chosen by
// the platform are exercised on the platform they are meant for.
#pragma once

// version: a value Wine accepts under HKCU\Software\Wine\AppDefaults\<exe>\Version ("win95",
// "win31", "winnt4", ...). When the process does not already see that platform, the program's
// AppDefaults entry is written, the program runs itself again with the same command line, the
// entry is removed and this process ends with the child's exit code. In the process that sees the
// platform the call returns 1. Meant for a static initialiser, before any test runs:
//     static const int kPlatform = RunUnderWindowsVersion("win95");
int RunUnderWindowsVersion(const char* version);
