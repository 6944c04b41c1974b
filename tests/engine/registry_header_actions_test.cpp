// The registry phases URK and MRK against the real registry of the test prefix: what they delete
// comes from the header of a real log (company, product and version keys, App Paths names and the
// Uninstall entry).
#include <gtest/gtest.h>

#include <string>

#include "engine/registry_actions.h"
#include "log/log_reader.h"
#include "log_writer.h"
#include "support/registry_keys.h"
#include "support/scratch_dir.h"

namespace {

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

// An App Paths key that is still there after the attempt was not removed: the Uninstall entry
// goes all the same, but the run must not end with the success message.
TEST_F(HeaderActionsTest, AppPathsKeyThatResistsIsReported)
{
    MakeAppEntries();
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe\\Sub")));
    ASSERT_TRUE(TestDenyAccess(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe"), KEY_ENUMERATE_SUB_KEYS));
    Header header = kTool;
    header.appPaths = "uninst_a.exe;uninst_b.exe";
    EXPECT_EQ(AppEntries(header), ERR_REGISTRY_NOT_REMOVED);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe\\Sub")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_b.exe")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, UninstallKey("UninstActionsTool")));
    EXPECT_TRUE(TestAllowAll(HKEY_LOCAL_MACHINE, AppPathsKey("uninst_a.exe")));
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
