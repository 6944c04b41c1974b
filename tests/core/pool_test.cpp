#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "core/pool.h"

namespace {

int LastErrorCode()
{
    int operation = -1;
    int code = -1;
    EXPECT_EQ(1, PoolLastError(&operation, &code));
    return code;
}

int LastOperation()
{
    int operation = -1;
    int code = -1;
    EXPECT_EQ(1, PoolLastError(&operation, &code));
    return operation;
}

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override { PoolSetReports(0); }

    void TearDown() override
    {
        for (MemoryPool pool : pools_) PoolDestroy(pool);
        PoolSetReports(1);
    }

    MemoryPool Create(size_t size, unsigned long flags)
    {
        MemoryPool pool = PoolCreate(size, flags);
        EXPECT_NE(POOL_NONE, pool);
        pools_.push_back(pool);
        return pool;
    }

    void Forget(MemoryPool pool)
    {
        for (MemoryPool& p : pools_)
            if (p == pool) p = POOL_NONE;
    }

    std::vector<MemoryPool> pools_;
};

char* Alloc(MemoryPool pool, size_t size)
{
    return static_cast<char*>(PoolAlloc(pool, size));
}

TEST_F(PoolTest, SmallRequestOccupiesTwelveBytePayload)
{
    MemoryPool pool = Create(1000, 0);
    char* block = Alloc(pool, 1);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(12u, PoolBlockSize(block));
    char* second = Alloc(pool, 1);
    EXPECT_EQ(block + 12 + 3, second);
}

// Small segments keep every free size in the sorted list; larger ones find small sizes through a
// table. Both must choose alike.
class PoolBestFitTest : public PoolTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(PoolBestFitTest, SmallestFreeBlockThatFitsIsChosen)
{
    MemoryPool pool = Create(GetParam(), 0);
    char* large = Alloc(pool, 100);
    Alloc(pool, 12);
    char* small = Alloc(pool, 50);
    Alloc(pool, 12);
    char* middle = Alloc(pool, 70);
    Alloc(pool, 12);
    ASSERT_TRUE(large && small && middle);
    ASSERT_EQ(1, PoolFree(pool, large));
    ASSERT_EQ(1, PoolFree(pool, small));
    ASSERT_EQ(1, PoolFree(pool, middle));

    EXPECT_EQ(small, Alloc(pool, 45));
    EXPECT_EQ(middle, Alloc(pool, 60));
    EXPECT_EQ(large, Alloc(pool, 90));
    EXPECT_EQ(100u, PoolBlockSize(large));
}

INSTANTIATE_TEST_SUITE_P(SegmentSizes, PoolBestFitTest, ::testing::Values(size_t(1000), size_t(8192), size_t(65000)));

TEST_F(PoolTest, BestFitAmongLargeBlocks)
{
    MemoryPool pool = Create(8192, 0);
    char* blocks[3];
    const size_t sizes[3] = {1000, 600, 800};
    for (int i = 0; i < 3; ++i) {
        blocks[i] = Alloc(pool, sizes[i]);
        Alloc(pool, 12);
    }
    for (char* b : blocks) ASSERT_EQ(1, PoolFree(pool, b));
    EXPECT_EQ(blocks[2], Alloc(pool, 700));
    EXPECT_EQ(700u, PoolBlockSize(blocks[2]));  // the 97 bytes left over are too few for what follows
    // No small block fits: the smallest large one is split, and its rest serves the next request.
    EXPECT_EQ(blocks[1], Alloc(pool, 100));
    EXPECT_EQ(100u, PoolBlockSize(blocks[1]));
    EXPECT_EQ(blocks[1] + 103, Alloc(pool, 497));
    EXPECT_EQ(blocks[0], Alloc(pool, 990));
}

