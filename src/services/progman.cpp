#include "services/progman.h"

#include <windows.h>
#include <ddeml.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/pool.h"

namespace {

enum { PROGMAN_POOL_SIZE = 36864 };

struct DdeClientState {
    int initialised;
    int windowsNT;
    MemoryPool pool;
    char* commandBuffer;
    char* replyBuffer;
    DWORD instance;
    HSZ service;
    HSZ topic;
};

DdeClientState g_client;

// A pure client never serves anything, so every transaction offered to it is refused.
HDDEDATA CALLBACK IgnoreTransaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

// The pool and its two buffers are made once and kept to the end of the process, across a
// shutdown and a later start.
int AllocateBuffers()
{
    if (g_client.commandBuffer) return 1;
    MemoryPool pool = PoolCreate(PROGMAN_POOL_SIZE, POOL_STANDARD);
    if (pool == POOL_NONE) return 0;
    char* command = static_cast<char*>(PoolAlloc(pool, PROGMAN_BUFFER_SIZE));
    char* reply = static_cast<char*>(PoolAlloc(pool, PROGMAN_BUFFER_SIZE));
    if (!command || !reply) {
        PoolDestroy(pool);
        return 0;
    }
    g_client.pool = pool;
    g_client.commandBuffer = command;
    g_client.replyBuffer = reply;
    return 1;
}

HCONV ConnectToProgman()
{
    if (!g_client.initialised) return nullptr;
    return DdeConnect(g_client.instance, g_client.service, g_client.topic, nullptr);
}

// Sends the command just formatted into the command buffer (length as snprintf reported it); a
// command that did not fit whole is not sent at all, since a cut one could name another group.
int SendFormatted(int length)
{
    if (length < 0 || length >= PROGMAN_BUFFER_SIZE) return 0;
    return ProgmanExecute(g_client.commandBuffer);
}

// Walks one field, up to the stop character or to end, and copies as much of it as fits into out
// (outSize bytes, always terminated; out may be null). Double-byte characters are stepped whole,
// so a trail byte is never taken for the stop character. Returns where the field ended.
const char* TakeField(const char* text, const char* end, char stop, char* out, size_t outSize)
{
    size_t used = 0;
    const char* p = text;
    while (p < end && *p != stop) {
        const char* next = CharNextA(p);
        if (next > end) next = end;
        size_t width = (size_t)(next - p);
        if (out && used + width < outSize) {
            memcpy(out + used, p, width);
            used += width;
        }
        p = next;
    }
    if (out && outSize) out[used] = 0;
    return p;
}

// Fields after the group name: file, count, show command and, on Windows NT, one more number.
long FieldNumber(const char*& p, const char* end)
{
    char digits[64];
    const char* fieldEnd = TakeField(p, end, ',', digits, sizeof digits);
    p = fieldEnd < end ? fieldEnd + 1 : end;
    return strtol(digits, nullptr, 10);
}

}  // namespace

