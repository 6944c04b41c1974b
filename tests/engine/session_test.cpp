// The uninstall session and the phase driver, run on real logs with actions of the test's own that
// record what they are handed and answer what the test tells them to.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "core/string_list.h"
#include "engine/directory_action.h"
#include "engine/file_actions.h"
#include "engine/registry_actions.h"
#include "engine/session.h"
#include "engine/shell_actions.h"
#include "support/registry_keys.h"
#include "support/scratch_dir.h"
#include "support/test_log.h"
#include "support/uninstall_entry.h"
#include "ui/progress_dialog.h"

namespace {

// ------------------------------------------------------------------ recording actions

struct ActionCall {
    int row;
    int message;
    int firstRecord;
    std::string text;
    int32_t number;
    bool hasList;
    std::vector<std::string> list;
};

std::vector<ActionCall> gCalls;
// (row, n) -> what the row's action answers on its n-th call (0 when not listed).
std::map<std::pair<int, int>, int32_t> gAnswers;
std::map<int, int> gRowCallCount;
std::vector<int> gPausedAfter;  // phases completed when each pause came
UninstallSession* gRunning;

std::vector<std::string> ListEntries(StringList* list)
{
    std::vector<std::string> entries;
    for (const char* text = ListFirst(list); text; text = ListNext(list))
        entries.push_back(text);
    return entries;
}

template <int Row>
int32_t RecordingAction(PhaseState* state, int message, UninstallSession*, const char* text,
                        int32_t number, StringList* list)
{
    gCalls.push_back({Row, message, state ? state->firstRecord : -1, text ? text : "", number,
                      list != nullptr, ListEntries(list)});
    int call = gRowCallCount[Row]++;
    auto answer = gAnswers.find({Row, call});
    return answer == gAnswers.end() ? 0 : answer->second;
}

const RecordAction kRecordingActions[SESSION_PHASE_COUNT] = {
    RecordingAction<0>, RecordingAction<1>, RecordingAction<2>, RecordingAction<3>,
    RecordingAction<4>, RecordingAction<5>, RecordingAction<6>, RecordingAction<7>,
    RecordingAction<8>, RecordingAction<9>,
};

// The program's own table with the recording actions put in.
struct TestTable {
    PhaseRow rows[SESSION_PHASE_COUNT];
    TestTable()
    {
        for (int i = 0; i < SESSION_PHASE_COUNT; ++i) {
            rows[i] = kUninstallPhases[i];
            rows[i].action = kRecordingActions[i];
        }
    }
};
const TestTable kTestTable;

void RecordPause(DWORD milliseconds)
{
    EXPECT_EQ(310u, milliseconds);
    gPausedAfter.push_back(gRunning ? gRunning->currentPhase : -1);
}

struct Report {
    int32_t code;
    std::string text;
};
std::vector<Report> gReports;

int32_t RecordReport(int32_t code, const char* text, int32_t value, UninstallSession*)
{
    EXPECT_EQ(0, value);
    gReports.push_back({code, text ? text : "(none)"});
    return 1;
}

LogWriterRecord Record(const std::string& kind, const std::string& text, uint32_t number = 0)
{
    LogWriterRecord record;
    record.kind = kind;
    record.flags = RECORD_HAS_STRING | RECORD_HAS_NUMBER;
    record.string = text;
    record.number = number;
    return record;
}

LogWriterRecord ListRecord(const std::string& kind, const std::vector<std::string>& list)
{
    LogWriterRecord record;
    record.kind = kind;
    record.flags = RECORD_HAS_LIST;
    record.list = list;
    return record;
}

// ------------------------------------------------------------------ fixture

class Session : public ::testing::Test {
protected:
    Session()
        : scratch_("session_test"),
          logPath_(scratch_ / "app\\setup.log"),
          key_("UninstSessionTest" + std::to_string(GetCurrentProcessId()))
    {
    }

    void SetUp() override
    {
        gInstance = GetModuleHandleA(nullptr);
        gOptions = StartOptions();
        gCalls.clear();
        gAnswers.clear();
        gRowCallCount.clear();
        gPausedAfter.clear();
        gReports.clear();
        gSessionPause = RecordPause;
        scratch_.makeDir("app");
        DeleteUninstallEntry(key_);
        ASSERT_EQ(0, EngineInit());
    }

