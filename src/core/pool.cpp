#include "core/pool.h"

#include <windows.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

// Layout of a segment: byte 0 is a reserved zero (so that offset 0 can mean "none"), then blocks
// without gaps up to the end. A block is a 3-byte header (state, 16-bit payload size) and its
// payload; a free block's payload carries three 32-bit offsets that link it into the segment's
// size list (heads of distinct sizes, ascending) or into the chain of equal-sized blocks hanging
// from a head. Payloads therefore carry no alignment beyond the byte.

namespace {

const int kTableSize = 40;
const MemoryPool kDescriptorPool = 0;     // holds the descriptors of every segment
const MemoryPool kBookkeepingPool = 1;    // reserved for the allocator itself
const MemoryPool kFirstUserPool = 2;
const MemoryPool kHighestHandle = 32000;  // larger handles are never pool table entries

const uint32_t kHeaderSize = 3;
const uint32_t kMinPayload = 12;   // room for the three links of a free block
const uint32_t kSplitSlack = 15;   // a smaller surplus stays with the block handed out
const uint32_t kSegmentUnit = 256;
const size_t kAllocatorPoolSize = 65000;
const int kPlatformRetries = 2;

const uint8_t kStateAllocated = 0x00;
const uint8_t kStateHead = 0x05;
const uint8_t kStateMember = 0x81;

// Pool 0 never adds segments: its one segment holds its own descriptor and everyone else's.
const unsigned long kNeverGrow = 0x8000;
const unsigned long kFlagsNotStored = 0x100 | kNeverGrow;
const unsigned long kDescriptorPoolFlags = kNeverGrow | POOL_TRY_ENLARGE;
const unsigned long kBookkeepingFlags = POOL_KEEP_LAST_SEGMENT | POOL_GROWABLE | POOL_TRY_ENLARGE;

// Links inside a free block's payload. A head uses all three; a chain member uses the second for
// the previous block of its chain (the head for the first member) and the third for the next one.
enum LinkSlot { LINK_LARGER = 0, LINK_SMALLER = 1, LINK_CHAIN = 2 };
const LinkSlot LINK_PREVIOUS = LINK_SMALLER;
const LinkSlot LINK_NEXT = LINK_CHAIN;

// With a few hundred distinct free sizes, a walk from the nearest of at most ten index entries
// passes a dozen heads per request, and every new or vanished head touches both neighbours. Segments
// of user pools therefore keep the heads of the small sizes in a table, with a bitmap of the sizes
// present, kept in the bookkeeping pool: it finds the same best-fit head directly. Segments too
// small to profit go without, as do the allocator's own.
const uint32_t kTableSizes = 512;  // payload sizes kMinPayload to kMinPayload + 511
const uint32_t kTableWords = kTableSizes / 64;
const uint32_t kSmallestTabledSegment = 2048;

// Descriptors and tables live in pools at byte-aligned addresses, hence packed.
#pragma pack(push, 1)
struct SizeTable {
    uint64_t present[kTableWords];
    uint16_t head[kTableSizes];  // offsets fit 16 bits: a segment is at most 65280 bytes
};

struct IndexEntry {
    uint32_t size;
    uint32_t offset;  // 0 marks an unused entry; unused entries follow the used ones
};

struct SegmentDescriptor {
    uint8_t sizeUnits;
    uint32_t usedBlocks;
    HGLOBAL memory;
    uint8_t* base;
    uint8_t compacted;     // set by compaction, cleared by every free in the segment
    uint32_t largestFree;  // valid while compacted is set
    SegmentDescriptor* next;
    SizeTable* sizes;  // null where the segment goes without
    uint32_t largestListSize;    // payload of the size list's last head, 0 when the list is empty
    uint32_t largestTabledSize;  // largest size with a head in the table, 0 when none
    uint8_t indexLength;
    uint8_t indexUsed;  // the used entries come first
    IndexEntry index[1];  // indexLength entries, allocated with the descriptor
};
#pragma pack(pop)

struct PoolEntry {
    bool inUse;  // a pool in use may have released its last segment
    uint16_t size;
    SegmentDescriptor* first;
    unsigned long flags;
    UINT platformFlags;
};

PoolEntry g_pools[kTableSize];
bool g_initialised = false;
int g_lastOperation = 0;
int g_lastError = POOL_OK;
bool g_reportsOn = true;

const char kReportCaption[] = "Uninstall";
const char kReportFormat[] = "Uninstall ran into an internal memory error (%d).";

// ---- Segment geometry ---------------------------------------------------------------------------

uint32_t SegmentBytes(const SegmentDescriptor* segment)
{
    return uint32_t(segment->sizeUnits) * kSegmentUnit;
}

uint32_t RoundedSegmentSize(size_t poolSize)
{
    return uint32_t((poolSize + kSegmentUnit - 1) / kSegmentUnit * kSegmentUnit);
}

// The largest payload a fresh segment of this pool can hand out.
uint32_t SegmentCapacity(size_t poolSize)
{
    return RoundedSegmentSize(poolSize) - 1 - kHeaderSize;
}

int IndexLengthFor(uint32_t segmentBytes)
{
    if (segmentBytes < 2048) return 6;
    if (segmentBytes < 8192) return 8;
    if (segmentBytes <= 32767) return 9;
    return 10;
}

size_t DescriptorBytes(int indexLength)
{
    return offsetof(SegmentDescriptor, index) + size_t(indexLength) * sizeof(IndexEntry);
}

// ---- Block headers and links --------------------------------------------------------------------

uint8_t StateAt(const SegmentDescriptor* s, uint32_t offset) { return s->base[offset]; }

uint32_t PayloadAt(const SegmentDescriptor* s, uint32_t offset)
{
    uint16_t size;
    memcpy(&size, s->base + offset + 1, sizeof size);
    return size;
}

void SetHeader(SegmentDescriptor* s, uint32_t offset, uint8_t state, uint32_t payload)
{
    uint16_t size = uint16_t(payload);
    s->base[offset] = state;
    memcpy(s->base + offset + 1, &size, sizeof size);
}

uint32_t LinkAt(const SegmentDescriptor* s, uint32_t offset, LinkSlot slot)
{
    uint32_t value;
    memcpy(&value, s->base + offset + kHeaderSize + 4 * slot, sizeof value);
    return value;
}

void SetLink(SegmentDescriptor* s, uint32_t offset, LinkSlot slot, uint32_t value)
{
    memcpy(s->base + offset + kHeaderSize + 4 * slot, &value, sizeof value);
}

bool IsFreeState(uint8_t state) { return state == kStateHead || state == kStateMember; }

// Only the three states the allocator writes are sound; anything else is damage.
bool IsSoundState(uint8_t state) { return state == kStateAllocated || IsFreeState(state); }

// A header is sound when its state is one of ours and its block lies inside the segment.
bool IsSoundHeader(const SegmentDescriptor* s, uint32_t offset)
{
    uint32_t end = SegmentBytes(s);
    if (offset + kHeaderSize > end || !IsSoundState(StateAt(s, offset))) return false;
    uint32_t payload = PayloadAt(s, offset);
    return payload >= kMinPayload && offset + kHeaderSize + payload <= end;
}

// ---- Table of small sizes -----------------------------------------------------------------------

bool IsTabled(const SizeTable* t, uint32_t size) { return t != nullptr && size - kMinPayload < kTableSizes; }

void TableSetHead(SizeTable* t, uint32_t size, uint32_t offset)
{
    uint32_t bit = size - kMinPayload;
    t->head[bit] = uint16_t(offset);
    if (offset != 0) t->present[bit / 64] |= uint64_t(1) << (bit % 64);
    else t->present[bit / 64] &= ~(uint64_t(1) << (bit % 64));
}

// The smallest tabled size of at least 'size' that has a head, or 0.
uint32_t TableSizeAtOrAbove(const SizeTable* t, uint32_t size)
{
    uint32_t bit = size - kMinPayload;
    uint32_t word = bit / 64;
    uint64_t bits = t->present[word] & (~uint64_t(0) << (bit % 64));
    while (bits == 0) {
        if (++word == kTableWords) return 0;
        bits = t->present[word];
    }
    return word * 64 + uint32_t(__builtin_ctzll(bits)) + kMinPayload;
}

uint32_t TableHead(const SizeTable* t, uint32_t size) { return t->head[size - kMinPayload]; }

// The largest size below 'size' that has a head, or 0.
uint32_t TableSizeBelow(const SizeTable* t, uint32_t size)
{
    if (size <= kMinPayload) return 0;
    uint32_t bit = size - 1 - kMinPayload;
    int word = int(bit / 64);
    uint64_t bits = t->present[word] & (~uint64_t(0) >> (63 - bit % 64));
    while (bits == 0) {
        if (--word < 0) return 0;
        bits = t->present[word];
    }
    return uint32_t(word) * 64 + 63 - uint32_t(__builtin_clzll(bits)) + kMinPayload;
}

// ---- Size index ---------------------------------------------------------------------------------
// Entries are sorted by size and heads have distinct sizes, so a binary search by size finds a
// head's entry if it has one.

void ClearIndex(SegmentDescriptor* s)
{
    memset(s->index, 0, sizeof(IndexEntry) * s->indexLength);
    s->indexUsed = 0;
    s->largestListSize = 0;
    s->largestTabledSize = 0;
    if (s->sizes != nullptr) memset(s->sizes, 0, sizeof(SizeTable));
}

// The position of the first used entry whose size is at least 'size' (indexUsed if none).
int IndexLowerBound(const SegmentDescriptor* s, uint32_t size)
{
    int low = 0;
    int high = s->indexUsed;
    while (low < high) {
        int middle = (low + high) / 2;
        if (s->index[middle].size < size) low = middle + 1;
        else high = middle;
    }
    return low;
}

void SetIndexEntry(SegmentDescriptor* s, int position, uint32_t size, uint32_t offset)
{
    s->index[position].size = size;
    s->index[position].offset = offset;
}

void IndexNewHead(SegmentDescriptor* s, uint32_t offset, uint32_t size, bool smallest)
{
    int used = s->indexUsed;
    if (used < s->indexLength) {
        int position = IndexLowerBound(s, size);
        memmove(&s->index[position + 1], &s->index[position], sizeof(IndexEntry) * (used - position));
        SetIndexEntry(s, position, size, offset);
        ++s->indexUsed;
    } else if (smallest) {
        SetIndexEntry(s, 0, size, offset);
    }
}

// Drops a head that leaves the size list from the index. When that empties the index while other
// heads remain, a neighbour takes entry 0, or the remaining heads could no longer be reached.
void IndexRemoveHead(SegmentDescriptor* s, uint32_t offset, uint32_t size, uint32_t neighbour)
{
    int used = s->indexUsed;
    int position = IndexLowerBound(s, size);
    if (position == used || s->index[position].offset != offset) return;
    memmove(&s->index[position], &s->index[position + 1], sizeof(IndexEntry) * (used - position - 1));
    SetIndexEntry(s, used - 1, 0, 0);
    --s->indexUsed;
    if (s->indexUsed == 0 && neighbour != 0) {
        SetIndexEntry(s, 0, PayloadAt(s, neighbour), neighbour);
        s->indexUsed = 1;
    }
}

// The head to start a size-list walk from: the smallest indexed size of at least 'size', else the
// largest indexed size below it; 0 when the segment has no free block.
uint32_t IndexStart(const SegmentDescriptor* s, uint32_t size)
{
    if (s->indexUsed == 0) return 0;
    int position = IndexLowerBound(s, size);
    if (position == s->indexUsed) --position;
    return s->index[position].offset;
}

// ---- Size list ----------------------------------------------------------------------------------
// In a segment with a table, the small sizes are reached through the table alone; the sorted list
// and the index then hold only the sizes beyond it. Either way the chosen block is the same: the
// newest block of the smallest free size that fits.

bool IsTabledSize(const SegmentDescriptor* s, uint32_t size) { return IsTabled(s->sizes, size); }

uint32_t BestFitInList(const SegmentDescriptor* s, uint32_t size)
{
    uint32_t head = IndexStart(s, size);
    if (head == 0) return 0;
    if (PayloadAt(s, head) >= size) {
        for (uint32_t smaller; (smaller = LinkAt(s, head, LINK_SMALLER)) != 0 && PayloadAt(s, smaller) >= size;)
            head = smaller;
        return head;
    }
    while (head != 0 && PayloadAt(s, head) < size) head = LinkAt(s, head, LINK_LARGER);
    return head;
}

// The head of the smallest free size of at least 'size', or 0.
uint32_t BestFitHead(const SegmentDescriptor* s, uint32_t size)
{
    if (IsTabledSize(s, size)) {
        uint32_t found = TableSizeAtOrAbove(s->sizes, size);
        if (found != 0) return TableHead(s->sizes, found);
    }
    return BestFitInList(s, size);
}

void JoinChain(SegmentDescriptor* s, uint32_t head, uint32_t block)
{
    uint32_t oldFirst = LinkAt(s, head, LINK_CHAIN);
    s->base[block] = kStateMember;
    SetLink(s, block, LINK_LARGER, 0);
    SetLink(s, block, LINK_PREVIOUS, head);
    SetLink(s, block, LINK_NEXT, oldFirst);
    if (oldFirst != 0) SetLink(s, oldFirst, LINK_PREVIOUS, block);
    SetLink(s, head, LINK_CHAIN, block);
}

void SetHeadLinks(SegmentDescriptor* s, uint32_t block, uint32_t smaller, uint32_t larger)
{
    s->base[block] = kStateHead;
    SetLink(s, block, LINK_LARGER, larger);
    SetLink(s, block, LINK_SMALLER, smaller);
    SetLink(s, block, LINK_CHAIN, 0);
}

void LinkNewHead(SegmentDescriptor* s, uint32_t block, uint32_t smaller, uint32_t larger)
{
    SetHeadLinks(s, block, smaller, larger);
    uint32_t payload = PayloadAt(s, block);
    if (smaller != 0) SetLink(s, smaller, LINK_LARGER, block);
    if (larger != 0) SetLink(s, larger, LINK_SMALLER, block);
    else s->largestListSize = payload;
    IndexNewHead(s, block, payload, smaller == 0);
}

// Files a block of a size beyond the table into the sorted list.
void InsertIntoList(SegmentDescriptor* s, uint32_t block, uint32_t payload)
{
    uint32_t head = IndexStart(s, payload);
    if (head == 0) {
        LinkNewHead(s, block, 0, 0);
        return;
    }
    uint32_t smaller, larger;
    if (PayloadAt(s, head) >= payload) {
        while ((smaller = LinkAt(s, head, LINK_SMALLER)) != 0 && PayloadAt(s, smaller) >= payload)
            head = smaller;
        larger = head;
    } else {
        while ((larger = LinkAt(s, head, LINK_LARGER)) != 0 && PayloadAt(s, larger) <= payload)
            head = larger;
        smaller = head;
    }
    if (PayloadAt(s, head) == payload) JoinChain(s, head, block);
    else LinkNewHead(s, block, smaller, larger);
}

// Files a free block under its size: into the chain of an existing head of that size, or as a new
// head. Nothing is merged here.
void InsertFree(SegmentDescriptor* s, uint32_t block, uint32_t payload)
{
    SetHeader(s, block, kStateHead, payload);
    if (!IsTabledSize(s, payload)) {
        InsertIntoList(s, block, payload);
        return;
    }
    uint32_t head = TableHead(s->sizes, payload);
    if (head != 0) {
        JoinChain(s, head, block);
    } else {
        SetHeadLinks(s, block, 0, 0);
        TableSetHead(s->sizes, payload, block);
        if (payload > s->largestTabledSize) s->largestTabledSize = payload;
    }
}

void UnlinkListHead(SegmentDescriptor* s, uint32_t head, uint32_t payload)
{
    uint32_t smaller = LinkAt(s, head, LINK_SMALLER);
    uint32_t larger = LinkAt(s, head, LINK_LARGER);
    if (smaller != 0) SetLink(s, smaller, LINK_LARGER, larger);
    if (larger != 0) SetLink(s, larger, LINK_SMALLER, smaller);
    else s->largestListSize = smaller != 0 ? PayloadAt(s, smaller) : 0;
    IndexRemoveHead(s, head, payload, smaller != 0 ? smaller : larger);
}

// Takes one block of the head's size out of the free structure: a chain member when there is one,
// so that the list and the index stay untouched, else the head itself.
uint32_t TakeBlock(SegmentDescriptor* s, uint32_t head)
{
    uint32_t member = LinkAt(s, head, LINK_CHAIN);
    if (member != 0) {
        uint32_t next = LinkAt(s, member, LINK_NEXT);
        SetLink(s, head, LINK_CHAIN, next);
        if (next != 0) SetLink(s, next, LINK_PREVIOUS, head);
        return member;
    }
    uint32_t payload = PayloadAt(s, head);
    if (IsTabledSize(s, payload)) {
        TableSetHead(s->sizes, payload, 0);
        if (payload == s->largestTabledSize) s->largestTabledSize = TableSizeBelow(s->sizes, payload);
    } else {
        UnlinkListHead(s, head, payload);
    }
    return head;
}

// Most segments a request passes cannot serve it; this tells without touching their blocks.
inline bool MayServe(const SegmentDescriptor* s, uint32_t size)
{
    if (s->compacted && s->largestFree < size) return false;
    return s->largestListSize >= size || s->largestTabledSize >= size;
}

void* AllocateInSegment(SegmentDescriptor* s, uint32_t size, bool zeroFill)
{
    uint32_t head = BestFitHead(s, size);
    if (head == 0) return nullptr;
    uint32_t block = TakeBlock(s, head);
    uint32_t payload = PayloadAt(s, block);
    if (payload - size >= kSplitSlack) {
        InsertFree(s, block + kHeaderSize + size, payload - size - kHeaderSize);
        payload = size;
    }
    SetHeader(s, block, kStateAllocated, payload);
    ++s->usedBlocks;
    uint8_t* data = s->base + block + kHeaderSize;
    if (zeroFill) memset(data, 0, payload);
    return data;
}

// ---- Compaction ---------------------------------------------------------------------------------

// Every block must be sound and the walk must end exactly at the segment's end; the segment is
// checked whole before anything is merged so that damage never leaves it half rebuilt.
bool SegmentIsSound(const SegmentDescriptor* s)
{
    uint32_t end = SegmentBytes(s);
    uint32_t offset = 1;
    while (offset < end) {
        if (!IsSoundHeader(s, offset)) return false;
        offset += kHeaderSize + PayloadAt(s, offset);
    }
    return offset == end;
}

void RebuildFreeStructure(SegmentDescriptor* s)
{
    ClearIndex(s);
    uint32_t end = SegmentBytes(s);
    for (uint32_t offset = 1; offset < end; offset += kHeaderSize + PayloadAt(s, offset))
        if (IsFreeState(StateAt(s, offset))) InsertFree(s, offset, PayloadAt(s, offset));
}

// Merges runs of neighbouring free blocks. Answers whether anything merged; *damaged is set when
// the segment's blocks do not add up.
bool CompactSegment(SegmentDescriptor* s, bool* damaged)
{
    if (!SegmentIsSound(s)) {
        *damaged = true;
        return false;
    }
    uint32_t end = SegmentBytes(s);
    uint32_t largest = 0;
    bool merged = false;
    for (uint32_t offset = 1; offset < end;) {
        uint32_t next = offset + kHeaderSize + PayloadAt(s, offset);
        if (IsFreeState(StateAt(s, offset))) {
            while (next < end && IsFreeState(StateAt(s, next))) {
                next += kHeaderSize + PayloadAt(s, next);
                merged = true;
            }
            uint32_t payload = next - offset - kHeaderSize;
            SetHeader(s, offset, StateAt(s, offset), payload);
            if (payload > largest) largest = payload;
        }
        offset = next;
    }
    if (merged) RebuildFreeStructure(s);
    s->largestFree = largest;
    s->compacted = 1;
    return merged;
}

// ---- Segments -----------------------------------------------------------------------------------

HGLOBAL TakeGlobalMemory(UINT platformFlags, uint32_t bytes)
{
    HGLOBAL memory = GlobalAlloc(platformFlags, bytes);
    for (int retry = 0; memory == nullptr && retry < kPlatformRetries; ++retry) {
        GlobalCompact(bytes);
        memory = GlobalAlloc(platformFlags, bytes);
    }
    return memory;
}

void ReleaseGlobalMemory(HGLOBAL memory)
{
    GlobalUnlock(memory);
    GlobalFree(memory);
}

void* AllocateInPool(MemoryPool pool, uint32_t size, int* code);
int FreeInPool(MemoryPool pool, void* pointer);

// Fills a descriptor for a freshly locked segment whose whole body is one free block.
void InitSegment(SegmentDescriptor* s, HGLOBAL memory, uint8_t* base, uint32_t bytes, int indexLength,
                 SizeTable* sizes)
{
    s->sizeUnits = uint8_t(bytes / kSegmentUnit);
    s->usedBlocks = 0;
    s->memory = memory;
    s->base = base;
    s->compacted = 0;
    s->largestFree = 0;
    s->next = nullptr;
    s->sizes = sizes;
    s->indexLength = uint8_t(indexLength);
    ClearIndex(s);
    base[0] = 0;
    InsertFree(s, 1, bytes - 1 - kHeaderSize);
}

// A segment that gets no table still works, only with longer walks.
SizeTable* TakeSizeTable(const PoolEntry* entry, uint32_t segmentBytes)
{
    bool userPool = entry != &g_pools[kDescriptorPool] && entry != &g_pools[kBookkeepingPool];
    if (!userPool || segmentBytes < kSmallestTabledSegment) return nullptr;
    int code = POOL_OK;
    return static_cast<SizeTable*>(AllocateInPool(kBookkeepingPool, sizeof(SizeTable), &code));
}

SegmentDescriptor* ObtainSegment(const PoolEntry* entry, size_t poolSize)
{
    uint32_t bytes = RoundedSegmentSize(poolSize);
    HGLOBAL memory = TakeGlobalMemory(entry->platformFlags, bytes);
    if (memory == nullptr) return nullptr;
    uint8_t* base = static_cast<uint8_t*>(GlobalLock(memory));
    int indexLength = IndexLengthFor(bytes);
    int code = POOL_OK;
    void* place = base != nullptr ? AllocateInPool(kDescriptorPool, uint32_t(DescriptorBytes(indexLength)), &code)
                                  : nullptr;
    if (place == nullptr) {
        ReleaseGlobalMemory(memory);
        return nullptr;
    }
    SegmentDescriptor* s = static_cast<SegmentDescriptor*>(place);
    InitSegment(s, memory, base, bytes, indexLength, TakeSizeTable(entry, bytes));
    return s;
}

void ReleaseSegment(SegmentDescriptor* s)
{
    ReleaseGlobalMemory(s->memory);
    if (s->sizes != nullptr) FreeInPool(kBookkeepingPool, s->sizes);
    FreeInPool(kDescriptorPool, s);
}

void ReleaseAllSegments(PoolEntry* entry)
{
    for (SegmentDescriptor* s = entry->first; s != nullptr;) {
        SegmentDescriptor* next = s->next;
        ReleaseSegment(s);
        s = next;
    }
    entry->first = nullptr;
}

SegmentDescriptor* SegmentHolding(const PoolEntry* entry, const void* pointer)
{
    const uint8_t* p = static_cast<const uint8_t*>(pointer);
    for (SegmentDescriptor* s = entry->first; s != nullptr; s = s->next)
        if (p >= s->base + 1 + kHeaderSize && p < s->base + SegmentBytes(s)) return s;
    return nullptr;
}

void UnlinkSegment(PoolEntry* entry, SegmentDescriptor* segment)
{
    SegmentDescriptor** link = &entry->first;
    while (*link != segment) link = &(*link)->next;
    *link = segment->next;
}

// ---- Allocation and freeing inside a pool -------------------------------------------------------

void* SearchPool(PoolEntry* entry, uint32_t size)
{
    bool zeroFill = (entry->flags & POOL_ZERO_FILL) != 0;
    for (SegmentDescriptor* s = entry->first; s != nullptr; s = s->next)
        if (MayServe(s, size))
            if (void* block = AllocateInSegment(s, size, zeroFill)) return block;
    return nullptr;
}

// Merges free neighbours in every segment freed into since its last compaction.
bool CompactPool(PoolEntry* entry, bool* damaged)
{
    bool merged = false;
    for (SegmentDescriptor* s = entry->first; s != nullptr && !*damaged; s = s->next)
        if (!s->compacted && CompactSegment(s, damaged)) merged = true;
    return merged;
}

// When no segment can serve a request: merge free neighbours, then add a segment if the pool may
// grow (or has none left).
void* AllocateInPool(MemoryPool pool, uint32_t size, int* code)
{
    PoolEntry* entry = &g_pools[pool];
    if (void* block = SearchPool(entry, size)) return block;
    if (entry->first != nullptr) {
        bool damaged = false;
        bool merged = CompactPool(entry, &damaged);
        if (damaged) {
            *code = POOL_ERR_DAMAGED_BLOCK;
            return nullptr;
        }
        if (merged)
            if (void* block = SearchPool(entry, size)) return block;
    }
    bool mayGrow = (entry->flags & POOL_GROWABLE) != 0 && (entry->flags & kNeverGrow) == 0;
    if (mayGrow || entry->first == nullptr) {
        SegmentDescriptor* added = ObtainSegment(entry, entry->size);
        if (added == nullptr) {
            *code = POOL_ERR_NO_SEGMENT;
            return nullptr;
        }
        added->next = entry->first;
        entry->first = added;
        if (void* block = AllocateInSegment(added, size, (entry->flags & POOL_ZERO_FILL) != 0)) return block;
    }
    // A pool that may neither grow nor enlarge also answers "no room": a failure must never read as
    // success in the last-error value.
    *code = POOL_ERR_NO_ROOM;
    return nullptr;
}

// Checks the block and files it as free; the segment goes back to the platform once it is empty,
// unless it is the last one of a pool that keeps it.
int FreeInPool(MemoryPool pool, void* pointer)
{
    PoolEntry* entry = &g_pools[pool];
    if (pointer == nullptr) return POOL_ERR_NULL_POINTER;
    SegmentDescriptor* s = SegmentHolding(entry, pointer);
    if (s == nullptr) return POOL_ERR_BAD_HANDLE;
    uint32_t block = uint32_t(static_cast<uint8_t*>(pointer) - s->base) - kHeaderSize;
    uint8_t state = StateAt(s, block);
    if (IsFreeState(state)) return POOL_ERR_ALREADY_FREE;
    if (!IsSoundHeader(s, block) || s->usedBlocks == 0) return POOL_ERR_DAMAGED_BLOCK;
    uint32_t payload = PayloadAt(s, block);
    uint32_t next = block + kHeaderSize + payload;
    if (next < SegmentBytes(s) && !IsSoundState(StateAt(s, next))) return POOL_ERR_DAMAGED_NEXT;

    InsertFree(s, block, payload);
    --s->usedBlocks;
    s->compacted = 0;
    if (s->usedBlocks == 0) {
        bool onlySegment = entry->first == s && s->next == nullptr;
        if (!(onlySegment && (entry->flags & POOL_KEEP_LAST_SEGMENT))) {
            UnlinkSegment(entry, s);
            ReleaseSegment(s);
        }
    }
    return POOL_OK;
}

// ---- First initialisation -----------------------------------------------------------------------

void ClearTable()
{
    for (PoolEntry& entry : g_pools) entry = PoolEntry();
}

// Pool 0 holds its own descriptor: the segment is set up with a descriptor on the stack, which is
// then copied into the block cut from the segment for it.
bool CreateDescriptorPool()
{
    PoolEntry* entry = &g_pools[kDescriptorPool];
    entry->platformFlags = GMEM_MOVEABLE | GMEM_DDESHARE;
    entry->flags = kDescriptorPoolFlags;
    entry->size = uint16_t(kAllocatorPoolSize);
    uint32_t bytes = RoundedSegmentSize(kAllocatorPoolSize);
    HGLOBAL memory = TakeGlobalMemory(entry->platformFlags, bytes);
    if (memory == nullptr) return false;
    uint8_t* base = static_cast<uint8_t*>(GlobalLock(memory));
    if (base == nullptr) {
        GlobalFree(memory);
        return false;
    }
    const int indexLength = 6;
    union {
        SegmentDescriptor descriptor;
        uint8_t bytes[offsetof(SegmentDescriptor, index) + indexLength * sizeof(IndexEntry)];
    } scratch;
    InitSegment(&scratch.descriptor, memory, base, bytes, indexLength, nullptr);
    void* place = AllocateInSegment(&scratch.descriptor, uint32_t(DescriptorBytes(indexLength)), false);
    memcpy(place, scratch.bytes, DescriptorBytes(indexLength));
    entry->first = static_cast<SegmentDescriptor*>(place);
    entry->inUse = true;
    return true;
}

bool CreateBookkeepingPool()
{
    PoolEntry* entry = &g_pools[kBookkeepingPool];
    entry->platformFlags = GMEM_MOVEABLE;
    entry->flags = kBookkeepingFlags;
    entry->size = uint16_t(kAllocatorPoolSize);
    entry->first = ObtainSegment(entry, kAllocatorPoolSize);
    entry->inUse = entry->first != nullptr;
    return entry->inUse;
}

bool InitialiseAllocator()
{
    g_lastOperation = POOL_OP_INIT;
    g_lastError = POOL_OK;  // failures before this were never readable through PoolLastError
    ClearTable();
    if (CreateDescriptorPool() && CreateBookkeepingPool()) {
        g_initialised = true;
        return true;
    }
    if (g_pools[kDescriptorPool].first != nullptr) ReleaseGlobalMemory(g_pools[kDescriptorPool].first->memory);
    ClearTable();
    return false;
}

// ---- Reports ------------------------------------------------------------------------------------

void ShowReport(int code)
{
    char text[200];
    snprintf(text, sizeof text, kReportFormat, code + 3000);
    MessageBoxA(nullptr, text, kReportCaption, MB_OK | MB_ICONERROR);
}

void Report(int code)
{
    g_lastError = code;
    if (g_reportsOn) ShowReport(code);
}

// Handles of user pools only; the allocator's own pools 0 and 1 are not for callers.
bool IsUserHandle(MemoryPool pool)
{
    return pool >= kFirstUserPool && pool < kTableSize;
}

// Common handle checks of allocation and destruction: 0 when the pool may be used.
int CheckPoolInUse(MemoryPool pool)
{
    if (!IsUserHandle(pool)) return POOL_ERR_BAD_HANDLE;
    if (!g_pools[pool].inUse) return POOL_ERR_NOT_IN_USE;
    return POOL_OK;
}

}  // namespace

