// The registry phases under Wine's Win32s emulation: nothing is protected there, and the product
// keys, App Paths and Uninstall entries are left alone.
#include <gtest/gtest.h>

#include "app/platform.h"
#include "engine/registry_actions.h"
#include "services/registry.h"
#include "support/platform_emulation.h"
#include "support/registry_keys.h"

namespace {

const int kPlatform = RunUnderWindowsVersion("win31");

// HKEY_USERS\Default is protected elsewhere and absent from Wine's prefix, so it can be made here.
const char kProtectedProbe[] = "Default\\UninstWin32sProbe";
const char kProductKey[] = "Software\\UninstWin32sCompany\\Tool\\1.0";
const char kUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\UninstWin32sTool";

class RegistryWin32sTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DetectPlatform();
        ASSERT_EQ(kPlatform, 1);
        ASSERT_EQ(gPlatform.win32s, 1);
    }
    void TearDown() override
    {
        TestDeleteTree(HKEY_USERS, "Default");
        TestDeleteTree(HKEY_LOCAL_MACHINE, "Software\\UninstWin32sCompany");
        TestDeleteTree(HKEY_LOCAL_MACHINE, kUninstallEntry);
    }
};

TEST_F(RegistryWin32sTest, NothingIsProtectedButAPathMustNameAKey)
{
    EXPECT_EQ(KeyMayBeDeleted(HKEY_LOCAL_MACHINE, "Software"), 1);
    EXPECT_EQ(KeyMayBeDeleted(HKEY_CURRENT_USER, "Control Panel"), 1);
    EXPECT_EQ(KeyMayBeDeleted(HKEY_LOCAL_MACHINE, ""), 0);
    EXPECT_EQ(KeyMayBeDeleted(HKEY_LOCAL_MACHINE, "\\\\"), 0);
}

TEST_F(RegistryWin32sTest, RemoveKeysDeletesAKeyThatIsProtectedElsewhere)
{
    ASSERT_TRUE(TestCreateKey(HKEY_USERS, kProtectedProbe));
    EXPECT_EQ(RemoveKeysAction(nullptr, PHASE_RUN, nullptr, "-2147483645;Default", 0, nullptr), 0);
    EXPECT_FALSE(TestKeyExists(HKEY_USERS, "Default"));
    EXPECT_EQ(RemoveKeysAction(nullptr, PHASE_RUN, nullptr, "-2147483645;\\\\", 0, nullptr), ERR_REGISTRY_NOT_REMOVED);
}

TEST_F(RegistryWin32sTest, ProductKeysAndAppEntriesAreLeftAlone)
{
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, kProductKey));
    ASSERT_TRUE(TestCreateKey(HKEY_LOCAL_MACHINE, kUninstallEntry));
    // No log is needed: on Win32s the actions answer before they read the header.
    EXPECT_EQ(RemoveProductKeysAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr), 0);
    EXPECT_EQ(RemoveAppEntriesAction(nullptr, PHASE_RUN, nullptr, "", 0, nullptr), 0);
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_TRUE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
}

}  // namespace
