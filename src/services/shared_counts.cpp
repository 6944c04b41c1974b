#include "services/shared_counts.h"

int SharedCountInit(int, int) { return -1; }
int SharedCountAdjust(const char*, int, int) { return -1; }
int SharedValueName(const char*, char* out, int outSize)
{
    if (out && outSize > 0) out[0] = '\0';
    return 0;
}
