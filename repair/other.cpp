#include "repair/other.h"

#include <cwchar>
#include <initializer_list>
#include <utility>

#include "backup/registry_backup.h"
#include "framework/handles.h"

namespace {

constexpr size_t kPathCapacity = 260;  // characters, terminator included

constexpr const wchar_t kFolderOptions[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";
const std::wstring kHideFileExtKey = std::wstring(kFolderOptions) + L"HideFileExt";
const std::wstring kNoHiddenKey = std::wstring(kFolderOptions) + L"Hidden\\NOHIDDEN";
const std::wstring kShowAllKey = std::wstring(kFolderOptions) + L"Hidden\\SHOWALL";
const std::wstring kRestrictionsKey = L"Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
const std::wstring kExplorerPolicyKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// One REG_DWORD into an existing key, opened for this value alone. true when it was written.
bool WriteDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD data) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return false;
    return ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// The values a routine writes, as they are before it writes them. 0 when they are safe in a backup.
using ValueList = std::initializer_list<std::pair<const std::wstring&, const wchar_t*>>;
DWORD BackUpValues(const wchar_t* what, HKEY root, ValueList values) {
    lark::backup::RegistryBackup backup(std::wstring(L"其它选项 ") + what);
    for (const auto& [path, name] : values) backup.Value(root, path.c_str(), name);
    return backup.Save();
}

}  // namespace

int RepairFileExtensionOption() {
    if (BackUpValues(L"修复无法显示扩展名", HKEY_LOCAL_MACHINE,
                     {{kHideFileExtKey, L"CheckedValue"}, {kHideFileExtKey, L"DefaultValue"}}) != 0) {
        return 0;
    }
    WriteDword(HKEY_LOCAL_MACHINE, kHideFileExtKey.c_str(), L"CheckedValue", 1);
    return WriteDword(HKEY_LOCAL_MACHINE, kHideFileExtKey.c_str(), L"DefaultValue", 1) ? 1 : 0;
}

int RepairHiddenFilesOption() {
    if (BackUpValues(L"修复隐藏文件选项", HKEY_LOCAL_MACHINE,
                     {{kNoHiddenKey, L"CheckedValue"}, {kNoHiddenKey, L"DefaultValue"}, {kShowAllKey, L"CheckedValue"},
                      {kShowAllKey, L"DefaultValue"}}) != 0) {
        return 0;
    }
    WriteDword(HKEY_LOCAL_MACHINE, kNoHiddenKey.c_str(), L"CheckedValue", 2);
    WriteDword(HKEY_LOCAL_MACHINE, kNoHiddenKey.c_str(), L"DefaultValue", 2);
    WriteDword(HKEY_LOCAL_MACHINE, kShowAllKey.c_str(), L"CheckedValue", 1);
    return WriteDword(HKEY_LOCAL_MACHINE, kShowAllKey.c_str(), L"DefaultValue", 2) ? 1 : 0;
}

int EnableBrowserOptions() {
    if (BackUpValues(L"修复被禁用的IEInternet选项", HKEY_CURRENT_USER, {{kRestrictionsKey, L"NoBrowserOptions"}}) != 0) {
        return 0;
    }
    return WriteDword(HKEY_CURRENT_USER, kRestrictionsKey.c_str(), L"NoBrowserOptions", 0) ? 1 : 0;
}

int EnableTrayContextMenu() {
    if (BackUpValues(L"解锁任务栏右键菜单", HKEY_CURRENT_USER, {{kExplorerPolicyKey, L"NoTrayContextMenu"}}) != 0) {
        return 0;
    }
    return WriteDword(HKEY_CURRENT_USER, kExplorerPolicyKey.c_str(), L"NoTrayContextMenu", 0) ? 1 : 0;
}

std::wstring HiddenFolderPattern(const wchar_t* folder) {
    if (!folder || !folder[0]) return {};  // never the root of the current drive by accident
    std::wstring pattern = folder;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L"*.*";
    if (pattern.size() >= kPathCapacity) return {};
    return pattern;
}

int RestoreHiddenFolders(const wchar_t* folder) {
    const std::wstring pattern = HiddenFolderPattern(folder);
    if (pattern.empty()) return 0;
    const std::wstring prefix = pattern.substr(0, pattern.size() - 3);  // the folder with its backslash

    WIN32_FIND_DATAW entry{};
    lark::UniqueFindHandle listing(::FindFirstFileW(pattern.c_str(), &entry));
    if (!listing) return 0;
    bool changed = false;
    do {
        entry.cFileName[MAX_PATH - 1] = L'\0';
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) || IsDotEntry(entry.cFileName)) continue;
        const std::wstring path = prefix + entry.cFileName;
        if (path.size() >= kPathCapacity) continue;
        if (::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) changed = true;
    } while (::FindNextFileW(listing.get(), &entry));
    return changed ? 1 : 0;
}
