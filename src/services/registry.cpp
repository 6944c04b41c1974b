#include "services/registry.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/platform.h"
#include "services/paths.h"

namespace {

// Room for a whole key path in its canonical form (each component at most REGISTRY_NAME_MAX).
const size_t KEY_PATH_SIZE = 1024;

// Registry keys nest at most this deep; a deeper walk means the registry is changing under us.
const int DELETE_DEPTH_MAX = 512;

bool IsEmptyText(const char* text) { return !text || !text[0]; }

// The path as the registry resolves it when it is opened component by component: one leading, a
// trailing and every doubled backslash name nothing ("the key reached so far"), so they are dropped
// and the components joined by single backslashes. A path of backslashes only becomes empty.
// 1, or 0 (empty output) when a component or the whole path is too long.
int CanonicalKeyPath(const char* path, char* out, size_t outSize)
{
    out[0] = '\0';
    size_t used = 0;
    char component[REGISTRY_NAME_MAX + 1];
    const char* rest = path;
    while (rest && *rest) {
        rest = NextToken(rest, component, "\\", sizeof component);
        if (!rest) {
            out[0] = '\0';
            return 0;
        }
        if (!component[0]) continue;
        size_t length = strlen(component);
        size_t separator = used ? 1 : 0;
        if (used + separator + length + 1 > outSize) {
            out[0] = '\0';
            return 0;
        }
        if (separator) out[used++] = '\\';
        memcpy(out + used, component, length + 1);
        used += length;
    }
    return 1;
}

// Canonical path of a caller's key path; 0 for a null, empty, backslash-only or oversized path.
int CanonicalNonEmptyPath(const char* path, char* out, size_t outSize)
{
    if (IsEmptyText(path)) return 0;
    return CanonicalKeyPath(path, out, outSize) && out[0];
}

HKEY OpenSingleKey(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

// Opens a canonical (non-empty, single-backslash) path one component at a time, closing each
// intermediate key but never the caller's root.
HKEY OpenCanonicalPath(HKEY root, const char* canonical)
{
    char component[REGISTRY_NAME_MAX + 1];
    HKEY current = root;
    const char* rest = canonical;
    while (rest && *rest) {
        rest = NextToken(rest, component, "\\", sizeof component);
        HKEY next = rest ? OpenSingleKey(current, component) : nullptr;
        if (current != root) RegCloseKey(current);
        if (!next) return nullptr;
        current = next;
    }
    return current == root ? nullptr : current;
}

int DeleteSubtree(HKEY parent, const char* name, int depth);

// Deletes every subkey of key, always taking the first one listed. 1 when none is left; 0 at the
// first subtree that resists (what went before stays deleted).
int DeleteChildren(HKEY key, int depth)
{
    char child[REGISTRY_NAME_MAX + 1];
    char previous[REGISTRY_NAME_MAX + 1] = "";
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) {
        // A subkey reported as deleted but still listed first would make this loop endless.
        if (previous[0] && lstrcmpiA(previous, child) == 0) return 0;
        if (!DeleteSubtree(key, child, depth + 1)) return 0;
        lstrcpynA(previous, child, sizeof previous);
    }
    return 1;
}

// Deletes parent\name (one component) after everything below it, depth first.
int DeleteSubtree(HKEY parent, const char* name, int depth)
{
    if (depth > DELETE_DEPTH_MAX) return 0;
    HKEY key = OpenSingleKey(parent, name);
    if (!key) return 0;
    int emptied = DeleteChildren(key, depth);
    RegCloseKey(key);
    return emptied && RegDeleteKeyA(parent, name) == ERROR_SUCCESS ? 1 : 0;
}

// The value data converted to text as callers exchange it. 1, or 0 when it does not fit.
int ValueDataToText(DWORD type, const BYTE* data, DWORD size, char* text, DWORD textSize)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        DWORD length = 0;
        while (length < size && data[length]) ++length;
        if (length + 1 > textSize) return 0;
        memcpy(text, data, length);
        text[length] = '\0';
        return 1;
    }
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) {
        // Both kinds are read as the first word in little-endian order.
        BYTE word[4] = {0, 0, 0, 0};
        memcpy(word, data, size < 4 ? size : 4);
        int32_t number = (int32_t)((uint32_t)word[0] | ((uint32_t)word[1] << 8) | ((uint32_t)word[2] << 16) |
                                   ((uint32_t)word[3] << 24));
        char digits[16];
        snprintf(digits, sizeof digits, "%ld", (long)number);
        size_t length = strlen(digits);
        if (length + 1 > textSize) return 0;
        memcpy(text, digits, length + 1);
        return 1;
    }
    if (size + 1 > textSize) return 0;
    memcpy(text, data, size);
    text[size] = '\0';
    return 1;
}

