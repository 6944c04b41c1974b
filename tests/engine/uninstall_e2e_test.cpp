// End to end: the real uninst.exe, started with -a on the log of a sample installation that holds
// every kind of record it removes files and registry entries for (CF, CSF, CDR, CRK, SRK, URK, MRK),
// plus records that name something absent, protected or malformed. Afterwards nothing of the
// installation may be left and nothing else may have changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_writer.h"
#include "support/message_box_answerer.h"
#include "support/registry_keys.h"
#include "support/scratch_dir.h"
#include "support/uninstall_entry.h"

namespace {

const char kCompanyKey[] = "Software\\UninstE2E Company";
const char kVersionKey[] = "Software\\UninstE2E Company\\E2E Tool\\1.0";
const char kOtherProductKey[] = "Software\\UninstE2E Company\\Other Tool\\2.0";
const char kUserKey[] = "Software\\UninstE2E Company\\E2E Tool";
const char kClassKey[] = ".uninste2e";
const char kSharedSettings[] = "Software\\UninstE2E Shared Settings";
const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kCounts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kEntryName[] = "UninstE2E Tool";

std::string Join(const std::string& a, const std::string& b) { return a + "\\" + b; }

bool FileThere(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Counts a file under SharedDLLs as an installer does; 0 leaves it uncounted.
void SetCount(const std::string& path, DWORD count)
{
    ASSERT_TRUE(TestSetDword(HKEY_LOCAL_MACHINE, kCounts, path.c_str(), count));
}

int CountOf(const std::string& path)
{
    DWORD type = 0;
    std::string data;
    if (!TestGetValue(HKEY_LOCAL_MACHINE, kCounts, path.c_str(), &type, &data) || data.size() != 4) return -1;
    return *reinterpret_cast<const int32_t*>(data.data());
}

void ForgetCount(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, path.c_str());
    RegCloseKey(key);
}

std::string ProgramDirectory()
{
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.rfind('\\'));
}

class UninstallEndToEnd : public ::testing::Test {
protected:
    UninstallEndToEnd() : scratch_("uninstall_e2e") {}

