// The CF and CSF actions on real files and real SharedDLLs counts (Windows NT, nothing in use):
// deletion, optional files, shared counts, the protected runtime files, the user's answer to
// the shared-file question and the unregistration of self-registering servers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/options.h"
#include "app/platform.h"
#include "app/startup.h"
#include "core/pool.h"
#include "core/string_list.h"
#include "engine/file_actions.h"
#include "services/deferred_ops.h"
#include "services/shared_counts.h"
#include "support/message_box_answerer.h"
#include "support/program_resources.h"
#include "support/temp_tree.h"

namespace {

const int32_t OPTIONAL_FILE = 0x40;
const int32_t SELF_REGISTERING = 0x20;
const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kQuestionCaption[] = "Remove Shared File?";
const char kTextBefore[] =
    "The system indicates that the following shared file is no longer used by any programs.\n\n";
const char kTextAfter[] =
    "\n\nIf any programs are still using this file and it is removed, those programs may not function.  "
    "Are you sure you want to remove the shared file?";

std::string SystemDirectory()
{
    char path[MAX_PATH + 1];
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string Upper(std::string text)
{
    CharUpperA(&text[0]);
    return text;
}

void SetCount(const std::string& path, DWORD count)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegSetValueExA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(key);
}

// The stored count as "type:value", or "none" when there is no value.
std::string CountOf(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "none";
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(key, path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "none";
    return (type == REG_DWORD ? "dword:" : "other:") + std::to_string(value);
}

void DeleteCount(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, path.c_str());
        RegCloseKey(key);
    }
}

class FileActionsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gInstance = ProgramResources();
        DetectPlatform();
        ASSERT_NE(nullptr, gInstance);
        MemoryPool pool = PoolCreate(16384, POOL_STANDARD);
        ASSERT_EQ(0, SharedCountInit(pool, GetPlatformClass()));
        DeferredOpsInit(GetPlatformClass());
    }

    FileActionsTest() : tree_("file_actions")
    {
        owner_ = CreateWindowA("STATIC", "progress", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        gProgressDialog = owner_;
        gOptions.noRuntimeProtection = 0;
    }
    ~FileActionsTest() override
    {
        for (const std::string& path : counted_)
            DeleteCount(path);
        gProgressDialog = nullptr;
        DestroyWindow(owner_);
        gOptions.noRuntimeProtection = 0;
    }

    std::string Counted(const std::string& path, DWORD count)
    {
        SetCount(path, count);
        counted_.push_back(path);
        return path;
    }

    int32_t RunCf(const std::string& path, int32_t flags)
    {
        return RemoveFilesAction(nullptr, PHASE_RUN, nullptr, path.c_str(), flags, nullptr);
    }

    int32_t RunCsf(const std::string& copyPath, const std::string& sharedPath, int32_t flags)
    {
        StringList* list = ListCreate(0);
        ListAppend(list, copyPath.c_str());
        ListAppend(list, sharedPath.c_str());
        int32_t result = RemoveSharedFilesAction(nullptr, PHASE_RUN, nullptr, "", flags, list);
        ListDestroy(list);
        return result;
    }

    TempTree tree_;
    HWND owner_;
    std::vector<std::string> counted_;
};

TEST_F(FileActionsTest, CopiedFiles)
{
    std::string present = tree_.AddFile("app\\present.exe");
    EXPECT_EQ(0, RunCf(present, 0));
    EXPECT_FALSE(PathExists(present));

    std::string gone = tree_.Path("app\\gone.exe");
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(gone, 0));
    EXPECT_EQ(0, RunCf(gone, OPTIONAL_FILE));
    EXPECT_EQ(0, RunCf(gone, OPTIONAL_FILE | 0x1234));

    // A read-only file is not in use, but it cannot be deleted either; it stays as it was.
    std::string locked = tree_.AddFile("app\\locked.txt", "keep");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    DWORD lockedAttributes = GetFileAttributesA(locked.c_str());
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(locked, 0));
    EXPECT_EQ(0, RunCf(locked, OPTIONAL_FILE));
    EXPECT_EQ("keep", ReadWholeFile(locked));
    EXPECT_EQ(lockedAttributes, GetFileAttributesA(locked.c_str()));

    std::string untouched = tree_.AddFile("app\\untouched.txt");
    EXPECT_EQ(0, RemoveFilesAction(nullptr, PHASE_END, nullptr, untouched.c_str(), 0, nullptr));
    EXPECT_TRUE(PathExists(untouched));
}

TEST_F(FileActionsTest, CopiedFileRecordsThatNameNothingUsable)
{
    std::string tooLong = tree_.Root() + "\\" + std::string(300, 'a');
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(tooLong, 0));
    EXPECT_EQ(0, RunCf(tooLong, OPTIONAL_FILE));
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf("", 0));
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(tree_.Root(), 0));
    EXPECT_TRUE(PathExists(tree_.Root()));
    // A pattern is no file name, even when it matches files.
    std::string matched = tree_.AddFile("wild\\one.dll");
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(tree_.Path("wild\\*.dll"), 0));
    EXPECT_TRUE(PathExists(matched));
}

