// The temporary names and the application's uninstall DLL: chosen, copied, called and put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/options.h"
#include "app/startup.h"
#include "engine/session.h"
#include "support/progman_peer_host.h"
#include "support/scratch_dir.h"
#include "support/uninstall_entry.h"
#include "support/window_driver.h"

namespace {

std::string Hex(const void* pointer)
{
    char text[32];
    snprintf(text, sizeof text, "%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

TEST(TempNames, EachNameSkipsTheNumbersAlreadyTaken)
{
    std::string prefix = WindowsDirectory() + "_detmp.";
    char first[MAX_PATH + 1];
    ASSERT_EQ(1, MakeTempName(first));
    ASSERT_EQ(0, _strnicmp(first, prefix.c_str(), prefix.size())) << first;
    int number = atoi(first + prefix.size());
    ASSERT_GT(number, 0);

    ASSERT_TRUE(CloseHandle(CreateFileA(first, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
    std::string second = prefix + std::to_string(number + 1);
    HANDLE taken = CreateFileA(second.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    char third[MAX_PATH + 1];
    EXPECT_EQ(1, MakeTempName(third));
    if (taken != INVALID_HANDLE_VALUE) {
        EXPECT_EQ(prefix + std::to_string(number + 2), third);
        CloseHandle(taken);
        DeleteFileA(second.c_str());
    }
    EXPECT_FALSE(PathExists(third));
    DeleteFileA(first);
}

class ExternalDll : public ::testing::Test {
protected:
    ExternalDll() : scratch_("startup_test") {}

    void SetUp() override
    {
        gInstance = GetModuleHandleA(nullptr);
        gOptions = StartOptions();
        gSession = nullptr;
        gProgressDialog = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
        record_ = scratch_ / "calls.txt";
        SetEnvironmentVariableA("UNINST_TEST_DLL_RECORD", record_.c_str());
        SetEnvironmentVariableA("UNINST_TEST_DLL_INIT", nullptr);
        dll_ = SiblingProgramPath("test_uninst_dll.dll");
    }

    void TearDown() override
    {
        gProgressDialog = nullptr;
        gSession = nullptr;
        if (gOptions.dllCopied)
            DeleteFileA(gOptions.dllPath);
        SetEnvironmentVariableA("UNINST_TEST_DLL_RECORD", nullptr);
    }

    void Name(const std::string& path)
    {
        gOptions.externalDll = 1;
        lstrcpyA(gOptions.dllPath, path.c_str());
        lstrcpyA(gOptions.dllSourcePath, path.c_str());
    }

    ScratchDir scratch_;
    std::string record_;
    std::string dll_;
};

TEST_F(ExternalDll, WithoutDllNothingIsCalled)
{
    EXPECT_EQ(0, CallExternalDll(1));
    EXPECT_EQ(0, CallExternalDll(0));
    EXPECT_FALSE(PathExists(record_));
}

TEST_F(ExternalDll, BothEntriesGetTheDialogTheInstanceAndZero)
{
    Name(dll_);
    SetEnvironmentVariableA("UNINST_TEST_DLL_INIT", "17");
    EXPECT_EQ(17, CallExternalDll(1));
    EXPECT_EQ(0, CallExternalDll(0));
    std::string tail = " " + Hex(gProgressDialog) + " " + Hex(gInstance) + " 0\n";
    EXPECT_EQ("UninstInitialize" + tail + "UninstUnInitialize" + tail, ReadWholeFile(record_));
    // Loaded only for the call.
    EXPECT_EQ(nullptr, GetModuleHandleA(dll_.c_str()));
}

TEST_F(ExternalDll, NegativeAnswerIsPassedOn)
{
    Name(dll_);
    SetEnvironmentVariableA("UNINST_TEST_DLL_INIT", "-3");
    EXPECT_EQ(-3, CallExternalDll(1));
}

TEST_F(ExternalDll, MissingDllOrEntryFailsQuietlyUnattended)
{
    Name(scratch_ / "missing.dll");
    EXPECT_EQ(-1, CallExternalDll(1));
    Name("kernel32.dll");
    EXPECT_EQ(-1, CallExternalDll(1));
    EXPECT_EQ(-1, CallExternalDll(0));
}

TEST_F(ExternalDll, MissingEntryIsReportedInteractively)
{
    gOptions.interactive = 1;
    Name("kernel32.dll");
    BoxAnswerer answerer("Uninstall", IDOK);
    EXPECT_EQ(-1, CallExternalDll(1));
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ("Internal error, unable to load or call external DLL.  Please contact your vendor "
              "for more information.",
              answerer.text());
}

TEST_F(ExternalDll, CopiedToATemporaryNameAndCalledThere)
{
    ASSERT_TRUE(CopyFileA(dll_.c_str(), (scratch_ / "appun.dll").c_str(), FALSE));
    Name(scratch_ / "appun.dll");
    CopyExternalDll();
    ASSERT_EQ(1, gOptions.dllCopied);
    std::string copy = gOptions.dllPath;
    EXPECT_EQ(0, _strnicmp(copy.c_str(), (WindowsDirectory() + "_detmp.").c_str(),
                           WindowsDirectory().size() + 7));
    EXPECT_EQ(ReadWholeFile(dll_), ReadWholeFile(copy));
    EXPECT_EQ(scratch_ / "appun.dll", gOptions.dllSourcePath);
    EXPECT_EQ(0, CallExternalDll(1));
    EXPECT_NE(std::string::npos, ReadWholeFile(record_).find("UninstInitialize"));
}

TEST_F(ExternalDll, NoCopyWithoutDll)
{
    CopyExternalDll();
    EXPECT_EQ(0, gOptions.dllCopied);
    Name(scratch_ / "missing.dll");
    CopyExternalDll();
    EXPECT_EQ(0, gOptions.dllCopied);
    EXPECT_EQ(scratch_ / "missing.dll", gOptions.dllPath);
}

// What happens to the DLL at the end, by how the run ended and what became of the DLL meanwhile.
TEST_F(ExternalDll, PutBackOnlyWhenTheRunDidNotFinishAndTheDllIsGone)
{
    enum RunEnd { NO_SESSION, UNFINISHED, FINISHED };
    enum DllFate { REMOVED_WITH_DIRECTORY, REMOVED, REPLACED };
    struct Case {
        RunEnd end;
        DllFate fate;
        const std::string* expected;  // content at the DLL's place afterwards; null: no file
    };
    const std::string dll = ReadWholeFile(dll_);
    const std::string newer = "newer";
    const Case cases[] = {
        {UNFINISHED, REMOVED_WITH_DIRECTORY, &dll},
        {UNFINISHED, REMOVED, &dll},
        {UNFINISHED, REPLACED, &newer},
        {FINISHED, REMOVED, nullptr},
        {FINISHED, REPLACED, &newer},
        {NO_SESSION, REMOVED, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "end " << c.end << " fate " << c.fate);
        ASSERT_TRUE(scratch_.makeDir("app"));
        std::string source = scratch_ / "app\\appun.dll";
        ASSERT_TRUE(CopyFileA(dll_.c_str(), source.c_str(), FALSE));
        Name(source);
        CopyExternalDll();
        ASSERT_EQ(1, gOptions.dllCopied);
        std::string copy = gOptions.dllPath;

        ASSERT_TRUE(DeleteFileA(source.c_str()));
        if (c.fate == REMOVED_WITH_DIRECTORY) {
            ASSERT_TRUE(RemoveDirectoryA((scratch_ / "app").c_str()));
        }
        if (c.fate == REPLACED) {
            ASSERT_TRUE(scratch_.writeFile("app\\appun.dll", newer));
        }
        UninstallSession session = {};
        session.finished = c.end == FINISHED;
        gSession = c.end == NO_SESSION ? nullptr : &session;

        RestoreExternalDll();
        if (c.expected) {
            EXPECT_TRUE(*c.expected == ReadWholeFile(source));
        } else {
            EXPECT_FALSE(PathExists(source));
        }
        EXPECT_FALSE(PathExists(copy));
        gOptions.dllCopied = 0;
        DeleteTree(scratch_ / "app");
    }
}

}  // namespace
