// Registry helpers for tests: they build and inspect keys with the plain Win32 calls, so that a
// test never checks the program's registry layer with itself.
#pragma once

#include <windows.h>

#include <string>

// Creates root\path (with missing parents). true on success.
bool TestCreateKey(HKEY root, const std::string& path);

// true when root\path can be opened for reading.
bool TestKeyExists(HKEY root, const std::string& path);

// Deletes root\path and everything below it; true when it is gone afterwards.
bool TestDeleteTree(HKEY root, const std::string& path);

// Writes a value of any type with raw data (the key is created when missing).
bool TestSetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
bool TestSetString(HKEY root, const std::string& path, const char* name, const char* text);
bool TestSetDword(HKEY root, const std::string& path, const char* name, DWORD number);

// Reads a value's type and raw data; false when it does not exist.
bool TestGetValue(HKEY root, const std::string& path, const char* name, DWORD* type, std::string* data);

// true when the value exists.
bool TestValueExists(HKEY root, const std::string& path, const char* name);

// Replaces the key's access list by one that denies everyone the given rights (and allows the rest),
// so that the key resists reading, listing or deletion. Undo with TestAllowAll before cleaning up.
bool TestDenyAccess(HKEY root, const std::string& path, DWORD deniedRights);
bool TestAllowAll(HKEY root, const std::string& path);
