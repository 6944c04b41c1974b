// Memory pools: every record, string and list of the program lives in one. A pool is a chain of
// segments taken from the platform's global memory; inside a segment the pool keeps its own blocks
// with a best-fit free structure, and destroying the pool releases everything at once.
#pragma once

#include <stddef.h>

// A pool handle is its entry number in the pool table (2 to 39 for user pools).
typedef int MemoryPool;

const MemoryPool POOL_NONE = -1;

// Creation flags.
const unsigned long POOL_TRY_ENLARGE = 0x1;
const unsigned long POOL_GROWABLE = 0x2;
const unsigned long POOL_KEEP_LAST_SEGMENT = 0x10;
const unsigned long POOL_ZERO_FILL = 0x1000;
const unsigned long POOL_DDE_SHARE = 0x2000;

// The flags every owner uses unless it has a reason not to.
const unsigned long POOL_STANDARD = POOL_ZERO_FILL | POOL_GROWABLE | POOL_TRY_ENLARGE;

// The last operation, as kept by PoolLastError.
const int POOL_OP_CREATE = 1;
const int POOL_OP_FREE = 2;
const int POOL_OP_DESTROY = 4;
const int POOL_OP_ALLOC = 8;
const int POOL_OP_INIT = 16;

// Error codes, as kept by PoolLastError and shown (plus 3000) in the pool report.
const int POOL_OK = 0;
const int POOL_ERR_TABLE_FULL = 1;
const int POOL_ERR_NO_SEGMENT = 2;
const int POOL_ERR_ALREADY_FREE = 3;
const int POOL_ERR_BAD_HANDLE = 4;
const int POOL_ERR_DAMAGED_BLOCK = 5;
const int POOL_ERR_DAMAGED_NEXT = 6;
const int POOL_ERR_NOT_IN_USE = 7;
const int POOL_ERR_BAD_SIZE = 9;
const int POOL_ERR_INIT_FAILED = 10;
const int POOL_ERR_NEVER_CREATED = 11;
const int POOL_ERR_NO_ROOM = 12;
const int POOL_ERR_NULL_POINTER = 14;

// The largest pool size: a segment's size is kept in 256-byte units in one byte.
const size_t POOL_MAX_SIZE = 65280;

// Creates a pool whose segments hold initialSize bytes (rounded up to 256); initialSize is also the
// largest request it accepts. Returns the handle, or POOL_NONE.
MemoryPool PoolCreate(size_t initialSize, unsigned long flags);

// Returns a block of at least size bytes, or null. Blocks follow 3-byte headers, so their addresses
// have no particular alignment: plain loads and stores of any type are fine on x86, but data that
// needs alignment (interlocked operations, SSE types) must not be placed in a pool block.
void* PoolAlloc(MemoryPool pool, size_t size);

// Returns a block to the pool it came from: 1, or 0 on failure.
int PoolFree(MemoryPool pool, void* block);

// Releases the pool with every block still in it: 1, or 0 on failure.
int PoolDestroy(MemoryPool pool);

// Switches the failure report box on (non-zero) or off (0) and answers the previous setting.
// Reports are on at start.
int PoolSetReports(int on);

// Gives the last operation and error code: 1, or 0 while no pool was ever created.
int PoolLastError(int* operation, int* code);

// What a pool holds, for diagnostics, tests and the benchmark.
struct PoolSegmentInfo {
    size_t size;          // bytes of the segment
    int indexLength;      // entries of its size index
    int indexUsed;        // index entries pointing at a free size
    unsigned usedBlocks;  // allocated blocks
    unsigned freeBlocks;  // free blocks
    size_t largestFree;   // largest free payload
};

// Number of segments of the pool (newest first), or -1 for a pool not in use.
int PoolSegmentCount(MemoryPool pool);

// Describes the pool's segment number 'which' (0 = newest): 1, or 0 if there is no such segment.
int PoolGetSegmentInfo(MemoryPool pool, int which, PoolSegmentInfo* info);

// The payload size of an allocated block (at least what was asked for), or 0 for a null pointer.
size_t PoolBlockSize(const void* block);