int ProgmanInit(int windowsNT, int)
{
    if (g_client.initialised) return 1;
    g_client.windowsNT = windowsNT;
    if (!AllocateBuffers()) return 0;
    g_client.instance = 0;
    if (DdeInitializeA(&g_client.instance, IgnoreTransaction, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        g_client.instance = 0;
        return 0;
    }
    g_client.service = DdeCreateStringHandleA(g_client.instance, "PROGMAN", CP_WINANSI);
    g_client.topic = DdeCreateStringHandleA(g_client.instance, "PROGMAN", CP_WINANSI);
    g_client.initialised = 1;
    return 1;
}

int ProgmanShutdown()
{
    if (!g_client.initialised) return 1;
    if (g_client.service) DdeFreeStringHandle(g_client.instance, g_client.service);
    if (g_client.topic) DdeFreeStringHandle(g_client.instance, g_client.topic);
    if (g_client.instance) DdeUninitialize(g_client.instance);
    g_client.service = nullptr;
    g_client.topic = nullptr;
    g_client.instance = 0;
    g_client.initialised = 0;
    return 1;
}

int ProgmanExecute(const char* command)
{
    if (!command) return 0;
    HCONV conversation = ConnectToProgman();
    if (!conversation) return 0;
    HDDEDATA result = DdeClientTransaction((LPBYTE)command, (DWORD)strlen(command) + 1, conversation,
                                           nullptr, CF_TEXT, XTYP_EXECUTE, PROGMAN_TIMEOUT_MS, nullptr);
    DdeGetLastError(g_client.instance);
    DdeDisconnect(conversation);
    return result != nullptr;
}

int ProgmanRequest(const char* group, char* reply, size_t capacity)
{
    if (!reply || !capacity) return 0;
    reply[0] = 0;
    if (!group) return 0;
    HCONV conversation = ConnectToProgman();
    if (!conversation) return 0;
    int received = 0;
    HSZ item = DdeCreateStringHandleA(g_client.instance, group, CP_WINANSI);
    HDDEDATA data = item ? DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST,
                                                PROGMAN_TIMEOUT_MS, nullptr)
                         : nullptr;
    if (data) {
        // The reply need not be terminated: the last byte of the buffer is kept for the terminator.
        DWORD copied = capacity > 1 ? DdeGetData(data, (LPBYTE)reply, (DWORD)(capacity - 1), 0) : 0;
        reply[copied < capacity ? copied : capacity - 1] = 0;
        DdeFreeDataHandle(data);
        received = 1;
    }
    DdeGetLastError(g_client.instance);
    DdeDisconnect(conversation);
    if (item) DdeFreeStringHandle(g_client.instance, item);
    return received;
}

int ProgmanDeleteGroup(const char* group)
{
    if (!g_client.initialised || !group) return 0;
    char* command = g_client.commandBuffer;
    return SendFormatted(snprintf(command, PROGMAN_BUFFER_SIZE, "[DeleteGroup(%s)]", group));
}

int ProgmanDeleteItem(const char* group, const char* item)
{
    if (!g_client.initialised || !group || !item) return 0;
    char* command = g_client.commandBuffer;
    // Program Manager's CreateGroup on an existing group makes it the current one.
    SendFormatted(snprintf(command, PROGMAN_BUFFER_SIZE, "[CreateGroup(%s)]", group));
    return SendFormatted(snprintf(command, PROGMAN_BUFFER_SIZE, "[DeleteItem(%s)]", item));
}

int ProgmanShowGroup(const char* group, long showCommand)
{
    if (showCommand < 1 || showCommand > 8) return 0;
    if (!g_client.initialised || !group) return 0;
    char* command = g_client.commandBuffer;
    return SendFormatted(snprintf(command, PROGMAN_BUFFER_SIZE, "[ShowGroup(%s,%ld)]", group, showCommand));
}

int ProgmanGroupInfo(const char* group, char* groupFile, size_t groupFileSize, long* itemCount,
                     long* extra)
{
    if (!g_client.initialised) return 0;
    if (!ProgmanRequest(group, g_client.replyBuffer, PROGMAN_BUFFER_SIZE)) return 0;
    return ParseGroupInfo(g_client.replyBuffer, groupFile, groupFileSize, itemCount, extra);
}

// A description that does not start with the quoted group name and its closing quote is not
// Program Manager's: it counts as no answer, and the caller's values stay as they were.
int ParseGroupInfo(const char* description, char* groupFile, size_t groupFileSize, long* itemCount,
                   long* extra)
{
    if (!description || !description[0]) return 0;
    const char* end = description;
    while (*end && *end != '\r' && *end != '\n') ++end;
    if (*description != '"') return 0;
    const char* p = TakeField(description + 1, end, '"', nullptr, 0);
    if (p >= end) return 0;
    // One character after the closing quote: the comma before the group file.
    p = p + 1 < end ? CharNextA(p + 1) : end;
    if (p > end) p = end;

    const char* fileEnd = TakeField(p, end, ',', groupFile, groupFileSize);
    p = fileEnd < end ? fileEnd + 1 : end;
    long count = FieldNumber(p, end);
    long fifth = 0;
    if (g_client.windowsNT) {
        FieldNumber(p, end);
        fifth = FieldNumber(p, end);
    }
    if (itemCount) *itemCount = count;
    if (extra) *extra = fifth;
    return 1;
}
