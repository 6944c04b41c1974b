#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "core/string_list.h"

// Runs with the Japanese ANSI code page, where "\x82\xA0" is one character and "\x95\x5C" one whose
// trail byte has the value of a backslash.
namespace {

typedef std::vector<std::string> Lines;

const std::string kWide = "\x82\xA0";

class StringListDbcsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP());
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%suninst_core_dbcs_%lu.txt", dir, GetCurrentProcessId());
        path_ = path;
        list_ = ListCreate(0);
    }
    void TearDown() override
    {
        ListDestroy(list_);
        DeleteFileA(path_.c_str());
    }

    Lines Load(const std::string& bytes)
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
        EXPECT_EQ(1, ListLoad(list_, path_.c_str()));
        Lines lines;
        for (const char* text = ListFirst(list_); text != nullptr; text = ListNext(list_)) lines.push_back(text);
        return lines;
    }

    std::string path_;
    StringList* list_ = nullptr;
};

std::string Repeat(const std::string& unit, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

TEST_F(StringListDbcsTest, LongLineIsNotCutInsideADoubleByteCharacter)
{
    // One single byte first puts a lead byte at offset 8191, the chunk's last byte.
    std::string line = "a" + Repeat(kWide, 5000);
    Lines lines = Load(line + "\r\nend");
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(line.substr(0, 8191), lines[0]);
    EXPECT_EQ(line.substr(8191), lines[1]);
    EXPECT_EQ("end", lines[2]);
}

TEST_F(StringListDbcsTest, DoubleByteCharacterAcrossTheChunkBoundaryStaysInOneLine)
{
    std::string first = Repeat("x", 8000);
    std::string crossing = "b" + Repeat(kWide + "\x95\x5C", 100);  // runs from 8002 across 8192
    Lines lines = Load(first + "\r\n" + crossing + "\r\n" + kWide);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(first, lines[0]);
    EXPECT_EQ(crossing, lines[1]);
    EXPECT_EQ(kWide, lines[2]);
}

TEST_F(StringListDbcsTest, RoundTripKeepsDoubleByteText)
{
    std::string bytes = "C:\\\x95\x5C\\file.txt\r\n" + kWide + "\r\n";
    Load(bytes);
    ASSERT_EQ(1, ListSave(list_, path_.c_str()));
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string back(bytes.size() + 10, '\0');
    DWORD got = 0;
    ReadFile(file, &back[0], DWORD(back.size()), &got, nullptr);
    CloseHandle(file);
    back.resize(got);
    EXPECT_EQ(bytes, back);
}

}  // namespace
