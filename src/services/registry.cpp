#include "services/registry.h"

HKEY RegistryOpenPath(HKEY, const char*) { return nullptr; }
HKEY RegistryCreateKey(HKEY, const char*, const char*) { return nullptr; }
int RegistryDeleteTree(HKEY, const char*) { return 0; }
int RegistryCountSubkeys(HKEY, const char*) { return 0; }
int RegistryReadValue(HKEY, const char*, const char*, DWORD*, DWORD*, char* text, DWORD textSize)
{
    if (text && textSize > 0) text[0] = '\0';
    return 0;
}
int RegistryWriteValue(HKEY, const char*, const char*, DWORD, int, const char*) { return 0; }
int RegistryDeleteValue(HKEY, const char*, const char*) { return 0; }
int UserIsAdministrator() { return 0; }
int KeyMayBeDeleted(HKEY, const char*) { return 0; }
