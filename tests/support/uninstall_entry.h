// What an uninstall run leaves behind, for tests that check it: the application's Uninstall entry
// under HKEY_LOCAL_MACHINE, the log and its "_detmp.N" copies in the Windows directory.
#pragma once

#include <string>
#include <vector>

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>".
std::string UninstallEntryPath(const std::string& keyName);

// Writes a text value, creating the entry; true on success.
bool SetUninstallValue(const std::string& keyName, const char* valueName, const std::string& text);

// Reads a text value; false when the entry or the value is missing.
bool GetUninstallValue(const std::string& keyName, const char* valueName, std::string* text);

bool UninstallEntryExists(const std::string& keyName);

// Removes the entry with everything in it (nothing for an empty name).
void DeleteUninstallEntry(const std::string& keyName);

// The Windows directory with a trailing backslash.
std::string WindowsDirectory();

// Paths of the "_detmp.N" files in the Windows directory that hold exactly `content`: copies of a
// log (or DLL) that a run left behind.
std::vector<std::string> TempCopiesHolding(const std::string& content);

// ReadWholeFile and PathExists come with the temporary trees.
#include "support/temp_tree.h"
