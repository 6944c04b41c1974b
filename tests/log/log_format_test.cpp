#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "log/log_format.h"

namespace {

const uint32_t A = 0x3E07B95A;

TEST(ScrambleWordDelta, FollowsTheSevenStepsModulo191)
{
    struct Case {
        size_t word;
        uint32_t step;
    } cases[] = {{0, 7}, {1, 14}, {26, 189}, {27, 5}, {190, 0}, {191, 7}};
    for (const Case& c : cases)
        EXPECT_EQ(ScrambleWordDelta(LOG_SCRAMBLE_KEY, c.word), LOG_SCRAMBLE_KEY + c.step + A) << "word " << c.word;
}

TEST(ScrambleBlock, AddsTheDeltaToEachWordModulo2To32)
{
    unsigned char block[8];
    LogStoreU32(block, 0xFFFFFFFF);
    LogStoreU32(block + 4, 0);
    ScrambleBlock(block, sizeof block, 0x11223344);
    EXPECT_EQ(LogLoadU32(block), 0xFFFFFFFFu + 0x11223344u + 7 + A);
    EXPECT_EQ(LogLoadU32(block + 4), 0x11223344u + 14 + A);
}

TEST(UnscrambleBlock, SevenBytesAreOneWordAndAThreeByteTailTakenFromTheEnd)
{
    const uint32_t key = 0xA1B2C3D4;
    unsigned char block[7] = {0, 0, 0, 0, 0x10, 0x20, 0x30};
    UnscrambleBlock(block, sizeof block, key);
    EXPECT_EQ(LogLoadU32(block), 0u - (key + 7 + A));
    EXPECT_EQ(block[6], (unsigned char)(0x30 - 0xD4));  // last byte with the key's lowest byte
    EXPECT_EQ(block[5], (unsigned char)(0x20 - 0xC3));
    EXPECT_EQ(block[4], (unsigned char)(0x10 - 0xB2));
}

TEST(ScrambleBlock, LengthsDecideBetweenWordsAndTail)
{
    const uint32_t key = 0x01020304;
    unsigned char three[3] = {0, 0, 0};
    ScrambleBlock(three, 3, key);
    EXPECT_EQ(three[2], 0x04);
    EXPECT_EQ(three[1], 0x03);
    EXPECT_EQ(three[0], 0x02);

    unsigned char eight[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0x55};
    ScrambleBlock(eight, 8, key);
    EXPECT_EQ(LogLoadU32(eight + 4), key + 14 + A);
    EXPECT_EQ(eight[8], 0x55) << "a multiple of four has no tail and stops at its length";

    unsigned char none[1] = {0x77};
    ScrambleBlock(none, 0, key);
    EXPECT_EQ(none[0], 0x77);
}

TEST(ScrambleBlock, ProcessesAtMost65000Bytes)
{
    std::vector<unsigned char> block(65010, 0);
    ScrambleBlock(block.data(), block.size(), LOG_SCRAMBLE_KEY);
    // 65000 is a multiple of four: the last processed word ends at 64999, and nothing follows.
    EXPECT_EQ(LogLoadU32(block.data() + 64996), ScrambleWordDelta(LOG_SCRAMBLE_KEY, 16249));
    for (size_t i = 65000; i < block.size(); ++i)
        EXPECT_EQ(block[i], 0) << i;
}

TEST(ScrambleBlock, UnscrambleIsTheExactInverseForEveryLength)
{
    uint32_t seed = 12345;
    for (size_t length = 0; length < 300; ++length) {
        std::vector<unsigned char> original(length);
        for (unsigned char& byte : original) {
            seed = seed * 1103515245 + 12345;
            byte = (unsigned char)(seed >> 16);
        }
        std::vector<unsigned char> block = original;
        ScrambleBlock(block.data(), length, seed);
        if (length >= 4) {
            EXPECT_NE(block, original);
        }
        UnscrambleBlock(block.data(), length, seed);
        EXPECT_EQ(block, original) << "length " << length;
    }
}

TEST(LogChecksum, SumsBytesAsSignedValues)
{
    const unsigned char bytes[] = {0x05, 0xFF, 0x80};
    EXPECT_EQ(LogChecksumAdd(0, bytes, sizeof bytes), (uint32_t)-124);
    EXPECT_EQ(LogChecksumAdd(124, bytes, sizeof bytes), 0u);
    const unsigned char high[] = {0x7F, 0x7F};
    EXPECT_EQ(LogChecksumAdd(0, high, sizeof high), 254u);
}

TEST(LogHeaderStrings, CompanyComesBeforeAppPaths)
{
    EXPECT_EQ(LogHeaderStringSlot(LOG_FIELD_COMPANY), 4);
    EXPECT_EQ(LogHeaderStringSlot(LOG_FIELD_APP_PATHS), 5);
    EXPECT_EQ(LogHeaderStringSlot(LOG_FIELD_UNINSTALL_KEY), 6);
    EXPECT_EQ(LogHeaderStringSlot(LOG_FIELD_APPLICATION), 0);
    for (int id : {0, 5, 6, 7, 10, 12})
        EXPECT_EQ(LogHeaderStringSlot(id), -1) << id;
}

}  // namespace
