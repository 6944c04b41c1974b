// The registry layer against the real registry of the test prefix, under HKCU\Software\UninstRegistryTest.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "services/registry.h"
#include "support/registry_keys.h"

namespace {

const char kBase[] = "Software\\UninstRegistryTest";

std::string Under(const std::string& path) { return std::string(kBase) + "\\" + path; }

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TestDeleteTree(HKEY_CURRENT_USER, kBase));
        ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, kBase));
    }
    void TearDown() override
    {
        // Keys made to resist are opened up again so that the clean-up can remove them.
        for (const std::string& locked : locked_) TestAllowAll(HKEY_CURRENT_USER, locked);
        EXPECT_TRUE(TestDeleteTree(HKEY_CURRENT_USER, kBase));
    }
    void Lock(const std::string& path, DWORD rights)
    {
        ASSERT_TRUE(TestDenyAccess(HKEY_CURRENT_USER, path, rights));
        locked_.push_back(path);
    }
    std::vector<std::string> locked_;
};

// --- opening and creating ---------------------------------------------------------------------

TEST_F(RegistryTest, OpenPathResolvesEverySpellingOfTheSameKey)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("One\\Two\\Three")));
    const std::string spellings[] = {
        Under("One\\Two\\Three"),
        "\\" + Under("One\\Two\\Three"),
        Under("One\\Two\\Three\\"),
        std::string(kBase) + "\\\\One\\\\\\Two\\Three",
        Under("ONE\\two\\tHrEe"),
    };
    for (const std::string& spelling : spellings) {
        HKEY key = RegistryOpenPath(HKEY_CURRENT_USER, spelling.c_str());
        EXPECT_NE(key, nullptr) << spelling;
        if (key) RegCloseKey(key);
    }
}

TEST_F(RegistryTest, OpenPathRefusesWhatNamesNoKey)
{
    const std::string tooLong = Under(std::string(REGISTRY_NAME_MAX + 1, 'x'));
    const char* refused[] = {nullptr, "", "\\", "\\\\\\", "Software\\UninstRegistryTest\\Missing", tooLong.c_str()};
    for (const char* path : refused) {
        EXPECT_EQ(RegistryOpenPath(HKEY_CURRENT_USER, path), nullptr) << (path ? path : "(null)");
    }
}

TEST_F(RegistryTest, OpenPathUnderAnOpenedKeyLeavesThatKeyOpen)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B")));
    HKEY base = RegistryOpenPath(HKEY_CURRENT_USER, kBase);
    ASSERT_NE(base, nullptr);
    HKEY child = RegistryOpenPath(base, "A\\B");
    ASSERT_NE(child, nullptr);
    RegCloseKey(child);
    // The caller's key must still be usable.
    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKeyExA(base, "A", 0, KEY_READ, &again), ERROR_SUCCESS);
    if (again) RegCloseKey(again);
    RegCloseKey(base);
}

TEST_F(RegistryTest, CreateKeyMakesMissingParentsAndOpensExistingKeys)
{
    HKEY key = RegistryCreateKey(HKEY_CURRENT_USER, ("\\" + Under("New\\Deep\\Key")).c_str(), "");
    ASSERT_NE(key, nullptr);
    RegCloseKey(key);
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("New\\Deep\\Key")));
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, Under("New"), "kept", "yes"));
    key = RegistryCreateKey(HKEY_CURRENT_USER, Under("New").c_str(), "");
    ASSERT_NE(key, nullptr);
    RegCloseKey(key);
    EXPECT_TRUE(TestValueExists(HKEY_CURRENT_USER, Under("New"), "kept"));
    EXPECT_EQ(RegistryCreateKey(HKEY_CURRENT_USER, "", ""), nullptr);
    EXPECT_EQ(RegistryCreateKey(HKEY_CURRENT_USER, "\\\\", ""), nullptr);
}

TEST_F(RegistryTest, CreatedKeyBelongsToTheAdministratorsGroupWhenTheUserIsAnAdministrator)
{
    HKEY key = RegistryCreateKey(HKEY_CURRENT_USER, Under("Owned").c_str(), "");
    ASSERT_NE(key, nullptr);
    std::vector<BYTE> buffer(1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION, buffer.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(buffer.data(), &owner, &defaulted));
    ASSERT_NE(owner, nullptr);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                         0, 0, &administrators));
    EXPECT_EQ(EqualSid(owner, administrators) != 0, UserIsAdministrator() == 1);
    FreeSid(administrators);
}

