// The registry phases CRK and SRK against the real registry of the test prefix. Keys are made under
// HKLM\Software\UninstActionsTest and HKCU\Software\UninstActionsTest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/string_list.h"
#include "engine/registry_actions.h"
#include "support/registry_keys.h"

namespace {

const char kBase[] = "Software\\UninstActionsTest";
// HKEY_LOCAL_MACHINE written as a signed and as an unsigned decimal number.
const char kMachineSigned[] = "-2147483646";
const char kMachineUnsigned[] = "2147483650";
const char kUserSigned[] = "-2147483647";

std::string Under(const std::string& path) { return std::string(kBase) + "\\" + path; }

int32_t RunKeys(const char* record, int message = PHASE_RUN)
{
    return RemoveKeysAction(nullptr, message, nullptr, record, 0, nullptr);
}

int32_t RunValues(const std::vector<std::string>& entries, int message = PHASE_RUN)
{
    StringList* list = ListCreate(0);
    EXPECT_NE(list, nullptr);
    for (const std::string& entry : entries) ListAppend(list, entry.c_str());
    int32_t result = RemoveValuesAction(nullptr, message, nullptr, "", 0, list);
    ListDestroy(list);
    return result;
}

class RegistryActionsTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        ASSERT_TRUE(TestDeleteTree(HKEY_LOCAL_MACHINE, kBase));
        ASSERT_TRUE(TestDeleteTree(HKEY_CURRENT_USER, kBase));
    }
    static void MakeTool()
    {
        ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, Under("Tool\\Sub\\Deeper")));
        ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, Under("Tool"), "Path", "C:\\Tool"));
        ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, Under("Other")));
    }
};

// --- CRK --------------------------------------------------------------------------------------

struct KeyCase {
    std::string record;
    int32_t result;
    bool toolDeleted;
};

TEST_F(RegistryActionsTest, RemoveKeysDeletesTheNamedTreeForEverySpellingOfTheRoot)
{
    const std::string tool = std::string(";\\") + Under("Tool") + "\\";
    const KeyCase cases[] = {
        {kMachineSigned + tool, 0, true},
        {kMachineUnsigned + tool, 0, true},
        {std::string("  +") + kMachineUnsigned + tool, 0, true},
        {kMachineSigned + std::string(";") + Under("Tool"), 0, true},
        {kMachineSigned + std::string(";") + Under("Tool") + ";ignored;more", 0, true},
        {kMachineSigned + std::string(";") + kBase + "\\\\Tool\\\\", 0, true},
        {kMachineSigned + std::string(";") + Under("TOOL"), 0, true},
        // HKEY_PERFORMANCE_DATA, an unknown root, a root that is no number, a missing root.
        {std::string("2147483652") + tool, ERR_REGISTRY_NOT_REMOVED, false},
        {std::string("-2147483644") + tool, ERR_REGISTRY_NOT_REMOVED, false},
        {std::string("4") + tool, ERR_REGISTRY_NOT_REMOVED, false},
        {std::string("HKLM") + tool, ERR_REGISTRY_NOT_REMOVED, false},
        {tool, ERR_REGISTRY_NOT_REMOVED, false},
        // No separator, an empty key, a key of backslashes only.
        {kMachineSigned, ERR_REGISTRY_NOT_REMOVED, false},
        {kMachineSigned + std::string(";"), ERR_REGISTRY_NOT_REMOVED, false},
        {kMachineSigned + std::string(";;") + Under("Tool"), ERR_REGISTRY_NOT_REMOVED, false},
        {kMachineSigned + std::string(";\\\\\\"), ERR_REGISTRY_NOT_REMOVED, false},
        // Fields longer than a key name may be.
        {std::string(300, '1') + tool, ERR_REGISTRY_NOT_REMOVED, false},
        {kMachineSigned + std::string(";") + Under(std::string(300, 'x')), ERR_REGISTRY_NOT_REMOVED, false},
        // A key that is not there any more is no failure.
        {kMachineSigned + std::string(";") + Under("Missing"), 0, false},
    };
    for (const KeyCase& c : cases) {
        MakeTool();
        EXPECT_EQ(RunKeys(c.record.c_str()), c.result) << c.record;
        EXPECT_EQ(TestKeyExists(HKEY_LOCAL_MACHINE, Under("Tool")), !c.toolDeleted) << c.record;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, Under("Other"))) << c.record;
    }
}

TEST_F(RegistryActionsTest, RemoveKeysNeverDeletesAProtectedKey)
{
    const char* records[] = {
        "-2147483646;Software\\Microsoft",
        "-2147483646;\\SOFTWARE\\",
        "-2147483646;Software\\\\",
        "2147483650;\\\\software\\\\\\microsoft\\\\",
        "-2147483646;Software\\Microsoft\\Windows\\CurrentVersion",
        "-2147483646;System",
        "-2147483647;Control Panel",
        "-2147483647;\\control panel\\\\",
        "-2147483647;Software",
        "-2147483648;CLSID\\",
        "-2147483645;Default",
    };
    // HKEY_USERS\Default does not exist in Wine's prefix; made here, it must survive as well.
    ASSERT_TRUE(TestCreateKey(HKEY_USERS, "Default\\UninstActionsProbe"));
    for (const char* record : records) {
        EXPECT_EQ(RunKeys(record), ERR_REGISTRY_NOT_REMOVED) << record;
    }
    EXPECT_TRUE(TestKeyExists(HKEY_USERS, "Default\\UninstActionsProbe"));
    EXPECT_TRUE(TestDeleteTree(HKEY_USERS, "Default"));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, "System"));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, "Control Panel"));
    EXPECT_TRUE(TestKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
}