    void TearDown() override
    {
        if (session_)
            SessionDestroy(session_);
        gRunning = nullptr;
        EngineShutdown();
        DeleteUninstallEntry(key_);
        for (const std::string& path : leftovers_)
            DeleteFileA(path.c_str());
    }

    void WriteLog(const std::vector<LogWriterRecord>& records, const std::string& keyName,
                  int total = -1)
    {
        ASSERT_EQ("", WriteTestLog(logPath_, "Session Test App", keyName, records, total));
        original_ = ReadWholeFile(logPath_);
    }
    void WriteLog(const std::vector<LogWriterRecord>& records = {}) { WriteLog(records, key_); }

    void WriteEntry(const char* displayName, const char* uninstallString)
    {
        if (displayName) {
            ASSERT_TRUE(SetUninstallValue(key_, "DisplayName", displayName));
        }
        if (uninstallString) {
            ASSERT_TRUE(SetUninstallValue(key_, "UninstallString", uninstallString));
        }
    }

    UninstallSession* Create(const PhaseRow* table = kTestTable.rows)
    {
        session_ = SessionCreateWithTable(logPath_.c_str(), RecordReport, table);
        gRunning = session_;
        if (session_)
            leftovers_.push_back(session_->tempLogPath);
        return session_;
    }

    UninstallSession* CreateAndStart()
    {
        if (Create()) {
            EXPECT_EQ(0, SessionStart(session_, 0));
        }
        return session_;
    }

    // Steps until a step answers something other than 0; the answers in order.
    std::vector<int> Run(int maxSteps = 200)
    {
        std::vector<int> answers;
        for (int i = 0; i < maxSteps; ++i) {
            answers.push_back(SessionStep(session_));
            if (answers.back() != 0)
                break;
        }
        return answers;
    }

    void Destroy()
    {
        SessionDestroy(session_);
        session_ = nullptr;
        gRunning = nullptr;
    }

    std::string MessageLine() const
    {
        char text[300] = "";
        GetDlgItemTextA(session_->progressWindow, IDC_PROGRESS_MESSAGE, text, sizeof text);
        return text;
    }

    std::vector<int> CallsOf(int row, int message) const
    {
        std::vector<int> found;
        for (size_t i = 0; i < gCalls.size(); ++i)
            if (gCalls[i].row == row && gCalls[i].message == message)
                found.push_back(static_cast<int>(i));
        return found;
    }

    std::string Value(const char* name) const
    {
        std::string text = "(missing)";
        GetUninstallValue(key_, name, &text);
        return text;
    }

    ScratchDir scratch_;
    std::string logPath_;
    std::string key_;
    std::string original_;
    std::vector<std::string> leftovers_;
    UninstallSession* session_ = nullptr;
};

const char kSuccessText[] = "Uninstall successfully completed.";
const char kPartialText[] =
    "Uninstall completed.  Some elements could not be removed.  You should manually remove items "
    "related to the application.";

// ------------------------------------------------------------------ creation

TEST_F(Session, CreationCopiesTheLogAndDeletesItAtItsPlace)
{
    WriteLog();
    WriteEntry("Session Test Application", "C:\\WINDOWS\\uninst.exe -fC:\\x.log");
    ASSERT_NE(nullptr, Create());
    EXPECT_FALSE(PathExists(logPath_));
    std::string temp = session_->tempLogPath;
    EXPECT_EQ(0, _strnicmp(temp.c_str(), (WindowsDirectory() + "_detmp.").c_str(),
                           WindowsDirectory().size() + 7))
        << temp;
    EXPECT_EQ(original_, ReadWholeFile(temp));
    EXPECT_EQ(logPath_, session_->logPath);
    EXPECT_STREQ("Session Test Application", session_->displayName);
    EXPECT_STREQ("C:\\WINDOWS\\uninst.exe -fC:\\x.log", session_->uninstallString);
    EXPECT_EQ(10, session_->phaseCount);
    EXPECT_EQ(0, session_->currentPhase);
    EXPECT_EQ(0, session_->started);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NE(nullptr, session_->phases[i].handler);
        ASSERT_NE(nullptr, session_->phases[i].state);
        EXPECT_EQ(1, session_->phases[i].state->firstRecord);
        EXPECT_EQ(0u, session_->phases[i].state->actionData);
    }
    EXPECT_TRUE(gReports.empty());
}

