#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/messages.h"
#include "app/options.h"
#include "app/startup.h"
#include "engine/session.h"
#include "support/window_driver.h"

namespace {

class Messages : public ::testing::Test {
protected:
    void SetUp() override
    {
        gInstance = GetModuleHandleA(nullptr);
        gOptions.interactive = 1;
    }
    void TearDown() override { gOptions.interactive = 0; }
};

struct MessageCase {
    int32_t code;
    const char* text;
    const char* expected;
};

const MessageCase kMessageCases[] = {
    {-2, "C:\\WINDOWS\\_detmp.3",
     "Unable to copy the installation log file to temporary location 'C:\\WINDOWS\\_detmp.3'.  "
     "Please ensure enough space is available for this file."},
    {-3, "C:\\App\\setup.log",
     "The log file 'C:\\App\\setup.log' is not valid or the data has been corrupted.  "
     "Uninstallation will not continue."},
    {-4, "ignored", "Not enough memory unable to perform the deinstallation."},
    {-5, "C:\\App\\setup.log",
     "Unable to locate the installation log file 'C:\\App\\setup.log'.  "
     "Uninstallation will not continue."},
    // Without a text the format stays as it is.
    {-5, nullptr,
     "Unable to locate the installation log file '%s'.  Uninstallation will not continue."},
    {-5, "", "Unable to locate the installation log file ''.  Uninstallation will not continue."},
    // A per cent sign in the name is part of the name.
    {-5, "C:\\100%s%d.log",
     "Unable to locate the installation log file 'C:\\100%s%d.log'.  "
     "Uninstallation will not continue."},
    {-6, nullptr, "Internal error, unable to continue uninstall process."},
    {-7, nullptr,
     "Internal error, unable to load or call external DLL.  "
     "Please contact your vendor for more information."},
    {-200, nullptr, "Internal error, unable to initialize feedback window."},
};

TEST_F(Messages, EveryErrorCodeHasItsText)
{
    for (const MessageCase& c : kMessageCases) {
        char message[500];
        EXPECT_EQ(1, FormatErrorMessage(c.code, c.text, message, sizeof message)) << c.code;
        EXPECT_STREQ(c.expected, message) << c.code;
    }
}

TEST_F(Messages, UnknownCodesHaveNoText)
{
    const int32_t codes[] = {0, 1, -1, -8, -21, -199};
    for (int32_t code : codes) {
        char message[500] = "old";
        EXPECT_EQ(0, FormatErrorMessage(code, "x", message, sizeof message)) << code;
        EXPECT_STREQ("", message);
    }
}

TEST_F(Messages, ALongNameIsCutAtTheBuffer)
{
    std::string name(700, 'n');
    char message[500];
    memset(message, 'z', sizeof message);
    EXPECT_EQ(1, FormatErrorMessage(-5, name.c_str(), message, 200));
    EXPECT_EQ(199u, strlen(message));
    EXPECT_EQ('z', message[200]);
}

TEST_F(Messages, StringTableHoldsTheProgramsTexts)
{
    struct Text {
        UINT id;
        const char* text;
    };
    const Text texts[] = {
        {501, "Uninstall"},
        {502, "Uninstall successfully completed."},
        {503, "Uninstall completed.  Some elements could not be removed.  You should manually "
              "remove items related to the application."},
        {504, "Are you sure you want to completely remove the selected application and all of its "
              "components?"},
        {505, "Confirm File Deletion"},
        {506, "Remove Shared File?"},
        {507, "The system indicates that the following shared file is no longer used by any "
              "programs.\n\n"},
        {508, "\n\nIf any programs are still using this file and it is removed, those programs may "
              "not function.  Are you sure you want to remove the shared file?"},
        {1401, "mfc30.dll"},   {1402, "mfcans32.dll"}, {1403, "mfcd30.dll"},
        {1404, "mfcn30.dll"},  {1405, "mfco30.dll"},   {1406, "mfcuia32.dll"},
        {1407, "mfcuiw32.dll"}, {1408, "mfc30loc.dll"}, {1409, "vbrun300.dll"},
        {1410, "threed.vbx"},
    };
    for (const Text& t : texts) {
        char buffer[500];
        ASSERT_GT(LoadStringA(gInstance, t.id, buffer, sizeof buffer), 0) << t.id;
        EXPECT_STREQ(t.text, buffer) << t.id;
    }
    char buffer[100];
    EXPECT_EQ(0, LoadStringA(gInstance, 1411, buffer, sizeof buffer));
    // The memory-pool report keeps its texts in the pool layer.
    EXPECT_EQ(0, LoadStringA(gInstance, 11115, buffer, sizeof buffer));
    EXPECT_EQ(0, LoadStringA(gInstance, 11461, buffer, sizeof buffer));
}

TEST_F(Messages, InteractiveReportIsAnOkBoxWithoutIcon)
{
    BoxAnswerer answerer("Uninstall", IDOK);
    EXPECT_EQ(1, ReportError(-5, "C:\\gone\\setup.log", 0, nullptr));
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ("Unable to locate the installation log file 'C:\\gone\\setup.log'.  "
              "Uninstallation will not continue.",
              answerer.text());
    EXPECT_FALSE(answerer.hadIcon());
}

TEST_F(Messages, UnattendedModesShowNothing)
{
    gOptions.interactive = 0;
    BoxAnswerer answerer("Uninstall", IDOK, 1500);
    DWORD start = GetTickCount();
    EXPECT_EQ(1, ReportError(-6, nullptr, 0, nullptr));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(answerer.Finish());
}

TEST_F(Messages, SessionWithoutReporterShowsTheFixedBox)
{
    BoxAnswerer answerer("Uninstall", IDOK);
    EXPECT_EQ(0, SessionReportError(nullptr, -6, nullptr, 0));
    ASSERT_TRUE(answerer.Finish());
    EXPECT_EQ("Error handler not displayed", answerer.text());
    EXPECT_FALSE(answerer.hadIcon());
}

}  // namespace