TEST(UserIsAdministrator, AgreesWithThePlatformsMembershipTest)
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                         0, 0, &administrators));
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, administrators, &member));
    FreeSid(administrators);
    EXPECT_EQ(UserIsAdministrator(), member ? 1 : 0);
}

// --- deleting trees and counting --------------------------------------------------------------

TEST_F(RegistryTest, DeleteTreeRemovesAKeyWithEverythingBelowIt)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B\\C")));
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, Under("A\\B"), "v", "x"));
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("Sibling")));
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, ("\\" + Under("A")).c_str()), 1);
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, Under("A")));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("Sibling")));
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, Under("A").c_str()), 0);
}

TEST_F(RegistryTest, DeleteTreeStopsAtTheFirstSubtreeThatResists)
{
    // Subkeys are listed in name order: B1 goes, B2 cannot be listed and so cannot be emptied,
    // and nothing after it is touched.
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B1\\C")));
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B2\\C")));
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B3")));
    Lock(Under("A\\B2"), KEY_ENUMERATE_SUB_KEYS);
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, Under("A").c_str()), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, Under("A\\B1")));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("A\\B2\\C")));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("A\\B3")));
}

TEST_F(RegistryTest, DeleteTreeNeverResolvesToTheKeyAboveThePath)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("Child")));
    HKEY base = RegistryOpenPath(HKEY_CURRENT_USER, kBase);
    ASSERT_NE(base, nullptr);
    for (const char* path : {"", "\\", "\\\\", "\\\\\\"}) {
        EXPECT_EQ(RegistryDeleteTree(base, path), 0) << path;
    }
    RegCloseKey(base);
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("Child")));
}

TEST_F(RegistryTest, DeleteTreeFollowsDoubledBackslashesToTheSameKey)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("A\\B")));
    std::string doubled = std::string(kBase) + "\\\\A\\\\";
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, doubled.c_str()), 1);
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, Under("A")));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kBase));
}

TEST_F(RegistryTest, CountSubkeysCountsDirectChildrenOnly)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("P\\One\\Deeper")));
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("P\\Two")));
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("P\\Three")));
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Under("P").c_str()), 3);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Under("P\\Two").c_str()), 0);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Under("Missing").c_str()), 0);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, ""), 0);
}

TEST_F(RegistryTest, AnUnreadableKeyCountsNothingReadsNothingAndIsNotDeleted)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("Locked\\Child")));
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, Under("Locked"), "v", "secret"));
    Lock(Under("Locked"), KEY_READ & ~READ_CONTROL);
    char text[64];
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, Under("Locked").c_str(), "v", &type, &size, text, sizeof text), 0);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Under("Locked").c_str()), 0);
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, Under("Locked").c_str()), 0);
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, Under("Locked\\Child")));
}

TEST_F(RegistryTest, AMissingKeyCountsNothingReadsNothingAndDeletesNothing)
{
    char text[64];
    EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, Under("Gone").c_str(), "v", nullptr, nullptr, text, sizeof text), 0);
    EXPECT_EQ(RegistryCountSubkeys(HKEY_CURRENT_USER, Under("Gone").c_str()), 0);
    EXPECT_EQ(RegistryDeleteTree(HKEY_CURRENT_USER, Under("Gone").c_str()), 0);
    EXPECT_EQ(RegistryDeleteValue(HKEY_CURRENT_USER, Under("Gone").c_str(), "v"), 0);
}

// --- values -----------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    std::string text;  // expected text, terminator excluded
};

