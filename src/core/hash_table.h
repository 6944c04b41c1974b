// Hash table: text keys mapped to one pointer-sized value each, with a fixed number of buckets and
// chained collisions. It lives entirely in its owner's pool and goes away with it.
#pragma once

#include <stdint.h>

#include "core/pool.h"

struct HashEntry;

struct HashTable {
    MemoryPool pool;
    unsigned count;
    unsigned short bucketCount;
    HashEntry* buckets[1];  // bucketCount heads, allocated with the table
};

// Results of HashInsert.
const int HASH_OK = 0;
const int HASH_NO_MEMORY = -1;
const int HASH_KEY_EXISTS = -2;
const int HASH_NO_TABLE = -3;
const int HASH_BAD_KEY = -4;  // a null key

// A table of bucketCount (1 to 65535) buckets in the pool, or null. It goes away with the pool.
HashTable* HashCreate(int bucketCount, MemoryPool pool);

// Adds key with value; an existing key (the same bytes, case counts) is refused with
// HASH_KEY_EXISTS unless replace is non-zero, which replaces its value.
int HashInsert(HashTable* table, const char* key, uintptr_t value, int replace);

// 1 and the key's value, or 0 when the key is absent.
int HashFind(const HashTable* table, const char* key, uintptr_t* value);

// The bucket a key falls into among bucketCount buckets.
unsigned HashBucketOf(const char* key, unsigned bucketCount);
