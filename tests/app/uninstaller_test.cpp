// The real uninst.exe, started as a user or an installer would start it, and driven through its
// own windows: confirmation box, splash window, progress dialog and error boxes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/progman_peer_host.h"
#include "support/registry_keys.h"
#include "support/scratch_dir.h"
#include "support/test_log.h"
#include "support/uninstall_entry.h"
#include "support/window_driver.h"

namespace {

const char kConfirmCaption[] = "Confirm File Deletion";
const char kConfirmText[] =
    "Are you sure you want to completely remove the selected application and all of its "
    "components?";
const char kSuccessText[] = "Uninstall successfully completed.";

struct VisibleSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM parameter)
{
    VisibleSearch* search = reinterpret_cast<VisibleSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

bool ShowsAWindow(DWORD processId)
{
    VisibleSearch search = {processId, false};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The progress dialog: the process's dialog that has the message line.
HWND FindProgressDialog(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        HWND dialog = WaitForWindow("#32770", nullptr, processId, 100);
        if (dialog && GetDlgItem(dialog, 701))
            return dialog;
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

class Uninstaller : public ::testing::Test {
protected:
    Uninstaller()
        : scratch_("uninstaller_test"),
          logPath_(scratch_ / "app\\setup.log"),
          key_("UninstProgramTest" + std::to_string(GetCurrentProcessId()))
    {
    }

    void SetUp() override
    {
        scratch_.makeDir("app");
        DeleteUninstallEntry(key_);
    }

    void TearDown() override
    {
        if (process_.hProcess) {
            WaitForExit(process_.hProcess, 0);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        DeleteUninstallEntry(key_);
        for (const std::string& copy : TempCopiesHolding(original_))
            DeleteFileA(copy.c_str());
        SetEnvironmentVariableA("UNINST_TEST_DLL_RECORD", nullptr);
    }

    void WriteLog(const std::vector<LogWriterRecord>& records = {},
                  const std::string& appPaths = std::string())
    {
        ASSERT_EQ("", WriteTestLog(logPath_, "Program Test App", key_, records, -1, appPaths));
        original_ = ReadWholeFile(logPath_);
        ASSERT_TRUE(SetUninstallValue(key_, "DisplayName", "Program Test Application"));
        ASSERT_TRUE(SetUninstallValue(key_, "UninstallString", "uninst.exe -f" + logPath_));
    }

    void Start(const std::string& arguments)
    {
        std::string command = "\"" + SiblingProgramPath("uninst.exe") + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        // Wine now and then fails to start a process on a loaded machine; one more try tells
        // that apart from a program that cannot be started.
        DWORD error = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process_)) {
                error = 0;
                break;
            }
            error = GetLastError();
            Sleep(200);
        }
        ASSERT_EQ(0u, error) << "cannot start " << command;
        started_ = GetTickCount();
    }

    // Exit code, or -1 when the program had not ended by then (it is then ended).
    int Finish(DWORD timeoutMs = 30000) { return WaitForExit(process_.hProcess, timeoutMs); }

    // Waits for the end while checking that nothing is ever shown.
    int FinishUnseen(bool* shown, DWORD timeoutMs = 30000)
    {
        *shown = false;
        while (WaitForSingleObject(process_.hProcess, 50) == WAIT_TIMEOUT) {
            if (ShowsAWindow(process_.dwProcessId))
                *shown = true;
            if (GetTickCount() - started_ > timeoutMs)
                break;
        }
        return Finish(0);
    }

    DWORD Elapsed() const { return GetTickCount() - started_; }
    DWORD Id() const { return process_.dwProcessId; }

    HWND AcceptConfirmation()
    {
        HWND box = WaitForWindow("#32770", kConfirmCaption, Id(), 10000);
        if (box) {
            EXPECT_EQ(kConfirmText, MessageBoxText(box));
            EXPECT_TRUE(MessageBoxHasIcon(box));
            PressButton(box, IDYES);
        }
        return box;
    }

    // Waits for the dialog's message line to say `text`.
    bool WaitForMessage(HWND dialog, const std::string& text, DWORD timeoutMs = 30000)
    {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            if (ControlText(dialog, 701) == text)
                return true;
            Sleep(50);
        }
        return false;
    }

    ScratchDir scratch_;
    std::string logPath_;
    std::string key_;
    std::string original_ = "(no log written)";
    PROCESS_INFORMATION process_ = {};
    DWORD started_ = 0;
};

// ------------------------------------------------------------------ automatic mode

