#include "support/registry_keys.h"

#include <vector>

namespace {

bool SetEveryoneAcl(HKEY root, const std::string& path, DWORD deniedRights)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    bool done = false;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        std::vector<char> aclBuffer(512);
        PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
        SECURITY_DESCRIPTOR descriptor;
        done = InitializeAcl(acl, static_cast<DWORD>(aclBuffer.size()), ACL_REVISION) &&
               (deniedRights == 0 || AddAccessDeniedAce(acl, ACL_REVISION, deniedRights, everyone)) &&
               AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) &&
               InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
               RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
        FreeSid(everyone);
    }
    RegCloseKey(key);
    return done;
}

void DeleteChildren(HKEY key)
{
    char name[300];
    DWORD index = 0;
    while (RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS) {
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
            DeleteChildren(child);
            RegCloseKey(child);
        }
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) ++index;
    }
}

}  // namespace

bool TestCreateKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool TestKeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, READ_CONTROL, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool TestDeleteTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        DeleteChildren(key);
        RegCloseKey(key);
        RegDeleteKeyA(root, path.c_str());
    }
    return !TestKeyExists(root, path);
}

bool TestSetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool TestSetString(HKEY root, const std::string& path, const char* name, const char* text)
{
    return TestSetValue(root, path, name, REG_SZ, text, static_cast<DWORD>(lstrlenA(text) + 1));
}

bool TestSetDword(HKEY root, const std::string& path, const char* name, DWORD number)
{
    return TestSetValue(root, path, name, REG_DWORD, &number, sizeof number);
}

bool TestGetValue(HKEY root, const std::string& path, const char* name, DWORD* type, std::string* data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    std::vector<char> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD valueType = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    if (type) *type = valueType;
    if (data) data->assign(buffer.data(), size);
    return true;
}

bool TestValueExists(HKEY root, const std::string& path, const char* name)
{
    return TestGetValue(root, path, name, nullptr, nullptr);
}

bool TestDenyAccess(HKEY root, const std::string& path, DWORD deniedRights)
{
    return SetEveryoneAcl(root, path, deniedRights);
}

bool TestAllowAll(HKEY root, const std::string& path)
{
    return SetEveryoneAcl(root, path, 0);
}