// ---- Interface ----------------------------------------------------------------------------------

MemoryPool PoolCreate(size_t initialSize, unsigned long flags)
{
    g_lastOperation = POOL_OP_CREATE;
    if (!g_initialised) {
        if (!InitialiseAllocator()) {
            Report(POOL_ERR_INIT_FAILED);
            return POOL_NONE;
        }
        g_lastOperation = POOL_OP_CREATE;
    }
    // Sizes above the largest segment would wrap the 16-bit size and the one-byte unit count.
    if (initialSize == 0 || initialSize > POOL_MAX_SIZE) {
        Report(POOL_ERR_BAD_SIZE);
        return POOL_NONE;
    }
    MemoryPool pool = kFirstUserPool;
    while (pool < kTableSize && g_pools[pool].inUse) ++pool;
    if (pool == kTableSize) {
        Report(POOL_ERR_TABLE_FULL);
        return POOL_NONE;
    }
    PoolEntry* entry = &g_pools[pool];
    entry->flags = flags & ~kFlagsNotStored;
    entry->platformFlags = GMEM_MOVEABLE | ((flags & POOL_DDE_SHARE) ? GMEM_DDESHARE : 0);
    entry->size = uint16_t(initialSize);
    entry->first = ObtainSegment(entry, initialSize);
    if (entry->first == nullptr) {
        *entry = PoolEntry();
        Report(POOL_ERR_NO_SEGMENT);
        return POOL_NONE;
    }
    entry->inUse = true;
    return pool;
}

