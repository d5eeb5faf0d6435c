// Safe Mode under Wine: the check on registry fixtures, the choice of hive by Windows version, the
// temporary hive file, and the restore call. Wine's RegRestoreKeyW does nothing, so the call is
// observed by pointing this program's import of it at a recorder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "repair/safe_boot.h"
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
const std::wstring kHiveFile = TempFolder() + L"SafeBoot";

Bytes ReadHiveFile() {
    Bytes bytes;
    HANDLE file = ::CreateFileW(kHiveFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    unsigned char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::CloseHandle(file);
    return bytes;
}
bool HiveFileExists() { return ::GetFileAttributesW(kHiveFile.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Records each RegRestoreKeyW call while it lives and answers with `result`.
class RestoreRecorder {
public:
    struct Call {
        std::wstring file;
        DWORD flags;
        bool keyIsSafeBoot;  // the key handle reaches the marker subkey the fixture put under SafeBoot
        Bytes fileContent;   // the hive file as it was during the call
    };

    RestoreRecorder() : patch_("advapi32.dll", "RegRestoreKeyW", reinterpret_cast<void*>(&Record)) { current_ = this; }
    ~RestoreRecorder() { current_ = nullptr; }
    bool installed() const { return patch_.installed(); }

    std::vector<Call> calls;
    LONG result = ERROR_SUCCESS;

private:
    static LONG WINAPI Record(HKEY key, LPCWSTR file, DWORD flags) {
        HKEY marker = nullptr;
        const bool reaches = ::RegOpenKeyExW(key, L"Minimal\\Marker", 0, KEY_READ, &marker) == ERROR_SUCCESS;
        if (marker) ::RegCloseKey(marker);
        current_->calls.push_back({file ? file : L"", flags, reaches, ReadHiveFile()});
        return current_->result;
    }
    static inline RestoreRecorder* current_ = nullptr;
    test::ImportPatch patch_;
};

class SafeBoot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(restore.installed());
        ::DeleteFileW(kHiveFile.c_str());
    }
    void TearDown() override {
        ::DeleteFileW(kHiveFile.c_str());
        ::RemoveDirectoryW(kHiveFile.c_str());
    }
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
        ::DeleteFileW(kHiveFile.c_str());
        restore.calls.clear();
        EXPECT_EQ(SafeBootResourceFor(c.major, c.minor), c.resource) << name;
        EXPECT_EQ(RestoreSafeBootForVersion(c.major, c.minor), c.resource ? 1 : 0) << name;
        if (!c.resource) {  // nothing touched
            EXPECT_FALSE(HiveFileExists()) << name;
            EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot)) << name;
            EXPECT_TRUE(restore.calls.empty()) << name;
            continue;
        }
        const Bytes image = Resource(c.resource);
        ASSERT_EQ(image.size(), c.size) << name;
        EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "regf") << name;
        EXPECT_EQ(ReadHiveFile(), image) << name;  // left in place after the call
        EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot)) << name;  // created for the restore
        ASSERT_EQ(restore.calls.size(), 1u) << name;
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
    EXPECT_EQ(ReadHiveFile(), Resource(148));
}

TEST_F(SafeBoot, RestoreWritesAFreshHiveFileAndRestoresItOverTheKey) {
    HealthyLists();
    {  // a stale, larger file of the same name
        HANDLE file = ::CreateFileW(kHiveFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const Bytes junk(50000, 0x5A);
        DWORD written = 0;
        ::WriteFile(file, junk.data(), static_cast<DWORD>(junk.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    EXPECT_EQ(RestoreSafeBootHive(145), 1);
    ASSERT_EQ(restore.calls.size(), 1u);
    const RestoreRecorder::Call& call = restore.calls[0];
    EXPECT_EQ(call.file, TempFolder() + L"\\SafeBoot");
    EXPECT_EQ(call.flags, static_cast<DWORD>(REG_FORCE_RESTORE));
    EXPECT_TRUE(call.keyIsSafeBoot);
    EXPECT_EQ(call.fileContent, Resource(145));  // complete and closed before the restore
    EXPECT_EQ(ReadHiveFile(), Resource(145));

    // A refused restore (no restore privilege) is a failure.
    restore.result = ERROR_PRIVILEGE_NOT_HELD;
    EXPECT_EQ(RestoreSafeBootHive(145), 0);
    EXPECT_EQ(restore.calls.size(), 2u);
}

// Another program that holds the hive file open for writing could change it between our write
// and the restore: then the file cannot be taken and nothing is restored.
TEST_F(SafeBoot, NothingIsRestoredWhileAnotherHandleCanWriteTheHiveFile) {
    HealthyLists();
    HANDLE holder = ::CreateFileW(kHiveFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RestoreSafeBootHive(148), 0);
    EXPECT_TRUE(restore.calls.empty());
    ::CloseHandle(holder);
}

TEST_F(SafeBoot, NothingIsRestoredWithoutAHiveImage) {
    EXPECT_EQ(RestoreSafeBootHive(999), 0);  // no such resource: an empty file, and no restore
    EXPECT_TRUE(HiveFileExists());
    EXPECT_TRUE(ReadHiveFile().empty());
    EXPECT_TRUE(restore.calls.empty());

    ::DeleteFileW(kHiveFile.c_str());
    ASSERT_TRUE(::CreateDirectoryW(kHiveFile.c_str(), nullptr));  // the file cannot be created
    EXPECT_EQ(RestoreSafeBootHive(148), 0);
    EXPECT_TRUE(restore.calls.empty());
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot));
}

}  // namespace
