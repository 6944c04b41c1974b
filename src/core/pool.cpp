#include "core/pool.h"

MemoryPool PoolCreate(size_t, unsigned long) { return POOL_NONE; }
void* PoolAlloc(MemoryPool, size_t) { return nullptr; }
int PoolFree(MemoryPool, void*) { return 0; }
int PoolDestroy(MemoryPool) { return 0; }
void PoolSetReports(int) {}
int PoolLastError(int*, int*) { return 0; }
int PoolSegmentCount(MemoryPool) { return -1; }
int PoolGetSegmentInfo(MemoryPool, int, PoolSegmentInfo*) { return 0; }
size_t PoolBlockSize(const void*) { return 0; }