TEST_F(RegistryTest, ReadValueGivesTextByTypeRules)
{
    const ReadCase cases[] = {
        {"sz", REG_SZ, {'h', 'e', 'l', 'l', 'o', 0}, "hello"},
        {"expand", REG_EXPAND_SZ, {'%', 'W', '%', 0}, "%W%"},
        {"minus one", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {"twelve", REG_DWORD, {12, 0, 0, 0}, "12"},
        {"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, "16777216"},
        {"binary", REG_BINARY, {'a', 'b', 0, 'c'}, std::string("ab\0c", 4)},
        {"multi", REG_MULTI_SZ, {'x', 0, 'y', 0, 0}, std::string("x\0y\0\0", 5)},
        {"none", REG_NONE, {'z'}, "z"},
    };
    for (const ReadCase& c : cases) {
        ASSERT_TRUE(TestSetValue(HKEY_CURRENT_USER, kBase, c.name, c.type, c.data.data(),
                                 static_cast<DWORD>(c.data.size())));
        char text[64];
        memset(text, 'Q', sizeof text);
        DWORD type = 99;
        DWORD size = 99;
        ASSERT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, c.name, &type, &size, text, sizeof text), 1) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(size, c.data.size()) << c.name;
        EXPECT_EQ(std::string(text, c.text.size()), c.text) << c.name;
        EXPECT_EQ(text[c.text.size()], '\0') << c.name;
    }
}

TEST_F(RegistryTest, ReadValueTakesAtMost1023Bytes)
{
    std::vector<BYTE> fits(REGISTRY_DATA_MAX, 'a');
    std::vector<BYTE> tooLong(REGISTRY_DATA_MAX + 1, 'a');
    ASSERT_TRUE(TestSetValue(HKEY_CURRENT_USER, kBase, "fits", REG_BINARY, fits.data(), REGISTRY_DATA_MAX));
    ASSERT_TRUE(TestSetValue(HKEY_CURRENT_USER, kBase, "long", REG_BINARY, tooLong.data(), REGISTRY_DATA_MAX + 1));
    std::vector<char> text(REGISTRY_DATA_MAX + 1);
    DWORD size = 0;
    EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, "fits", nullptr, &size, text.data(),
                                static_cast<DWORD>(text.size())), 1);
    EXPECT_EQ(size, static_cast<DWORD>(REGISTRY_DATA_MAX));
    EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, "long", nullptr, nullptr, text.data(),
                                static_cast<DWORD>(text.size())), 0);
    EXPECT_EQ(text[0], '\0');
}

TEST_F(RegistryTest, ReadValueNeverWritesBeyondTheCallersBuffer)
{
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, kBase, "text", "0123456789"));
    ASSERT_TRUE(TestSetDword(HKEY_CURRENT_USER, kBase, "number", 0xFFFFFFFF));
    const BYTE raw[] = {1, 2, 3, 4};
    ASSERT_TRUE(TestSetValue(HKEY_CURRENT_USER, kBase, "raw", REG_BINARY, raw, sizeof raw));
    struct {
        const char* name;
        DWORD fits;  // smallest buffer that holds the text and its terminator
    } cases[] = {{"text", 11}, {"number", 3}, {"raw", 5}};
    for (const auto& c : cases) {
        char buffer[32];
        memset(buffer, 'Q', sizeof buffer);
        EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, c.name, nullptr, nullptr, buffer, c.fits - 1), 0)
            << c.name;
        EXPECT_EQ(buffer[0], '\0') << c.name;
        for (DWORD i = c.fits - 1; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 'Q') << c.name << " byte " << i;
        EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, c.name, nullptr, nullptr, buffer, c.fits), 1) << c.name;
        EXPECT_EQ(buffer[c.fits], 'Q') << c.name;
    }
    char one[1] = {'Q'};
    EXPECT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, "text", nullptr, nullptr, one, 0), 0);
    EXPECT_EQ(one[0], 'Q');
}

TEST_F(RegistryTest, WriteValueOfADwordTextStoresTheNumber)
{
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "n", REG_DWORD, 0, "12"), 1);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(TestGetValue(HKEY_CURRENT_USER, kBase, "n", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, std::string("\x0c\0\0\0", 4));
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "minus", REG_DWORD, -1, " -1 apples"), 1);
    ASSERT_TRUE(TestGetValue(HKEY_CURRENT_USER, kBase, "minus", &type, &data));
    EXPECT_EQ(data, std::string("\xff\xff\xff\xff", 4));
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "big", REG_DWORD_BIG_ENDIAN, 0, "16777216"), 1);
    char text[16];
    ASSERT_EQ(RegistryReadValue(HKEY_CURRENT_USER, kBase, "big", &type, nullptr, text, sizeof text), 1);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD_BIG_ENDIAN));
    EXPECT_STREQ(text, "16777216");
}

