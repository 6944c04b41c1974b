// Key paths with double-byte characters whose second byte has the value of a backslash, under the
// Japanese code page (932): the registry layer must never split a name inside such a character.
#include <gtest/gtest.h>

#include <string>

#include "services/registry.h"
#include "support/registry_keys.h"

namespace {

const char kBase[] = "Software\\UninstRegistryDbcsTest";
// U+8868 and U+80FD: in code page 932 their second bytes are 0x5C, the value of a backslash.
const wchar_t kWideName[] = L"\x8868\x80fd";
const char kAnsiName[] = "\x95\x5c\x94\x5c";

class RegistryDbcsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "this program must run with the Japanese code page";
        ASSERT_TRUE(TestDeleteTree(HKEY_CURRENT_USER, kBase));
        std::wstring path = L"Software\\UninstRegistryDbcsTest\\";
        path += kWideName;
        path += L"\\Child";
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override { EXPECT_TRUE(TestDeleteTree(HKEY_CURRENT_USER, kBase)); }
    static std::string Named(const char* tail) { return std::string(kBase) + "\\" + kAnsiName + tail; }
};

TEST_F(RegistryDbcsTest, ANameEndingInABackslashValuedByteIsOneComponent)
{
    HKEY key = RegistryOpenPath(HKEY_CURRENT_USER, Named("\\Child").c_str());
    EXPECT_NE(key, nullptr);
    if (key) RegCloseKey(key);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Named("").c_str()), 1);
    EXPECT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, Named("").c_str(), kAnsiName, REG_SZ, -1, kAnsiName), 1);
    char text[16];
    ASSERT_EQ(RegistryReadValue(HKEY_CURRENT_USER, Named("\\").c_str(), kAnsiName, nullptr, nullptr, text,
                                sizeof text), 1);
    EXPECT_STREQ(text, kAnsiName);
}

TEST_F(RegistryDbcsTest, DeletingTheDoubleByteKeyLeavesItsParent)
{
    EXPECT_EQ(KeyMayBeDeleted(HKEY_CURRENT_USER, Named("").c_str()), 1);
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, Named("\\").c_str()), 1);
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kBase));
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, kBase), 0);
}

}  // namespace