TEST_F(PoolTest, EqualSizesAreServedFromTheSameChain)
{
    MemoryPool pool = Create(1000, 0);
    char* blocks[4];
    for (char*& b : blocks) {
        b = Alloc(pool, 40);
        Alloc(pool, 12);  // keeps the free blocks apart
    }
    for (char* b : blocks) ASSERT_EQ(1, PoolFree(pool, b));
    PoolSegmentInfo info;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &info));
    EXPECT_EQ(2, info.indexUsed);  // the 40-byte head and the rest of the segment
    // The newest member of a chain is handed out first, the head last.
    for (int i = 3; i >= 1; --i) EXPECT_EQ(blocks[i], Alloc(pool, 40));
    EXPECT_EQ(blocks[0], Alloc(pool, 40));
}

struct SplitCase {
    size_t surplus;
    size_t payloadHandedOut;
    bool remainderFree;
};

class PoolSplitTest : public PoolTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(PoolSplitTest, SurplusOfFifteenIsSplitOffFourteenIsNot)
{
    const SplitCase& c = GetParam();
    MemoryPool pool = Create(4096, 0);
    char* block = Alloc(pool, 12 + c.surplus);
    Alloc(pool, 12);
    ASSERT_EQ(1, PoolFree(pool, block));

    char* reused = Alloc(pool, 12);
    EXPECT_EQ(block, reused);
    EXPECT_EQ(c.payloadHandedOut, PoolBlockSize(reused));
    char* next = Alloc(pool, 12);
    if (c.remainderFree) {
        EXPECT_EQ(block + 12 + 3, next);
        EXPECT_EQ(12u, PoolBlockSize(next));
    } else {
        EXPECT_NE(block + 12 + 3, next);
    }
}

INSTANTIATE_TEST_SUITE_P(Surplus, PoolSplitTest,
                         ::testing::Values(SplitCase{13, 25, false}, SplitCase{14, 26, false},
                                           SplitCase{15, 12, true}, SplitCase{40, 12, true}));

struct SegmentCase {
    size_t poolSize;
    size_t segmentSize;
    int indexLength;
};

class PoolSegmentTest : public PoolTest, public ::testing::WithParamInterface<SegmentCase> {};

TEST_P(PoolSegmentTest, SegmentSizeAndIndexLengthFollowPoolSize)
{
    const SegmentCase& c = GetParam();
    MemoryPool pool = Create(c.poolSize, POOL_STANDARD);
    ASSERT_EQ(1, PoolSegmentCount(pool));
    PoolSegmentInfo info;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &info));
    EXPECT_EQ(c.segmentSize, info.size);
    EXPECT_EQ(c.indexLength, info.indexLength);
    EXPECT_EQ(1u, info.freeBlocks);
    EXPECT_EQ(c.segmentSize - 4, info.largestFree);
    EXPECT_EQ(0u, info.usedBlocks);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PoolSegmentTest,
                         ::testing::Values(SegmentCase{1, 256, 6}, SegmentCase{1000, 1024, 6},
                                           SegmentCase{1792, 1792, 6}, SegmentCase{2000, 2048, 8},
                                           SegmentCase{8000, 8192, 9}, SegmentCase{8192, 8192, 9},
                                           SegmentCase{32512, 32512, 9}, SegmentCase{32767, 32768, 10},
                                           SegmentCase{65000, 65024, 10}, SegmentCase{65280, 65280, 10}));

TEST_F(PoolTest, RequestSizeIsCheckedAgainstPoolSize)
{
    MemoryPool pool = Create(1000, POOL_STANDARD);
    EXPECT_NE(nullptr, Alloc(pool, 1000));
    EXPECT_EQ(nullptr, Alloc(pool, 1001));
    EXPECT_EQ(POOL_ERR_BAD_SIZE, LastErrorCode());
    EXPECT_EQ(POOL_OP_ALLOC, LastOperation());
    EXPECT_EQ(nullptr, Alloc(pool, 0));
    EXPECT_EQ(POOL_ERR_BAD_SIZE, LastErrorCode());
    // A size_t request must not wrap into a small one.
    EXPECT_EQ(nullptr, Alloc(pool, size_t(65536) + 12));
    EXPECT_EQ(POOL_ERR_BAD_SIZE, LastErrorCode());
}

