#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "log/buffered_file.h"
#include "log_test_support.h"

using logtest::Bytes;
using logtest::ReadBytes;
using logtest::TempPath;
using logtest::WriteBytes;

namespace {

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = (unsigned char)(i * 7 + i / 256);
    return bytes;
}

// Where the platform's own file pointer stands.
DWORD PlatformPosition(HANDLE file)
{
    return SetFilePointer(file, 0, NULL, FILE_CURRENT);
}

DWORD SizeOnDisk(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0xFFFFFFFF;
}

// True when nobody holds the file open: an exclusive open succeeds.
bool NobodyHolds(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

class BufferedFileTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& path : created)
            DeleteFileA(path.c_str());
    }

    std::string Make(const std::string& name, const Bytes& bytes)
    {
        std::string path = Remember(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }

    std::string Remember(const std::string& name)
    {
        std::string path = TempPath(name);
        created.push_back(path);
        return path;
    }

    std::vector<std::string> created;
};

TEST_F(BufferedFileTest, ReadStopsShortAtTheEndAndThenFails)
{
    std::string path = Make("short.bin", Pattern(4));
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    unsigned char buffer[10];
    EXPECT_EQ(FileRead(file, buffer, 10), 4);
    EXPECT_EQ(0, memcmp(buffer, Pattern(4).data(), 4));
    EXPECT_EQ(FileRead(file, buffer, 10), -1);
    DWORD position = 0;
    FileTell(file, &position);
    EXPECT_EQ(position, 4u) << "a failed read leaves the position at the end of the data";
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_TRUE(NobodyHolds(path));
}

TEST_F(BufferedFileTest, ReadsAcrossWindowsAndSeeksBack)
{
    Bytes data = Pattern(3 * FILE_WINDOW_SIZE + 123);
    std::string path = Make("windows.bin", data);
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize(file), data.size());
    Bytes all(data.size() + 50);
    EXPECT_EQ(FileRead(file, all.data(), (int)all.size()), (int)data.size());
    all.resize(data.size());
    EXPECT_EQ(all, data);
    DWORD position = 5000;
    EXPECT_EQ(FileSeek(file, &position), 0);
    unsigned char byte[1];
    EXPECT_EQ(FileRead(file, byte, 1), 1);
    EXPECT_EQ(byte[0], data[5000]);
    EXPECT_EQ(FileReadDword(file), LogLoadU32(&data[5001]));
    FileClose(file);
}

TEST_F(BufferedFileTest, ByteAndWordReadsTreatTheEndAsFF)
{
    std::string path = Make("bytes.bin", Bytes{0x80, 0x7F, 0x34});
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileGetByte(file), -128);
    EXPECT_EQ(FileGetByte(file), 0x7F);
    EXPECT_EQ(FileReadWord(file), 0xFF34u) << "the missing byte reads as 0xFF";
    EXPECT_EQ(FileGetByte(file), -1);
    FileClose(file);
}

TEST_F(BufferedFileTest, SeekInsideTheWindowLeavesThePlatformFileAlone)
{
    std::string path = Make("seek.bin", Pattern(2 * FILE_WINDOW_SIZE));
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FileGetByte(file);  // fills the window [0, 4095]
    DWORD platform = PlatformPosition(file);
    DWORD position = 4095;
    EXPECT_EQ(FileSeek(file, &position), 0);
    EXPECT_EQ(PlatformPosition(file), platform);
    EXPECT_EQ((unsigned char)FileGetByte(file), Pattern(4096)[4095]);
    position = 6000;
    EXPECT_EQ(FileSeek(file, &position), 0);
    EXPECT_EQ(PlatformPosition(file), 6000u);
    position = 100000;
    EXPECT_EQ(FileSeek(file, &position), 0) << "beyond the end is not an error";
    EXPECT_EQ(FileGetByte(file), -1);
    FileClose(file);
}

