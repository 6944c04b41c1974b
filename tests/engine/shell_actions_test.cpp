#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/platform.h"
#include "core/string_list.h"
#include "engine/phase_driver.h"
#include "engine/shell_actions.h"
#include "services/paths.h"
#include "services/progman.h"
#include "services/registry.h"
#include "support/progman_peer_host.h"

using Lines = std::vector<std::string>;

namespace {

const char kShellFolders[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

// Runs one API (or RPI: the same action) record of the given group and item.
int32_t RunItemRecord(const char* group, const char* item, int message = PHASE_RUN)
{
    StringList* list = ListCreate(0);
    if (group) ListAppend(list, group);
    if (item) ListAppend(list, item);
    int32_t result = RemoveShellItemAction(nullptr, message, nullptr, "", 0, list);
    ListDestroy(list);
    return result;
}

int32_t RunGroupRecord(const char* group, int message = PHASE_RUN)
{
    return RemoveShellGroupAction(nullptr, message, nullptr, group, 0, nullptr);
}

void SetDesktop(int windows95, int explorerShell)
{
    gPlatform.windows95 = windows95;
    gPlatform.windowsNT = !windows95;
    gPlatform.win32s = 0;
    gPlatform.explorerShell = explorerShell;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

// Removes a folder and everything below it (test clean-up only).
void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// Points the user's Programs folder at a folder of the test's own and puts the value back after.
class ProgramsFolderOverride {
public:
    ProgramsFolderOverride()
    {
        hadValue_ = RegistryReadValue(HKEY_CURRENT_USER, kShellFolders, "Programs", nullptr, nullptr,
                                      saved_, sizeof saved_);
    }
    ~ProgramsFolderOverride()
    {
        if (hadValue_) RegistryWriteValue(HKEY_CURRENT_USER, kShellFolders, "Programs", REG_SZ, -1, saved_);
        else RegistryDeleteValue(HKEY_CURRENT_USER, kShellFolders, "Programs");
    }
    void Set(const std::string& folder)
    {
        ASSERT_EQ(RegistryWriteValue(HKEY_CURRENT_USER, kShellFolders, "Programs", REG_SZ, -1,
                                     folder.c_str()), 1);
    }
    void Remove() { RegistryDeleteValue(HKEY_CURRENT_USER, kShellFolders, "Programs"); }

private:
    char saved_[1024] = "";
    int hadValue_ = 0;
};

struct LinkCase {
    const char* group;
    const char* item;
    const char* folder;
    const char* link;
};

const LinkCase kLinkCases[] = {
    {"Acme", "Tool", "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\",
     "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Tool.lnk"},
    {"Acme", "Tool.lnk", "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\",
     "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Tool.lnk"},
    {"Acme", "Tool.LNK", "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\",
     "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Tool.LNK"},
    {"Acme", "Readme.txt", "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\",
     "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Readme.txt.lnk"},
    {"Acme\\Tools", "Tool", "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Tools\\",
     "C:\\WINDOWS\\Start Menu\\Programs\\Acme\\Tools\\Tool.lnk"},
    {"D:\\Menus\\Acme", "Tool", "D:\\Menus\\Acme\\", "D:\\Menus\\Acme\\Tool.lnk"},
    {"D:\\Menus\\Acme\\", "Tool", "D:\\Menus\\Acme\\", "D:\\Menus\\Acme\\Tool.lnk"},
    {"\\Menus\\Acme", "Tool", "\\Menus\\Acme\\", "\\Menus\\Acme\\Tool.lnk"},
};

}  // namespace

TEST(ShellLinkPaths, BuildsGroupFolderAndShortcutPath)
{
    ProgramsFolderOverride programs;
    programs.Set("C:\\WINDOWS\\Start Menu\\Programs");
    for (const LinkCase& c : kLinkCases) {
        SCOPED_TRACE(std::string(c.group) + " / " + c.item);
        char folder[PATH_BUFFER_SIZE];
        char link[PATH_BUFFER_SIZE];
        EXPECT_EQ(ShellLinkPaths(c.group, c.item, folder, sizeof folder, link, sizeof link), 1);
        EXPECT_STREQ(folder, c.folder);
        EXPECT_STREQ(link, c.link);
    }
}

TEST(ShellLinkPaths, WithoutTheRegistryValueUsesTheWindowsStartMenu)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string expected = std::string(windows) + "\\Start Menu\\Programs\\Acme\\Tool.lnk";
    ProgramsFolderOverride programs;
    char folder[PATH_BUFFER_SIZE];
    char link[PATH_BUFFER_SIZE];

    programs.Remove();
    EXPECT_EQ(ShellLinkPaths("Acme", "Tool", folder, sizeof folder, link, sizeof link), 1);
    EXPECT_STREQ(link, expected.c_str());

    // An empty value would make groups relative to the current directory.
    programs.Set("");
    EXPECT_EQ(ShellLinkPaths("Acme", "Tool", folder, sizeof folder, link, sizeof link), 1);
    EXPECT_STREQ(link, expected.c_str());
}

TEST(ShellLinkPaths, PathsTooLongForTheBuffersAreRefused)
{
    ProgramsFolderOverride programs;
    programs.Set("C:\\WINDOWS\\Start Menu\\Programs");
    std::string group(250, 'g');
    char folder[PATH_BUFFER_SIZE] = "x";
    char link[PATH_BUFFER_SIZE] = "x";
    EXPECT_EQ(ShellLinkPaths(group.c_str(), "Tool", folder, sizeof folder, link, sizeof link), 0);
    EXPECT_STREQ(link, "");
    // The ".lnk" that would not fit any more.
    std::string item(PATH_BUFFER_SIZE - 1 - strlen("C:\\WINDOWS\\Start Menu\\Programs\\A\\") - 2, 'i');
    EXPECT_EQ(ShellLinkPaths("A", item.c_str(), folder, sizeof folder, link, sizeof link), 0);
    EXPECT_STREQ(link, "");
}

// Explorer desktop: items are shortcut files below a Programs folder made for the test.
class ExplorerDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDesktop(1, 0);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        root = std::string(temp) + "shell_actions_" + std::to_string(GetCurrentProcessId());
        programsDir = root + "\\Programs";
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA(programsDir.c_str(), nullptr);
        CreateDirectoryA((programsDir + "\\Acme").c_str(), nullptr);
        programs.Set(programsDir);
    }
    void TearDown() override { RemoveTree(root); }

    std::string In(const std::string& relative) const { return programsDir + "\\" + relative; }

    ProgramsFolderOverride programs;
    std::string root;
    std::string programsDir;
};