TEST_F(RegistryTest, WriteValueSizesTextByItsLengthAndRawDataByTheCaller)
{
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "sz", REG_SZ, 3, "abcdef"), 1);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(TestGetValue(HKEY_CURRENT_USER, kBase, "sz", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data.size(), 7u);
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "raw", REG_BINARY, 3, "abcdef"), 1);
    ASSERT_TRUE(TestGetValue(HKEY_CURRENT_USER, kBase, "raw", &type, &data));
    EXPECT_EQ(data, "abc");
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "rawall", REG_BINARY, -1, "abcdef"), 1);
    ASSERT_TRUE(TestGetValue(HKEY_CURRENT_USER, kBase, "rawall", &type, &data));
    EXPECT_EQ(data, std::string("abcdef\0", 7));
    EXPECT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "bad", REG_BINARY, -2, "abcdef"), 0);
    EXPECT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kBase, "null", REG_SZ, -1, nullptr), 0);
    EXPECT_FALSE(TestValueExists(HKEY_CURRENT_USER, kBase, "bad"));
}

TEST_F(RegistryTest, WriteValueToAMissingKeyCreatesTheKey)
{
    ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, Under("Fresh\\Key").c_str(), "DisplayName", REG_SZ, -1, "Tool"), 1);
    char text[16];
    ASSERT_EQ(RegistryReadValue(HKEY_CURRENT_USER, Under("Fresh\\Key").c_str(), "DisplayName", nullptr, nullptr, text,
                                sizeof text), 1);
    EXPECT_STREQ(text, "Tool");
    EXPECT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, "\\", "v", REG_SZ, -1, "x"), 0);
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValue)
{
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, kBase, "gone", "1"));
    ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, kBase, "kept", "2"));
    EXPECT_EQ(RegistryDeleteValue(HKEY_CURRENT_USER, kBase, "gone"), 1);
    EXPECT_FALSE(TestValueExists(HKEY_CURRENT_USER, kBase, "gone"));
    EXPECT_TRUE(TestValueExists(HKEY_CURRENT_USER, kBase, "kept"));
    EXPECT_EQ(RegistryDeleteValue(HKEY_CURRENT_USER, kBase, "gone"), 0);
}

// --- protection -------------------------------------------------------------------------------

struct ProtectionCase {
    HKEY root;
    const char* path;
    int mayDelete;
};