TEST_F(Uninstaller, AutomaticRunStartsAtTheThirdTickAndEndsByItself)
{
    WriteLog();
    Start("-a -f" + logPath_);
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown));
    EXPECT_FALSE(shown);
    EXPECT_GE(Elapsed(), 4000u);
    EXPECT_FALSE(PathExists(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
}

LogWriterRecord Recorded(const std::string& kind, const std::string& text)
{
    LogWriterRecord record;
    record.kind = kind;
    record.flags = RECORD_HAS_STRING | RECORD_HAS_NUMBER;
    record.string = text;
    return record;
}

TEST_F(Uninstaller, AutomaticRunRemovesWhatTheLogRecords)
{
    ASSERT_TRUE(scratch_.makeDir("inst"));
    ASSERT_TRUE(scratch_.makeDir("inst\\sub"));
    ASSERT_TRUE(scratch_.writeFile("inst\\tool.exe", "tool"));
    ASSERT_TRUE(scratch_.writeFile("inst\\sub\\data.dat", "data"));
    ASSERT_TRUE(scratch_.writeFile("kept.txt", "not the application's"));
    std::string appPath = key_ + ".exe";
    std::string appPathKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + appPath;
    ASSERT_TRUE(TestSetString(HKEY_LOCAL_MACHINE, appPathKey, "", (scratch_ / "inst\\tool.exe").c_str()));
    WriteLog({Recorded("CF", scratch_ / "inst\\tool.exe"),
              Recorded("CF", scratch_ / "inst\\sub\\data.dat"), Recorded("CDR", scratch_ / "inst"),
              Recorded("CDR", scratch_ / "inst\\sub"), Recorded("MRK", "")},
             appPath);
    Start("-a -f" + logPath_);
    EXPECT_EQ(0, Finish());
    EXPECT_FALSE(PathExists(scratch_ / "inst"));
    EXPECT_TRUE(PathExists(scratch_ / "kept.txt"));
    EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, appPathKey));
    TestDeleteTree(HKEY_LOCAL_MACHINE, appPathKey);
    EXPECT_FALSE(UninstallEntryExists(key_));
    EXPECT_FALSE(PathExists(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
}

TEST_F(Uninstaller, AutomaticRunWithoutLogShowsNothingAndEnds)
{
    Start("-a -f" + logPath_);
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown, 10000));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(PathExists(logPath_));
}

TEST_F(Uninstaller, AutomaticRunOnACorruptLogChangesNothing)
{
    original_ = "corrupt log " + key_;
    ASSERT_TRUE(scratch_.writeFile("app\\setup.log", original_));
    ASSERT_TRUE(SetUninstallValue(key_, "DisplayName", "Kept"));
    Start("/a /f" + logPath_);
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown, 10000));
    EXPECT_FALSE(shown);
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
    std::string name;
    EXPECT_TRUE(GetUninstallValue(key_, "DisplayName", &name));
    EXPECT_EQ("Kept", name);
}

TEST_F(Uninstaller, AutomaticWithoutLogOptionEndsAtTheThirdTick)
{
    Start("-a");
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown, 15000));
    EXPECT_FALSE(shown);
}

TEST_F(Uninstaller, AutomaticRunCallsTheUninstallDllAroundThePhases)
{
    WriteLog();
    std::string dll = scratch_ / "app\\appun.dll";
    ASSERT_TRUE(CopyFileA((SiblingProgramPath("test_uninst_dll.dll")).c_str(), dll.c_str(), FALSE));
    std::string record = scratch_ / "calls.txt";
    SetEnvironmentVariableA("UNINST_TEST_DLL_RECORD", record.c_str());
    Start("-c" + dll + " -a -f" + logPath_);
    EXPECT_EQ(0, Finish());
    std::string calls = ReadWholeFile(record);
    EXPECT_EQ(0u, calls.find("UninstInitialize "));
    EXPECT_NE(std::string::npos, calls.find("\nUninstUnInitialize "));
    EXPECT_EQ(2, std::count(calls.begin(), calls.end(), '\n'));
    // The run finished: the DLL stays where it is and its temporary copy is gone.
    EXPECT_TRUE(PathExists(dll));
    EXPECT_TRUE(TempCopiesHolding(ReadWholeFile(dll)).empty());
}

TEST_F(Uninstaller, RefusedUninstallDllStopsTheRunAndRestores)
{
    WriteLog();
    std::string dll = scratch_ / "app\\appun.dll";
    ASSERT_TRUE(CopyFileA((SiblingProgramPath("test_uninst_dll.dll")).c_str(), dll.c_str(), FALSE));
    SetEnvironmentVariableA("UNINST_TEST_DLL_INIT", "-1");
    Start("-c" + dll + " -a -f" + logPath_);
    EXPECT_EQ(0, Finish());
    SetEnvironmentVariableA("UNINST_TEST_DLL_INIT", nullptr);
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
    EXPECT_TRUE(PathExists(dll));
}

// ------------------------------------------------------------------ delete mode

TEST_F(Uninstaller, DeleteModeDeletesTheFileAtTheThirdTick)
{
    ASSERT_TRUE(scratch_.writeFile("old.exe", "old"));
    Start("-d" + (scratch_ / "old.exe"));
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(PathExists(scratch_ / "old.exe"));
    EXPECT_GE(Elapsed(), 4000u);
    EXPECT_LT(Elapsed(), 9000u);
}