TEST_F(Session, ProgressDialogGetsTheDisplayNameAndTheTotal)
{
    WriteLog({}, key_, 1234);
    WriteEntry("Shown Name", nullptr);
    ASSERT_NE(nullptr, Create());
    ASSERT_NE(nullptr, session_->progress);
    EXPECT_STREQ("Shown Name", session_->progress->displayName);
    EXPECT_EQ(1234, session_->progress->total);
    EXPECT_EQ(session_->progressWindow, gProgressDialog);
    EXPECT_TRUE(IsWindow(session_->progressWindow));
    EXPECT_FALSE(IsWindowVisible(session_->progressWindow));
    EXPECT_EQ("", MessageLine());
}

TEST_F(Session, WithoutDisplayNameTheDialogNamesTheApplication)
{
    WriteLog();
    WriteEntry("", "x");
    ASSERT_NE(nullptr, Create());
    EXPECT_STREQ("Session Test App", session_->progress->displayName);
}

TEST_F(Session, MissingLogIsReportedWithItsPath)
{
    ASSERT_EQ(nullptr, Create());
    ASSERT_EQ(1u, gReports.size());
    EXPECT_EQ(-5, gReports[0].code);
    EXPECT_EQ(logPath_, gReports[0].text);
}

TEST_F(Session, TooLongLogPathIsReportedAsMissing)
{
    logPath_ = "C:\\" + std::string(300, 'x');
    ASSERT_EQ(nullptr, Create());
    ASSERT_EQ(1u, gReports.size());
    EXPECT_EQ(-5, gReports[0].code);
}

TEST_F(Session, CorruptLogIsReportedAndLeftAlone)
{
    std::string content = "not an installation log " + key_;
    ASSERT_TRUE(scratch_.writeFile("app\\setup.log", content));
    ASSERT_EQ(nullptr, Create());
    ASSERT_EQ(1u, gReports.size());
    EXPECT_EQ(-3, gReports[0].code);
    EXPECT_EQ(logPath_, gReports[0].text);
    EXPECT_EQ(content, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(content).empty());
}

TEST_F(Session, WithoutProgressDialogTheLogGoesBack)
{
    WriteLog();
    gInstance = GetModuleHandleA("kernel32.dll");  // holds no dialog 1001
    ASSERT_EQ(nullptr, Create());
    ASSERT_EQ(1u, gReports.size());
    EXPECT_EQ(-4, gReports[0].code);
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_TRUE(TempCopiesHolding(original_).empty());
}

// ------------------------------------------------------------------ stepping

TEST_F(Session, NothingRunsBeforeStart)
{
    WriteLog();
    ASSERT_NE(nullptr, Create());
    EXPECT_EQ(0, SessionIsRunnable(session_));
    EXPECT_EQ(0, SessionStep(session_));
    EXPECT_EQ(0, session_->currentPhase);
    EXPECT_EQ(0, SessionStart(session_, 0));
    EXPECT_EQ(1, SessionIsRunnable(session_));
    EXPECT_FALSE(IsWindowVisible(session_->progressWindow));
}

TEST_F(Session, StartWithShowShowsTheDialog)
{
    WriteLog();
    ASSERT_NE(nullptr, Create());
    EXPECT_EQ(0, SessionStart(session_, 1));
    EXPECT_TRUE(IsWindowVisible(session_->progressWindow));
}

TEST_F(Session, LogWithoutRecordsTakesOneStepPerPhase)
{
    WriteLog();
    ASSERT_NE(nullptr, CreateAndStart());
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), Run());
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(1, session_->finished);
    EXPECT_EQ(0, SessionIsRunnable(session_));
    EXPECT_EQ(1, SessionIsFinished(session_));
    for (int mark = 0; mark < PROGRESS_MARK_COUNT; ++mark)
        EXPECT_EQ(1, session_->progress->ticked[mark]) << mark;
    EXPECT_EQ(0, session_->progress->current);
    EXPECT_EQ(kSuccessText, MessageLine());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(session_->progressWindow, IDOK)));
    EXPECT_TRUE(gReports.empty());
    EXPECT_EQ(-1, SessionStep(session_));
}

TEST_F(Session, PauseFollowsEachOfTheFirstNinePhases)
{
    WriteLog({Record("CF", "a"), Record("MRK", "m")});
    ASSERT_NE(nullptr, CreateAndStart());
    Run();
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}), gPausedAfter);
}