TEST(KeyMayBeDeleted, ProtectsTheListedKeysOnly)
{
    const ProtectionCase cases[] = {
        {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\", 0},
        {HKEY_LOCAL_MACHINE, "Software\\Acme", 1},
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\Acme.Document", 1},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\Current Version", 0},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe", 1},
        {HKEY_LOCAL_MACHINE, "hardware", 0},
        {HKEY_CURRENT_USER, "Control Panel", 0},
        {HKEY_CURRENT_USER, "Enum", 1},
        {HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion", 0},
        {HKEY_CLASSES_ROOT, "CLSID\\", 0},
        {HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}", 1},
        {HKEY_USERS, "Default", 0},
        {HKEY_USERS, ".Default", 0},
        {HKEY_CURRENT_CONFIG, "Display", 0},
        {HKEY_DYN_DATA, "PerfStats", 0},
        {HKEY_PERFORMANCE_DATA, "Software", 1},
        {HKEY_LOCAL_MACHINE, "", 0},
        {HKEY_LOCAL_MACHINE, nullptr, 0},
        {HKEY_LOCAL_MACHINE, "\\", 0},
        {HKEY_CURRENT_USER, "\\\\\\", 0},
    };
    for (const ProtectionCase& c : cases) {
        EXPECT_EQ(KeyMayBeDeleted(c.root, c.path), c.mayDelete) << (c.path ? c.path : "(null)");
    }
}

// Every way of writing a protected key that the registry resolves to that key.
std::vector<std::string> Spellings(const std::string& path)
{
    std::string upper = path;
    std::string lower = path;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    for (char& ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    std::string doubled;
    for (char ch : path) doubled += (ch == '\\') ? std::string("\\\\") : std::string(1, ch);
    return {path,
            upper,
            lower,
            "\\" + path,
            path + "\\",
            "\\" + path + "\\",
            "\\\\" + path,
            path + "\\\\",
            "\\\\\\" + lower + "\\\\\\",
            doubled,
            "\\" + doubled + "\\\\"};
}

TEST(KeyMayBeDeleted, NoSpellingOfAProtectedKeyPasses)
{
    struct {
        HKEY root;
        std::vector<const char*> keys;
    } lists[] = {
        {HKEY_LOCAL_MACHINE,
         {"Config", "Enum", "hardware", "Network", "Security", "Software", "Software\\Classes",
          "Software\\Description", "Software\\Microsoft", "Software\\Microsoft\\Windows",
          "Software\\Microsoft\\Windows\\Current Version", "Software\\ODBC", "System"}},
        {HKEY_CURRENT_USER,
         {"AppEvents", "Control Panel", "Environment", "Keyboard layout", "Network", "Software",
          "Software\\Microsoft", "Software\\Microsoft\\Windows", "Software\\Microsoft\\Windows\\Current Version"}},
        {HKEY_CLASSES_ROOT, {"CLSID"}},
        {HKEY_USERS, {"Default"}},
        {HKEY_CURRENT_CONFIG, {"Display", "System"}},
        {HKEY_DYN_DATA, {"Config Manager", "PerfStats"}},
    };
    for (const auto& list : lists) {
        for (const char* key : list.keys) {
            for (const std::string& spelling : Spellings(key)) {
                EXPECT_EQ(KeyMayBeDeleted(list.root, spelling.c_str()), 0) << spelling;
            }
            // Keys below a protected key are the application's own.
            std::string below = std::string(key) + "\\Acme";
            EXPECT_EQ(KeyMayBeDeleted(list.root, below.c_str()), 1) << below;
        }
    }
}

// Keys that every application shares: deleting one would take the counts, uninstall entries,
// program paths or start-up entries of all other applications with it, for the machine and the user.
TEST(KeyMayBeDeleted, ProtectsTheKeysAllApplicationsShare)
{
    struct SharedKey {
        HKEY root;
        const char* key;
    };
    const SharedKey shared[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion"},
    };
    for (const SharedKey& entry : shared) {
        for (const std::string& spelling : Spellings(entry.key)) {
            EXPECT_EQ(KeyMayBeDeleted(entry.root, spelling.c_str()), 0) << spelling;
        }
        std::string own = std::string(entry.key) + "\\Acme Tool";
        EXPECT_EQ(KeyMayBeDeleted(entry.root, own.c_str()), 1) << own;
    }
}

// The same key reached through another root is the same protected key: HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\Software\Classes, and HKEY_CURRENT_USER is one of the hives under HKEY_USERS
// (".Default" on Windows 95 without user profiles).
TEST(KeyMayBeDeleted, ProtectsAKeyWhateverRootReachesIt)
{
    const ProtectionCase cases[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0},
        {HKEY_LOCAL_MACHINE, "\\software\\classes\\clsid\\", 0},
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}", 1},
        {HKEY_USERS, ".Default", 0},
        {HKEY_USERS, "\\.DEFAULT\\", 0},
        {HKEY_USERS, "S-1-5-21-0-0-0-1000", 0},
        {HKEY_USERS, ".Default\\Software", 0},
        {HKEY_USERS, ".Default\\Control Panel", 0},
        {HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Windows\\CurrentVersion", 0},
        {HKEY_USERS, ".Default\\Software\\Acme", 1},
        {HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software\\Acme\\Tool", 1},
    };
    for (const ProtectionCase& c : cases) {
        EXPECT_EQ(KeyMayBeDeleted(c.root, c.path), c.mayDelete) << c.path;
    }
}

TEST(KeyMayBeDeleted, RefusesPathsTooLongToResolve)
{
    std::string longComponent = "Software\\" + std::string(REGISTRY_NAME_MAX + 1, 'a');
    EXPECT_EQ(KeyMayBeDeleted(HKEY_LOCAL_MACHINE, longComponent.c_str()), 0);
}

}  // namespace
