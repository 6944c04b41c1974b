// Shared-file counts under HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs, as on Windows NT:
// every count is kept under the path exactly as given.
#include <gtest/gtest.h>

#include <string>

#include "app/platform.h"
#include "core/pool.h"
#include "services/shared_counts.h"
#include "support/registry_keys.h"

namespace {

const char kCounts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kFile[] = "C:\\UninstSharedCountTest\\Common\\shared.dll";
const char kNeighbour[] = "C:\\UninstSharedCountTest\\Common\\neighbour.dll";

// Runs before the component is initialised (tests run in the order they are written).
TEST(SharedCountsUninitialised, EveryAdjustFails)
{
    ASSERT_TRUE(TestSetDword(HKEY_LOCAL_MACHINE, kCounts, kFile, 2));
    EXPECT_EQ(SharedCountAdjust(kFile, -1, 0), -1);
    std::string data;
    ASSERT_TRUE(TestGetValue(HKEY_LOCAL_MACHINE, kCounts, kFile, nullptr, &data));
    EXPECT_EQ(data, std::string("\x02\0\0\0", 4));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, kFile);
    RegCloseKey(key);
}

class SharedCountsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MemoryPool pool = PoolCreate(16384, POOL_STANDARD);
        ASSERT_NE(pool, POOL_NONE);
        ASSERT_EQ(SharedCountInit(pool, PLATFORM_NT_INTEL), 0);
    }
    void SetUp() override { Forget(); }
    void TearDown() override { Forget(); }
    static void Forget()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, kFile);
            RegDeleteValueA(key, kNeighbour);
            RegCloseKey(key);
        }
    }
};

struct Stored {
    bool present;
    DWORD type;
    std::string data;
};

Stored Dword(DWORD number) { return {true, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4)}; }
Stored Text(const char* text) { return {true, REG_SZ, std::string(text, strlen(text) + 1)}; }
Stored Binary(std::string bytes) { return {true, REG_BINARY, bytes}; }
Stored Qword(unsigned long long number)
{
    return {true, REG_QWORD, std::string(reinterpret_cast<const char*>(&number), 8)};
}
const Stored kAbsent = {false, 0, ""};

struct AdjustCase {
    const char* what;
    Stored before;
    int delta;
    int keepAtZero;
    int result;
    Stored after;
};

TEST_F(SharedCountsTest, AdjustReadsEveryStoredFormAndWritesBackADword)
{
    const AdjustCase cases[] = {
        {"2 decremented", Dword(2), -1, 0, 1, Dword(1)},
        {"1 decremented", Dword(1), -1, 0, 0, kAbsent},
        {"0 decremented", Dword(0), -1, 0, 0, kAbsent},
        {"missing decremented", kAbsent, -1, 0, -1, kAbsent},
        {"missing kept at zero", kAbsent, 0, 1, 0, Dword(0)},
        {"kept count unchanged", Dword(5), 0, 1, 5, Dword(5)},
        {"text 3 decremented", Text("3"), -1, 0, 2, Dword(2)},
        {"text with blanks and tail", Text("  7 copies"), -1, 0, 6, Dword(6)},
        {"text without digits", Text("many"), -1, 0, 0, kAbsent},
        {"binary 5 decremented", Binary(std::string("\x05\0\0\0", 4)), -1, 0, 4, Dword(4)},
        {"negative dword decremented", Dword(0xFFFFFFFF), -1, 0, 0, kAbsent},
        {"missing incremented", kAbsent, 1, 0, 1, Dword(1)},
        // A 64-bit count is a number too, not text: read as text it would count 0 and the file
        // would go while other applications still count on it.
        {"qword 2 decremented", Qword(2), -1, 0, 1, Dword(1)},
        {"qword beyond 32 bits decremented", Qword(0x100000000ull), -1, 0, 0x7FFFFFFE, Dword(0x7FFFFFFE)},
    };
    for (const AdjustCase& c : cases) {
        Forget();
        ASSERT_TRUE(TestSetDword(HKEY_LOCAL_MACHINE, kCounts, kNeighbour, 9));
        if (c.before.present) {
            ASSERT_TRUE(TestSetValue(HKEY_LOCAL_MACHINE, kCounts, kFile, c.before.type, c.before.data.data(),
                                     static_cast<DWORD>(c.before.data.size())));
        }
        EXPECT_EQ(SharedCountAdjust(kFile, c.delta, c.keepAtZero), c.result) << c.what;
        DWORD type = 0;
        std::string data;
        bool present = TestGetValue(HKEY_LOCAL_MACHINE, kCounts, kFile, &type, &data);
        EXPECT_EQ(present, c.after.present) << c.what;
        if (present && c.after.present) {
            EXPECT_EQ(type, c.after.type) << c.what;
            EXPECT_EQ(data, c.after.data) << c.what;
        }
        // Another file's count is never touched.
        ASSERT_TRUE(TestGetValue(HKEY_LOCAL_MACHINE, kCounts, kNeighbour, &type, &data)) << c.what;
        EXPECT_EQ(data, Dword(9).data) << c.what;
    }
}

TEST_F(SharedCountsTest, ValueNamesCompareWithoutRegardToCase)
{
    ASSERT_TRUE(TestSetDword(HKEY_LOCAL_MACHINE, kCounts, kFile, 2));
    std::string upper = kFile;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(SharedCountAdjust(upper.c_str(), -1, 0), 1);
    std::string data;
    ASSERT_TRUE(TestGetValue(HKEY_LOCAL_MACHINE, kCounts, kFile, nullptr, &data));
    EXPECT_EQ(data, Dword(1).data);
}

TEST_F(SharedCountsTest, OnWindowsNtTheNameIsThePathAsGiven)
{
    char name[MAX_PATH + 1];
    ASSERT_EQ(SharedValueName("C:\\Program Files\\Common Files\\Sharedlongname.dll", name, sizeof name), 1);
    EXPECT_STREQ(name, "C:\\Program Files\\Common Files\\Sharedlongname.dll");
    char small[8];
    EXPECT_EQ(SharedValueName(kFile, small, sizeof small), 0);
}

TEST_F(SharedCountsTest, BadPathsFailWithoutTouchingTheRegistry)
{
    EXPECT_EQ(SharedCountAdjust(nullptr, -1, 0), -1);
    EXPECT_EQ(SharedCountAdjust("", -1, 0), -1);
    std::string tooLong = "C:\\" + std::string(400, 'a');
    EXPECT_EQ(SharedCountAdjust(tooLong.c_str(), 1, 0), -1);
    EXPECT_FALSE(TestValueExists(HKEY_LOCAL_MACHINE, kCounts, tooLong.c_str()));
}

}  // namespace
