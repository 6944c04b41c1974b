#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/progman_peer_host.h"
#include "services/progman.h"

using Lines = std::vector<std::string>;

namespace {

// The client keeps the platform flag from its first start, so each case starts it afresh.
void RestartClient(int windowsNT)
{
    ProgmanShutdown();
    ASSERT_EQ(ProgmanInit(windowsNT, 0), 1);
}

struct DescriptionCase {
    const char* description;
    int windowsNT;
    int result;
    const char* groupFile;
    long itemCount;
    long extra;
};

// Outputs start as "untouched", 99 and 77, so a refused description shows it changed nothing.
const DescriptionCase kDescriptions[] = {
    {"\"Acme Tools\",C:\\WINDOWS\\ACMETOOL.GRP,3,1", 0, 1, "C:\\WINDOWS\\ACMETOOL.GRP", 3, 0},
    {"\"Acme Tools\",C:\\WINDOWS\\ACMETOOL.GRP,3,1,1", 0, 1, "C:\\WINDOWS\\ACMETOOL.GRP", 3, 0},
    {"\"Acme Tools\",C:\\WINDOWS\\ACMETOOL.GRP,3,1,1", 1, 1, "C:\\WINDOWS\\ACMETOOL.GRP", 3, 1},
    {"\"Acme Tools\",C:\\WINDOWS\\ACMETOOL.GRP,3,1", 1, 1, "C:\\WINDOWS\\ACMETOOL.GRP", 3, 0},
    {"\"Acme\",C:\\A.GRP,2,7,0\r\n\"Tool\",\"TOOL.EXE\",,,0,0,0,0,0\r\n", 1, 1, "C:\\A.GRP", 2, 0},
    {"\"Acme\",C:\\A.GRP,12\nmore", 0, 1, "C:\\A.GRP", 12, 0},
    {"\"Acme, Inc.\",C:\\A.GRP,4,1", 0, 1, "C:\\A.GRP", 4, 0},
    {"\"Acme\",C:\\A.GRP", 0, 1, "C:\\A.GRP", 0, 0},
    {"\"Acme\"", 1, 1, "", 0, 0},
    {"", 1, 0, "untouched", 99, 77},
    {"Acme,C:\\A.GRP,3,1", 0, 0, "untouched", 99, 77},
    {"\"Acme,C:\\A.GRP,3,1", 0, 0, "untouched", 99, 77},
    {"\"Acme\r\n\",C:\\A.GRP,3,1", 0, 0, "untouched", 99, 77},
    {"\r\n\"Acme\",C:\\A.GRP,3,1", 0, 0, "untouched", 99, 77},
};

}  // namespace

TEST(ParseGroupInfo, ReadsTheFirstLineOfADescription)
{
    for (const DescriptionCase& c : kDescriptions) {
        SCOPED_TRACE(c.description);
        RestartClient(c.windowsNT);
        char groupFile[MAX_PATH + 1] = "untouched";
        long count = 99;
        long extra = 77;
        EXPECT_EQ(ParseGroupInfo(c.description, groupFile, sizeof groupFile, &count, &extra), c.result);
        EXPECT_STREQ(groupFile, c.groupFile);
        EXPECT_EQ(count, c.itemCount);
        EXPECT_EQ(extra, c.extra);
    }
    ProgmanShutdown();
}

TEST(ParseGroupInfo, NeverWritesPastTheGroupFileBuffer)
{
    RestartClient(0);
    std::string description = "\"Acme\"," + std::string(5000, 'F') + ",5,1";
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    long count = 0;
    EXPECT_EQ(ParseGroupInfo(description.c_str(), buffer, 8, &count, nullptr), 1);
    EXPECT_STREQ(buffer, "FFFFFFF");
    EXPECT_EQ(buffer[8], '#');
    EXPECT_EQ(count, 5);
    ProgmanShutdown();
}

TEST(ParseGroupInfo, NullOrEmptyDescriptionIsRefused)
{
    long count = 4;
    EXPECT_EQ(ParseGroupInfo(nullptr, nullptr, 0, &count, nullptr), 0);
    EXPECT_EQ(ParseGroupInfo("", nullptr, 0, &count, nullptr), 0);
    EXPECT_EQ(count, 4);
}

// Without any Program Manager every operation fails and item counts stay as the caller set them.
TEST(ProgmanWithoutPeer, EveryCallFails)
{
    ProgmanServiceLock noServer;
    ASSERT_TRUE(noServer.Held());
    RestartClient(1);
    EXPECT_EQ(ProgmanExecute("[ShowGroup(Acme,1)]"), 0);
    EXPECT_EQ(ProgmanShowGroup("Acme", 1), 0);
    EXPECT_EQ(ProgmanDeleteItem("Acme", "Tool"), 0);
    EXPECT_EQ(ProgmanDeleteGroup("Acme"), 0);
    char reply[32] = "stale";
    EXPECT_EQ(ProgmanRequest("Acme", reply, sizeof reply), 0);
    EXPECT_STREQ(reply, "");
    long count = 0;
    EXPECT_EQ(ProgmanGroupInfo("Acme", nullptr, 0, &count, nullptr), 0);
    EXPECT_EQ(count, 0);
    ProgmanShutdown();
}

TEST(ProgmanWithoutPeer, NothingIsSentBeforeStartOrAfterShutdown)
{
    ProgmanPeerHost peer;
    ASSERT_TRUE(peer.Start("group Acme\nitem Tool\n"));
    ProgmanShutdown();
    EXPECT_EQ(ProgmanShowGroup("Acme", 1), 0);
    EXPECT_EQ(ProgmanDeleteGroup("Acme"), 0);
    long count = 0;
    EXPECT_EQ(ProgmanGroupInfo("Acme", nullptr, 0, &count, nullptr), 0);
    EXPECT_TRUE(peer.Transactions().empty());
    EXPECT_EQ(ProgmanShutdown(), 1);
}

class ProgmanClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.Start("group Acme Tools\nfile C:\\WINDOWS\\ACMETOOL.GRP\nshow 1\nextra 1\n"
                               "item Tool\nitem Readme\n"
                               "group Other\nitem Editor\n"));
        RestartClient(1);
    }
    void TearDown() override
    {
        ProgmanShutdown();
        peer.Stop();
    }
    ProgmanPeerHost peer;
};

TEST_F(ProgmanClient, ShowGroupSendsOnlyShowCommandsOneToEight)
{
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", 0), 0);
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", 9), 0);
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", -1), 0);
    EXPECT_TRUE(peer.Transactions().empty());
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", 6), 1);
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", 1), 1);
    EXPECT_EQ(ProgmanShowGroup("Acme Tools", 8), 1);
    EXPECT_EQ(peer.Commands(), (Lines{"[ShowGroup(Acme Tools,6)]", "[ShowGroup(Acme Tools,1)]",
                                      "[ShowGroup(Acme Tools,8)]"}));
}

TEST_F(ProgmanClient, GroupInfoReadsFileCountAndFifthField)
{
    char groupFile[MAX_PATH + 1] = "";
    long count = 0;
    long extra = 0;
    EXPECT_EQ(ProgmanGroupInfo("Acme Tools", groupFile, sizeof groupFile, &count, &extra), 1);
    EXPECT_STREQ(groupFile, "C:\\WINDOWS\\ACMETOOL.GRP");
    EXPECT_EQ(count, 2);
    EXPECT_EQ(extra, 1);
    EXPECT_EQ(peer.Transactions(), Lines{"request Acme Tools"});
}

TEST_F(ProgmanClient, RequestForAMissingGroupLeavesTheCountAlone)
{
    long count = 0;
    EXPECT_EQ(ProgmanGroupInfo("Gone", nullptr, 0, &count, nullptr), 0);
    EXPECT_EQ(count, 0);
    count = 7;
    EXPECT_EQ(ProgmanGroupInfo("Gone", nullptr, 0, &count, nullptr), 0);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(peer.Transactions(), (Lines{"request Gone", "request Gone"}));
}

TEST_F(ProgmanClient, RequestCopiesNoMoreThanTheBufferHolds)
{
    char reply[12];
    memset(reply, '#', sizeof reply);
    EXPECT_EQ(ProgmanRequest("Acme Tools", reply, 8), 1);
    EXPECT_STREQ(reply, "\"Acme T");
    EXPECT_EQ(reply[7], 0);
    EXPECT_EQ(reply[8], '#');
}

TEST_F(ProgmanClient, DeleteItemMakesTheGroupCurrentThenDeletes)
{
    EXPECT_EQ(ProgmanDeleteItem("Acme Tools", "Tool"), 1);
    EXPECT_EQ(ProgmanDeleteItem("Acme Tools", "Missing"), 0);
    EXPECT_EQ(peer.Commands(), (Lines{"[CreateGroup(Acme Tools)]", "[DeleteItem(Tool)]",
                                      "[CreateGroup(Acme Tools)]", "[DeleteItem(Missing)]"}));
    EXPECT_EQ(peer.State(), (Lines{"group Acme Tools", "item Readme", "group Other", "item Editor"}));
}

TEST_F(ProgmanClient, EachCommandIsSentEvenAfterAFailure)
{
    EXPECT_EQ(ProgmanDeleteGroup("Missing"), 0);
    EXPECT_EQ(ProgmanDeleteGroup("Other"), 1);
    EXPECT_EQ(ProgmanDeleteGroup("Other"), 0);
    EXPECT_EQ(ProgmanExecute("[ShowGroup(Acme Tools,1)]"), 1);
    EXPECT_EQ(peer.Commands(), (Lines{"[DeleteGroup(Missing)]", "[DeleteGroup(Other)]",
                                      "[DeleteGroup(Other)]", "[ShowGroup(Acme Tools,1)]"}));
    EXPECT_EQ(peer.State(), (Lines{"group Acme Tools", "item Tool", "item Readme"}));
}

TEST_F(ProgmanClient, ACommandTooLongForTheBufferIsNotSent)
{
    std::string group(PROGMAN_BUFFER_SIZE, 'G');
    EXPECT_EQ(ProgmanDeleteGroup(group.c_str()), 0);
    EXPECT_EQ(ProgmanShowGroup(group.c_str(), 1), 0);
    EXPECT_TRUE(peer.Transactions().empty());
}

TEST(ProgmanPeerFields, FourFieldDescriptionOnWindowsNTGivesNoExtra)
{
    ProgmanPeerHost peer;
    ASSERT_TRUE(peer.Start("fields 4\ngroup Acme\nitem Tool\n"));
    RestartClient(1);
    long count = 0;
    long extra = 5;
    EXPECT_EQ(ProgmanGroupInfo("Acme", nullptr, 0, &count, &extra), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(extra, 0);
    ProgmanShutdown();
}

// A Program Manager that does not answer holds a command up for the time-out only.
TEST(ProgmanPeerStalls, ACommandFailsAfterTheTimeOut)
{
    ProgmanPeerHost peer;
    ASSERT_TRUE(peer.Start("stall 15000\ngroup Acme\n"));
    RestartClient(1);
    EXPECT_EQ(ProgmanShowGroup("Acme", 1), 0);
    EXPECT_EQ(peer.Commands(), Lines{"[ShowGroup(Acme,1)]"});
    ProgmanShutdown();
}
