#include "engine/registry_actions.h"

#include <string.h>

#include "app/platform.h"
#include "core/string_list.h"
#include "log/log_format.h"
#include "log/log_reader.h"
#include "services/paths.h"
#include "services/registry.h"

namespace {

// Every key this part builds lies below one of these (under HKEY_LOCAL_MACHINE).
const char kSoftwarePrefix[] = "\\Software\\";
const char kAppPathsPrefix[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char kUninstallPrefix[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Room for a key path built from a prefix and up to three header fields.
const size_t BUILT_KEY_SIZE = 1024;

const uint32_t kAcceptedRoots[] = {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u, 0x80000005u, 0x80000006u};

// A field made of backslashes only resolves to the key above it (the company key, App Paths,
// Uninstall or the root itself), so it is refused like an empty one.
bool IsBlankName(const char* name)
{
    if (!name) return true;
    for (const char* p = name; *p; ++p) {
        if (*p != '\\') return false;
    }
    return true;
}

// Decimal text read like the C library's conversion to long (leading blanks, optional sign, digits
// up to the first non-digit), keeping the low 32 bits, so that the signed and the unsigned spelling
// of a root handle give the same value.
uint32_t DecimalLow32(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + (uint32_t)(*p - '0');
    return negative ? 0u - value : value;
}

HKEY AcceptedRoot(uint32_t value)
{
    for (uint32_t accepted : kAcceptedRoots) {
        if (value == accepted) return (HKEY)(ULONG_PTR)(LONG)value;
    }
    return nullptr;
}

// A key reference "root;key path[;ignored]" split into the root handle and the key path (at most
// REGISTRY_NAME_MAX characters). 1, or 0 for an empty, unknown or oversized root, or an empty,
// backslash-only or oversized key path.
int ParseRootToken(const char* text, HKEY* root, char* keyPath, size_t keyPathSize)
{
    if (!text) return 0;
    char rootToken[REGISTRY_NAME_MAX + 1];
    const char* rest = NextToken(text, rootToken, ";", sizeof rootToken);
    if (!rest || !rootToken[0]) return 0;
    *root = AcceptedRoot(DecimalLow32(rootToken));
    if (!*root) return 0;
    if (!NextToken(rest, keyPath, ";", keyPathSize)) return 0;
    return IsBlankName(keyPath) ? 0 : 1;
}

// Reads a string header field of the phase's log; a missing log gives an empty text.
void ReadHeaderField(PhaseState* state, int fieldId, char* buffer)
{
    buffer[0] = '\0';
    if (state && state->log) LogGetField(state->log, fieldId, buffer);
}

// Appends one name to a key path being built; 0 for a blank name or one that does not fit.
int AppendKeyName(char* path, const char* name)
{
    if (IsBlankName(name)) return 0;
    return AppendPath(path, name, BUILT_KEY_SIZE);
}

// A deletion that failed while the key can still be opened has left it in place. A key that is
// already gone is no failure of this uninstall.
bool KeyRemains(HKEY root, const char* path)
{
    HKEY key = RegistryOpenPath(root, path);
    if (!key) return false;
    RegCloseKey(key);
    return true;
}

bool ValueRemains(HKEY root, const char* path, const char* valueName)
{
    HKEY key = RegistryOpenPath(root, path);
    if (!key) return false;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status != ERROR_FILE_NOT_FOUND;
}

// Deletes a tree that this phase owns, but never a protected key, whatever the header says.
int DeleteOwnTree(const char* path)
{
    if (!KeyMayBeDeleted(HKEY_LOCAL_MACHINE, path)) return 0;
    return RegistryDeleteTree(HKEY_LOCAL_MACHINE, path);
}

// The product or company key goes only when no other version or product is left below it.
int DeleteWhenEmpty(const char* path)
{
    if (RegistryCountSubkeys(HKEY_LOCAL_MACHINE, path) != 0) return 1;
    return DeleteOwnTree(path);
}

// Builds prefix + name into out; 0 for a blank name or one that does not fit.
int PrefixedKey(char* out, const char* prefix, const char* name)
{
    if (strlen(prefix) + 1 > BUILT_KEY_SIZE) return 0;
    memcpy(out, prefix, strlen(prefix) + 1);
    if (IsBlankName(name)) return 0;
    size_t used = strlen(out);
    size_t length = strlen(name);
    if (used + length + 1 > BUILT_KEY_SIZE) return 0;
    memcpy(out + used, name, length + 1);
    return 1;
}

// 1 when the key is gone (or was never there), 0 when it is still there.
int DeleteAppPathsKey(const char* name)
{
    char path[BUILT_KEY_SIZE];
    if (!PrefixedKey(path, kAppPathsPrefix, name)) return 1;
    return RegistryDeleteTree(HKEY_LOCAL_MACHINE, path) || !KeyRemains(HKEY_LOCAL_MACHINE, path);
}

// One name, or several separated by ";"; the first empty (or blank) name ends the list. 1 when
// none of the named keys is left, 0 when one resisted (the others are deleted all the same).
int DeleteAppPathsKeys(const char* names)
{
    char name[LOG_FIELD_BUFFER_SIZE];
    const char* rest = names;
    int allGone = 1;
    while (rest && *rest) {
        rest = NextToken(rest, name, ";", sizeof name);
        if (!rest || IsBlankName(name)) break;
        if (!DeleteAppPathsKey(name)) allGone = 0;
    }
    return allGone;
}

}  // namespace

int32_t RemoveKeysAction(PhaseState*, int message, UninstallSession*, const char* recordText, int32_t,
                         StringList*)
{
    if (message != PHASE_RUN) return 0;
    HKEY root = nullptr;
    char keyPath[REGISTRY_NAME_MAX + 1];
    if (!ParseRootToken(recordText, &root, keyPath, sizeof keyPath)) return ERR_REGISTRY_NOT_REMOVED;
    if (!KeyMayBeDeleted(root, keyPath)) return ERR_REGISTRY_NOT_REMOVED;
    if (!RegistryDeleteTree(root, keyPath) && KeyRemains(root, keyPath)) return ERR_REGISTRY_NOT_REMOVED;
    return 0;
}

int32_t RemoveValuesAction(PhaseState*, int message, UninstallSession*, const char*, int32_t,
                           StringList* recordList)
{
    if (message != PHASE_RUN || !recordList) return 0;
    const char* keyReference = ListFirst(recordList);
    const char* valueName = keyReference ? ListNext(recordList) : nullptr;
    if (!keyReference || !valueName || !valueName[0]) return 0;
    HKEY root = nullptr;
    char keyPath[REGISTRY_NAME_MAX + 1];
    if (!ParseRootToken(keyReference, &root, keyPath, sizeof keyPath)) return ERR_REGISTRY_NOT_REMOVED;
    if (!RegistryDeleteValue(root, keyPath, valueName) && ValueRemains(root, keyPath, valueName))
        return ERR_REGISTRY_NOT_REMOVED;
    return 0;
}

int32_t RemoveProductKeysAction(PhaseState* state, int message, UninstallSession*, const char*, int32_t,
                                StringList*)
{
    if (message != PHASE_RUN || gPlatform.win32s) return 0;
    char company[LOG_FIELD_BUFFER_SIZE];
    char product[LOG_FIELD_BUFFER_SIZE];
    char version[LOG_FIELD_BUFFER_SIZE];
    ReadHeaderField(state, LOG_FIELD_COMPANY, company);
    ReadHeaderField(state, LOG_FIELD_APPLICATION, product);
    ReadHeaderField(state, LOG_FIELD_VERSION_KEY, version);

    char companyKey[BUILT_KEY_SIZE];
    char productKey[BUILT_KEY_SIZE];
    char versionKey[BUILT_KEY_SIZE];
    if (!PrefixedKey(companyKey, kSoftwarePrefix, company)) return ERR_REGISTRY_NOT_REMOVED;
    memcpy(productKey, companyKey, sizeof productKey);
    if (!AppendKeyName(productKey, product)) return ERR_REGISTRY_NOT_REMOVED;
    memcpy(versionKey, productKey, sizeof versionKey);
    if (!AppendKeyName(versionKey, version)) return ERR_REGISTRY_NOT_REMOVED;

    if (!DeleteOwnTree(versionKey)) return ERR_REGISTRY_NOT_REMOVED;
    if (!DeleteWhenEmpty(productKey)) return ERR_REGISTRY_NOT_REMOVED;
    if (!DeleteWhenEmpty(companyKey)) return ERR_REGISTRY_NOT_REMOVED;
    return 0;
}

int32_t RemoveAppEntriesAction(PhaseState* state, int message, UninstallSession*, const char*, int32_t,
                               StringList*)
{
    if (message != PHASE_RUN || gPlatform.win32s) return 0;
    char uninstallName[LOG_FIELD_BUFFER_SIZE];
    char appPaths[LOG_FIELD_BUFFER_SIZE];
    ReadHeaderField(state, LOG_FIELD_UNINSTALL_KEY, uninstallName);
    ReadHeaderField(state, LOG_FIELD_APP_PATHS, appPaths);

    if (IsBlankName(appPaths)) return ERR_REGISTRY_NOT_REMOVED;
    int appPathsGone = DeleteAppPathsKeys(appPaths);

    // The Uninstall entry goes last: while it exists, a failed run can be started again.
    char uninstallKey[BUILT_KEY_SIZE];
    if (!PrefixedKey(uninstallKey, kUninstallPrefix, uninstallName)) return ERR_REGISTRY_NOT_REMOVED;
    if (!RegistryDeleteTree(HKEY_LOCAL_MACHINE, uninstallKey)) return ERR_REGISTRY_NOT_REMOVED;
    return appPathsGone ? 0 : ERR_REGISTRY_NOT_REMOVED;
}