TEST_F(Uninstaller, DeleteModeGivesUpOnALockedFileAtTheEighthTick)
{
    ASSERT_TRUE(scratch_.writeFile("busy.exe", "busy"));
    HANDLE lock = CreateFileA((scratch_ / "busy.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    Start("-D\"" + (scratch_ / "busy.exe") + "\"");
    bool shown = false;
    EXPECT_EQ(0, FinishUnseen(&shown));
    CloseHandle(lock);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(PathExists(scratch_ / "busy.exe"));
    EXPECT_GE(Elapsed(), 11000u);
}

TEST_F(Uninstaller, DeleteAndLogOptionsOnOneLogNeverStartTheSession)
{
    WriteLog();
    ASSERT_TRUE(SetUninstallValue(key_, "UninstallString", "the command"));
    Start("-f" + logPath_ + " -d" + logPath_);
    EXPECT_EQ(0, Finish());
    EXPECT_GE(Elapsed(), 11000u);
    // The session was created (the log moved to its copy) and, unfinished, put everything back.
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
    std::string command;
    EXPECT_TRUE(GetUninstallValue(key_, "UninstallString", &command));
    EXPECT_EQ("the command", command);
}

// ------------------------------------------------------------------ interactive mode

TEST_F(Uninstaller, DeclinedConfirmationChangesNothing)
{
    WriteLog();
    Start("-f" + logPath_);
    HWND box = WaitForWindow("#32770", kConfirmCaption, Id(), 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kConfirmText, MessageBoxText(box));
    PressButton(box, IDNO);
    EXPECT_EQ(0, Finish(10000));
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
    std::string name;
    EXPECT_TRUE(GetUninstallValue(key_, "DisplayName", &name));
    EXPECT_EQ("Program Test Application", name);
}

TEST_F(Uninstaller, AcceptedRunShowsSplashAndDialogAndEndsWithOk)
{
    WriteLog();
    Start("-f" + logPath_);
    ASSERT_NE(nullptr, AcceptConfirmation());
    EXPECT_NE(nullptr, WaitForWindow("DeQxAbtClsName", "DeQxAbtWinName", Id(), 5000));
    HWND dialog = FindProgressDialog(Id(), 10000);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitForMessage(dialog, kSuccessText));
    EXPECT_EQ(nullptr, WaitForWindow("DeQxAbtClsName", "DeQxAbtWinName", Id(), 0));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));

    // Escape and the close box are no way out: only OK ends the program.
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_.hProcess, 1000));
    EXPECT_TRUE(IsWindow(dialog));

    PressButton(dialog, IDOK);
    EXPECT_EQ(0, Finish(10000));
    EXPECT_FALSE(PathExists(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
}

TEST_F(Uninstaller, NoConfirmOptionSkipsOnlyTheQuestion)
{
    WriteLog();
    Start("-y -f" + logPath_);
    EXPECT_NE(nullptr, WaitForWindow("DeQxAbtClsName", "DeQxAbtWinName", Id(), 5000));
    EXPECT_EQ(nullptr, WaitForWindow("#32770", kConfirmCaption, Id(), 0));
    HWND dialog = FindProgressDialog(Id(), 10000);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitForMessage(dialog, kSuccessText));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_.hProcess, 500));
    PressButton(dialog, IDOK);
    EXPECT_EQ(0, Finish(10000));
}

TEST_F(Uninstaller, MissingLogIsNamedInMessage1003)
{
    Start("-f" + logPath_);
    ASSERT_NE(nullptr, AcceptConfirmation());
    HWND box = WaitForWindow("#32770", "Uninstall", Id(), 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Unable to locate the installation log file '" + logPath_ +
                  "'.  Uninstallation will not continue.",
              MessageBoxText(box));
    EXPECT_FALSE(MessageBoxHasIcon(box));
    PressButton(box, IDOK);
    EXPECT_EQ(0, Finish(10000));
}

TEST_F(Uninstaller, CorruptLogIsNamedInMessage1004AndLeftAlone)
{
    original_ = "not a log " + key_;
    ASSERT_TRUE(scratch_.writeFile("app\\setup.log", original_));
    Start("-y -f\"" + logPath_ + "\"");
    HWND box = WaitForWindow("#32770", "Uninstall", Id(), 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("The log file '" + logPath_ +
                  "' is not valid or the data has been corrupted.  Uninstallation will not continue.",
              MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_EQ(0, Finish(10000));
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
}

TEST_F(Uninstaller, EmptyCommandLineLooksForAnEmptyLogName)
{
    Start("");
    ASSERT_NE(nullptr, AcceptConfirmation());
    HWND box = WaitForWindow("#32770", "Uninstall", Id(), 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Unable to locate the installation log file ''.  Uninstallation will not continue.",
              MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_EQ(0, Finish(10000));
}

}  // namespace
