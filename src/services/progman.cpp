#include "services/progman.h"

int ProgmanInit(int, int) { return 0; }
int ProgmanShutdown() { return 1; }
int ProgmanExecute(const char*) { return 0; }
int ProgmanRequest(const char*, char* reply, size_t capacity)
{
    if (reply && capacity) reply[0] = 0;
    return 0;
}
int ProgmanDeleteGroup(const char*) { return 0; }
int ProgmanDeleteItem(const char*, const char*) { return 0; }
int ProgmanShowGroup(const char*, long) { return 0; }
int ProgmanGroupInfo(const char*, char*, size_t, long*, long*) { return 0; }
int ParseGroupInfo(const char*, char*, size_t, long*, long*) { return 0; }