TEST_F(Session, CheckMarksFollowTheirPhases)
{
    WriteLog();
    ASSERT_NE(nullptr, CreateAndStart());
    // phase index -> marks ticked once it is done
    const int expected[10][6] = {
        {1, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0}, {1, 1, 1, 0, 0, 0},
        {1, 1, 1, 1, 0, 0}, {1, 1, 1, 1, 1, 0}, {1, 1, 1, 1, 1, 0}, {1, 1, 1, 1, 1, 0},
        {1, 1, 1, 1, 1, 0}, {1, 1, 1, 1, 1, 1},
    };
    for (int phase = 0; phase < 10; ++phase) {
        SessionStep(session_);
        for (int mark = 0; mark < 6; ++mark)
            EXPECT_EQ(expected[phase][mark], session_->progress->ticked[mark])
                << "phase " << phase << " mark " << mark;
    }
}

TEST_F(Session, EachRecordIsOneStepAndTheEndOfTheKindOneMore)
{
    WriteLog({Record("CF", "C:\\app\\one.exe", 1), ListRecord("CSF", {"C:\\sys\\a.dll", "x"}),
              Record("CF", "C:\\app\\two.exe", 2), Record("CDR", "C:\\app"),
              Record("CF", "C:\\app\\three.exe", 3), Record("CDR", "C:\\app\\sub")},
             key_, 100);
    ASSERT_NE(nullptr, CreateAndStart());
    std::vector<int> answers = Run();
    // CF 3 + 1, CSF 1 + 1, API, RPI, CPG, CDR 2 + 1, CRK, SRK, URK, MRK.
    ASSERT_EQ(16u, answers.size());
    EXPECT_EQ(1, answers.back());

    ASSERT_EQ(9u, gCalls.size());
    const char* cfTexts[] = {"C:\\app\\one.exe", "C:\\app\\two.exe", "C:\\app\\three.exe"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, gCalls[i].row);
        EXPECT_EQ(PHASE_RUN, gCalls[i].message);
        EXPECT_EQ(cfTexts[i], gCalls[i].text);
        EXPECT_EQ(i + 1, gCalls[i].number);
        EXPECT_EQ(i == 0 ? 1 : 0, gCalls[i].firstRecord);
        EXPECT_FALSE(gCalls[i].hasList);
    }
    EXPECT_EQ(PHASE_END, gCalls[3].message);
    EXPECT_EQ(0, gCalls[3].row);

    EXPECT_EQ(1, gCalls[4].row);
    EXPECT_EQ(PHASE_RUN, gCalls[4].message);
    EXPECT_TRUE(gCalls[4].hasList);
    EXPECT_EQ((std::vector<std::string>{"C:\\sys\\a.dll", "x"}), gCalls[4].list);
    EXPECT_EQ("", gCalls[4].text);
    EXPECT_EQ(0, gCalls[4].number);
    EXPECT_EQ(PHASE_END, gCalls[5].message);
    EXPECT_EQ(1, gCalls[5].row);

    EXPECT_EQ(5, gCalls[6].row);
    EXPECT_EQ("C:\\app", gCalls[6].text);
    EXPECT_EQ(1, gCalls[6].firstRecord);
    EXPECT_EQ("C:\\app\\sub", gCalls[7].text);
    EXPECT_EQ(0, gCalls[7].firstRecord);
    EXPECT_EQ(PHASE_END, gCalls[8].message);

    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(row == 0 || row == 1 || row == 5 ? 1u : 0u, CallsOf(row, PHASE_END).size())
            << row;
    // One step of the bar per record and per end of a kind that had records.
    EXPECT_EQ(9, session_->progress->current);
    EXPECT_EQ(kSuccessText, MessageLine());
}

TEST_F(Session, NotRemovedElementsEndWithThePartialSuccessText)
{
    WriteLog({Record("CF", "a"), Record("CF", "b"), Record("SRK", "v")});
    gAnswers[{0, 0}] = ERR_FILE_NOT_REMOVED;
    gAnswers[{7, 0}] = ERR_REGISTRY_NOT_REMOVED;
    ASSERT_NE(nullptr, CreateAndStart());
    std::vector<int> answers = Run();
    EXPECT_EQ(1, answers.back());
    EXPECT_EQ(2u, CallsOf(0, PHASE_RUN).size());
    EXPECT_EQ(1, session_->partialFailure);
    EXPECT_EQ(kPartialText, MessageLine());
    EXPECT_TRUE(gReports.empty());
}

