// Program Manager client: removes program items and groups through Program Manager's DDE
// commands where the desktop is not the Explorer shell. One conversation per command or request.
#pragma once

#include <stddef.h>

// Every formatted command and every requested group description fits in these buffers.
enum {
    PROGMAN_BUFFER_SIZE = 12288,
    PROGMAN_REPLY_CAPACITY = PROGMAN_BUFFER_SIZE - 1,
    PROGMAN_TIMEOUT_MS = 10000,
};

// Starts the client-only DDE instance once; 1 when ready (also when it already was), 0 on failure.
// The Win32s flag is accepted for symmetry with the platform detection and not used.
int ProgmanInit(int windowsNT, int win32s);

// Ends the DDE instance; always 1, nothing is sent afterwards.
int ProgmanShutdown();

// Sends one bracketed command; 1 when Program Manager accepted it, else 0.
int ProgmanExecute(const char* command);

// Requests a group's description into reply, a buffer of capacity bytes (emptied first; at most
// capacity - 1 bytes of the reply are copied and the text is always terminated).
// 1 when a description was received, else 0.
int ProgmanRequest(const char* group, char* reply, size_t capacity);

int ProgmanDeleteGroup(const char* group);

// Makes the group current, then deletes the item; answers the delete command's result.
int ProgmanDeleteItem(const char* group, const char* item);

// Show commands 1 to 8 only; anything else sends nothing and answers 0.
int ProgmanShowGroup(const char* group, long showCommand);

// Requests and parses a group's description; 1 on success. On 0 the outputs are untouched, so
// callers preset the item count. groupFile may be null; it receives at most groupFileSize bytes.
int ProgmanGroupInfo(const char* group, char* groupFile, size_t groupFileSize, long* itemCount,
                     long* extra);

// Reads the first line of a group description: "name",file,count,show[,extra on Windows NT].
// 0 for an empty or unreadable description, else 1. Never reads past the terminator.
int ParseGroupInfo(const char* description, char* groupFile, size_t groupFileSize, long* itemCount,
                   long* extra);
