// Measures the memory pools against the platform heap on the same mixed workload of small blocks
// (1 to 300 bytes, the sizes the program allocates): a fixed set of slots, each step freeing the
// slot's block if it holds one or else allocating a new one. Prints operations per second.
// Usage: pool_bench [operations] [slots]
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "core/pool.h"

namespace {

struct Step {
    uint32_t slot;
    uint32_t size;
};

std::vector<Step> MakeWorkload(size_t operations, uint32_t slots)
{
    std::vector<Step> steps(operations);
    uint32_t seed = 20240611;
    for (Step& step : steps) {
        seed = seed * 1103515245u + 12345u;
        step.slot = (seed >> 8) % slots;
        seed = seed * 1103515245u + 12345u;
        step.size = 1 + (seed >> 8) % 300;
    }
    return steps;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

struct PoolAllocator {
    MemoryPool pool;
    void* Take(size_t size) { return PoolAlloc(pool, size); }
    void Give(void* block) { PoolFree(pool, block); }
};

struct HeapAllocator {
    HANDLE heap;
    DWORD flags;
    void* Take(size_t size) { return HeapAlloc(heap, flags, size); }
    void Give(void* block) { HeapFree(heap, 0, block); }
};

// Runs the workload and answers operations per second; -1 if an allocation failed.
template <typename Allocator>
double Run(Allocator& allocator, const std::vector<Step>& steps, uint32_t slots)
{
    std::vector<unsigned char*> live(slots, nullptr);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const Step& step : steps) {
        unsigned char*& block = live[step.slot];
        if (block != nullptr) {
            allocator.Give(block);
            block = nullptr;
        } else {
            block = static_cast<unsigned char*>(allocator.Take(step.size));
            if (block == nullptr) return -1;
            block[0] = 1;
            block[step.size - 1] = 1;
        }
    }
    QueryPerformanceCounter(&end);
    for (unsigned char* block : live)
        if (block != nullptr) allocator.Give(block);
    return double(steps.size()) / Seconds(start, end);
}

// Pool and heap take turns, and each keeps its best round, so that a busy machine disturbs the
// comparison less.
struct Rates {
    double pool;
    double heap;
};

Rates BestOf(int rounds, PoolAllocator& pool, HeapAllocator& heap, const std::vector<Step>& steps, uint32_t slots)
{
    Rates best = {0, 0};
    for (int round = 0; round < rounds; ++round) {
        double poolRate = Run(pool, steps, slots);
        double heapRate = Run(heap, steps, slots);
        if (poolRate < 0 || heapRate < 0) return Rates{-1, -1};
        if (poolRate > best.pool) best.pool = poolRate;
        if (heapRate > best.heap) best.heap = heapRate;
    }
    return best;
}

int Compare(const char* title, unsigned long poolFlags, DWORD heapFlags, const std::vector<Step>& steps,
            uint32_t slots)
{
    const int rounds = 5;
    PoolAllocator pool = {PoolCreate(65000, poolFlags)};
    if (pool.pool == POOL_NONE) {
        printf("%s: no pool\n", title);
        return 1;
    }
    HeapAllocator heap = {GetProcessHeap(), heapFlags};
    Rates rates = BestOf(rounds, pool, heap, steps, slots);
    double poolRate = rates.pool;
    double heapRate = rates.heap;
    PoolDestroy(pool.pool);
    if (poolRate < 0 || heapRate < 0) {
        printf("%s: an allocation failed\n", title);
        return 1;
    }
    printf("%-34s pool %12.0f ops/s   heap %12.0f ops/s   pool/heap %.2f\n", title, poolRate, heapRate,
           poolRate / heapRate);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t operations = argc > 1 ? size_t(atol(argv[1])) : 2000000;
    uint32_t slots = argc > 2 ? uint32_t(atol(argv[2])) : 1000;
    if (operations == 0 || slots == 0) {
        printf("usage: pool_bench [operations] [slots]\n");
        return 2;
    }
    PoolSetReports(0);
    std::vector<Step> steps = MakeWorkload(operations, slots);
    printf("%u operations over %u slots, block sizes 1-300 bytes, best of 5 rounds\n", unsigned(operations),
           unsigned(slots));
    int failures = 0;
    failures += Compare("zero-filled (0x1003 / ZERO_MEMORY)", POOL_STANDARD, HEAP_ZERO_MEMORY, steps, slots);
    failures += Compare("plain (growable / no flags)", POOL_GROWABLE, 0, steps, slots);
    return failures;
}