TEST_F(BufferedFileTest, SeekOutsideTheWindowWritesADirtyWindowBack)
{
    std::string path = Remember("dirty.bin");
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_CREATE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileWrite(file, "abcdef", 6), 6);
    EXPECT_EQ(FileSize(file), 6u) << "the size counts unwritten bytes";
    DWORD position = 2;
    EXPECT_EQ(FileSeek(file, &position), 0);
    EXPECT_EQ(SizeOnDisk(path), 0u) << "a seek inside the window writes nothing";
    EXPECT_EQ(FilePutByte(file, 'X'), 'X');
    position = 100;
    EXPECT_EQ(FileSeek(file, &position), 0);
    EXPECT_EQ(SizeOnDisk(path), 6u);
    EXPECT_EQ(FileClose(file), 0);
    Bytes expected = {'a', 'b', 'X', 'd', 'e', 'f'};
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(BufferedFileTest, WritesSpanningWindowsReachTheFile)
{
    std::string path = Remember("long.bin");
    Bytes data = Pattern(FILE_WINDOW_SIZE * 2 + 10);
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_CREATE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileWrite(file, data.data(), 100), 100);
    EXPECT_EQ(FileWriteWord(0xBEEF, file), 0);
    EXPECT_EQ(FileWriteDword(0x12345678, file), 0);
    EXPECT_EQ(FileWrite(file, data.data() + 106, (int)data.size() - 106), (int)data.size() - 106);
    EXPECT_EQ(FileSize(file), data.size());
    EXPECT_EQ(FileFlush(file), 10 + 0) << "the third window holds 10 bytes";
    EXPECT_EQ(FileFlush(file), 0) << "nothing left to write";
    EXPECT_EQ(FileClose(file), 0);
    LogStoreU16(&data[100], 0xBEEF);
    LogStoreU32(&data[102], 0x12345678);
    EXPECT_EQ(ReadBytes(path), data);
}

TEST_F(BufferedFileTest, AReadOnlyFileRefusesWrites)
{
    std::string path = Make("readonly.bin", Pattern(10));
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileWrite(file, "zz", 2), -1);
    EXPECT_EQ(FilePutByte(file, 'z'), -1);
    EXPECT_EQ(FileFlush(file), 0);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(ReadBytes(path), Pattern(10));
}