TEST_F(PoolTest, RequestNoSegmentCanHoldIsRefusedWithoutGrowing)
{
    MemoryPool pool = Create(256, POOL_STANDARD);
    EXPECT_NE(nullptr, Alloc(pool, 252));
    EXPECT_EQ(nullptr, Alloc(pool, 253));
    EXPECT_EQ(POOL_ERR_NO_ROOM, LastErrorCode());
    EXPECT_EQ(1, PoolSegmentCount(pool));
}

TEST_F(PoolTest, CreateRefusesUnusableSizes)
{
    EXPECT_EQ(POOL_NONE, PoolCreate(0, POOL_STANDARD));
    EXPECT_EQ(POOL_ERR_BAD_SIZE, LastErrorCode());
    EXPECT_EQ(POOL_OP_CREATE, LastOperation());
    EXPECT_EQ(POOL_NONE, PoolCreate(POOL_MAX_SIZE + 1, POOL_STANDARD));
    EXPECT_EQ(POOL_ERR_BAD_SIZE, LastErrorCode());
    EXPECT_EQ(POOL_NONE, PoolCreate(size_t(65536) * 2 + 100, POOL_STANDARD));
}

TEST_F(PoolTest, FreeingTwiceIsCodeThree)
{
    MemoryPool pool = Create(1000, POOL_STANDARD);
    char* block = Alloc(pool, 20);
    Alloc(pool, 20);
    EXPECT_EQ(1, PoolFree(pool, block));
    EXPECT_EQ(POOL_OK, LastErrorCode());
    EXPECT_EQ(0, PoolFree(pool, block));
    EXPECT_EQ(POOL_ERR_ALREADY_FREE, LastErrorCode());
    EXPECT_EQ(POOL_OP_FREE, LastOperation());
}

TEST_F(PoolTest, ForeignPointersAreCodeFour)
{
    MemoryPool mine = Create(1000, POOL_STANDARD);
    MemoryPool other = Create(1000, POOL_STANDARD);
    Alloc(mine, 20);
    char* foreign = Alloc(other, 20);
    char onStack[16];
    EXPECT_EQ(0, PoolFree(mine, foreign));
    EXPECT_EQ(POOL_ERR_BAD_HANDLE, LastErrorCode());
    EXPECT_EQ(0, PoolFree(mine, onStack));
    EXPECT_EQ(POOL_ERR_BAD_HANDLE, LastErrorCode());
    EXPECT_EQ(1, PoolFree(other, foreign));
}

TEST_F(PoolTest, NullPointerIsCodeFourteen)
{
    MemoryPool pool = Create(1000, POOL_STANDARD);
    EXPECT_EQ(0, PoolFree(pool, nullptr));
    EXPECT_EQ(POOL_ERR_NULL_POINTER, LastErrorCode());
}

TEST_F(PoolTest, HandlesOutsideTheUserPoolsAreCodeFour)
{
    char buffer[16];
    for (MemoryPool handle : {-1, 0, 1, 40, 32000, 32766, 40000}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(nullptr, PoolAlloc(handle, 10));
        EXPECT_EQ(POOL_ERR_BAD_HANDLE, LastErrorCode());
        EXPECT_EQ(0, PoolFree(handle, buffer));
        EXPECT_EQ(POOL_ERR_BAD_HANDLE, LastErrorCode());
        EXPECT_EQ(0, PoolDestroy(handle));
        EXPECT_EQ(POOL_ERR_BAD_HANDLE, LastErrorCode());
    }
}

TEST_F(PoolTest, TableHoldsThirtyEightUserPools)
{
    std::vector<MemoryPool> created;
    for (int i = 0; i < 38; ++i) created.push_back(Create(256, POOL_STANDARD));
    for (size_t i = 0; i < created.size(); ++i) EXPECT_EQ(MemoryPool(2 + i), created[i]);
    EXPECT_EQ(POOL_NONE, PoolCreate(256, POOL_STANDARD));
    EXPECT_EQ(POOL_ERR_TABLE_FULL, LastErrorCode());

    // A destroyed entry is free again, and the lowest free entry is taken first.
    ASSERT_EQ(1, PoolDestroy(created[5]));
    Forget(created[5]);
    EXPECT_EQ(created[5], Create(256, POOL_STANDARD));
}