TEST_F(Session, EveryPartialFailureCodeLetsTheRunGoOn)
{
    for (int32_t code = ERR_GROUP_NOT_REMOVED; code <= ERR_FILE_NOT_REMOVED; ++code) {
        SCOPED_TRACE(code);
        gCalls.clear();
        gAnswers.clear();
        gRowCallCount.clear();
        WriteLog({Record("CRK", "k")});
        gAnswers[{6, 0}] = code;
        ASSERT_NE(nullptr, CreateAndStart());
        EXPECT_EQ(1, Run().back());
        EXPECT_EQ(1, session_->partialFailure);
        Destroy();
    }
    EXPECT_TRUE(gReports.empty());
}

TEST_F(Session, PartialFailureAtTheEndOfAKindRepeatsTheEnd)
{
    WriteLog({Record("CDR", "C:\\app")});
    gAnswers[{5, 1}] = ERR_DIR_NOT_REMOVED;
    ASSERT_NE(nullptr, CreateAndStart());
    EXPECT_EQ(1, Run().back());
    EXPECT_EQ(2u, CallsOf(5, PHASE_END).size());
    EXPECT_EQ(1, session_->partialFailure);
    EXPECT_EQ(kPartialText, MessageLine());
}

TEST_F(Session, SuccessLeavesNeitherTheLogNorItsCopy)
{
    WriteLog({Record("CF", "a")});
    WriteEntry("Name", "Command");
    ASSERT_NE(nullptr, CreateAndStart());
    std::string temp = session_->tempLogPath;
    EXPECT_EQ(1, Run().back());
    Destroy();
    EXPECT_FALSE(PathExists(logPath_));
    EXPECT_FALSE(PathExists(temp));
}

// ------------------------------------------------------------------ stopping and restoring

TEST_F(Session, OtherCodesStopTheRunAndPutEverythingBack)
{
    const int32_t codes[] = {3, -2, 7, -1, 2, -20, -26, -6};
    for (int32_t code : codes) {
        SCOPED_TRACE(code);
        gCalls.clear();
        gAnswers.clear();
        gRowCallCount.clear();
        gReports.clear();
        WriteLog({Record("CF", "a"), Record("CF", "b")});
        WriteEntry("Stop Test", "C:\\somewhere\\uninst.exe -fC:\\x.log");
        gAnswers[{0, 0}] = code;
        ASSERT_NE(nullptr, CreateAndStart());
        std::string temp = session_->tempLogPath;
        DeleteUninstallEntry(key_);

        EXPECT_EQ(-1, SessionStep(session_));
        EXPECT_EQ(1u, gCalls.size());
        ASSERT_EQ(1u, gReports.size());
        EXPECT_EQ(-6, gReports[0].code);
        EXPECT_EQ(code, session_->lastResult);
        // Put back by the failing step itself, before the session goes.
        EXPECT_EQ(original_, ReadWholeFile(logPath_));
        EXPECT_EQ("C:\\somewhere\\uninst.exe -fC:\\x.log", Value("UninstallString"));
        EXPECT_EQ("Stop Test", Value("DisplayName"));

        Destroy();
        EXPECT_EQ(original_, ReadWholeFile(logPath_));
        EXPECT_FALSE(PathExists(temp));
        EXPECT_EQ("Stop Test", Value("DisplayName"));
        EXPECT_EQ(1u, gReports.size());
        DeleteFileA(logPath_.c_str());
    }
}

TEST_F(Session, StopAtTheEndOfAKindRestoresToo)
{
    WriteLog({Record("CF", "a")});
    WriteEntry("End Stop", "cmd");
    gAnswers[{0, 1}] = 5;
    ASSERT_NE(nullptr, CreateAndStart());
    EXPECT_EQ((std::vector<int>{0, -1}), Run());
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
}

TEST_F(Session, WithoutUninstallStringTheRestoredCommandRunsThisProgram)
{
    WriteLog({Record("CF", "a")});
    gAnswers[{0, 0}] = 3;
    ASSERT_NE(nullptr, CreateAndStart());
    EXPECT_EQ(-1, SessionStep(session_));
    EXPECT_EQ(WindowsDirectory() + "uninst.exe -f" + logPath_, Value("UninstallString"));
    EXPECT_EQ("", Value("DisplayName"));
}

