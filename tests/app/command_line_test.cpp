#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "app/options.h"

namespace {

struct CommandLineCase {
    const char* tail;
    int automatic;
    int deleteMode;
    int runSession;
    int interactive;
    int externalDll;
    int noRuntimeProtection;
    int noConfirm;
    const char* logPath;
    const char* dllPath;
};

const CommandLineCase kCases[] = {
    // tail                                 a  d  f  i  c  x  y  logPath              dllPath
    {"", 0, 0, 0, 1, 0, 0, 0, "", ""},
    {"-fC:\\app\\setup.log", 0, 0, 1, 1, 0, 0, 0, "C:\\app\\setup.log", ""},
    {"/fC:\\app\\setup.log", 0, 0, 1, 1, 0, 0, 0, "C:\\app\\setup.log", ""},
    {"-FC:\\app\\setup.log", 0, 0, 1, 1, 0, 0, 0, "C:\\app\\setup.log", ""},
    // A blank between the letter and the path gives an empty path.
    {"-f C:\\app\\setup.log", 0, 0, 1, 1, 0, 0, 0, "", ""},
    {"-f\"C:\\Program Files\\App\\setup.log\"", 0, 0, 1, 1, 0, 0, 0,
     "C:\\Program Files\\App\\setup.log", ""},
    // An unterminated quote runs to the end of the text.
    {"-f\"C:\\My App\\setup.log", 0, 0, 1, 1, 0, 0, 0, "C:\\My App\\setup.log", ""},
    {"-a -fC:\\app\\setup.log", 1, 0, 1, 0, 0, 0, 0, "C:\\app\\setup.log", ""},
    {"/A /fC:\\app\\setup.log", 1, 0, 1, 0, 0, 0, 0, "C:\\app\\setup.log", ""},
    {"-fC:\\app\\setup.log -a", 1, 0, 1, 0, 0, 0, 0, "C:\\app\\setup.log", ""},
    // The character after -a is skipped unseen, so "-f" is not taken as an option.
    {"-a-fC:\\app\\setup.log", 1, 0, 0, 0, 0, 0, 0, "", ""},
    // The character after a closing quote is skipped too.
    {"-f\"C:\\a b.log\"x-a", 1, 0, 1, 0, 0, 0, 0, "C:\\a b.log", ""},
    {"-f\"C:\\a b.log\"-a", 0, 0, 1, 1, 0, 0, 0, "C:\\a b.log", ""},
    {"-dC:\\temp\\old.exe", 1, 1, 0, 0, 0, 0, 0, "C:\\temp\\old.exe", ""},
    {"-DC:\\temp\\old.exe", 1, 1, 0, 0, 0, 0, 0, "C:\\temp\\old.exe", ""},
    // -d and -f share the path; the last one wins.
    {"-fC:\\a.log -dC:\\b.txt", 1, 1, 1, 0, 0, 0, 0, "C:\\b.txt", ""},
    {"-dC:\\b.txt -fC:\\a.log", 1, 1, 1, 0, 0, 0, 0, "C:\\a.log", ""},
    // An empty argument leaves the earlier path in place.
    {"-fC:\\a.log -f ", 0, 0, 1, 1, 0, 0, 0, "C:\\a.log", ""},
    {"-cC:\\app\\appun.dll -fC:\\a.log", 0, 0, 1, 1, 1, 0, 0, "C:\\a.log", "C:\\app\\appun.dll"},
    {"-CC:\\app\\appun.dll", 0, 0, 0, 1, 1, 0, 0, "", "C:\\app\\appun.dll"},
    {"-x -y -fC:\\a.log", 0, 0, 1, 1, 0, 1, 1, "C:\\a.log", ""},
    {"/x /y", 0, 0, 0, 1, 0, 1, 1, "", ""},
    // Only lower-case x and y are options.
    {"-X -Y -fC:\\a.log", 0, 0, 1, 1, 0, 0, 0, "C:\\a.log", ""},
    // -y does not step past its letter, so the character after it is not skipped.
    {"-y-a", 1, 0, 0, 0, 0, 0, 1, "", ""},
    {"-x-a", 0, 0, 0, 1, 0, 1, 0, "", ""},
    {"-y -a", 1, 0, 0, 0, 0, 0, 1, "", ""},
    // Text outside options and unknown letters are ignored; a lone dash at the end is harmless.
    {"hello -q -z world -", 0, 0, 0, 1, 0, 0, 0, "", ""},
    {"-", 0, 0, 0, 1, 0, 0, 0, "", ""},
    {"-f", 0, 0, 1, 1, 0, 0, 0, "", ""},
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {
protected:
    void SetUp() override { memset(&gOptions, 0, sizeof gOptions); }
};

TEST_P(CommandLine, SetsOptionsAndPaths)
{
    const CommandLineCase& c = GetParam();
    ParseCommandLine(c.tail);
    EXPECT_EQ(c.automatic, gOptions.automatic);
    EXPECT_EQ(c.deleteMode, gOptions.deleteMode);
    EXPECT_EQ(c.runSession, gOptions.runSession);
    EXPECT_EQ(c.interactive, gOptions.interactive);
    EXPECT_EQ(c.externalDll, gOptions.externalDll);
    EXPECT_EQ(c.noRuntimeProtection, gOptions.noRuntimeProtection);
    EXPECT_EQ(c.noConfirm, gOptions.noConfirm);
    EXPECT_STREQ(c.logPath, gOptions.logPath);
    EXPECT_STREQ(c.dllPath, gOptions.dllPath);
    EXPECT_STREQ(c.dllPath, gOptions.dllSourcePath);
    EXPECT_EQ(0, gOptions.dllCopied);
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLine, ::testing::ValuesIn(kCases));

TEST(CommandLineParsing, ClearsTheModeFlagsOfAnEarlierParse)
{
    memset(&gOptions, 0, sizeof gOptions);
    ParseCommandLine("-a -dC:\\x -cC:\\y.dll");
    gOptions.dllCopied = 1;
    ParseCommandLine("");
    EXPECT_EQ(0, gOptions.automatic);
    EXPECT_EQ(0, gOptions.deleteMode);
    EXPECT_EQ(0, gOptions.externalDll);
    EXPECT_EQ(0, gOptions.dllCopied);
    EXPECT_EQ(1, gOptions.interactive);
}

TEST(CommandLineParsing, RefusesAPathLongerThanAPathField)
{
    memset(&gOptions, 0, sizeof gOptions);
    std::string longest = "C:\\" + std::string(MAX_PATH - 3, 'a');
    ParseCommandLine(("-f" + longest + " -a").c_str());
    EXPECT_EQ(longest, gOptions.logPath);
    EXPECT_EQ(1, gOptions.automatic);

    ParseCommandLine(("-f\"" + longest + "b\" -dC:\\z").c_str());
    EXPECT_STREQ("C:\\z", gOptions.logPath);
    ParseCommandLine(("-f" + longest + "b -a").c_str());
    EXPECT_STREQ("", gOptions.logPath);
    EXPECT_EQ(1, gOptions.runSession);
    EXPECT_EQ(1, gOptions.automatic);
}

TEST(CommandLineParsing, CopyArgumentStopsAtTheEndMarkAndNeverOverruns)
{
    char small[8];
    memset(small, 'x', sizeof small);
    small[0] = 0;
    const char* text = "\"a b\" rest";
    const char* after = CopyArgument(small, sizeof small, text);
    EXPECT_STREQ("a b", small);
    EXPECT_EQ(text + 5, after);

    text = "abcdefgh tail";
    after = CopyArgument(small, sizeof small, text);
    EXPECT_STREQ("", small);
    EXPECT_EQ(text + 8, after);

    text = "abcdefg";
    after = CopyArgument(small, sizeof small, text);
    EXPECT_STREQ("abcdefg", small);
    EXPECT_EQ(text + 7, after);
}

}  // namespace