// Folds one character the way the registry compares key names (Unicode upper case); where the
// platform has no such routine (Windows 95), only ASCII letters fold.
WCHAR FoldKeyChar(WCHAR c)
{
    typedef WCHAR(WINAPI * UpcaseFunction)(WCHAR);
    static UpcaseFunction upcase = nullptr;
    static bool looked = false;
    if (!looked) {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        if (ntdll) upcase = (UpcaseFunction)(void*)GetProcAddress(ntdll, "RtlUpcaseUnicodeChar");
        looked = true;
    }
    if (upcase) return upcase(c);
    return (c >= L'a' && c <= L'z') ? (WCHAR)(c - L'a' + L'A') : c;
}

// 1 when two key names denote the same key for the registry. Compared as Unicode so that a letter
// of the ANSI code page that folds onto an ASCII letter cannot disguise a protected name.
int SameKeyName(const char* a, const char* b)
{
    WCHAR wideA[KEY_PATH_SIZE];
    WCHAR wideB[KEY_PATH_SIZE];
    int lengthA = MultiByteToWideChar(CP_ACP, 0, a, -1, wideA, KEY_PATH_SIZE);
    int lengthB = MultiByteToWideChar(CP_ACP, 0, b, -1, wideB, KEY_PATH_SIZE);
    if (lengthA == 0 || lengthB == 0) return lstrcmpiA(a, b) == 0;
    if (lengthA != lengthB) return 0;
    for (int i = 0; i < lengthA; ++i) {
        if (FoldKeyChar(wideA[i]) != FoldKeyChar(wideB[i])) return 0;
    }
    return 1;
}

