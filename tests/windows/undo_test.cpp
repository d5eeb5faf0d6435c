// Every change the program makes can be undone: on a prefix seeded with damage of every kind, a
// snapshot of the registry and the HOSTS file; then every repair and delete, the fast check's
// included; then every backup written imported again with the registry editor, newest first (the
// HOSTS file copied back): the snapshot is the same, key for key, value for value, byte for byte.
// And a change whose backup cannot be written changes nothing and reports failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/fast_check_host.h"
#include "pages/fast_check_dialog.h"
#include "repair/file_type.h"
#include "repair/firewall_policy.h"
#include "repair/host.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"
#include "repair/lsp_repair.h"
#include "repair/other.h"
#include "repair/safe_boot.h"
#include "repair/system_policy.h"
#include "resource.h"
#include "support/backups.h"
#include "support/import_patch.h"
#include "support/memory_disk.h"
#include "support/process_recorder.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kSafeBoot = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
const std::wstring kWinsock = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";
const wchar_t kBho[] = L"{5C1B7E20-3D4A-4F6B-9A11-7E2D40C3B875}";
const wchar_t kPreApproved[] = L"{8E4F2A61-B0C7-4D35-8E92-1F6A03D7C214}";

// What the registry of the prefix is, where the changes reach.
struct State {
    test::Snapshot software, system, user;
    std::vector<unsigned char> hosts;
};

std::wstring HostsPath() {
    wchar_t path[MAX_PATH] = {};
    BuildHostsPath(path);
    return path;
}

State Take() {
    return {test::TakeSnapshot(HKEY_LOCAL_MACHINE, L"SOFTWARE"), test::TakeSnapshot(HKEY_LOCAL_MACHINE, L"SYSTEM"),
            test::TakeSnapshot(HKEY_CURRENT_USER, L"Software"), test::ReadBytes(HostsPath())};
}

void ExpectSame(const State& expected, const State& actual, const std::string& when) {
    EXPECT_EQ(test::FirstDifference(expected.software, actual.software), "") << when;
    EXPECT_EQ(test::FirstDifference(expected.system, actual.system), "") << when;
    EXPECT_EQ(test::FirstDifference(expected.user, actual.user), "") << when;
    EXPECT_EQ(expected.hosts, actual.hosts) << when;
}

