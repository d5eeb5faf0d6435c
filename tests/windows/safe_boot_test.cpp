// Safe Mode under Wine: the check on registry fixtures, the choice of hive by Windows version, the
// backup of the SafeBoot key, and the restore from a hive file in the backup folder that nobody
// else can open. Wine's NtRestoreKey does nothing, so the call is observed by pointing this
// program's import of it at a recorder.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "repair/safe_boot.h"
#include "support/backups.h"
#include "support/import_patch.h"
#include "support/registry.h"

namespace {

const std::wstring kSafeBoot = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
using Bytes = std::vector<unsigned char>;

Bytes Resource(UINT id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"SAFEBOOT");
    if (!found) return {};
    const auto* data = static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)));
    return Bytes(data, data + ::SizeofResource(module, found));
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, path);
    return path;
}

// The hive files ("*.tmp") in the backup folder.
std::vector<std::wstring> HiveFiles() {
    std::vector<std::wstring> found;
    for (const auto& name : test::BackupFiles()) {
        if (name.ends_with(L".tmp")) found.push_back(name);
    }
    return found;
}

// Records each NtRestoreKey call while it lives and answers with `status`.
class RestoreRecorder {
public:
    struct Call {
        ULONG flags;
        bool keyIsSafeBoot;         // the key handle reaches the marker subkey the fixture put under SafeBoot
        Bytes fileContent;          // read through the handle given, from its start
        std::vector<std::wstring> hiveFiles;  // hive files in the backup folder during the call
        DWORD otherOpenError;       // what another open of that file by its name met
        std::vector<std::wstring> backups;    // the backup folder during the call
    };

    RestoreRecorder() : patch_("ntdll.dll", "NtRestoreKey", reinterpret_cast<void*>(&Record)) { current_ = this; }
    ~RestoreRecorder() { current_ = nullptr; }
    bool installed() const { return patch_.installed(); }

    std::vector<Call> calls;
    NTSTATUS status = 0;

private:
    static NTSTATUS NTAPI Record(HANDLE key, HANDLE file, ULONG flags) {
        Call call{flags, false, {}, HiveFiles(), 0, test::BackupFiles()};
        HKEY marker = nullptr;
        call.keyIsSafeBoot = ::RegOpenKeyExW(static_cast<HKEY>(key), L"Minimal\\Marker", 0, KEY_READ, &marker) ==
                             ERROR_SUCCESS;
        if (marker) ::RegCloseKey(marker);
        unsigned char chunk[4096];
        DWORD got = 0;
        while (::ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
            call.fileContent.insert(call.fileContent.end(), chunk, chunk + got);
        }
        ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (call.hiveFiles.size() == 1) {
            ::SetLastError(0);
            HANDLE other = ::CreateFileW(test::BackupPath(call.hiveFiles[0]).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
            call.otherOpenError = other == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
            if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
        }
        current_->calls.push_back(call);
        return current_->status;
    }
    static inline RestoreRecorder* current_ = nullptr;
    test::ImportPatch patch_;
};

class SafeBoot : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(restore.installed()); }
    // The lists as a healthy system has them, and a marker for the recorder.
    void HealthyLists() {
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kSafeBoot, L"AlternateShell", L"cmd.exe"), ERROR_SUCCESS);
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Minimal\\Marker", nullptr, L"Service"),
                  ERROR_SUCCESS);
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Network\\NetBT", nullptr, L"Service"),
                  ERROR_SUCCESS);
    }

    test::ScopedKeys keys{HKEY_LOCAL_MACHINE, {kSafeBoot}};
    RestoreRecorder restore;
};

TEST_F(SafeBoot, CheckWantsBothListsWithSubkeys) {
    struct Case {
        const char* name;
        void (*damage)();
        int expected;
    };
    const Case cases[] = {
        {"both lists with subkeys", [] {}, 1},
        {"Minimal empty", [] { test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Minimal\\Marker"); }, 0},
        {"Network empty", [] { test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Network\\NetBT"); }, 0},
        {"Minimal missing", [] { test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Minimal"); }, 0},
        {"Network missing", [] { test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Network"); }, 0},
        {"no SafeBoot key", [] { test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot); }, 0},
    };
    for (const Case& c : cases) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot);
        HealthyLists();
        c.damage();
        EXPECT_EQ(CheckSafeBoot(), c.expected) << c.name;
    }
}

TEST_F(SafeBoot, EachVersionRestoresItsOwnHive) {
    struct Case {
        DWORD major, minor;
        UINT resource;  // 0: none
        size_t size;
    };
    const Case cases[] = {
        {5, 0, 144, 28672}, {5, 1, 145, 28672}, {5, 2, 146, 28672}, {6, 0, 147, 32768}, {6, 1, 148, 36864},
        {10, 0, 147, 32768}, {6, 2, 0, 0}, {5, 3, 0, 0}, {6, 3, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.major) + "." + std::to_string(c.minor);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot);
        restore.calls.clear();
        const test::BackupWatch watch;
        EXPECT_EQ(SafeBootResourceFor(c.major, c.minor), c.resource) << name;
        EXPECT_EQ(RestoreSafeBootForVersion(c.major, c.minor), c.resource ? 1 : 0) << name;
        EXPECT_TRUE(HiveFiles().empty()) << name;  // deleted after the restore, or never made
        if (!c.resource) {  // nothing touched
            EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot)) << name;
            EXPECT_TRUE(restore.calls.empty()) << name;
            EXPECT_TRUE(watch.Added().empty()) << name;
            continue;
        }
        const Bytes image = Resource(c.resource);
        ASSERT_EQ(image.size(), c.size) << name;
        EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "regf") << name;
        EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot)) << name;  // created for the restore
        ASSERT_EQ(restore.calls.size(), 1u) << name;
        EXPECT_EQ(restore.calls[0].fileContent, image) << name;
    }
    // The five images differ from each other.
    for (UINT a = 144; a <= 148; ++a) {
        for (UINT b = a + 1; b <= 148; ++b) EXPECT_NE(Resource(a), Resource(b)) << a << " " << b;
    }
}