TEST_F(FileActionsTest, SharedFileStillCountedElsewhereStays)
{
    std::string shared = Counted(tree_.AddFile("common\\shared.dll"), 3);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    EXPECT_EQ(0, RunCsf(shared, shared, 0));
    EXPECT_TRUE(PathExists(shared));
    EXPECT_EQ("dword:2", CountOf(shared));
    EXPECT_EQ(0, answerer.Count());
}

TEST_F(FileActionsTest, SharedFileWithoutCountIsNotRemovedAndNothingIsAsked)
{
    std::string shared = tree_.AddFile("common\\uncounted.dll");
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCsf(shared, shared, 0));
    EXPECT_TRUE(PathExists(shared));
    EXPECT_EQ("none", CountOf(shared));
    EXPECT_EQ(0, answerer.Count());
}

TEST_F(FileActionsTest, UnusedSharedFileKeptWhenTheUserSaysNo)
{
    std::string shared = Counted(tree_.AddFile("common\\Mixed Case.dll"), 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDNO);
    EXPECT_EQ(0, RunCsf(shared, shared, SELF_REGISTERING));
    EXPECT_TRUE(PathExists(shared));
    EXPECT_EQ("dword:0", CountOf(shared));

    ASSERT_EQ(1, answerer.Count());
    AnsweredBox box = answerer.Last();
    EXPECT_EQ(kTextBefore + Upper(shared) + kTextAfter, box.text);
    EXPECT_EQ(IDNO, box.defaultButton);
    EXPECT_EQ(owner_, box.owner);
}

TEST_F(FileActionsTest, UnusedSharedFileRemovedWhenTheUserSaysYes)
{
    std::string shared = Counted(tree_.AddFile("common\\yes.dll"), 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    EXPECT_EQ(0, RunCsf(shared, shared, 0));
    EXPECT_FALSE(PathExists(shared));
    EXPECT_EQ("none", CountOf(shared));
    EXPECT_EQ(1, answerer.Count());

    // A count already at 0 goes the same way.
    std::string zero = Counted(tree_.AddFile("common\\zero.dll"), 0);
    EXPECT_EQ(0, RunCsf(zero, zero, 0));
    EXPECT_FALSE(PathExists(zero));
    EXPECT_EQ(2, answerer.Count());
}

TEST_F(FileActionsTest, PathsDifferingOnlyInCaseAreOneSharedFile)
{
    std::string shared = Counted(tree_.AddFile("common\\case.dll"), 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    EXPECT_EQ(0, RunCsf(Upper(shared), shared, 0));
    EXPECT_FALSE(PathExists(shared));
    EXPECT_EQ(1, answerer.Count());
}

TEST_F(FileActionsTest, PendingCopyIsRemovedAndTheSharedFileLeftAlone)
{
    std::string shared = Counted(tree_.AddFile("common\\target.dll"), 1);
    std::string copy = tree_.AddFile("common\\target.dl_");
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);

    EXPECT_EQ(0, RunCsf(copy, shared, 0));
    EXPECT_FALSE(PathExists(copy));
    EXPECT_TRUE(PathExists(shared));
    EXPECT_EQ("dword:1", CountOf(shared));
    EXPECT_EQ(0, answerer.Count());

    // A copy that cannot go is reported; it is never left for the restart.
    std::string heldCopy = tree_.AddFile("common\\held.dl_");
    HANDLE held = CreateFileA(heldCopy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCsf(heldCopy, shared, 0));
    CloseHandle(held);
    EXPECT_TRUE(PathExists(heldCopy));
    EXPECT_EQ("dword:1", CountOf(shared));
}

TEST_F(FileActionsTest, SharedRecordsThatNameNothingAreSkipped)
{
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    std::string missing = Counted(tree_.Path("common\\missing.dll"), 1);
    EXPECT_EQ(0, RunCsf(missing, missing, 0));
    EXPECT_EQ("dword:1", CountOf(missing));

    StringList* oneEntry = ListCreate(0);
    ListAppend(oneEntry, tree_.AddFile("common\\alone.dll").c_str());
    EXPECT_EQ(0, RemoveSharedFilesAction(nullptr, PHASE_RUN, nullptr, "", 0, oneEntry));
    EXPECT_EQ(0, RemoveSharedFilesAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr));
    ListDestroy(oneEntry);
    EXPECT_TRUE(PathExists(tree_.Path("common\\alone.dll")));

    std::string counted = Counted(tree_.AddFile("common\\end.dll"), 1);
    StringList* list = ListCreate(0);
    ListAppend(list, counted.c_str());
    ListAppend(list, counted.c_str());
    EXPECT_EQ(0, RemoveSharedFilesAction(nullptr, PHASE_END, nullptr, "", 0, list));
    ListDestroy(list);
    EXPECT_EQ("dword:1", CountOf(counted));
    EXPECT_EQ(0, answerer.Count());
}