TEST_F(RegistryActionsTest, RemoveKeysDeletesBelowAProtectedKeyUnderTheUserRoot)
{
    ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Under("Tool\\Settings")));
    std::string record = std::string(kUserSigned) + ";" + Under("Tool");
    EXPECT_EQ(RunKeys(record.c_str()), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, Under("Tool")));
    EXPECT_TRUE(TestKeyExists(HKEY_CURRENT_USER, kBase));
}

TEST_F(RegistryActionsTest, RemoveKeysIgnoresEveryOtherMessageAndANullRecord)
{
    MakeTool();
    std::string record = std::string(kMachineSigned) + ";" + Under("Tool");
    for (int message : {int(PHASE_CREATE), int(PHASE_DESTROY), int(PHASE_END), 99}) {
        EXPECT_EQ(RunKeys(record.c_str(), message), 0);
    }
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, Under("Tool")));
    EXPECT_EQ(RunKeys(nullptr), ERR_REGISTRY_NOT_REMOVED);
}

// A key or value that is still there after the attempt was not removed, whatever the reason: the
// run must not end with the success message. Only one that is already gone is no failure.
TEST_F(RegistryActionsTest, KeysAndValuesThatResistAreReported)
{
    MakeTool();
    ASSERT_TRUE(TestDenyAccess(HKEY_LOCAL_MACHINE, Under("Tool\\Sub"), KEY_ENUMERATE_SUB_KEYS));
    std::string tool = std::string(kMachineSigned) + ";" + Under("Tool");
    EXPECT_EQ(RunKeys(tool.c_str()), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, Under("Tool\\Sub\\Deeper")));
    ASSERT_TRUE(TestAllowAll(HKEY_LOCAL_MACHINE, Under("Tool\\Sub")));

    MakeTool();
    ASSERT_TRUE(TestDenyAccess(HKEY_LOCAL_MACHINE, Under("Tool"), KEY_SET_VALUE));
    EXPECT_EQ(RunValues({tool, "Path"}), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestValueExists(HKEY_LOCAL_MACHINE, Under("Tool"), "Path"));
    ASSERT_TRUE(TestAllowAll(HKEY_LOCAL_MACHINE, Under("Tool")));
}

// --- SRK --------------------------------------------------------------------------------------

struct ValueCase {
    std::vector<std::string> entries;
    int32_t result;
    bool valueDeleted;
};

TEST_F(RegistryActionsTest, RemoveValuesDeletesTheNamedValueAndKeepsTheKey)
{
    const std::string tool = std::string(kMachineSigned) + ";\\" + Under("Tool") + "\\";
    const ValueCase cases[] = {
        {{tool, "Path"}, 0, true},
        {{std::string(kMachineUnsigned) + ";" + Under("Tool"), "path"}, 0, true},
        {{tool, "Path", "third entry"}, 0, true},
        {{tool, "Missing"}, 0, false},
        {{std::string(kMachineSigned) + ";" + Under("Missing"), "Path"}, 0, false},
        // Nothing to do: no value name.
        {{tool}, 0, false},
        {{tool, ""}, 0, false},
        {{}, 0, false},
        // Unusable key references.
        {{"junk", "Path"}, ERR_REGISTRY_NOT_REMOVED, false},
        {{";" + Under("Tool"), "Path"}, ERR_REGISTRY_NOT_REMOVED, false},
        {{std::string("2147483652;") + Under("Tool"), "Path"}, ERR_REGISTRY_NOT_REMOVED, false},
        {{std::string(kMachineSigned) + ";", "Path"}, ERR_REGISTRY_NOT_REMOVED, false},
        {{std::string(kMachineSigned) + ";\\\\", "Path"}, ERR_REGISTRY_NOT_REMOVED, false},
    };
    for (const ValueCase& c : cases) {
        MakeTool();
        std::string what = c.entries.empty() ? "(no entries)" : c.entries[0];
        EXPECT_EQ(RunValues(c.entries), c.result) << what;
        EXPECT_EQ(TestValueExists(HKEY_LOCAL_MACHINE, Under("Tool"), "Path"), !c.valueDeleted) << what;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, Under("Tool\\Sub\\Deeper"))) << what;
    }
}

TEST_F(RegistryActionsTest, RemoveValuesWithoutAListOrForOtherMessagesDoesNothing)
{
    MakeTool();
    EXPECT_EQ(RemoveValuesAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr), 0);
    std::string tool = std::string(kMachineSigned) + ";" + Under("Tool");
    EXPECT_EQ(RunValues({tool, "Path"}, PHASE_END), 0);
    EXPECT_TRUE(TestValueExists(HKEY_LOCAL_MACHINE, Under("Tool"), "Path"));
}

}  // namespace
