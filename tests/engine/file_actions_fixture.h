// What the file action tests share: the program's strings, an owner window standing in for the
// progress dialog, SharedDLLs counts written and read directly, and one-record runs of the CF
// and CSF actions.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "app/platform.h"
#include "app/startup.h"
#include "core/pool.h"
#include "core/string_list.h"
#include "engine/file_actions.h"
#include "services/deferred_ops.h"
#include "services/shared_counts.h"
#include "support/program_resources.h"
#include "support/temp_tree.h"

const int32_t OPTIONAL_FILE = 0x40;
const int32_t SELF_REGISTERING = 0x20;
const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kQuestionCaption[] = "Remove Shared File?";
const char kTextBefore[] =
    "The system indicates that the following shared file is no longer used by any programs.\n\n";
const char kTextAfter[] =
    "\n\nIf any programs are still using this file and it is removed, those programs may not function.  "
    "Are you sure you want to remove the shared file?";

inline std::string SystemDirectory()
{
    char path[MAX_PATH + 1];
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

inline std::string Upper(std::string text)
{
    CharUpperA(&text[0]);
    return text;
}

inline void SetCount(const std::string& path, DWORD count)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegSetValueExA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(key);
}

// The stored count as "type:value", or "none" when there is no value.
inline std::string CountOf(const std::string& path)
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

inline void DeleteCount(const std::string& path)
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
