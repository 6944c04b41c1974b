#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>

#include "core/hash_table.h"

namespace {

const uintptr_t kAbsent = uintptr_t(0xDEAD);

// The value stored under key, or kAbsent when HashFind does not find it.
uintptr_t Found(const HashTable* table, const char* key)
{
    uintptr_t value = kAbsent;
    return HashFind(table, key, &value) == 1 ? value : kAbsent;
}

class HashTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PoolSetReports(0);
        pool_ = PoolCreate(4000, POOL_STANDARD);
        ASSERT_NE(POOL_NONE, pool_);
        table_ = HashCreate(73, pool_);
        ASSERT_NE(nullptr, table_);
    }

    void TearDown() override
    {
        PoolDestroy(pool_);
        PoolSetReports(1);
    }

    MemoryPool pool_ = POOL_NONE;
    HashTable* table_ = nullptr;
};

struct BucketCase {
    const char* key;
    unsigned bucket;
};

const BucketCase kKindBuckets[] = {
    {"CF", 64},  {"CSF", 1},  {"API", 72}, {"RPI", 16}, {"CPG", 72}, {"CDR", 71},
    {"CRK", 5},  {"SRK", 21}, {"URK", 23}, {"MRK", 15}, {"\xE9", 32}, {"", 0},
};

TEST_F(HashTableTest, KeysFallIntoTheirBuckets)
{
    for (const BucketCase& c : kKindBuckets) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(c.bucket, HashBucketOf(c.key, 73));
    }
}

TEST_F(HashTableTest, SignedBytesWrapAtSixteenBits)
{
    // 0xE9 counts as -23, so the sum is 65536 - 23.
    EXPECT_EQ(65513u % 1000u, HashBucketOf("\xE9", 1000));
    EXPECT_EQ(0u, HashBucketOf("\xE9", 65513));
}

TEST_F(HashTableTest, EveryKindIsFoundWithItsValue)
{
    for (size_t i = 0; i < sizeof kKindBuckets / sizeof kKindBuckets[0]; ++i)
        ASSERT_EQ(HASH_OK, HashInsert(table_, kKindBuckets[i].key, 100 + i, 0));
    EXPECT_EQ(sizeof kKindBuckets / sizeof kKindBuckets[0], table_->count);
    for (size_t i = 0; i < sizeof kKindBuckets / sizeof kKindBuckets[0]; ++i) {
        SCOPED_TRACE(kKindBuckets[i].key);
        EXPECT_EQ(100 + i, Found(table_, kKindBuckets[i].key));
    }
}

TEST_F(HashTableTest, KeysSharingABucketAreBothFound)
{
    ASSERT_EQ(HASH_OK, HashInsert(table_, "API", 1, 0));
    ASSERT_EQ(HASH_OK, HashInsert(table_, "CPG", 2, 0));
    EXPECT_EQ(1u, Found(table_, "API"));
    EXPECT_EQ(2u, Found(table_, "CPG"));
}

TEST_F(HashTableTest, PresentKeyIsRefusedUnlessReplacing)
{
    ASSERT_EQ(HASH_OK, HashInsert(table_, "CF", 1, 0));
    EXPECT_EQ(HASH_KEY_EXISTS, HashInsert(table_, "CF", 2, 0));
    EXPECT_EQ(1u, Found(table_, "CF"));
    EXPECT_EQ(HASH_OK, HashInsert(table_, "CF", 3, 1));
    EXPECT_EQ(3u, Found(table_, "CF"));
    EXPECT_EQ(1u, table_->count);
}

TEST_F(HashTableTest, CaseCounts)
{
    ASSERT_EQ(HASH_OK, HashInsert(table_, "CF", 1, 0));
    uintptr_t value = 77;
    EXPECT_EQ(0, HashFind(table_, "cf", &value));
    EXPECT_EQ(77u, value);
    EXPECT_EQ(0, HashFind(table_, "CFX", &value));
    EXPECT_EQ(0, HashFind(table_, "C", &value));
}

