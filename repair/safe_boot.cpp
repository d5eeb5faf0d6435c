#include "repair/safe_boot.h"

#include <winternl.h>

#include "backup/registry_backup.h"
#include "backup/store.h"
#include "framework/handles.h"
#include "framework/registry.h"
#include "framework/resources.h"
#include "framework/wnd.h"

extern "C" NTSTATUS NTAPI NtRestoreKey(HANDLE key, HANDLE file, ULONG flags);

namespace {

constexpr const wchar_t kSafeBootKey[] = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

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
    const auto bytes = lark::ResourceBytes(lark::ResourceInstance(), MAKEINTRESOURCEW(resourceId), L"SAFEBOOT");
    // A missing or empty image holds no hive: restoring it could only fail, or empty the key.
    if (!bytes || bytes->empty() || bytes->size() > MAXDWORD) return 0;
    if (lark::backup::RegistryBackup(L"安全模式 SafeBoot").Tree(HKEY_LOCAL_MACHINE, kSafeBootKey).Save() != 0) return 0;

    // The hive goes into the backup folder, which only administrators and the system can write, as
    // a new file that nobody else can open; the restore reads it through this very handle, so it is
    // the image as written. It is deleted when the handle closes.
    lark::UniqueFile hive;
    if (lark::backup::CreateScratchFile(L"安全模式 SafeBoot hive", hive) != 0) return 0;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes->size());
    if (!::WriteFile(hive.get(), bytes->data(), size, &written, nullptr) || written != size ||
        !::FlushFileBuffers(hive.get()) || ::SetFilePointer(hive.get(), 0, nullptr, FILE_BEGIN) != 0) {
        return 0;
    }

    lark::UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSafeBootKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return NtRestoreKey(key.get(), hive.get(), REG_FORCE_RESTORE) == 0 ? 1 : 0;
}
