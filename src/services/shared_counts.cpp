#include "services/shared_counts.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/platform.h"
#include "core/pool.h"
#include "services/paths.h"
#include "services/registry.h"

namespace {

const char kCountParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kCountKey[] = "SharedDLLs";

struct SharedCountState {
    MemoryPool pool;
    int platformClass;
};

SharedCountState* gSharedCounts = nullptr;

// A 64-bit count arrives as raw little-endian bytes. Read as text it would count 0 and the file
// would go while other applications still count on it; beyond 32 bits it saturates, since its low
// word alone could be 0 as well.
int32_t StoredQwordCount(DWORD size, const char* data)
{
    uint64_t number = 0;
    for (DWORD i = 0; i < size && i < 8; ++i) number |= (uint64_t)(BYTE)data[i] << (8 * i);
    return number > (uint64_t)INT32_MAX ? INT32_MAX : (int32_t)number;
}

// The count as stored: REG_BINARY holds a little-endian signed word, REG_DWORD arrives as its
// decimal text, anything else is text read like a C decimal number (no digits counts 0).
int32_t StoredCount(DWORD type, DWORD size, const char* text)
{
    if (type == REG_QWORD) return StoredQwordCount(size, text);
    if (type == REG_BINARY) {
        BYTE word[4] = {0, 0, 0, 0};
        memcpy(word, text, size < 4 ? size : 4);
        return (int32_t)((uint32_t)word[0] | ((uint32_t)word[1] << 8) | ((uint32_t)word[2] << 16) |
                         ((uint32_t)word[3] << 24));
    }
    return (int32_t)strtol(text, nullptr, 10);
}

// Makes sure the count key exists; a failure is left to the value write, which creates it anyway.
void EnsureCountKey(HKEY parent)
{
    HKEY counts = RegistryOpenPath(parent, kCountKey);
    if (!counts) counts = RegistryCreateKey(parent, kCountKey, "");
    if (counts) RegCloseKey(counts);
}

// The new count written back (REG_DWORD) or, at zero without keepAtZero, the value deleted.
int StoreCount(HKEY parent, const char* valueName, int32_t count, int keepAtZero)
{
    if (count == 0 && !keepAtZero) return RegistryDeleteValue(parent, kCountKey, valueName);
    char text[16];
    snprintf(text, sizeof text, "%ld", (long)count);
    return RegistryWriteValue(parent, kCountKey, valueName, REG_DWORD, -1, text);
}

}  // namespace

int SharedCountInit(MemoryPool pool, int platformClass)
{
    SharedCountState* state = (SharedCountState*)PoolAlloc(pool, sizeof(SharedCountState));
    if (!state) return -1;
    state->pool = pool;
    state->platformClass = platformClass;
    gSharedCounts = state;
    return 0;
}

int SharedValueName(const char* path, char* out, int outSize)
{
    if (!path || !out || outSize <= 0) return 0;
    out[0] = '\0';
    if (!gSharedCounts || gSharedCounts->platformClass != PLATFORM_WIN95) {
        if (strlen(path) + 1 > (size_t)outSize) return 0;
        memcpy(out, path, strlen(path) + 1);
        return 1;
    }
    // Windows 95 installers count a file under its short name; the directory keeps its long form.
    char shortPath[PATH_BUFFER_SIZE];
    char shortName[PATH_BUFFER_SIZE];
    char directory[PATH_BUFFER_SIZE];
    if (!GetShortPath(path, shortPath, sizeof shortPath)) return 0;
    if (!GetFileNamePart(shortPath, shortName, sizeof shortName)) return 0;
    if (!GetDirectoryPart(path, directory, sizeof directory)) return 0;
    if (!directory[0]) {
        if (strlen(shortName) + 1 > (size_t)outSize) return 0;
        memcpy(out, shortName, strlen(shortName) + 1);
        return 1;
    }
    return JoinPath(out, directory, shortName, (size_t)outSize);
}

int SharedCountAdjust(const char* path, int delta, int keepAtZero)
{
    if (!gSharedCounts || !path || !path[0]) return -1;
    char valueName[PATH_BUFFER_SIZE];
    if (!SharedValueName(path, valueName, sizeof valueName)) return -1;

    HKEY parent = RegistryOpenPath(HKEY_LOCAL_MACHINE, kCountParentKey);
    if (!parent) parent = RegistryCreateKey(HKEY_LOCAL_MACHINE, kCountParentKey, "");
    if (!parent) return -1;
    EnsureCountKey(parent);

    char text[REGISTRY_DATA_MAX + 1];
    DWORD type = 0;
    DWORD size = 0;
    int32_t oldCount = 0;
    if (RegistryReadValue(parent, kCountKey, valueName, &type, &size, text, sizeof text)) {
        oldCount = StoredCount(type, size, text);
    } else if (delta < 0) {
        // Nothing was counted, so nothing can be taken away; the registry stays as it is.
        RegCloseKey(parent);
        return -1;
    }
    int64_t sum = (int64_t)oldCount + delta;
    int32_t newCount = sum < 0 ? 0 : (sum > INT32_MAX ? INT32_MAX : (int32_t)sum);
    int stored = StoreCount(parent, valueName, newCount, keepAtZero);
    RegCloseKey(parent);
    return stored ? newCount : -1;
}
