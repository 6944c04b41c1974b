// The CF and CSF actions on real files and real SharedDLLs counts (Windows NT, nothing in use):
// deletion, optional files, shared counts, the protected runtime files, the user's answer to
// the shared-file question and the unregistration of self-registering servers.
#include "file_actions_fixture.h"
#include "support/message_box_answerer.h"

namespace {

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

    EXPECT_EQ(0, RunCsf("", "", 0));
    std::string tooLong = tree_.Root() + "\\" + std::string(300, 'b');
    EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCsf(tooLong, tooLong, 0));

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

// A record names a file by its full path; a relative one would be resolved against whatever
// directory the program runs in (its own, the Windows directory), so it is never deleted.
TEST_F(FileActionsTest, RelativePathsNameNoFileOfTheInstallation)
{
    char saved[MAX_PATH + 1];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof saved, saved));
    std::string directory = tree_.AddDirectory("current");
    ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
    std::string victim = tree_.AddFile("current\\victim.dll", "keep");
    std::string drive = directory.substr(0, 2);
    std::string fromRoot = directory.substr(2) + "\\victim.dll";
    const std::string spellings[] = {"victim.dll", ".\\victim.dll", drive + "victim.dll", fromRoot};
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCf(spelling, 0));
        EXPECT_EQ(0, RunCf(spelling, OPTIONAL_FILE));
        EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCsf(spelling, tree_.Path("current\\other.dll"), 0));
        Counted(spelling, 1);
        EXPECT_EQ(ERR_FILE_NOT_REMOVED, RunCsf(spelling, spelling, 0));
        EXPECT_EQ("dword:1", CountOf(spelling));
        EXPECT_EQ("keep", ReadWholeFile(victim));
    }
    EXPECT_EQ(0, answerer.Count());
    SetCurrentDirectoryA(saved);
}

// The copy path names the shared file itself, only spelt another way: it is no pending copy,
// and the shared file goes only by its count.
TEST_F(FileActionsTest, SharedFileSpeltTwoWaysIsOneSharedFile)
{
    std::string shared = Counted(tree_.AddFile("common\\Long Shared Name.dll", "keep"), 5);
    char shortPath[MAX_PATH + 1] = "";
    GetShortPathNameA(shared.c_str(), shortPath, sizeof shortPath);
    const std::string spellings[] = {tree_.Path("common\\.\\Long Shared Name.dll"),
                                     tree_.Path("common\\\\Long Shared Name.dll"),
                                     tree_.Path("common\\sub\\..\\Long Shared Name.dll"), shortPath};
    MessageBoxAnswerer answerer(kQuestionCaption, IDYES);
    int expectedCount = 5;
    for (const std::string& copy : spellings) {
        SCOPED_TRACE(copy);
        if (lstrcmpiA(copy.c_str(), shared.c_str()) == 0)
            continue;
        EXPECT_EQ(0, RunCsf(copy, shared, 0));
        EXPECT_EQ("keep", ReadWholeFile(shared));
        EXPECT_EQ("dword:" + std::to_string(--expectedCount), CountOf(shared));
    }
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