void* PoolAlloc(MemoryPool pool, size_t size)
{
    g_lastOperation = POOL_OP_ALLOC;
    int code = pool > kHighestHandle ? POOL_ERR_BAD_HANDLE
               : !g_initialised      ? POOL_ERR_NOT_IN_USE
                                     : CheckPoolInUse(pool);
    if (code == POOL_OK && (size == 0 || size > g_pools[pool].size)) code = POOL_ERR_BAD_SIZE;
    // A request no segment of this pool could ever hold is refused before a segment is added in vain.
    if (code == POOL_OK && size > SegmentCapacity(g_pools[pool].size)) code = POOL_ERR_NO_ROOM;
    void* block = nullptr;
    if (code == POOL_OK) {
        uint32_t wanted = size < kMinPayload ? kMinPayload : uint32_t(size);
        block = AllocateInPool(pool, wanted, &code);
    }
    if (block == nullptr) Report(code);
    return block;
}

int PoolFree(MemoryPool pool, void* block)
{
    g_lastOperation = POOL_OP_FREE;
    g_lastError = POOL_OK;
    int code = !IsUserHandle(pool) ? POOL_ERR_BAD_HANDLE
               : !g_initialised    ? POOL_ERR_NEVER_CREATED
                                   : FreeInPool(pool, block);
    if (code != POOL_OK) {
        Report(code);
        return 0;
    }
    return 1;
}

