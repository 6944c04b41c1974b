#include "log/log_format.h"

const int LOG_HEADER_STRING_ORDER[LOG_HEADER_STRING_COUNT] = {
    LOG_FIELD_APPLICATION, LOG_FIELD_VERSION_KEY, LOG_FIELD_3,         LOG_FIELD_4,
    LOG_FIELD_COMPANY,     LOG_FIELD_APP_PATHS,   LOG_FIELD_UNINSTALL_KEY,
};

const char* const LOG_UNINSTALL_KINDS[LOG_UNINSTALL_KIND_COUNT] = {
    "CF", "CSF", "API", "RPI", "CPG", "CDR", "CRK", "SRK", "URK", "MRK",
};

// Part of the scrambling routine itself; every key is combined with it.
static const uint32_t SCRAMBLE_CONSTANT = 0x3E07B95A;

int LogHeaderStringSlot(int fieldId)
{
    for (int slot = 0; slot < LOG_HEADER_STRING_COUNT; ++slot)
        if (LOG_HEADER_STRING_ORDER[slot] == fieldId)
            return slot;
    return -1;
}

uint32_t ScrambleWordDelta(uint32_t key, size_t wordIndex)
{
    return key + (uint32_t)((7 * (wordIndex + 1)) % 191) + SCRAMBLE_CONSTANT;
}

// direction is +1 to scramble and -1 to unscramble; unsigned arithmetic wraps as the format wants.
static void ScrambleInPlace(unsigned char* bytes, size_t length, uint32_t key, int direction)
{
    if (length > SCRAMBLE_MAX_LENGTH)
        length = SCRAMBLE_MAX_LENGTH;
    size_t words = length / 4;
    for (size_t i = 0; i < words; ++i) {
        unsigned char* p = bytes + 4 * i;
        uint32_t delta = ScrambleWordDelta(key, i);
        LogStoreU32(p, direction > 0 ? LogLoadU32(p) + delta : LogLoadU32(p) - delta);
    }
    // The tail runs backwards from the last byte, pairing it with the key's lowest byte.
    size_t tail = length % 4;
    for (size_t j = 0; j < tail; ++j) {
        unsigned char keyByte = (unsigned char)(key >> (8 * j));
        unsigned char* p = bytes + length - 1 - j;
        *p = (unsigned char)(direction > 0 ? *p + keyByte : *p - keyByte);
    }
}

void ScrambleBlock(void* buffer, size_t length, uint32_t key)
{
    if (buffer)
        ScrambleInPlace((unsigned char*)buffer, length, key, +1);
}

void UnscrambleBlock(void* buffer, size_t length, uint32_t key)
{
    if (buffer)
        ScrambleInPlace((unsigned char*)buffer, length, key, -1);
}

uint32_t LogChecksumAdd(uint32_t sum, const void* bytes, size_t count)
{
    const signed char* p = (const signed char*)bytes;
    for (size_t i = 0; i < count; ++i)
        sum += (uint32_t)(int32_t)p[i];
    return sum;
}