TEST_F(FileActionsTest, ProtectedRuntimeFilesOnlyDirectlyInTheSystemDirectory)
{
    const char* names[] = {"mfc30.dll",    "MFCANS32.DLL", "mfcd30.dll",   "Mfcn30.dll",   "mfco30.dll",
                           "mfcuia32.dll", "mfcuiw32.dll", "mfc30loc.dll", "VBRUN300.dll", "threed.vbx"};
    std::string system = SystemDirectory();
    for (const char* name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(1, IsProtectedRuntimeFile((system + "\\" + name).c_str()));
        EXPECT_EQ(1, IsProtectedRuntimeFile((Upper(system) + "\\" + name).c_str()));
        EXPECT_EQ(0, IsProtectedRuntimeFile((system + "\\sub\\" + name).c_str()));
        EXPECT_EQ(0, IsProtectedRuntimeFile(tree_.Path(name).c_str()));
    }
    EXPECT_EQ(0, IsProtectedRuntimeFile((system + "\\mfc42.dll").c_str()));
    EXPECT_EQ(0, IsProtectedRuntimeFile("mfc30.dll"));

    gOptions.noRuntimeProtection = 1;
    EXPECT_EQ(0, IsProtectedRuntimeFile((system + "\\mfc30.dll").c_str()));
}

TEST_F(FileActionsTest, ProtectedRuntimeFileIsKeptWithoutAskingUnlessProtectionIsLifted)
{
    std::string runtime = SystemDirectory() + "\\THREED.VBX";
    ASSERT_FALSE(PathExists(runtime)) << "the prefix already holds " << runtime;
    WriteWholeFile(runtime, "runtime");
    Counted(runtime, 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDNO);

    EXPECT_EQ(0, RunCsf(runtime, runtime, 0));
    EXPECT_TRUE(PathExists(runtime));
    EXPECT_EQ("dword:0", CountOf(runtime));
    EXPECT_EQ(0, answerer.Count());

    gOptions.noRuntimeProtection = 1;
    SetCount(runtime, 1);
    EXPECT_EQ(0, RunCsf(runtime, runtime, 0));
    EXPECT_EQ(1, answerer.Count());
    EXPECT_TRUE(PathExists(runtime));
    EXPECT_EQ("dword:0", CountOf(runtime));
    DeleteFileA(runtime.c_str());

    // The same name anywhere else is an ordinary shared file.
    gOptions.noRuntimeProtection = 0;
    std::string elsewhere = Counted(tree_.AddFile("common\\threed.vbx"), 1);
    EXPECT_EQ(0, RunCsf(elsewhere, elsewhere, 0));
    EXPECT_EQ(2, answerer.Count());
}

TEST_F(FileActionsTest, SelfRegisteringServerIsUnregisteredBeforeItIsDeleted)
{
    std::string server = tree_.Path("servers\\server.dll");
    CreateDirectoryA(tree_.Path("servers").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\unregister_mark.dll").c_str(), server.c_str(), FALSE));
    Counted(server, 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);

    EXPECT_EQ(0, RunCsf(server, server, SELF_REGISTERING));
    EXPECT_FALSE(PathExists(server));
    // The mark names the server that was called, and the server was released again before deletion.
    EXPECT_EQ(server, ReadWholeFile(tree_.Path("servers\\unregistered.mark")));
    EXPECT_EQ(nullptr, GetModuleHandleA(server.c_str()));
}

TEST_F(FileActionsTest, ServerWithoutUnregisterEntryIsDeletedAllTheSame)
{
    std::string server = tree_.Path("plain\\plain.dll");
    CreateDirectoryA(tree_.Path("plain").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\no_unregister.dll").c_str(), server.c_str(), FALSE));
    Counted(server, 1);
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);

    EXPECT_EQ(0, UnregisterServer(server.c_str()));
    EXPECT_EQ(0, RunCsf(server, server, SELF_REGISTERING));
    EXPECT_FALSE(PathExists(server));
    EXPECT_FALSE(PathExists(tree_.Path("plain\\unregistered.mark")));
}

TEST_F(FileActionsTest, UnregisterServerAnswers)
{
    std::string server = tree_.Path("direct\\server.dll");
    CreateDirectoryA(tree_.Path("direct").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\unregister_mark.dll").c_str(), server.c_str(), FALSE));
    EXPECT_EQ(1, UnregisterServer(server.c_str()));
    EXPECT_TRUE(PathExists(tree_.Path("direct\\unregistered.mark")));
    EXPECT_EQ(0, UnregisterServer(tree_.Path("direct\\missing.dll").c_str()));
    // Not a module at all: loading fails and nothing is called.
    std::string text = tree_.AddFile("direct\\text.dll", "not a module");
    EXPECT_EQ(0, UnregisterServer(text.c_str()));
}

}  // namespace
