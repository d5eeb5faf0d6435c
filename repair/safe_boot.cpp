#include "repair/safe_boot.h"

#include <cwchar>

#include "framework/handles.h"
#include "framework/registry.h"
#include "framework/resources.h"
#include "framework/wnd.h"

namespace {

constexpr const wchar_t kSafeBootKey[] = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
constexpr const wchar_t kHiveFileName[] = L"\\SafeBoot";

bool HasSubkeys(const wchar_t* path) {
    lark::ListedKey key;
    return lark::OpenForListing(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key) == ERROR_SUCCESS && key.subkeys > 0;
}

}  // namespace

int CheckSafeBoot() {
    return HasSubkeys(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal") &&
                   HasSubkeys(L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network")
               ? 1
               : 0;
}

UINT SafeBootResourceFor(DWORD major, DWORD minor) {
    if (major == 5) {
        switch (minor) {
            case 0: return 144;
            case 1: return 145;
            case 2: return 146;
            default: return 0;
        }
    }
    switch (minor) {
        case 0: return 147;
        case 1: return 148;
        default: return 0;
    }
}

int RestoreSafeBoot() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);  // 276 bytes
    if (!::GetVersionExW(&version)) return 0;
    return RestoreSafeBootForVersion(version.dwMajorVersion, version.dwMinorVersion);
}

int RestoreSafeBootForVersion(DWORD major, DWORD minor) {
    const UINT resourceId = SafeBootResourceFor(major, minor);
    return resourceId ? RestoreSafeBootHive(resourceId) : 0;
}

int RestoreSafeBootHive(UINT resourceId) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, path);
    if (length == 0 || length + std::wcslen(kHiveFileName) >= MAX_PATH) return 0;
    std::wcscat(path, kHiveFileName);
    ::DeleteFileW(path);

    const auto bytes = lark::ResourceBytes(lark::ResourceInstance(), MAKEINTRESOURCEW(resourceId), L"SAFEBOOT");
    const void* image = bytes ? bytes->data() : nullptr;
    const DWORD size = bytes ? static_cast<DWORD>(bytes->size()) : 0;

    {
        // Not shared: another program of the user must not hold the file open for writing and
        // change the hive between our write and the restore over the system's key.
        lark::UniqueFile file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return 0;
        DWORD written = 0;
        if (size > 0 && (!::WriteFile(file.get(), image, size, &written, nullptr) || written != size)) return 0;
    }
    // An empty file holds no hive: restoring it could only fail, or empty the key.
    if (size == 0) return 0;

    lark::UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSafeBootKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return ::RegRestoreKeyW(key.get(), path, REG_FORCE_RESTORE) == ERROR_SUCCESS ? 1 : 0;
}