TEST_F(BufferedFileTest, OpenTypesCreateEmptyAndRequireExistence)
{
    std::string path = Make("types.bin", Pattern(100));
    BufferedFile file = FileOpen(path.c_str(), FILE_OPEN_CREATE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileSize(file), 0u) << "type 1 starts empty";
    FileClose(file);
    std::string missing = Remember("missing.bin");
    EXPECT_EQ(FileOpen(missing.c_str(), FILE_OPEN_READ), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpen(missing.c_str(), FILE_OPEN_READ_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpen(path.c_str(), 4), INVALID_HANDLE_VALUE);
    file = FileOpen(path.c_str(), FILE_OPEN_READ_WRITE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileWrite(file, "hi", 2), 2);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(ReadBytes(path), (Bytes{'h', 'i'}));
}

TEST_F(BufferedFileTest, AFourthOpenFailsAndClosesWhatItOpened)
{
    std::string paths[4];
    BufferedFile files[4];
    for (int i = 0; i < 4; ++i)
        paths[i] = Make("slot" + std::to_string(i) + ".bin", Pattern(10 + i));
    for (int i = 0; i < 3; ++i) {
        files[i] = FileOpen(paths[i].c_str(), FILE_OPEN_READ);
        ASSERT_NE(files[i], INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(FileOpen(paths[3].c_str(), FILE_OPEN_READ), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(NobodyHolds(paths[3]));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FileReadWord(files[i]), LogLoadU16(Pattern(2).data())) << "each file keeps its own window";
    EXPECT_EQ(FileClose(files[1]), 0);
    files[3] = FileOpen(paths[3].c_str(), FILE_OPEN_READ);
    EXPECT_NE(files[3], INVALID_HANDLE_VALUE) << "a closed slot is free again";
    EXPECT_EQ(FileClose(files[0]), 0);
    EXPECT_EQ(FileClose(files[2]), 0);
    EXPECT_EQ(FileClose(files[3]), 0);
    EXPECT_EQ(FileClose(files[3]), -1) << "no longer a buffered file";
}

TEST_F(BufferedFileTest, HandlesThatAreNotBufferedAreRefused)
{
    std::string path = Make("raw.bin", Pattern(10));
    HANDLE raw = RawOpen(path.c_str(), FILE_OPEN_READ);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    char buffer[4];
    DWORD position = 0;
    EXPECT_EQ(FileRead(raw, buffer, 4), 0);
    EXPECT_EQ(FileWrite(raw, buffer, 4), 0);
    EXPECT_EQ(FileSize(raw), 0u);
    EXPECT_EQ(FileSeek(raw, &position), -1);
    EXPECT_EQ(FileClose(raw), -1);
    EXPECT_EQ(RawSize(raw), 10u);
    DWORD count = 4;
    EXPECT_EQ(RawRead(raw, buffer, &count), 4);
    EXPECT_EQ(RawClose(raw), 0);
    EXPECT_EQ(FileRead(INVALID_HANDLE_VALUE, buffer, 4), 0);
}

TEST_F(BufferedFileTest, DeleteAndMove)
{
    std::string from = Make("move_from.bin", Pattern(5));
    std::string to = Remember("move_to.bin");
    EXPECT_EQ(FileMove(from.c_str(), to.c_str()), 0);
    EXPECT_EQ(ReadBytes(to), Pattern(5));
    EXPECT_EQ(FileMove(from.c_str(), to.c_str()), -1);
    EXPECT_EQ(FileDelete(to.c_str()), 0);
    EXPECT_EQ(FileDelete(to.c_str()), -1);
}

// --- Whole-file copy --------------------------------------------------------------------------

uint32_t g_fakeFreeBytes;

uint32_t FakeFreeBytes(const char*)
{
    return g_fakeFreeBytes;
}

class FileCopyTest : public BufferedFileTest {
protected:
    void SetUp() override { FileSetFreeBytesQuery(FakeFreeBytes); }
    void TearDown() override
    {
        FileSetFreeBytesQuery(nullptr);
        BufferedFileTest::TearDown();
    }

    // Gives the file a known old time stamp.
    void StampOld(const std::string& path)
    {
        ASSERT_NE(FileSetTime(path.c_str(), (WORD)((15 << 9) | (6 << 5) | 15), (WORD)((10 << 11) | (30 << 5) | 8)), 0);
    }

    void ExpectSameTime(const std::string& a, const std::string& b)
    {
        WORD dateA = 0, timeA = 0, dateB = 1, timeB = 1;
        EXPECT_NE(FileGetTime(a.c_str(), &dateA, &timeA), 0);
        EXPECT_NE(FileGetTime(b.c_str(), &dateB, &timeB), 0);
        EXPECT_EQ(dateA, dateB);
        EXPECT_EQ(timeA, timeB);
    }
};

TEST_F(FileCopyTest, CopiesContentsAndTimeStamp)
{
    g_fakeFreeBytes = 0xFFFFFFFF;
    Bytes data = Pattern(40000);  // more than two transfer chunks
    std::string source = Make("copy_src.bin", data);
    std::string destination = Make("copy_dst.bin", Pattern(50000));
    StampOld(source);
    EXPECT_EQ(FileCopy(source.c_str(), destination.c_str()), 0);
    EXPECT_EQ(ReadBytes(destination), data) << "an older, longer destination is replaced whole";
    ExpectSameTime(source, destination);
    EXPECT_TRUE(NobodyHolds(source));
    EXPECT_TRUE(NobodyHolds(destination));
}

TEST_F(FileCopyTest, AnEmptySourceGivesAnEmptyDestinationWithItsTime)
{
    g_fakeFreeBytes = 0xFFFFFFFF;
    std::string source = Make("empty_src.bin", Bytes());
    std::string destination = Remember("empty_dst.bin");
    StampOld(source);
    EXPECT_EQ(FileCopy(source.c_str(), destination.c_str()), 0);
    EXPECT_EQ(SizeOnDisk(destination), 0u);
    ExpectSameTime(source, destination);
}

TEST_F(FileCopyTest, FreeSpaceLimitIsTheSourceSizePlus4196)
{
    const uint32_t freeBytes = 10000;
    std::string fits = Make("fits.bin", Pattern(freeBytes - 4196));
    std::string tooBig = Make("too_big.bin", Pattern(freeBytes - 4196 + 1));
    std::string destination = Remember("space_dst.bin");
    g_fakeFreeBytes = freeBytes;
    EXPECT_EQ(FileCopy(fits.c_str(), destination.c_str()), 0);
    EXPECT_EQ(FileDelete(destination.c_str()), 0);
    EXPECT_EQ(FileCopy(tooBig.c_str(), destination.c_str()), FILE_COPY_NO_SPACE);
    EXPECT_EQ(SizeOnDisk(destination), 0xFFFFFFFFu) << "nothing is created when space is short";
    EXPECT_TRUE(NobodyHolds(tooBig));
}

TEST_F(FileCopyTest, UnknownFreeSpaceNeverRefuses)
{
    std::string source = Make("unknown_src.bin", Pattern(5000));
    std::string destination = Remember("unknown_dst.bin");
    for (uint32_t freeBytes : {0u, 4195u, 0xFFFFFFFFu}) {
        g_fakeFreeBytes = freeBytes;
        EXPECT_EQ(FileCopy(source.c_str(), destination.c_str()), 0) << freeBytes;
        EXPECT_EQ(ReadBytes(destination), Pattern(5000));
    }
}

TEST_F(FileCopyTest, FailuresLeaveNoDestination)
{
    g_fakeFreeBytes = 0xFFFFFFFF;
    std::string missing = Remember("no_source.bin");
    std::string destination = Remember("fail_dst.bin");
    EXPECT_EQ(FileCopy(missing.c_str(), destination.c_str()), -1);
    EXPECT_EQ(SizeOnDisk(destination), 0xFFFFFFFFu);
    std::string source = Make("fail_src.bin", Pattern(10));
    std::string nowhere = TempPath("no_such_dir\\x.bin");
    EXPECT_EQ(FileCopy(source.c_str(), nowhere.c_str()), -1);
    EXPECT_EQ(FileCopy(source.c_str(), source.c_str()), -1) << "a file is not copied onto itself";
    EXPECT_EQ(ReadBytes(source), Pattern(10));
}

TEST_F(FileCopyTest, TimesRoundTripAndMissingFilesFail)
{
    std::string path = Make("time.bin", Pattern(3));
    WORD date = (WORD)((20 << 9) | (2 << 5) | 29), time = (WORD)((23 << 11) | (59 << 5) | 29);
    EXPECT_NE(FileSetTime(path.c_str(), date, time), 0);
    WORD gotDate = 0, gotTime = 0;
    EXPECT_NE(FileGetTime(path.c_str(), &gotDate, &gotTime), 0);
    EXPECT_EQ(gotDate, date);
    EXPECT_EQ(gotTime, time);
    std::string missing = Remember("time_missing.bin");
    EXPECT_EQ(FileGetTime(missing.c_str(), &gotDate, &gotTime), 0);
    EXPECT_EQ(FileSetTime(missing.c_str(), date, time), 0);
    FileCopyTime(missing.c_str(), path.c_str());  // nothing to copy, nothing changes
    EXPECT_NE(FileGetTime(path.c_str(), &gotDate, &gotTime), 0);
    EXPECT_EQ(gotTime, time);
}

// --- Temporary names --------------------------------------------------------------------------

class TempNameTest : public BufferedFileTest {
protected:
    void SetUp() override
    {
        directory = TempPath("tempnames");
        CreateDirectoryA(directory.c_str(), NULL);
    }
    void TearDown() override
    {
        BufferedFileTest::TearDown();
        RemoveDirectoryA(directory.c_str());
    }
    std::string NameFor(int n) { return directory + "\\_fty" + std::to_string(n) + ".231"; }

    std::string directory;
};

TEST_F(TempNameTest, TakesTheFirstFreeNumber)
{
    char name[MAX_PATH + 1];
    EXPECT_EQ(FindFreeTempName(directory.c_str(), name), 1);
    EXPECT_EQ(std::string(name), NameFor(0));
    created.push_back(NameFor(0));
    WriteBytes(NameFor(0), Bytes());
    EXPECT_EQ(FindFreeTempName((directory + "\\").c_str(), name), 1);
    EXPECT_EQ(std::string(name), NameFor(1));
}

TEST_F(TempNameTest, AllThousandTakenGivesTheLastName)
{
    for (int n = 0; n < 1000; ++n) {
        created.push_back(NameFor(n));
        ASSERT_TRUE(WriteBytes(NameFor(n), Bytes()));
    }
    char name[MAX_PATH + 1];
    EXPECT_EQ(FindFreeTempName(directory.c_str(), name), 0);
    EXPECT_EQ(std::string(name), NameFor(999));
}

TEST_F(TempNameTest, ADirectoryTooLongForAnyNameIsRefused)
{
    char name[MAX_PATH + 1];
    std::string longDirectory = "C:\\" + std::string(250, 'd');
    EXPECT_EQ(FindFreeTempName(longDirectory.c_str(), name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(FindFreeTempName(std::string(300, 'd').c_str(), name), 0);
    EXPECT_STREQ(name, "");
}

}  // namespace