    void SetUp() override
    {
        Clean();
        app_ = scratch_ / "Sample Company\\E2E Tool";
        common_ = scratch_ / "Common Files";
        log_ = Join(app_, "uninst.log");
        ASSERT_TRUE(scratch_.makeDir("Sample Company"));
        ASSERT_TRUE(scratch_.makeDir("Sample Company\\E2E Tool"));
        ASSERT_TRUE(scratch_.makeDir("Sample Company\\E2E Tool\\bin"));
        ASSERT_TRUE(scratch_.makeDir("Sample Company\\E2E Tool\\data"));
        ASSERT_TRUE(scratch_.makeDir("Sample Company\\E2E Tool\\data\\cache"));
        ASSERT_TRUE(scratch_.makeDir("Sample Company\\Other Tool"));
        ASSERT_TRUE(scratch_.makeDir("Common Files"));
        for (const char* file : {"Sample Company\\E2E Tool\\tool.exe", "Sample Company\\E2E Tool\\readme.txt",
                                 "Sample Company\\E2E Tool\\bin\\helper.dll", "Sample Company\\E2E Tool\\data\\a.ini",
                                 "Sample Company\\E2E Tool\\data\\cache\\index.dat", "Sample Company\\Other Tool\\other.exe",
                                 "Common Files\\lastuser.dll", "Common Files\\stillused.dll", "Common Files\\neighbour.dll"}) {
            ASSERT_TRUE(scratch_.writeFile(file)) << file;
        }
        SetCount(Join(common_, "lastuser.dll"), 1);
        SetCount(Join(common_, "stillused.dll"), 3);
        SetCount(Join(common_, "neighbour.dll"), 1);

        ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, kVersionKey, "InstallDir", app_.c_str()));
        ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, Join(kVersionKey, "Options\\Deep")));
        ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, kOtherProductKey));
        ASSERT_TRUE(TestCreateKey(HKEY_CURRENT_USER, Join(kUserKey, "Recent")));
        ASSERT_TRUE(TestSetString(HKEY_CLASSES_ROOT, kClassKey, nullptr, "UninstE2E.Document"));
        ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, kSharedSettings, "E2E Value", "mine"));
        ASSERT_TRUE(TestSetString(HKEY_CURRENT_USER, kSharedSettings, "Other Value", "theirs"));
        for (const char* name : {"uninst_e2e.exe", "uninst_e2e_helper.exe", "uninst_e2e_other.exe"}) {
            ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, Join(kAppPaths, name), nullptr, "x"));
        }
        ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, Join(kUninstall, kEntryName), "DisplayName", "E2E Tool 1.0"));
        ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, Join(kUninstall, kEntryName), "UninstallString",
                                  ("uninst.exe -f\"" + log_ + "\"").c_str()));
        WriteLog();
    }

    void TearDown() override { Clean(); }

    void Clean()
    {
        TestDeleteTree(HKEY_LOCAL_MACHINE, kCompanyKey);
        TestDeleteTree(HKEY_CURRENT_USER, kCompanyKey);
        TestDeleteTree(HKEY_CLASSES_ROOT, kClassKey);
        TestDeleteTree(HKEY_CURRENT_USER, kSharedSettings);
        for (const char* name : {"uninst_e2e.exe", "uninst_e2e_helper.exe", "uninst_e2e_other.exe"}) {
            TestDeleteTree(HKEY_LOCAL_MACHINE, Join(kAppPaths, name));
        }
        TestDeleteTree(HKEY_LOCAL_MACHINE, Join(kUninstall, kEntryName));
        if (!common_.empty()) {
            for (const char* name : {"lastuser.dll", "stillused.dll", "neighbour.dll"}) ForgetCount(Join(common_, name));
        }
    }

    void Add(LogWriter* writer, const char* kind, const std::string& text, std::vector<std::string> list = {},
             uint32_t number = 0)
    {
        LogWriterRecord record;
        record.kind = kind;
        if (!text.empty()) {
            record.flags |= 1;
            record.string = text;
        }
        record.flags |= 2;
        record.number = number;
        if (!list.empty()) {
            record.flags |= 4;
            record.list = list;
        }
        ASSERT_EQ(LogWriterAddRecord(writer, record), 0) << LogWriterError(writer);
    }

    void WriteLog()
    {
        LogWriter* writer = LogWriterCreate(log_.c_str());
        ASSERT_NE(writer, nullptr);
        LogWriterSetString(writer, 1, "E2E Tool");
        LogWriterSetString(writer, 2, "1.0");
        LogWriterSetString(writer, 9, "UninstE2E Company");
        LogWriterSetString(writer, 8, "uninst_e2e.exe;uninst_e2e_helper.exe");
        LogWriterSetString(writer, 11, kEntryName);
        // Records in the order an installer logs them, kinds interleaved.
        Add(writer, "CDR", app_);
        Add(writer, "CF", Join(app_, "tool.exe"));
        Add(writer, "CF", Join(app_, "readme.txt"));
        Add(writer, "CDR", Join(app_, "bin"));
        Add(writer, "CF", Join(app_, "bin\\helper.dll"));
        Add(writer, "CSF", "", {Join(common_, "lastuser.dll"), Join(common_, "lastuser.dll")});
        Add(writer, "CSF", "", {Join(common_, "stillused.dll"), Join(common_, "stillused.dll")});
        Add(writer, "CDR", Join(app_, "data\\cache\\"));
        Add(writer, "CDR", Join(app_, "data"));
        Add(writer, "CF", Join(app_, "data\\a.ini"));
        Add(writer, "CF", Join(app_, "data\\cache\\index.dat"));
        Add(writer, "CRK", std::string("2147483650;\\") + kVersionKey + "\\Options\\");
        Add(writer, "CRK", std::string("-2147483647;") + kUserKey);
        Add(writer, "CRK", std::string("-2147483648;") + kClassKey);
        Add(writer, "SRK", "", {std::string("-2147483647;") + kSharedSettings, "E2E Value"});
        Add(writer, "URK", "");
        Add(writer, "MRK", "");
        // What a damaged or hostile log may hold: none of it may stop the run or touch anything.
        Add(writer, "CF", Join(app_, "never-installed.txt"));
        Add(writer, "CF", Join(app_, "optional-and-gone.txt"), {}, 0x40);
        Add(writer, "CRK", "-2147483646;Software\\Microsoft");
        Add(writer, "CRK", "-2147483646;\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\");
        Add(writer, "CRK", "2147483650;\\\\\\");
        Add(writer, "CRK", "junk");
        Add(writer, "CRK", "-2147483644;Software");
        Add(writer, "SRK", "", {std::string("-2147483647;") + kSharedSettings, "No Such Value"});
        Add(writer, "SRK", "", {"-2147483647;\\", "Other Value"});
        Add(writer, "CSF", "", {Join(common_, "uncounted.dll"), Join(common_, "uncounted.dll")});
        std::string error;
        ASSERT_EQ(LogWriterFinish(writer, &error), 0) << error;
    }

    // Runs uninst.exe -a on the log; the process's exit code.
    DWORD RunUninstaller()
    {
        std::string command = "\"" + Join(ProgramDirectory(), "uninst.exe") + "\" -a -f\"" + log_ + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "cannot start " << command;
            return 1;
        }
        DWORD exitCode = 1;
        if (WaitForSingleObject(process.hProcess, 90000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "uninst.exe did not end within 90 seconds";
            TerminateProcess(process.hProcess, 1);
        } else {
            GetExitCodeProcess(process.hProcess, &exitCode);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }

    ScratchDir scratch_;
    std::string app_;
    std::string common_;
    std::string log_;
};

TEST_F(UninstallEndToEnd, RemovesTheInstallationAndNothingElse)
{
    // Other programs may run uninst.exe at the same time: only copies of this log count.
    const std::string logContent = ReadWholeFile(log_);
    MessageBoxAnswerer yes("Remove Shared File?", IDYES);
    EXPECT_EQ(RunUninstaller(), 0u);
    EXPECT_EQ(yes.Count(), 1) << "only the file whose count reached zero is asked about";
    std::string upperPath = Join(common_, "lastuser.dll");
    CharUpperBuffA(&upperPath[0], static_cast<DWORD>(upperPath.size()));
    EXPECT_NE(yes.Last().text.find(upperPath), std::string::npos) << yes.Last().text;

    // Files, directories and the log of the installation.
    EXPECT_FALSE(FileThere(app_)) << "the application's directory tree";
    EXPECT_FALSE(FileThere(log_));
    EXPECT_TRUE(TempCopiesHolding(logContent).empty()) << "the log's temporary copy";
    EXPECT_TRUE(FileThere(scratch_ / "Sample Company\\Other Tool\\other.exe"));
    EXPECT_TRUE(FileThere(scratch_ / "Sample Company"));

    // Shared files: the last user's file went with its count, the other stays counted once less.
    EXPECT_FALSE(FileThere(Join(common_, "lastuser.dll")));
    EXPECT_EQ(CountOf(Join(common_, "lastuser.dll")), -1);
    EXPECT_TRUE(FileThere(Join(common_, "stillused.dll")));
    EXPECT_EQ(CountOf(Join(common_, "stillused.dll")), 2);
    EXPECT_TRUE(FileThere(Join(common_, "neighbour.dll")));
    EXPECT_EQ(CountOf(Join(common_, "neighbour.dll")), 1);

    // Registry: the installation's keys and values, company and product keys kept for the other product.
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, "Software\\UninstE2E Company\\E2E Tool"));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kOtherProductKey));
    EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, kUserKey));
    EXPECT_FALSE(TestKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(TestValueExists(HKEY_CURRENT_USER, kSharedSettings, "E2E Value"));
    EXPECT_TRUE(TestValueExists(HKEY_CURRENT_USER, kSharedSettings, "Other Value"));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, Join(kAppPaths, "uninst_e2e.exe")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, Join(kAppPaths, "uninst_e2e_helper.exe")));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, Join(kAppPaths, "uninst_e2e_other.exe")));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, Join(kUninstall, kEntryName)));

    // What the hostile records named is all still there.
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kCurrentVersion));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstall));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kCounts));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows"));
}

}  // namespace