TEST_F(ExplorerDesktop, DeletesTheShortcutAndLeavesTheGroupFolder)
{
    MakeFile(In("Acme\\Tool.lnk"));
    MakeFile(In("Acme\\Tool.pif"));
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_FALSE(Exists(In("Acme\\Tool.lnk")));
    EXPECT_TRUE(Exists(In("Acme\\Tool.pif")));
    EXPECT_TRUE(Exists(In("Acme")));
}

TEST_F(ExplorerDesktop, FallsBackToThePifFile)
{
    MakeFile(In("Acme\\Tool.pif"));
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_FALSE(Exists(In("Acme\\Tool.pif")));
}

TEST_F(ExplorerDesktop, ItemNamedWithItsExtension)
{
    MakeFile(In("Acme\\Readme.txt.lnk"));
    MakeFile(In("Acme\\Readme.txt"));
    MakeFile(In("Acme\\Tool.lnk"));
    EXPECT_EQ(RunItemRecord("Acme", "Readme.txt"), 0);
    EXPECT_EQ(RunItemRecord("Acme", "TOOL.LNK"), 0);
    EXPECT_FALSE(Exists(In("Acme\\Readme.txt.lnk")));
    EXPECT_TRUE(Exists(In("Acme\\Readme.txt")));
    EXPECT_FALSE(Exists(In("Acme\\Tool.lnk")));
}

TEST_F(ExplorerDesktop, MissingShortcutIsNoFailure)
{
    MakeFile(In("Acme\\Other.lnk"));
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_EQ(RunItemRecord("Gone", "Tool"), 0);
    EXPECT_TRUE(Exists(In("Acme\\Other.lnk")));
}

