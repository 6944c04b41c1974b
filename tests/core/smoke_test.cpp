#include <gtest/gtest.h>
#include <windows.h>

TEST(Smoke, RunsUnderWindows)
{
    char dir[MAX_PATH];
    EXPECT_GT(GetWindowsDirectoryA(dir, sizeof dir), 0u);
}