int PoolDestroy(MemoryPool pool)
{
    g_lastOperation = POOL_OP_DESTROY;
    if (pool > kHighestHandle) {
        Report(POOL_ERR_BAD_HANDLE);
        return 0;
    }
    if (!g_initialised) return 0;
    int code = CheckPoolInUse(pool);
    if (code != POOL_OK) {
        Report(code);
        return 0;
    }
    ReleaseAllSegments(&g_pools[pool]);
    g_pools[pool] = PoolEntry();
    return 1;
}

int PoolSetReports(int on)
{
    int previous = g_reportsOn ? 1 : 0;
    g_reportsOn = on != 0;
    return previous;
}

int PoolLastError(int* operation, int* code)
{
    if (!g_initialised) return 0;
    if (operation != nullptr) *operation = g_lastOperation;
    if (code != nullptr) *code = g_lastError;
    return 1;
}

int PoolSegmentCount(MemoryPool pool)
{
    if (!g_initialised || pool < 0 || pool >= kTableSize || !g_pools[pool].inUse) return -1;
    int count = 0;
    for (SegmentDescriptor* s = g_pools[pool].first; s != nullptr; s = s->next) ++count;
    return count;
}

int PoolGetSegmentInfo(MemoryPool pool, int which, PoolSegmentInfo* info)
{
    if (info == nullptr || which < 0 || PoolSegmentCount(pool) <= which) return 0;
    SegmentDescriptor* s = g_pools[pool].first;
    while (which-- > 0) s = s->next;
    *info = PoolSegmentInfo();
    info->size = SegmentBytes(s);
    info->indexLength = s->indexLength;
    info->indexUsed = s->indexUsed;
    info->usedBlocks = s->usedBlocks;
    uint32_t end = SegmentBytes(s);
    for (uint32_t offset = 1; offset < end && IsSoundHeader(s, offset); offset += kHeaderSize + PayloadAt(s, offset)) {
        if (!IsFreeState(StateAt(s, offset))) continue;
        ++info->freeBlocks;
        if (PayloadAt(s, offset) > info->largestFree) info->largestFree = PayloadAt(s, offset);
    }
    return 1;
}

size_t PoolBlockSize(const void* block)
{
    if (block == nullptr) return 0;
    uint16_t size;
    memcpy(&size, static_cast<const uint8_t*>(block) - 2, sizeof size);
    return size;
}