TEST_F(PoolTest, DestroyedPoolIsCodeSeven)
{
    MemoryPool pool = PoolCreate(1000, POOL_STANDARD);
    ASSERT_NE(nullptr, Alloc(pool, 10));
    ASSERT_EQ(1, PoolDestroy(pool));
    EXPECT_EQ(0, PoolDestroy(pool));
    EXPECT_EQ(POOL_ERR_NOT_IN_USE, LastErrorCode());
    EXPECT_EQ(POOL_OP_DESTROY, LastOperation());
    EXPECT_EQ(nullptr, Alloc(pool, 10));
    EXPECT_EQ(POOL_ERR_NOT_IN_USE, LastErrorCode());
    EXPECT_EQ(-1, PoolSegmentCount(pool));
}

struct ZeroFillCase {
    unsigned long flags;
    bool zeros;
};

class PoolZeroFillTest : public PoolTest, public ::testing::WithParamInterface<ZeroFillCase> {};

TEST_P(PoolZeroFillTest, ReusedBlockIsZeroedOnlyWithZeroFill)
{
    MemoryPool pool = Create(1000, GetParam().flags);
    char* block = Alloc(pool, 40);
    Alloc(pool, 12);
    memset(block, 0xAA, 40);
    ASSERT_EQ(1, PoolFree(pool, block));
    ASSERT_EQ(block, Alloc(pool, 40));
    // The first 12 bytes held the free block's links meanwhile; the rest shows what the flag did.
    for (int i = 12; i < 40; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(GetParam().zeros ? 0 : 0xAA, static_cast<unsigned char>(block[i]));
    }
    if (GetParam().zeros) {
        for (int i = 0; i < 12; ++i) EXPECT_EQ(0, block[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, PoolZeroFillTest,
                         ::testing::Values(ZeroFillCase{POOL_ZERO_FILL, true}, ZeroFillCase{0, false}));

// Nine 100-byte blocks fill most of a 1024-byte segment; freeing the first eight leaves only
// 100-byte holes and a 90-byte tail, so an 800-byte request needs the holes merged.
class PoolCompactionTest : public PoolTest {
protected:
    void FillAndFreeAllButLast(MemoryPool pool)
    {
        for (char*& b : blocks_) ASSERT_NE(nullptr, b = Alloc(pool, 100));
        for (int i = 0; i < 8; ++i) ASSERT_EQ(1, PoolFree(pool, blocks_[i]));
    }
    char* blocks_[9];
};

TEST_F(PoolCompactionTest, MergingFreeNeighboursMakesLargeRequestFit)
{
    MemoryPool pool = Create(1024, 0);
    FillAndFreeAllButLast(pool);
    PoolSegmentInfo before;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &before));
    EXPECT_EQ(9u, before.freeBlocks);

    char* large = Alloc(pool, 800);
    EXPECT_EQ(blocks_[0], large);
    EXPECT_EQ(1, PoolSegmentCount(pool));
    PoolSegmentInfo after;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &after));
    EXPECT_EQ(2u, after.freeBlocks);  // the split-off rest of the merged run, and the tail
    EXPECT_EQ(2u, after.usedBlocks);
}

TEST_F(PoolCompactionTest, PoolThatCannotGrowFailsWithCodeTwelve)
{
    MemoryPool pool = Create(1024, 0);
    FillAndFreeAllButLast(pool);
    EXPECT_EQ(nullptr, Alloc(pool, 1000));
    EXPECT_EQ(POOL_ERR_NO_ROOM, LastErrorCode());
    EXPECT_EQ(1, PoolSegmentCount(pool));
    // The merge stands: the large run now serves what the holes could not.
    EXPECT_EQ(blocks_[0], Alloc(pool, 820));
}

