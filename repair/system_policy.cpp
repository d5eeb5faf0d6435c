#include "repair/system_policy.h"

#include <string>

#include "backup/registry_backup.h"
#include "framework/handles.h"

namespace {

constexpr const wchar_t kPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

}  // namespace

int CheckPolicyValue(const wchar_t* valueName) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return 1;
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    if (::RegQueryValueExW(key.get(), valueName, nullptr, nullptr, data, &size) != ERROR_SUCCESS) return 1;
    const DWORD number = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
    return (number == 1 || data[0] == 0x31) ? 0 : 1;
}

int DeletePolicyValue(const wchar_t* valueName) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return 0;
    lark::backup::RegistryBackup backup(std::wstring(L"系统策略 ") + valueName);
    if (backup.Value(HKEY_CURRENT_USER, kPolicyKey, valueName).Save() != 0) return 0;
    const LONG error = ::RegDeleteValueW(key.get(), valueName);
    return (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) ? 1 : 0;
}