// The key that Windows really uses is spelt without a blank; it holds Uninstall, App Paths, Run and
// SharedDLLs, so it is protected in both spellings.
const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// Below it, the keys that every application shares: the shared-file counts, the uninstall entries
// and the program paths. An installer that found one missing may have logged it as its own.
const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUninstallEntries[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kRunAtLogon[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceAtLogon[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Windows NT keeps its own settings beside the Windows key; a product or version name taken from a
// log must not reach them either.
const char kWindowsNT[] = "Software\\Microsoft\\Windows NT";
const char kWindowsNTCurrentVersion[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";

// HKEY_CLASSES_ROOT is this machine key under another name, so its protected key is protected here too.
const char kMachineClassIds[] = "Software\\Classes\\CLSID";

const char* const kProtectedMachineKeys[] = {
    "Config", "Enum", "hardware", "Network", "Security", "Software", "Software\\Classes",
    "Software\\Description", "Software\\Microsoft", "Software\\Microsoft\\Windows",
    "Software\\Microsoft\\Windows\\Current Version", kCurrentVersion, kSharedDlls, kUninstallEntries, kAppPaths,
    kRunAtLogon, kRunOnceAtLogon, kWindowsNT, kWindowsNTCurrentVersion, kMachineClassIds, "Software\\ODBC",
    "System", nullptr};
const char* const kProtectedUserKeys[] = {
    "AppEvents", "Control Panel", "Environment", "Keyboard layout", "Network", "Software", "Software\\Microsoft",
    "Software\\Microsoft\\Windows", "Software\\Microsoft\\Windows\\Current Version", kCurrentVersion, kRunAtLogon,
    kRunOnceAtLogon, kWindowsNT, kWindowsNTCurrentVersion, nullptr};
const char* const kProtectedClassKeys[] = {"CLSID", nullptr};
const char* const kProtectedUsersKeys[] = {"Default", nullptr};
const char* const kProtectedConfigKeys[] = {"Display", "System", nullptr};
const char* const kProtectedDynDataKeys[] = {"Config Manager", "PerfStats", nullptr};
const char* const kNoProtectedKeys[] = {nullptr};

int IsListedKey(const char* const* list, const char* canonical)
{
    for (const char* const* entry = list; *entry; ++entry) {
        if (SameKeyName(canonical, *entry)) return 1;
    }
    return 0;
}

// HKEY_USERS holds one hive per user, HKEY_CURRENT_USER being one of them (".Default" on Windows 95
// without user profiles): a hive itself is never an application's key, and within any hive the
// keys protected under HKEY_CURRENT_USER are protected as well.
int IsProtectedUsersKey(const char* canonical)
{
    char hive[REGISTRY_NAME_MAX + 1];
    const char* rest = NextToken(canonical, hive, "\\", sizeof hive);
    if (!rest || !*rest) return 1;
    return IsListedKey(kProtectedUserKeys, rest);
}

const char* const* ProtectedKeysOf(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE) return kProtectedMachineKeys;
    if (root == HKEY_CURRENT_USER) return kProtectedUserKeys;
    if (root == HKEY_CLASSES_ROOT) return kProtectedClassKeys;
    if (root == HKEY_USERS) return kProtectedUsersKeys;
    if (root == HKEY_CURRENT_CONFIG) return kProtectedConfigKeys;
    if (root == HKEY_DYN_DATA) return kProtectedDynDataKeys;
    return kNoProtectedKeys;
}

SID_IDENTIFIER_AUTHORITY kNtAuthority = {SECURITY_NT_AUTHORITY};

PSID AllocateAdministratorsSid()
{
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&kNtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &sid)) {
        return nullptr;
    }
    return sid;
}

HANDLE OpenCallerToken()
{
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token)) return token;
    if (GetLastError() != ERROR_NO_TOKEN) return nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
    return nullptr;
}

int TokenHoldsAdministrators(HANDLE token)
{
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenGroups, nullptr, 0, &needed)) return 0;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return 0;
    DWORD size = (needed + 3) & ~3u;
    TOKEN_GROUPS* groups = (TOKEN_GROUPS*)LocalAlloc(LPTR, size);
    if (!groups) return 0;
    int found = 0;
    if (GetTokenInformation(token, TokenGroups, groups, size, &needed)) {
        PSID administrators = AllocateAdministratorsSid();
        if (administrators) {
            for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
                if (EqualSid(groups->Groups[i].Sid, administrators)) found = 1;
            }
            FreeSid(administrators);
        }
    }
    LocalFree(groups);
    return found;
}

}  // namespace

HKEY RegistryOpenPath(HKEY root, const char* path)
{
    char canonical[KEY_PATH_SIZE];
    if (!CanonicalNonEmptyPath(path, canonical, sizeof canonical)) return nullptr;
    return OpenCanonicalPath(root, canonical);
}

HKEY RegistryCreateKey(HKEY root, const char* path, const char* className)
{
    char canonical[KEY_PATH_SIZE];
    if (!CanonicalNonEmptyPath(path, canonical, sizeof canonical)) return nullptr;

    // Windows 95 and Win32s keep no security on keys and may not set up a descriptor at all; the key
    // is then created with the platform's defaults rather than not at all.
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    bool secured = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) != 0;

    // An administrator's keys belong to the Administrators group, so that any other administrator
    // can remove them later.
    PSID administrators = nullptr;
    if (secured && UserIsAdministrator() == 1) {
        administrators = AllocateAdministratorsSid();
        if (!administrators) return nullptr;
        if (!SetSecurityDescriptorOwner(&descriptor, administrators, FALSE)) {
            FreeSid(administrators);
            return nullptr;
        }
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(root, canonical, 0, const_cast<char*>(className ? className : ""),
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, secured ? &attributes : nullptr, &key,
                                  &disposition);
    if (administrators) FreeSid(administrators);
    return status == ERROR_SUCCESS ? key : nullptr;
}