TEST_F(HashTableTest, ValuesArePointerSized)
{
    const uintptr_t big = uintptr_t(~uintptr_t(0) - 5);
    ASSERT_EQ(HASH_OK, HashInsert(table_, "big", big, 0));
    EXPECT_EQ(big, Found(table_, "big"));
}

TEST_F(HashTableTest, KeyIsCopied)
{
    char key[] = "CRK";
    ASSERT_EQ(HASH_OK, HashInsert(table_, key, 5, 0));
    key[0] = 'S';
    EXPECT_EQ(1, HashFind(table_, "CRK", nullptr));
    EXPECT_EQ(0, HashFind(table_, "SRK", nullptr));
}

// Texts the locale's collation calls equal (a soft hyphen weighs nothing) are different keys; 73
// soft hyphens keep the sum's bucket, so both keys meet in one chain.
TEST_F(HashTableTest, KeysDifferingOnlyInIgnorableCharactersAreDistinct)
{
    std::string plain = std::string(50, 'z') + "ab";
    std::string hyphenated = std::string(50, 'z') + "a" + std::string(73, '\xAD') + "b";
    ASSERT_EQ(HashBucketOf(plain.c_str(), 73), HashBucketOf(hyphenated.c_str(), 73));
    MemoryPool big = PoolCreate(8000, POOL_STANDARD);
    HashTable* table = HashCreate(73, big);
    ASSERT_EQ(HASH_OK, HashInsert(table, plain.c_str(), 1, 0));
    EXPECT_EQ(HASH_OK, HashInsert(table, hyphenated.c_str(), 2, 0));
    EXPECT_EQ(2u, Found(table, hyphenated.c_str()));
    EXPECT_EQ(1u, Found(table, plain.c_str()));
    PoolDestroy(big);
}

TEST_F(HashTableTest, NullTableAndKeyAreRefused)
{
    uintptr_t value = 0;
    EXPECT_EQ(HASH_NO_TABLE, HashInsert(nullptr, "CF", 1, 0));
    EXPECT_EQ(0, HashFind(nullptr, "CF", &value));
    EXPECT_EQ(HASH_BAD_KEY, HashInsert(table_, nullptr, 1, 0));
    EXPECT_EQ(0, HashFind(table_, nullptr, &value));
    EXPECT_EQ(0u, table_->count);
}

TEST_F(HashTableTest, CreationNeedsAPoolAndBuckets)
{
    EXPECT_EQ(nullptr, HashCreate(73, POOL_NONE));
    EXPECT_EQ(nullptr, HashCreate(0, pool_));
    EXPECT_EQ(nullptr, HashCreate(-5, pool_));
    EXPECT_EQ(nullptr, HashCreate(70000, pool_));
    HashTable* single = HashCreate(1, pool_);
    ASSERT_NE(nullptr, single);
    EXPECT_EQ(1u, single->bucketCount);
    EXPECT_EQ(HASH_OK, HashInsert(single, "any", 9, 0));
    EXPECT_EQ(1, HashFind(single, "any", nullptr));
}

TEST(HashTableMemory, FailedInsertTakesNothing)
{
    PoolSetReports(0);
    MemoryPool pool = PoolCreate(40, 0);
    HashTable* table = HashCreate(1, pool);
    ASSERT_NE(nullptr, table);
    std::string longKey(60, 'k');  // its copy is larger than the pool's largest block
    EXPECT_EQ(HASH_NO_MEMORY, HashInsert(table, longKey.c_str(), 1, 0));
    EXPECT_EQ(0u, table->count);
    EXPECT_EQ(0, HashFind(table, longKey.c_str(), nullptr));
    PoolSegmentInfo info;
    ASSERT_EQ(1, PoolGetSegmentInfo(pool, 0, &info));
    EXPECT_EQ(1u, info.usedBlocks);  // only the table itself
    PoolDestroy(pool);
    PoolSetReports(1);
}

}  // namespace
