// The registry phases CRK and SRK against the real registry of the test prefix. Keys are made under
// HKLM\Software\UninstActionsTest and HKCU\Software\UninstActionsTest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/string_list.h"
#include "engine/registry_actions.h"
#include "log/log_reader.h"
#include "log_writer.h"
#include "support/registry_keys.h"
#include "support/scratch_dir.h"

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
    for (const char* record : records) {
        EXPECT_EQ(RunKeys(record), ERR_REGISTRY_NOT_REMOVED) << record;
    }
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

// --- URK and MRK: what to delete comes from the log's header ------------------------------

const char kCompany[] = "UninstActionsCompany";
const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string CompanyKey(const std::string& tail = "")
{
    return std::string("Software\\") + kCompany + (tail.empty() ? "" : "\\" + tail);
}
std::string AppPathsKey(const std::string& name) { return std::string(kAppPaths) + "\\" + name; }
std::string UninstallKey(const std::string& name) { return std::string(kUninstall) + "\\" + name; }

struct Header {
    std::string company;
    std::string product;
    std::string version;
    std::string appPaths;
    std::string uninstallName;
};

// A phase state over a real log that carries the given header fields.
class HeaderLog {
public:
    HeaderLog(const ScratchDir& scratch, const Header& header)
    {
        std::string path = scratch / "header.log";
        LogWriter* writer = LogWriterCreate(path.c_str());
        EXPECT_NE(writer, nullptr);
        if (!writer) return;
        LogWriterSetString(writer, 9, header.company);
        LogWriterSetString(writer, 1, header.product);
        LogWriterSetString(writer, 2, header.version);
        LogWriterSetString(writer, 8, header.appPaths);
        LogWriterSetString(writer, 11, header.uninstallName);
        LogWriterRecord urk;
        urk.kind = "URK";
        LogWriterAddRecord(writer, urk);
        std::string error;
        EXPECT_EQ(LogWriterFinish(writer, &error), 0) << error;
        state_.firstRecord = 1;
        state_.pool = POOL_NONE;
        state_.log = LogOpen(path.c_str(), 5);
        EXPECT_NE(state_.log, nullptr);
    }
    ~HeaderLog()
    {
        if (state_.log) LogClose(state_.log);
    }
    PhaseState* state() { return &state_; }

private:
    PhaseState state_ = {};
};

class HeaderActionsTest : public ::testing::Test {
protected:
    HeaderActionsTest() : scratch_("registry_actions") {}
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        ASSERT_TRUE(TestDeleteTree(HKEY_LOCAL_MACHINE, CompanyKey()));
        for (const char* name : {"uninst_a.exe", "uninst_b.exe", "uninst_c.exe"}) {
            ASSERT_TRUE(TestDeleteTree(HKEY_LOCAL_MACHINE, AppPathsKey(name)));
        }
        ASSERT_TRUE(TestDeleteTree(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool")));
    }
    int32_t Products(const Header& header, int message = PHASE_RUN)
    {
        HeaderLog log(scratch_, header);
        return RemoveProductKeysAction(log.state(), message, nullptr, "", 0, nullptr);
    }
    int32_t AppEntries(const Header& header, int message = PHASE_RUN)
    {
        HeaderLog log(scratch_, header);
        return RemoveAppEntriesAction(log.state(), message, nullptr, "", 0, nullptr);
    }
    static void MakeAppEntries()
    {
        for (const char* name : {"uninst_a.exe", "uninst_b.exe", "uninst_c.exe"}) {
            ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, AppPathsKey(name), nullptr, "C:\\Tool\\tool.exe"));
        }
        ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool"), "DisplayName", "Tool"));
    }
    ScratchDir scratch_;
};

const Header kTool = {kCompany, "Tool", "1.0", "uninst_a.exe", "UninstActionsTool"};

TEST_F(HeaderActionsTest, ProductKeysKeepAProductThatHasOtherVersions)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0\\Settings")));
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\2.0")));
    EXPECT_EQ(Products(kTool), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\2.0")));
}

TEST_F(HeaderActionsTest, ProductKeysRemoveEmptyProductAndCompanyKeys)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, CompanyKey("Tool"), "Owner", "me"));
    EXPECT_EQ(Products(kTool), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey()));
}

TEST_F(HeaderActionsTest, ProductKeysKeepACompanyThatHasOtherProducts)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Other Product")));
    Header trailing = {std::string(kCompany) + "\\", "Tool\\", "1.0\\", "", ""};
    EXPECT_EQ(Products(trailing), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool")));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Other Product")));
}