int RegistryDeleteTree(HKEY root, const char* path)
{
    char canonical[KEY_PATH_SIZE];
    if (!CanonicalNonEmptyPath(path, canonical, sizeof canonical)) return 0;
    HKEY key = OpenCanonicalPath(root, canonical);
    if (!key) return 0;
    int emptied = DeleteChildren(key, 0);
    RegCloseKey(key);
    if (!emptied) return 0;
    return RegDeleteKeyA(root, canonical) == ERROR_SUCCESS ? 1 : 0;
}

int RegistryCountSubkeys(HKEY root, const char* path)
{
    HKEY key = RegistryOpenPath(root, path);
    if (!key) return 0;
    char name[REGISTRY_NAME_MAX + 1];
    int count = 0;
    while (RegEnumKeyA(key, (DWORD)count, name, sizeof name) == ERROR_SUCCESS) ++count;
    RegCloseKey(key);
    return count;
}

int RegistryReadValue(HKEY root, const char* path, const char* valueName, DWORD* typeOut, DWORD* sizeOut,
                      char* text, DWORD textSize)
{
    if (!text || textSize == 0) return 0;
    text[0] = '\0';
    HKEY key = RegistryOpenPath(root, path);
    if (!key) return 0;
    BYTE data[REGISTRY_DATA_MAX + 1];
    DWORD type = 0;
    DWORD size = REGISTRY_DATA_MAX;
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type, data, &size);
    if (status != ERROR_SUCCESS || size > REGISTRY_DATA_MAX || !ValueDataToText(type, data, size, text, textSize)) {
        text[0] = '\0';
        RegCloseKey(key);
        return 0;
    }
    if (typeOut) *typeOut = type;
    if (sizeOut) *sizeOut = size;
    return RegCloseKey(key) == ERROR_SUCCESS ? 1 : 0;
}

int RegistryWriteValue(HKEY root, const char* path, const char* valueName, DWORD type, int size, const char* text)
{
    if (!text) return 0;
    DWORD number = 0;
    const BYTE* data = (const BYTE*)text;
    DWORD dataSize = 0;
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) {
        number = (DWORD)strtol(text, nullptr, 10);
        data = (const BYTE*)&number;
        dataSize = sizeof number;
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        dataSize = (DWORD)strlen(text) + 1;
    } else if (size == -1) {
        dataSize = (DWORD)strlen(text) + 1;
    } else if (size >= 0) {
        dataSize = (DWORD)size;
    } else {
        return 0;
    }

    HKEY key = RegistryOpenPath(root, path);
    if (!key) key = RegistryCreateKey(root, path, "");
    if (!key) return 0;
    if (RegSetValueExA(key, valueName, 0, type, data, dataSize) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    return RegCloseKey(key) == ERROR_SUCCESS ? 1 : 0;
}

int RegistryDeleteValue(HKEY root, const char* path, const char* valueName)
{
    HKEY key = RegistryOpenPath(root, path);
    if (!key) return 0;
    LONG status = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int UserIsAdministrator()
{
    HANDLE token = OpenCallerToken();
    if (!token) return 0;
    int result = TokenHoldsAdministrators(token);
    CloseHandle(token);
    return result;
}

int KeyMayBeDeleted(HKEY root, const char* path)
{
    // Compared in the form the deletion resolves, so that no spelling with extra backslashes
    // reaches a protected key; a path that resolves to the root itself is refused like an empty one.
    char canonical[KEY_PATH_SIZE];
    if (!CanonicalNonEmptyPath(path, canonical, sizeof canonical)) return 0;
    if (gPlatform.win32s) return 1;
    if (root == HKEY_USERS && IsProtectedUsersKey(canonical)) return 0;
    return IsListedKey(ProtectedKeysOf(root), canonical) ? 0 : 1;
}