// The written command must start this program on the same log again, blanks in its path or not.
TEST_F(Session, TheRestoredCommandNamesALogPathWithBlanksWhole)
{
    ASSERT_TRUE(scratch_.makeDir("Acme Tools"));
    logPath_ = scratch_ / "Acme Tools\\setup.log";
    WriteLog({Record("CF", "a")});
    gAnswers[{0, 0}] = 3;
    ASSERT_NE(nullptr, CreateAndStart());
    EXPECT_EQ(-1, SessionStep(session_));
    std::string command = Value("UninstallString");
    std::string program = WindowsDirectory() + "uninst.exe ";
    ASSERT_EQ(program, command.substr(0, program.size()));
    ParseCommandLine(command.c_str() + program.size());
    EXPECT_STREQ(logPath_.c_str(), gOptions.logPath);
    EXPECT_TRUE(gOptions.runSession);
}

// A name of backslashes only would name the Uninstall key itself, shared by every product: no
// entry is written. The log still goes back to its place, so that the uninstall can be started
// again from whatever names it there (a program item, a command line).
TEST_F(Session, WithoutUsableUninstallKeyNameOnlyTheLogIsRestored)
{
    for (const char* keyName : {"", "\\", "\\\\\\"}) {
        SCOPED_TRACE(keyName);
        gRowCallCount.clear();
        WriteLog({Record("CF", "a")}, keyName);
        gAnswers[{0, 0}] = 3;
        ASSERT_NE(nullptr, CreateAndStart());
        std::string temp = session_->tempLogPath;
        EXPECT_EQ(-1, SessionStep(session_));
        EXPECT_EQ(original_, ReadWholeFile(logPath_));
        Destroy();
        EXPECT_EQ(original_, ReadWholeFile(logPath_));
        EXPECT_FALSE(PathExists(temp));
        EXPECT_FALSE(UninstallEntryExists(key_));
        std::string text;
        EXPECT_FALSE(GetUninstallValue("", "UninstallString", &text)) << text;
        EXPECT_FALSE(GetUninstallValue("", "DisplayName", &text)) << text;
    }
}

TEST_F(Session, AnUnfinishedSessionPutsTheLogBackWhenDestroyed)
{
    WriteLog({Record("CF", "a"), Record("CF", "b")});
    WriteEntry("Unfinished", "cmd line");
    ASSERT_NE(nullptr, CreateAndStart());
    std::string temp = session_->tempLogPath;
    EXPECT_EQ(0, SessionStep(session_));
    DeleteUninstallEntry(key_);
    Destroy();
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
    EXPECT_FALSE(PathExists(temp));
    EXPECT_EQ("cmd line", Value("UninstallString"));
    EXPECT_EQ("Unfinished", Value("DisplayName"));
}

TEST_F(Session, ANeverStartedSessionPutsTheLogBackIntoARemovedDirectory)
{
    WriteLog();
    ASSERT_NE(nullptr, Create());
    ASSERT_TRUE(RemoveDirectoryA((scratch_ / "app").c_str()));
    Destroy();
    EXPECT_EQ(original_, ReadWholeFile(logPath_));
}

TEST_F(Session, LongRegistryValuesAreWrittenBackWhole)
{
    std::string name(600, 'N');
    std::string command = "C:\\Program Files\\App\\uninst.exe -f" + std::string(900, 'c');
    WriteLog({Record("CF", "a")});
    WriteEntry(name.c_str(), command.c_str());
    gAnswers[{0, 0}] = 3;
    ASSERT_NE(nullptr, CreateAndStart());
    DeleteUninstallEntry(key_);
    EXPECT_EQ(-1, SessionStep(session_));
    EXPECT_EQ(name, Value("DisplayName"));
    EXPECT_EQ(command, Value("UninstallString"));
}