TEST_F(HeaderActionsTest, ProductKeysFailWithoutTouchingAnythingWhenTheVersionKeyIsGone)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool")));
    EXPECT_EQ(Products(kTool), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool")));
}

TEST_F(HeaderActionsTest, ProductKeysRefuseEmptyAndBlankNamesBeforeDeletingAnything)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    const Header refused[] = {
        {"", "Tool", "1.0", "", ""},
        {kCompany, "", "1.0", "", ""},
        {kCompany, "Tool", "", "", ""},
        {"\\", "Tool", "1.0", "", ""},
        {kCompany, "\\\\", "1.0", "", ""},
        {kCompany, "Tool", "\\", "", ""},
    };
    for (const Header& header : refused) {
        EXPECT_EQ(Products(header), ERR_REGISTRY_NOT_REMOVED) << header.company << "|" << header.product;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    }
}

TEST_F(HeaderActionsTest, ProductKeysNeverReachAProtectedKey)
{
    // Company Microsoft, product Windows, version CurrentVersion would name the system's own key.
    const Header header = {"Microsoft", "Windows", "CurrentVersion", "", ""};
    EXPECT_EQ(Products(header), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
    const Header doubled = {"\\Microsoft", "Windows\\", "\\CurrentVersion", "", ""};
    EXPECT_EQ(Products(doubled), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion"));
}

TEST_F(HeaderActionsTest, ProductKeysIgnoreOtherMessagesAndAMissingLog)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    EXPECT_EQ(Products(kTool, PHASE_END), 0);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    EXPECT_EQ(RemoveProductKeysAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr), ERR_REGISTRY_NOT_REMOVED);
}

TEST_F(HeaderActionsTest, AppEntriesDeleteEveryNamedAppPathsKeyAndThenTheUninstallEntry)
{
    MakeAppEntries();
    Header header = kTool;
    header.appPaths = "uninst_a.exe;uninst_b.exe";
    EXPECT_EQ(AppEntries(header), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_b.exe")));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_c.exe")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool")));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstall));
}

TEST_F(HeaderActionsTest, AppEntriesStopAtTheFirstEmptyName)
{
    struct {
        const char* appPaths;
        bool aDeleted, bDeleted;
    } cases[] = {
        {"uninst_a.exe", true, false},
        {";uninst_b.exe", false, false},
        {"uninst_a.exe;;uninst_b.exe", true, false},
        {"uninst_a.exe;\\;uninst_b.exe", true, false},
        {"uninst_a.exe;uninst_b.exe;", true, true},
    };
    for (const auto& c : cases) {
        MakeAppEntries();
        Header header = kTool;
        header.appPaths = c.appPaths;
        EXPECT_EQ(AppEntries(header), 0) << c.appPaths;
        EXPECT_EQ(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe")), !c.aDeleted) << c.appPaths;
        EXPECT_EQ(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_b.exe")), !c.bDeleted) << c.appPaths;
        EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool"))) << c.appPaths;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    }
}

TEST_F(HeaderActionsTest, AppEntriesWithoutAppPathsNameDeleteNothing)
{
    for (const char* appPaths : {"", "\\", "\\\\\\"}) {
        MakeAppEntries();
        Header header = kTool;
        header.appPaths = appPaths;
        EXPECT_EQ(AppEntries(header), ERR_REGISTRY_NOT_REMOVED) << appPaths;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool"))) << appPaths;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe"))) << appPaths;
    }
}

TEST_F(HeaderActionsTest, AppEntriesNeverResolveToTheUninstallKeyItself)
{
    for (const char* name : {"", "\\", "\\\\"}) {
        MakeAppEntries();
        Header header = kTool;
        header.uninstallName = name;
        EXPECT_EQ(AppEntries(header), ERR_REGISTRY_NOT_REMOVED) << name;
        EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe"))) << name;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool"))) << name;
        EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstall)) << name;
    }
}

TEST_F(HeaderActionsTest, ASecondTriggerFindsTheEntriesGone)
{
    MakeAppEntries();
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, CompanyKey("Tool\\1.0")));
    EXPECT_EQ(AppEntries(kTool), 0);
    EXPECT_EQ(AppEntries(kTool), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_EQ(Products(kTool), 0);
    EXPECT_EQ(Products(kTool), ERR_REGISTRY_NOT_REMOVED);
}

}  // namespace