TEST_F(ExplorerDesktop, ShortcutInUseIsReported)
{
    MakeFile(In("Acme\\Tool.lnk"));
    HANDLE held = CreateFileA(In("Acme\\Tool.lnk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), ERR_ITEM_NOT_REMOVED);
    CloseHandle(held);
    EXPECT_TRUE(Exists(In("Acme\\Tool.lnk")));
}

TEST_F(ExplorerDesktop, AbsoluteGroupIsTheFolderItself)
{
    std::string menus = root + "\\Menus";
    CreateDirectoryA(menus.c_str(), nullptr);
    CreateDirectoryA((menus + "\\Acme").c_str(), nullptr);
    MakeFile(menus + "\\Acme\\Tool.lnk");
    MakeFile(In("Acme\\Tool.lnk"));
    EXPECT_EQ(RunItemRecord((menus + "\\Acme").c_str(), "Tool"), 0);
    EXPECT_FALSE(Exists(menus + "\\Acme\\Tool.lnk"));
    EXPECT_TRUE(Exists(In("Acme\\Tool.lnk")));
    EXPECT_EQ(RunGroupRecord((menus + "\\Acme").c_str()), 0);
    EXPECT_FALSE(Exists(menus + "\\Acme"));
    EXPECT_TRUE(Exists(menus));
}

TEST_F(ExplorerDesktop, RecordsWithoutGroupOrItemAndOtherMessagesDoNothing)
{
    MakeFile(In("Acme\\Tool.lnk"));
    EXPECT_EQ(RunItemRecord("Acme", nullptr), 0);
    EXPECT_EQ(RunItemRecord(nullptr, nullptr), 0);
    EXPECT_EQ(RunItemRecord("Acme", ""), 0);
    EXPECT_EQ(RemoveShellItemAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr), 0);
    for (int message : {(int)PHASE_CREATE, (int)PHASE_DESTROY, (int)PHASE_END, 99}) {
        EXPECT_EQ(RunItemRecord("Acme", "Tool", message), 0);
        EXPECT_EQ(RunGroupRecord("Acme", message), 0);
    }
    EXPECT_TRUE(Exists(In("Acme\\Tool.lnk")));
}

TEST_F(ExplorerDesktop, ExplorerShellOnWindowsNTTakesTheSameWay)
{
    SetDesktop(0, 1);
    MakeFile(In("Acme\\Tool.lnk"));
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_FALSE(Exists(In("Acme\\Tool.lnk")));
    EXPECT_EQ(RunGroupRecord("Acme"), 0);
    EXPECT_FALSE(Exists(In("Acme")));
}

TEST_F(ExplorerDesktop, EmptyGroupFolderIsRemovedButNeverItsParents)
{
    CreateDirectoryA(In("Acme\\Tools").c_str(), nullptr);
    EXPECT_EQ(RunGroupRecord("Acme\\Tools"), 0);
    EXPECT_FALSE(Exists(In("Acme\\Tools")));
    EXPECT_TRUE(Exists(In("Acme")));
    EXPECT_EQ(RunGroupRecord("Acme"), 0);
    EXPECT_FALSE(Exists(In("Acme")));
    EXPECT_TRUE(Exists(programsDir));
}

TEST_F(ExplorerDesktop, GroupFolderStillHoldingAFileStaysSilently)
{
    MakeFile(In("Acme\\Mine.lnk"));
    EXPECT_EQ(RunGroupRecord("Acme"), 0);
    EXPECT_TRUE(Exists(In("Acme\\Mine.lnk")));
}

TEST_F(ExplorerDesktop, GroupFolderAlreadyGoneIsNoFailure)
{
    EXPECT_EQ(RunGroupRecord("Gone"), 0);
    EXPECT_TRUE(Exists(programsDir));
}

TEST_F(ExplorerDesktop, GroupFolderThatCannotBeRemovedIsReported)
{
    HANDLE held = CreateFileA(In("Acme").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunGroupRecord("Acme"), ERR_GROUP_NOT_REMOVED);
    CloseHandle(held);
    EXPECT_TRUE(Exists(In("Acme")));
}

TEST_F(ExplorerDesktop, TheProgramsFolderItselfIsNeverRemoved)
{
    RemoveDirectoryA(In("Acme").c_str());
    EXPECT_EQ(RunGroupRecord(""), 0);
    EXPECT_EQ(RunGroupRecord("."), 0);
    EXPECT_EQ(RunGroupRecord("Acme\\.."), 0);
    EXPECT_TRUE(Exists(programsDir));
    CreateDirectoryA(In("Empty").c_str(), nullptr);
    EXPECT_EQ(RunGroupRecord(".."), 0);
    EXPECT_TRUE(Exists(programsDir));
}

// Program Manager desktop: the stand-in Program Manager records what it was sent.
class ProgmanDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDesktop(0, 0);
        lastGroupShown[0] = 0;
        ASSERT_TRUE(peer.Start("group Acme\nitem Tool\nitem Readme\n"
                               "group Shared\nitem Yours\nitem Theirs\n"
                               "group Empty\n"));
        ProgmanShutdown();
        ASSERT_EQ(ProgmanInit(1, 0), 1);
    }
    void TearDown() override
    {
        ProgmanShutdown();
        peer.Stop();
    }
    ProgmanPeerHost peer;
};

