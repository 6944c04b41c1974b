// Registry access: keys named by a root handle and a backslash path of any depth, values exchanged as
// text, and the list of top-level keys an uninstallation must never delete.
#pragma once

#include <windows.h>

// Longest key path component (subkey names are enumerated into buffers one longer).
enum { REGISTRY_NAME_MAX = 260 };
// Most value data bytes read at once; a longer value reads as absent.
enum { REGISTRY_DATA_MAX = 1023 };

// Opens root\path (one leading backslash ignored). Returns null on failure; the caller closes the key.
HKEY RegistryOpenPath(HKEY root, const char* path);

// Creates (or opens) root\path with the given class name; an administrator's key is owned by the
// Administrators group. Returns null on failure; the caller closes the key, the root stays open.
HKEY RegistryCreateKey(HKEY root, const char* path, const char* className);

// Deletes root\path with everything below it: 1 when all of it went, 0 otherwise (a part already
// deleted stays deleted).
int RegistryDeleteTree(HKEY root, const char* path);

// Number of direct subkeys of root\path; 0 when it cannot be opened.
int RegistryCountSubkeys(HKEY root, const char* path);

// Reads one value as text into text (textSize bytes, always terminated when textSize > 0):
// REG_SZ/REG_EXPAND_SZ as text, REG_DWORD/REG_DWORD_BIG_ENDIAN as "%ld" of the first word read
// little-endian, other types as raw bytes plus a zero byte. typeOut/sizeOut may be null.
// Returns 1 on success, 0 when the key or value cannot be read or the text does not fit.
int RegistryReadValue(HKEY root, const char* path, const char* valueName, DWORD* typeOut, DWORD* sizeOut,
                      char* text, DWORD textSize);

// Writes one value given as text (numbers for REG_DWORD/REG_DWORD_BIG_ENDIAN, text for REG_SZ and
// REG_EXPAND_SZ, raw bytes of the given size otherwise; size -1 means the text's length plus one).
// A missing key is created. Returns 1 on success, 0 otherwise.
int RegistryWriteValue(HKEY root, const char* path, const char* valueName, DWORD type, int size, const char* text);

// Deletes one value: 1 when it was deleted, 0 otherwise.
int RegistryDeleteValue(HKEY root, const char* path, const char* valueName);

// 1 when the caller's access token holds the Administrators group, else 0.
int UserIsAdministrator();

// 1 when root\path may be deleted, 0 when it is a protected key (in any spelling) or names no key.
int KeyMayBeDeleted(HKEY root, const char* path);