TEST_F(PoolCompactionTest, GrowablePoolAddsSegmentInFront)
{
    MemoryPool pool = Create(1024, POOL_GROWABLE);
    FillAndFreeAllButLast(pool);
    char* large = Alloc(pool, 1000);
    ASSERT_NE(nullptr, large);
    EXPECT_EQ(2, PoolSegmentCount(pool));
    PoolSegmentInfo newest;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &newest));
    EXPECT_EQ(1u, newest.usedBlocks);
}

TEST_F(PoolTest, EmptiedPoolReleasesItsSegmentUnlessKeepingIt)
{
    struct {
        unsigned long flags;
        int segmentsWhenEmpty;
    } cases[] = {{POOL_STANDARD, 0}, {POOL_STANDARD | POOL_KEEP_LAST_SEGMENT, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        MemoryPool pool = Create(1000, c.flags);
        char* a = Alloc(pool, 30);
        char* b = Alloc(pool, 30);
        ASSERT_EQ(1, PoolFree(pool, a));
        EXPECT_EQ(1, PoolSegmentCount(pool));
        ASSERT_EQ(1, PoolFree(pool, b));
        EXPECT_EQ(c.segmentsWhenEmpty, PoolSegmentCount(pool));
        EXPECT_NE(nullptr, Alloc(pool, 30));
        EXPECT_EQ(1, PoolSegmentCount(pool));
    }
}

TEST_F(PoolTest, EmptySegmentOfSeveralIsReleased)
{
    MemoryPool pool = Create(256, POOL_STANDARD | POOL_KEEP_LAST_SEGMENT);
    char* first = Alloc(pool, 200);
    char* second = Alloc(pool, 200);
    ASSERT_EQ(2, PoolSegmentCount(pool));
    ASSERT_EQ(1, PoolFree(pool, second));
    EXPECT_EQ(1, PoolSegmentCount(pool));
    ASSERT_EQ(1, PoolFree(pool, first));
    EXPECT_EQ(1, PoolSegmentCount(pool));
}

TEST_F(PoolTest, DamagedStateBytesAreCodesFiveAndSix)
{
    MemoryPool pool = Create(1000, 0);
    char* first = Alloc(pool, 20);
    char* second = Alloc(pool, 20);
    Alloc(pool, 20);

    first[-3] = 0x02;
    EXPECT_EQ(0, PoolFree(pool, first));
    EXPECT_EQ(POOL_ERR_DAMAGED_BLOCK, LastErrorCode());
    first[-3] = 0x00;

    second[-3] = 0x40;
    EXPECT_EQ(0, PoolFree(pool, first));
    EXPECT_EQ(POOL_ERR_DAMAGED_NEXT, LastErrorCode());
    second[-3] = 0x00;
    EXPECT_EQ(1, PoolFree(pool, first));
}

TEST_F(PoolTest, DamagedSegmentStopsCompactionWithCodeFive)
{
    MemoryPool pool = Create(1024, 0);
    char* a = Alloc(pool, 100);
    char* b = Alloc(pool, 100);
    ASSERT_EQ(1, PoolFree(pool, a));
    b[-1] = 0x7F;  // the size of b now runs past the segment
    EXPECT_EQ(nullptr, Alloc(pool, 1000));
    EXPECT_EQ(POOL_ERR_DAMAGED_BLOCK, LastErrorCode());
}

TEST_F(PoolTest, PointerIntoTheMiddleOfABlockIsRefused)
{
    MemoryPool pool = Create(1000, POOL_ZERO_FILL);
    char* block = Alloc(pool, 100);
    Alloc(pool, 20);
    EXPECT_EQ(0, PoolFree(pool, block + 40));
    EXPECT_EQ(POOL_ERR_DAMAGED_BLOCK, LastErrorCode());
    EXPECT_EQ(1, PoolFree(pool, block));
}

// Random allocations and frees across several segments; every block carries a pattern that must
// survive until it is freed, so overlapping blocks or a broken free structure show up.
class PoolWorkloadTest : public PoolTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(PoolWorkloadTest, MixedWorkloadKeepsEveryBlockIntact)
{
    MemoryPool pool = Create(GetParam(), POOL_STANDARD);
    struct Live {
        unsigned char* data;
        size_t size;
        unsigned char tag;
    };
    std::vector<Live> live(300, Live{nullptr, 0, 0});
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int step = 0; step < 60000; ++step) {
        Live& slot = live[next() % live.size()];
        if (slot.data != nullptr) {
            for (size_t i = 0; i < slot.size; ++i) ASSERT_EQ(slot.tag, slot.data[i]) << "step " << step;
            ASSERT_EQ(1, PoolFree(pool, slot.data)) << "step " << step;
            slot.data = nullptr;
        } else {
            slot.size = 1 + next() % 300;
            slot.tag = static_cast<unsigned char>(step);
            slot.data = static_cast<unsigned char*>(PoolAlloc(pool, slot.size));
            ASSERT_NE(nullptr, slot.data) << "step " << step;
            ASSERT_GE(PoolBlockSize(slot.data), slot.size);
            for (size_t i = 0; i < slot.size; ++i) ASSERT_EQ(0, slot.data[i]);
            memset(slot.data, slot.tag, slot.size);
        }
    }
    int segments = PoolSegmentCount(pool);
    unsigned used = 0;
    for (int i = 0; i < segments; ++i) {
        PoolSegmentInfo info;
        ASSERT_EQ(1, PoolGetSegmentInfo(pool, i, &info));
        used += info.usedBlocks;
    }
    unsigned expected = 0;
    for (const Live& l : live) expected += l.data != nullptr;
    EXPECT_EQ(expected, used);
}

