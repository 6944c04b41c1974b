#include <gtest/gtest.h>

#include "core/pool.h"

// Runs in a process of its own: nothing may have created a pool before.
TEST(PoolBeforeFirstCreate, EveryOperationFailsQuietly)
{
    PoolSetReports(0);
    char buffer[16];
    int operation = -1;
    int code = -1;
    EXPECT_EQ(0, PoolLastError(&operation, &code));
    EXPECT_EQ(nullptr, PoolAlloc(2, 10));
    EXPECT_EQ(0, PoolFree(2, buffer));
    EXPECT_EQ(0, PoolDestroy(2));
    EXPECT_EQ(0, PoolLastError(&operation, &code));
    EXPECT_EQ(-1, PoolSegmentCount(2));

    MemoryPool pool = PoolCreate(100, POOL_STANDARD);
    EXPECT_EQ(2, pool);
    EXPECT_EQ(1, PoolLastError(&operation, &code));
    EXPECT_EQ(POOL_OP_CREATE, operation);
    EXPECT_EQ(POOL_OK, code);
    EXPECT_EQ(1, PoolDestroy(pool));
}
