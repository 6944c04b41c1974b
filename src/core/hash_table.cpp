#include "core/hash_table.h"

#include <stddef.h>
#include <string.h>

struct HashEntry {
    HashEntry* next;
    char* key;
    uintptr_t value;
};

namespace {

const int kMaxBuckets = 0xFFFF;

HashEntry* FindEntry(const HashTable* table, const char* key)
{
    for (HashEntry* entry = table->buckets[HashBucketOf(key, table->bucketCount)]; entry != nullptr;
         entry = entry->next)
        if (strcmp(entry->key, key) == 0) return entry;
    return nullptr;
}

char* CopyKey(MemoryPool pool, const char* key)
{
    size_t room = strlen(key) + 1;
    char* copy = static_cast<char*>(PoolAlloc(pool, room));
    if (copy != nullptr) memcpy(copy, key, room);
    return copy;
}

}  // namespace

// Bytes count as signed: a byte of 0xE9 adds -23, and the sum wraps at 16 bits.
unsigned HashBucketOf(const char* key, unsigned bucketCount)
{
    if (key == nullptr || bucketCount == 0) return 0;
    uint16_t sum = 0;
    for (const signed char* p = reinterpret_cast<const signed char*>(key); *p != 0; ++p)
        sum = uint16_t(sum + *p);
    return uint16_t(sum % uint16_t(bucketCount));
}

HashTable* HashCreate(int bucketCount, MemoryPool pool)
{
    if (pool == POOL_NONE || bucketCount < 1 || bucketCount > kMaxBuckets) return nullptr;
    size_t bytes = offsetof(HashTable, buckets) + sizeof(HashEntry*) * size_t(bucketCount);
    HashTable* table = static_cast<HashTable*>(PoolAlloc(pool, bytes));
    if (table == nullptr) return nullptr;
    table->pool = pool;
    table->count = 0;
    table->bucketCount = uint16_t(bucketCount);
    memset(table->buckets, 0, sizeof(HashEntry*) * size_t(bucketCount));
    return table;
}

// Keys are compared byte for byte both here and in HashFind, so that a key refused as present is
// always one HashFind finds.
int HashInsert(HashTable* table, const char* key, uintptr_t value, int replace)
{
    if (table == nullptr) return HASH_NO_TABLE;
    if (key == nullptr) return HASH_BAD_KEY;
    if (HashEntry* existing = FindEntry(table, key)) {
        if (!replace) return HASH_KEY_EXISTS;
        existing->value = value;
        return HASH_OK;
    }
    HashEntry* entry = static_cast<HashEntry*>(PoolAlloc(table->pool, sizeof(HashEntry)));
    if (entry == nullptr) return HASH_NO_MEMORY;
    entry->key = CopyKey(table->pool, key);
    if (entry->key == nullptr) {
        PoolFree(table->pool, entry);
        return HASH_NO_MEMORY;
    }
    entry->value = value;
    HashEntry** bucket = &table->buckets[HashBucketOf(key, table->bucketCount)];
    entry->next = *bucket;
    *bucket = entry;
    ++table->count;
    return HASH_OK;
}

int HashFind(const HashTable* table, const char* key, uintptr_t* value)
{
    if (table == nullptr || key == nullptr) return 0;
    const HashEntry* entry = FindEntry(table, key);
    if (entry == nullptr) return 0;
    if (value != nullptr) *value = entry->value;
    return 1;
}