TEST_F(SafeBoot, RestoreUsesTheVersionWindowsReports) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(&version));
    ASSERT_EQ(version.dwMajorVersion, 6u) << "the test prefix should report Windows 7";
    ASSERT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(RestoreSafeBoot(), 1);
    ASSERT_EQ(restore.calls.size(), 1u);
    EXPECT_EQ(restore.calls[0].fileContent, Resource(148));
}

// The key is kept first; the hive is a new file in the backup folder that nobody else can open, read
// by the restore through the program's own handle, and gone afterwards. The user's temporary folder
// plays no part: a file planted there is neither used nor touched.
TEST_F(SafeBoot, RestoreReadsTheHiveThroughAHandleNobodyElseCanOpen) {
    HealthyLists();
    const std::wstring planted = TempFolder() + L"SafeBoot";
    {
        HANDLE file = ::CreateFileW(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, "planted", 7, &written, nullptr);
        ::CloseHandle(file);
    }
    const test::BackupWatch watch;
    EXPECT_EQ(RestoreSafeBootHive(145), 1);
    ASSERT_EQ(restore.calls.size(), 1u);
    const RestoreRecorder::Call& call = restore.calls[0];
    EXPECT_EQ(call.flags, static_cast<ULONG>(REG_FORCE_RESTORE));
    EXPECT_TRUE(call.keyIsSafeBoot);
    EXPECT_EQ(call.fileContent, Resource(145));  // complete before the restore
    ASSERT_EQ(call.hiveFiles.size(), 1u);
    EXPECT_EQ(call.otherOpenError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // The backup of the key was there before the restore.
    const auto added = watch.Added();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0].ends_with(L" 安全模式 SafeBoot.reg"));
    EXPECT_NE(std::find(call.backups.begin(), call.backups.end(), added[0]), call.backups.end());
    EXPECT_TRUE(HiveFiles().empty());
    EXPECT_EQ(test::ReadBytes(planted), (Bytes{'p', 'l', 'a', 'n', 't', 'e', 'd'}));
    ::DeleteFileW(planted.c_str());

    // A refused restore (no restore privilege) is a failure.
    restore.status = static_cast<NTSTATUS>(0xC0000061);  // STATUS_PRIVILEGE_NOT_HELD
    EXPECT_EQ(RestoreSafeBootHive(145), 0);
    EXPECT_EQ(restore.calls.size(), 2u);
    EXPECT_TRUE(HiveFiles().empty());
}

TEST_F(SafeBoot, NothingIsRestoredWithoutAHiveImageOrABackup) {
    const test::BackupWatch watch;
    EXPECT_EQ(RestoreSafeBootHive(999), 0);  // no such resource
    EXPECT_TRUE(restore.calls.empty());
    EXPECT_TRUE(watch.Added().empty());

    HealthyLists();
    const test::Snapshot before = test::TakeSnapshot(HKEY_LOCAL_MACHINE, kSafeBoot);
    {
        test::FullDisk full;
        EXPECT_EQ(RestoreSafeBootHive(148), 0);
    }
    EXPECT_TRUE(restore.calls.empty());
    EXPECT_TRUE(watch.Added().empty());
    EXPECT_TRUE(HiveFiles().empty());
    EXPECT_EQ(test::FirstDifference(before, test::TakeSnapshot(HKEY_LOCAL_MACHINE, kSafeBoot)), "");

    test::DeleteTree(HKEY_LOCAL_MACHINE, kSafeBoot);
    test::ReadOnlyBackupFolder readOnly;
    if (!readOnly.available()) return;
    EXPECT_EQ(RestoreSafeBootHive(148), 0);
    EXPECT_TRUE(restore.calls.empty());
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot));  // not even created
}

}  // namespace