// DDE item names are atoms: the peer sees a later spelling of a name as its first one.
TEST_F(ProgmanDesktop, TwoItemsOfOneGroupShowItOnceThenTheGroupGoes)
{
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_EQ(RunItemRecord("ACME", "Readme"), 0);
    EXPECT_EQ(RunGroupRecord("Acme"), 0);
    EXPECT_EQ(peer.Transactions(),
              (Lines{"execute [ShowGroup(Acme,6)]", "execute [ShowGroup(Acme,1)]", "request Acme",
                     "execute [CreateGroup(Acme)]", "execute [DeleteItem(Tool)]", "request Acme",
                     "execute [CreateGroup(ACME)]", "execute [DeleteItem(Readme)]", "request Acme",
                     "execute [DeleteGroup(Acme)]"}));
    EXPECT_EQ(peer.State(), (Lines{"group Shared", "item Yours", "item Theirs", "group Empty"}));
}

TEST_F(ProgmanDesktop, ItemOfAVanishedGroupIsReported)
{
    EXPECT_EQ(RunItemRecord("Gone", "Tool"), ERR_ITEM_NOT_REMOVED);
    EXPECT_EQ(peer.Commands(), (Lines{"[ShowGroup(Gone,6)]", "[ShowGroup(Gone,1)]"}));
}

TEST_F(ProgmanDesktop, ItemOfAnEmptyGroupIsReported)
{
    EXPECT_EQ(RunItemRecord("Empty", "Tool"), ERR_ITEM_NOT_REMOVED);
    EXPECT_EQ(peer.Commands(), (Lines{"[ShowGroup(Empty,6)]", "[ShowGroup(Empty,1)]"}));
}

TEST_F(ProgmanDesktop, GroupStillHoldingItemsStays)
{
    EXPECT_EQ(RunGroupRecord("Shared"), ERR_GROUP_NOT_REMOVED);
    EXPECT_EQ(peer.Commands(), (Lines{"[ShowGroup(Shared,6)]", "[ShowGroup(Shared,1)]"}));
    EXPECT_EQ(peer.State()[0], "group Acme");
    EXPECT_EQ(peer.State().size(), 7u);
}

TEST_F(ProgmanDesktop, AGroupIsShownAgainAfterAnotherOne)
{
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), 0);
    EXPECT_EQ(RunItemRecord("Shared", "Yours"), 0);
    EXPECT_EQ(RunItemRecord("Acme", "Readme"), 0);
    EXPECT_EQ(peer.Commands(),
              (Lines{"[ShowGroup(Acme,6)]", "[ShowGroup(Acme,1)]", "[CreateGroup(Acme)]", "[DeleteItem(Tool)]",
                     "[ShowGroup(Shared,6)]", "[ShowGroup(Shared,1)]", "[CreateGroup(Shared)]",
                     "[DeleteItem(Yours)]", "[ShowGroup(Acme,6)]", "[ShowGroup(Acme,1)]",
                     "[CreateGroup(Acme)]", "[DeleteItem(Readme)]"}));
}

TEST_F(ProgmanDesktop, WithoutProgramManagerItemsFailAndGroupsPassQuietly)
{
    peer.Stop();
    ProgmanServiceLock noServer;
    ASSERT_TRUE(noServer.Held());
    EXPECT_EQ(RunItemRecord("Acme", "Tool"), ERR_ITEM_NOT_REMOVED);
    EXPECT_EQ(RunGroupRecord("Acme"), 0);
}