// An entry whose command is kept with its variables unexpanded is put back the same way: written
// as plain text, "%SystemRoot%" would no longer name a directory and the uninstall could not be
// started again.
TEST_F(Session, RestoredValuesKeepTheirExpandableType)
{
    WriteLog({Record("CF", "a")});
    const char command[] = "%SystemRoot%\\uninst.exe -fC:\\x.log";
    const char name[] = "Expandable %Name%";
    std::string keyPath = std::string(kUninstallKeyPrefix) + key_;
    ASSERT_TRUE(TestSetValue(HKEY_LOCAL_MACHINE, keyPath, "UninstallString", REG_EXPAND_SZ, command,
                             sizeof command));
    ASSERT_TRUE(TestSetValue(HKEY_LOCAL_MACHINE, keyPath, "DisplayName", REG_EXPAND_SZ, name, sizeof name));
    gAnswers[{0, 0}] = 3;
    ASSERT_NE(nullptr, CreateAndStart());
    DeleteUninstallEntry(key_);
    EXPECT_EQ(-1, SessionStep(session_));
    for (const char* value : {"UninstallString", "DisplayName"}) {
        DWORD type = 0;
        std::string data;
        EXPECT_TRUE(TestGetValue(HKEY_LOCAL_MACHINE, keyPath, value, &type, &data));
        EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type) << value;
        EXPECT_STREQ(value[0] == 'U' ? command : name, data.c_str());
    }
}

// ------------------------------------------------------------------ the table and the edges

TEST_F(Session, ProgramTableBindsEachKindToItsAction)
{
    struct Row {
        const char* kind;
        int withList;
        int mark;
        RecordAction action;
    };
    const Row rows[10] = {
        {"CF", 0, 0, RemoveFilesAction},         {"CSF", 1, 1, RemoveSharedFilesAction},
        {"API", 1, 2, RemoveShellItemAction},    {"RPI", 1, -1, RemoveShellItemAction},
        {"CPG", 0, 3, RemoveShellGroupAction},   {"CDR", 0, 4, RemoveDirectoriesAction},
        {"CRK", 0, -1, RemoveKeysAction},        {"SRK", 1, -1, RemoveValuesAction},
        {"URK", 0, -1, RemoveProductKeysAction}, {"MRK", 0, 5, RemoveAppEntriesAction},
    };
    for (int i = 0; i < 10; ++i) {
        EXPECT_STREQ(rows[i].kind, kUninstallPhases[i].kindCode) << i;
        EXPECT_EQ(rows[i].withList, kUninstallPhases[i].withList) << i;
        EXPECT_EQ(rows[i].mark, kUninstallPhases[i].checkMark) << i;
        EXPECT_EQ(rows[i].action, kUninstallPhases[i].action) << i;
    }
}

TEST_F(Session, NullSessionsAnswerTheirFailureValues)
{
    EXPECT_EQ(-1, SessionStep(nullptr));
    EXPECT_EQ(-1, SessionStart(nullptr, 1));
    EXPECT_EQ(-1, SessionDestroy(nullptr));
    EXPECT_EQ(0, SessionIsRunnable(nullptr));
    EXPECT_EQ(1, SessionIsFinished(nullptr));
    EXPECT_EQ(-1, SessionQuery(nullptr, SESSION_POOL));
    EXPECT_EQ(-1, SessionSetResult(nullptr, 3));
}

TEST_F(Session, QueryGivesThePoolAndTheProgressRecord)
{
    WriteLog();
    ASSERT_NE(nullptr, Create());
    EXPECT_GE(SessionQuery(session_, SESSION_POOL), 2);
    EXPECT_EQ(reinterpret_cast<intptr_t>(session_->progress), SessionQuery(session_, SESSION_PROGRESS));
    EXPECT_EQ(0, SessionQuery(session_, 3));
    EXPECT_EQ(0, SessionSetResult(session_, -22));
    EXPECT_EQ(-22, session_->lastResult);
}

TEST_F(Session, DriverAnswersZeroToOtherMessages)
{
    EXPECT_EQ(0, PhaseDriver(nullptr, 7, 0, nullptr, nullptr, nullptr, "CF"));
    EXPECT_EQ(0, PhaseDriver(nullptr, PHASE_DESTROY, 0, nullptr, nullptr, nullptr, "CF"));
    EXPECT_EQ(0, PhaseDriver(nullptr, PHASE_CREATE, 0, nullptr, nullptr, nullptr, "CF"));
    EXPECT_EQ(-1, PhaseDriver(nullptr, PHASE_RUN, 0, nullptr, nullptr, nullptr, "CF"));
}

TEST_F(Session, CreatingAPhaseForgetsTheLastGroupShown)
{
    lstrcpyA(lastGroupShown, "Accessories");
    WriteLog();
    ASSERT_NE(nullptr, Create());
    EXPECT_STREQ("", lastGroupShown);
}

}  // namespace