INSTANTIATE_TEST_SUITE_P(SegmentSizes, PoolWorkloadTest, ::testing::Values(size_t(2000), size_t(4096), size_t(65000)));

// The report is a modal box; a helper thread reads and closes it the way a user would.
struct ReportSeen {
    char caption[100];
    char text[300];
    bool found;
};

DWORD WINAPI CloseReportBox(void* parameter)
{
    ReportSeen* seen = static_cast<ReportSeen*>(parameter);
    for (int tries = 0; tries < 500 && !seen->found; ++tries) {
        HWND box = FindWindowA("#32770", nullptr);
        DWORD process = 0;
        if (box != nullptr && GetWindowThreadProcessId(box, &process) && process == GetCurrentProcessId()) {
            GetWindowTextA(box, seen->caption, sizeof seen->caption);
            GetDlgItemTextA(box, 0xFFFF, seen->text, sizeof seen->text);
            seen->found = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            break;
        }
        Sleep(20);
    }
    return 0;
}

TEST_F(PoolTest, ReportShowsCodePlusThreeThousand)
{
    MemoryPool pool = Create(1000, POOL_STANDARD);
    ReportSeen seen = {};
    HANDLE closer = CreateThread(nullptr, 0, CloseReportBox, &seen, 0, nullptr);
    ASSERT_NE(nullptr, closer);
    PoolSetReports(1);
    EXPECT_EQ(0, PoolFree(pool, nullptr));
    EXPECT_EQ(1, PoolSetReports(0));
    WaitForSingleObject(closer, 15000);
    CloseHandle(closer);
    ASSERT_TRUE(seen.found);
    EXPECT_STREQ("Uninstall", seen.caption);
    EXPECT_NE(nullptr, strstr(seen.text, "3014")) << seen.text;
    EXPECT_EQ(POOL_ERR_NULL_POINTER, LastErrorCode());
}

TEST_F(PoolTest, ReportsStayQuietWhileSwitchedOff)
{
    EXPECT_EQ(0, PoolSetReports(0));
    MemoryPool pool = Create(1000, POOL_STANDARD);
    EXPECT_EQ(0, PoolFree(pool, nullptr));  // would block here if a box were shown
    EXPECT_EQ(POOL_ERR_NULL_POINTER, LastErrorCode());
}

}  // namespace