void Import(const std::wstring& regFile) {
    const std::wstring regedit = lark::process::WindowsDirectory() + L"\\regedit.exe";
    std::wstring commandLine = L"regedit.exe /s \"" + regFile + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(regedit.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
}

// The demo's damage (scripts/seed), and more of every kind the changes meet: a hijack key with
// subkeys and values of odd types, policies and options of the wrong types, an add-on's settings.
void SeedDamage() {
    const char* source = std::getenv("LARKSPUR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::wstring seeds = L"Z:";
    for (const char* c = source; *c; ++c) seeds += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    seeds += L"\\scripts\\seed\\";
    for (const wchar_t* file : {L"20-policies.reg", L"30-associations.reg", L"35-hijack.reg", L"50-safeboot.reg",
                                L"60-explorer-policies.reg", L"70-lsp.reg", L"75-addons.reg", L"80-firewall.reg"}) {
        Import(seeds + file);
    }
    const std::wstring hijack = kIfeo + L"procexp.exe";
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, hijack, L"Debugger", L"C:\\Tools\\procexp64.exe \"%1\""), 0);
    const BYTE odd[] = {0x41, 0x00, 0x0A, 0x00, 0x42, 0x00};  // a string with a line break, unterminated
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, hijack, L"Note \"quoted\"", odd, sizeof(odd), REG_SZ), 0);
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, hijack + L"\\Deeper\\a]b", L"", odd, 3, 0x1234abcd), 0);
    ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                              L"DisableTaskmgr", L"1"),
              0);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE,
                              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL",
                              L"CheckedValue", L"0"),
              0);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions",
                             L"NoBrowserOptions", 1),
              0);
    const BYTE oneString[] = {0x61, 0x00, 0x00, 0x00};  // a multi-string without its closing empty string
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kSafeBoot, L"Odd", oneString, sizeof(oneString), REG_MULTI_SZ), 0);
    lark::UniqueFile hosts(::CreateFileW(HostsPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(hosts.get(), "127.0.0.1 localhost\r\n0.0.0.0 update.example", 44, &written, nullptr);
}

// Wine's restore and "netsh winsock reset" do nothing; here they change what they would change, so
// that the import has something to put back.
NTSTATUS NTAPI ReplaceWithHive(HANDLE key, HANDLE, ULONG) {
    const HKEY safeBoot = static_cast<HKEY>(key);
    ::RegDeleteTreeW(safeBoot, nullptr);
    HKEY restored = nullptr;
    ::RegCreateKeyExW(safeBoot, L"Minimal\\FromHive", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    ::RegCloseKey(restored);
    return 0;
}

class ResettingNetsh : public test::ProcessRecorder {
public:
    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override {
        if (request.commandLine == L"netsh winsock reset") {
            test::DeleteTree(HKEY_LOCAL_MACHINE, kWinsock + L"\\Protocol_Catalog9");
            test::SetDword(HKEY_LOCAL_MACHINE, kWinsock + L"\\Protocol_Catalog9", L"Serial_Access_Num", 1);
            // Wine's own netsh, which ends with 0 and changes nothing: the reset counts as done.
            ProcessRecorder::Start(request, process);
            return lark::process::RealStart(request, process);
        }
        return ProcessRecorder::Start(request, process);
    }
};

class Undo : public ::testing::Test {
protected:
    test::ScopedKeys keys{HKEY_LOCAL_MACHINE, {kIfeo + L"procexp.exe"}};
    test::ImportPatch restore{"ntdll.dll", "NtRestoreKey", reinterpret_cast<void*>(&ReplaceWithHive)};
    ResettingNetsh processes;
    test::MemoryDisk disk;
    test::ScriptedPrompts prompts;
};

// Every change, in the order a user might make them; each returns whether it reported success.
std::vector<std::pair<const char*, std::function<bool()>>> Changes() {
    return {
        {"association", [] { return RepairFileAssociation(L".txt") == 1; }},
        {"hijack", [] { return DeleteImageHijacks({L"HKEY_LOCAL_MACHINE\\" + kIfeo + L"procexp.exe"}) == 0; }},
        {"policy", [] { return DeletePolicyValue(L"DisableTaskmgr") == 1; }},
        {"file extensions", [] { return RepairFileExtensionOption() == 1; }},
        {"hidden files", [] { return RepairHiddenFilesOption() == 1; }},
        {"browser options", [] { return EnableBrowserOptions() == 1; }},
        {"taskbar menu", [] { return EnableTrayContextMenu() == 1; }},
        {"safe mode", [] { return RestoreSafeBoot() == 1; }},
        {"add-on enable", [] { return SetAddOnEnabled(kBho, 1) == 0; }},
        {"add-on disable", [] { return SetAddOnEnabled(kPreApproved, 0) == 0; }},
        {"add-on delete", [] { return DeleteAddOn(kAddOnActiveX, kPreApproved, lark::RegistryView::Bits64) == 0; }},
        {"add-on delete, 32-bit", [] {
             return DeleteAddOn(kAddOnHelperObject, L"{E3A7C915-2B6D-4F80-A1C4-6D95B0F2E318}",
                                lark::RegistryView::Bits32) == 0;
         }},
        {"firewall", [] { return DeleteFirewallEntry(L"4444:TCP", 1) == 1; }},
        {"winsock reset", [] { return ResetWinsockCatalog() == 1; }},
        {"hosts save", [] { return WriteHostsFile(L"127.0.0.1 localhost\r\n", 22) == 0; }},
        {"hosts default", [] {
             const auto text = std::string("# default\r\n127.0.0.1       localhost\r\n");
             return WriteDefaultHosts(std::as_bytes(std::span(text.data(), text.size()))) == 0;
         }},
    };
}

TEST_F(Undo, ImportingEveryBackupNewestFirstPutsEverythingBack) {
    SeedDamage();
    const State before = Take();
    const test::BackupWatch watch;

    // The fast check finds and repairs every row (the boot record on its memory disk).
    test::PageHost host;
    CFastCheckDialog page{&ProgramFastCheckHost()};
    ASSERT_TRUE(host.Create(page, IDD_FASTCHECK));
    for (int row = 0; row < CFastCheckDialog::kRowCount; ++row) page.CheckList().SetCheck(row, TRUE);
    for (int id : {IDC_DETECT, IDC_REPAIR}) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
    }
    for (int row = 0; row < CFastCheckDialog::kRowCount; ++row) {
        EXPECT_EQ(page.CheckList().GetItemText(row, 2), L"修复完成") << row;
    }
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kIfeo + L"procexp.exe"));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Minimal\\FromHive"));

    for (const auto& [name, change] : Changes()) EXPECT_TRUE(change()) << name;

    // Put back: the HOSTS file by copying its oldest copy, the registry by importing every .reg.
    std::vector<std::wstring> regFiles, hostsCopies;
    for (const auto& name : watch.Added()) (name.ends_with(L".reg") ? regFiles : hostsCopies).push_back(name);
    ASSERT_EQ(hostsCopies.size(), 3u);  // the boot sector and two HOSTS copies
    EXPECT_TRUE(hostsCopies[0].ends_with(L" 硬盘主引导记录 MBR.Bak"));
    EXPECT_TRUE(hostsCopies[1].ends_with(L" HOSTS文件 保存 hosts.bak"));
    EXPECT_TRUE(hostsCopies[2].ends_with(L" HOSTS文件 恢复默认 hosts.bak"));
    ASSERT_TRUE(::CopyFileW(test::BackupPath(hostsCopies[1]).c_str(), HostsPath().c_str(), FALSE));
    ASSERT_TRUE(test::ImportNewestFirst(regFiles));
    ExpectSame(before, Take(), "after the import");
}

// No backup, no change: with the disk full, and with the backup folder read-only, each change
// reports failure (as its page shows it) and leaves the registry and the HOSTS file as they were.
TEST_F(Undo, NoBackupNoChange) {
    SeedDamage();
    const State before = Take();
    const test::BackupWatch watch;
    {
        test::FullDisk full;
        for (const auto& [name, change] : Changes()) EXPECT_FALSE(change()) << name;
        ExpectSame(before, Take(), "disk full");
    }
    test::ReadOnlyBackupFolder readOnly;
    if (readOnly.available()) {
        for (const auto& [name, change] : Changes()) EXPECT_FALSE(change()) << name;
        ExpectSame(before, Take(), "read-only folder");
    }
    EXPECT_TRUE(watch.Added().empty());
    EXPECT_TRUE(processes.starts.empty());  // netsh was not run
}

}  // namespace
