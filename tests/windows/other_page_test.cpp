// The other-repairs page with its real template under Wine: select all / invert, Repair with the
// policy deletions, the Explorer, browser and taskbar values, the regsvr32 starts and the final
// notice, and the hidden-folder restore on real file attributes.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "framework/process.h"
#include "pages/other_dialog.h"
#include "repair/boot_sector.h"
#include "repair/other.h"
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

const std::wstring kSystemPolicy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::wstring kExplorerPolicy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::wstring kRestrictions = L"Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";
const std::wstring kFolder = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder";
const std::wstring kHideFileExt = kFolder + L"\\HideFileExt";
const std::wstring kHidden = kFolder + L"\\Hidden";
const std::wstring kNoHidden = kHidden + L"\\NOHIDDEN";
const std::wstring kShowAll = kHidden + L"\\SHOWALL";

const wchar_t kRepairDone[] = L"提示|修复完成，请重启计算机";
const wchar_t kBootWarning[] = L"您选择了重置MBR，如果重置，在当前磁盘引导扇区安装的管理软件将会失效！";

// Every value the page writes or deletes.
struct ValueRef {
    HKEY root;
    std::wstring key;
    const wchar_t* name;
};
const ValueRef kAllValues[] = {
    {HKEY_CURRENT_USER, kSystemPolicy, L"DisableTaskmgr"},
    {HKEY_CURRENT_USER, kSystemPolicy, L"DisableRegistryTools"},
    {HKEY_LOCAL_MACHINE, kHideFileExt, L"CheckedValue"},
    {HKEY_LOCAL_MACHINE, kHideFileExt, L"DefaultValue"},
    {HKEY_LOCAL_MACHINE, kNoHidden, L"CheckedValue"},
    {HKEY_LOCAL_MACHINE, kNoHidden, L"DefaultValue"},
    {HKEY_LOCAL_MACHINE, kShowAll, L"CheckedValue"},
    {HKEY_LOCAL_MACHINE, kShowAll, L"DefaultValue"},
    {HKEY_CURRENT_USER, kRestrictions, L"NoBrowserOptions"},
    {HKEY_CURRENT_USER, kExplorerPolicy, L"NoTrayContextMenu"},
};

std::vector<std::optional<test::RegValue>> Snapshot() {
    std::vector<std::optional<test::RegValue>> values;
    for (const auto& v : kAllValues) values.push_back(test::GetValue(v.root, v.key, v.name));
    return values;
}

bool Same(const std::vector<std::optional<test::RegValue>>& a, const std::vector<std::optional<test::RegValue>>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].has_value() != b[i].has_value()) return false;
        if (a[i] && (a[i]->type != b[i]->type || a[i]->data != b[i]->data)) return false;
    }
    return true;
}

// The damage the page repairs, as malware leaves it.
void SeedDamage() {
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableTaskmgr", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableRegistryTools", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, kHideFileExt, L"CheckedValue", 0), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, kHideFileExt, L"DefaultValue", 0), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, kNoHidden, L"CheckedValue", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, kNoHidden, L"DefaultValue", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kShowAll, L"CheckedValue", L"0"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, kShowAll, L"DefaultValue", 0), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kRestrictions, L"NoBrowserOptions", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kExplorerPolicy, L"NoTrayContextMenu", 1), ERROR_SUCCESS);
}

const int kAllBoxes[] = {IDC_FIX_HIDDEN_FOLDERS, IDC_FIX_TASKMGR,   IDC_FIX_MBR,       IDC_FIX_HIDDEN_OPTION,
                         IDC_FIX_IE_OPTIONS,     IDC_FIX_FILE_EXTENSIONS, IDC_FIX_REGEDIT, IDC_FIX_TRAY_MENU,
                         IDC_FIX_IE_LINKS,       IDC_FIX_SAFEBOOT};
const int kGroup[] = {IDC_FIX_TASKMGR,  IDC_FIX_SAFEBOOT,     IDC_FIX_TRAY_MENU,  IDC_FIX_REGEDIT,
                      IDC_FIX_IE_LINKS, IDC_FIX_HIDDEN_OPTION, IDC_FIX_IE_OPTIONS, IDC_FIX_FILE_EXTENSIONS};

class OtherPage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.Create(page, IDD_OTHER)); }

    HWND Item(int id) { return page.GetDlgItem(id); }
    // A real click on a control: the button toggles itself and notifies the page.
    void Click(int id) { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void SetTick(int id, bool ticked) { ::SendMessageW(Item(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0); }
    bool Ticked(int id) { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void TickOnly(std::initializer_list<int> ids) {
        for (int id : kAllBoxes) SetTick(id, false);
        for (int id : ids) SetTick(id, true);
    }
    std::optional<test::RegValue> Value(HKEY root, const std::wstring& key, const wchar_t* name) {
        return test::GetValue(root, key, name);
    }
    bool HasPolicy(const wchar_t* name) { return Value(HKEY_CURRENT_USER, kSystemPolicy, name).has_value(); }
    void ExpectDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD data) {
        const auto value = Value(root, key, name);
        ASSERT_TRUE(value.has_value()) << name;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(value->data.size(), 4u) << name;
        EXPECT_EQ(value->Dword(), data) << name;
    }
    // The eight values of the four value routines, as a repair writes them.
    void ExpectValuesRepaired() {
        ExpectDword(HKEY_LOCAL_MACHINE, kHideFileExt, L"CheckedValue", 1);
        ExpectDword(HKEY_LOCAL_MACHINE, kHideFileExt, L"DefaultValue", 1);
        ExpectDword(HKEY_LOCAL_MACHINE, kNoHidden, L"CheckedValue", 2);
        ExpectDword(HKEY_LOCAL_MACHINE, kNoHidden, L"DefaultValue", 2);
        ExpectDword(HKEY_LOCAL_MACHINE, kShowAll, L"CheckedValue", 1);
        ExpectDword(HKEY_LOCAL_MACHINE, kShowAll, L"DefaultValue", 2);
        ExpectDword(HKEY_CURRENT_USER, kRestrictions, L"NoBrowserOptions", 0);  // set to 0, not deleted
        ExpectDword(HKEY_CURRENT_USER, kExplorerPolicy, L"NoTrayContextMenu", 0);
    }

    test::ScopedKeys userKeys{HKEY_CURRENT_USER,
                              {kSystemPolicy, kExplorerPolicy, L"Software\\Policies\\Microsoft\\Internet Explorer"}};
    test::ScopedKeys machineKeys{HKEY_LOCAL_MACHINE, {kHideFileExt, kHidden}};
    test::ScriptedPrompts prompts;
    test::ProcessRecorder processes;
    test::MemoryDisk disk;  // no test reaches a real disk
    test::ScopedCurrentDirectory currentDirectory{L"other"};  // where the boot-record backup went once
    test::BackupWatch backups;
    test::PageHost host;
    COtherDialog page;
};

// The backup written since `watch` began whose name ends so; empty when there is none.
std::vector<unsigned char> Backup(const test::BackupWatch& watch, const std::wstring& ending) {
    for (const auto& name : watch.Added()) {
        if (name.ends_with(ending)) return test::ReadBytes(test::BackupPath(name));
    }
    return {};
}
// Wine's restore does nothing: what shows the Safe Mode repair ran is the backup of the key it
// writes just before.
bool SafeBootRestored(const test::BackupWatch& watch) { return !Backup(watch, L" 安全模式 SafeBoot.reg").empty(); }

// Scripted prompts that look at the system at the moment each message box comes up.
class ProbingPrompts : public test::ScriptedPrompts {
public:
    std::function<void(const lark::prompts::Request&)> probe;
    int Message(const lark::prompts::Request& request) override {
        if (probe) probe(request);
        return ScriptedPrompts::Message(request);
    }
};

TEST_F(OtherPage, StartsUntickedWhateverTheSystemState) {
    SeedDamage();
    test::PageHost otherHost;
    COtherDialog fresh;
    ASSERT_TRUE(otherHost.Create(fresh, IDD_OTHER));
    for (int id : kAllBoxes) EXPECT_EQ(::SendMessageW(fresh.GetDlgItem(id), BM_GETCHECK, 0, 0), BST_UNCHECKED) << id;
    EXPECT_EQ(test::WindowText(fresh.GetDlgItem(IDC_SELECT_ALL)), L"全   选");
    EXPECT_EQ(test::WindowText(fresh.GetDlgItem(IDC_FIX_REPAIR)), L"修  复");
    EXPECT_EQ(fresh.SelectAllState(), 0);
    EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(OtherPage, RepairWithNothingDoneShowsNothingAndWritesNothing) {
    SeedDamage();
    const auto before = Snapshot();

    TickOnly({});
    Click(IDC_FIX_REPAIR);
    EXPECT_TRUE(prompts.requests.empty());

    // The boot-record warning answered No: the warning and nothing else.
    TickOnly({IDC_FIX_MBR});
    prompts.messageBoxAnswers = {IDNO};
    Click(IDC_FIX_REPAIR);
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_EQ(prompts.requests[0].text, kBootWarning);
    EXPECT_EQ(prompts.requests[0].caption, L"警告！");
    EXPECT_EQ(prompts.requests[0].flags, static_cast<UINT>(MB_YESNO));  // no icon
    EXPECT_EQ(prompts.requests[0].owner, page.GetSafeHwnd());

    EXPECT_TRUE(Same(Snapshot(), before));
    EXPECT_EQ(disk.Calls(), "");
    EXPECT_FALSE(currentDirectory.Exists(L"MBR.Bak"));
    EXPECT_TRUE(backups.Added().empty());
    EXPECT_TRUE(processes.shellCalls.empty());
    EXPECT_TRUE(processes.starts.empty());
    EXPECT_TRUE(Ticked(IDC_FIX_MBR));  // the boxes stay as they were
}

TEST_F(OtherPage, EitherPolicyBoxDeletesBothValues) {
    struct Case {
        const char* name;
        std::initializer_list<int> boxes;
        bool taskmgrPresent;
    };
    const Case cases[] = {
        {"Task Manager box", {IDC_FIX_TASKMGR}, true},
        {"Registry Editor box", {IDC_FIX_REGEDIT}, true},
        {"both boxes", {IDC_FIX_TASKMGR, IDC_FIX_REGEDIT}, true},
        {"DisableTaskmgr already absent", {IDC_FIX_REGEDIT}, false},
    };
    for (const auto& c : cases) {
        test::DeleteTree(HKEY_CURRENT_USER, kSystemPolicy);
        if (c.taskmgrPresent) {
            ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableTaskmgr", 1), ERROR_SUCCESS);
        }
        ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableRegistryTools", 1), ERROR_SUCCESS);
        ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"NoDispCPL", 1), ERROR_SUCCESS);
        prompts.requests.clear();
        TickOnly(c.boxes);
        Click(IDC_FIX_REPAIR);
        EXPECT_FALSE(HasPolicy(L"DisableTaskmgr")) << c.name;
        EXPECT_FALSE(HasPolicy(L"DisableRegistryTools")) << c.name;
        EXPECT_TRUE(HasPolicy(L"NoDispCPL")) << c.name;  // only the two values go
        EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone}) << c.name;
        for (int id : c.boxes) EXPECT_TRUE(Ticked(id)) << c.name;
    }
}

// Wine's registry has no access control, so a refused delete cannot be staged in the registry
// itself: RegDeleteValueW is replaced in this executable's import table (the page is linked into
// it), recording every delete and refusing the names it is told to.
class DeleteValueSpy {
public:
    DeleteValueSpy() : patch_("advapi32.dll", "RegDeleteValueW", reinterpret_cast<void*>(&Record)) { active_ = this; }
    ~DeleteValueSpy() { active_ = nullptr; }
    bool installed() const { return patch_.installed(); }

    std::vector<std::wstring> deletes;
    std::vector<std::wstring> refused;

private:
    using Function = LONG(WINAPI*)(HKEY, LPCWSTR);
    static LONG WINAPI Record(HKEY key, LPCWSTR name) {
        active_->deletes.push_back(name ? name : L"");
        for (const auto& r : active_->refused) {
            if (name && r == name) return ERROR_ACCESS_DENIED;
        }
        return active_->patch_.original<Function>()(key, name);
    }

    test::ImportPatch patch_;
    static inline DeleteValueSpy* active_ = nullptr;
};

TEST_F(OtherPage, PolicyValuesAreDeletedOnceEachAndOnlyAfterTaskmgr) {
    DeleteValueSpy spy;
    ASSERT_TRUE(spy.installed());
    const std::vector<std::wstring> both = {L"DisableTaskmgr", L"DisableRegistryTools"};

    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableTaskmgr", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableRegistryTools", 1), ERROR_SUCCESS);
    TickOnly({IDC_FIX_TASKMGR, IDC_FIX_REGEDIT});
    Click(IDC_FIX_REPAIR);
    EXPECT_EQ(spy.deletes, both);

    // DisableTaskmgr refused: DisableRegistryTools is not tried; the notice still comes (the box was ticked).
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableTaskmgr", 1), ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSystemPolicy, L"DisableRegistryTools", 1), ERROR_SUCCESS);
    spy.deletes.clear();
    spy.refused = {L"DisableTaskmgr"};
    prompts.requests.clear();
    TickOnly({IDC_FIX_TASKMGR});
    Click(IDC_FIX_REPAIR);
    EXPECT_EQ(spy.deletes, std::vector<std::wstring>{L"DisableTaskmgr"});
    EXPECT_TRUE(HasPolicy(L"DisableTaskmgr"));
    EXPECT_TRUE(HasPolicy(L"DisableRegistryTools"));
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone});

    // No policy key at all: the first delete fails to open it and the second is not tried.
    test::DeleteTree(HKEY_CURRENT_USER, kSystemPolicy);
    spy.deletes.clear();
    spy.refused.clear();
    Click(IDC_FIX_REPAIR);
    EXPECT_TRUE(spy.deletes.empty());
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSystemPolicy));
}

TEST_F(OtherPage, SelectAllTicksTheGroupThenInvertsIt) {
    SetTick(IDC_FIX_HIDDEN_FOLDERS, true);  // outside the group: never touched
    SetTick(IDC_FIX_MBR, false);

    Click(IDC_SELECT_ALL);
    for (int id : kGroup) EXPECT_TRUE(Ticked(id)) << id;
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
    EXPECT_FALSE(Ticked(IDC_FIX_MBR));
    EXPECT_EQ(test::WindowText(Item(IDC_SELECT_ALL)), L"反  选");
    EXPECT_EQ(page.SelectAllState(), 1);

    Click(IDC_SELECT_ALL);
    for (int id : kGroup) EXPECT_FALSE(Ticked(id)) << id;
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
    EXPECT_FALSE(Ticked(IDC_FIX_MBR));
    EXPECT_EQ(test::WindowText(Item(IDC_SELECT_ALL)), L"全  选");  // two spaces now
    EXPECT_EQ(page.SelectAllState(), 0);

    // Select all, the user unticks 1011 by hand, then invert.
    SetTick(IDC_FIX_MBR, true);
    Click(IDC_SELECT_ALL);
    Click(IDC_FIX_HIDDEN_OPTION);
    ASSERT_FALSE(Ticked(IDC_FIX_HIDDEN_OPTION));
    Click(IDC_SELECT_ALL);
    for (int id : kGroup) EXPECT_EQ(Ticked(id), id == IDC_FIX_HIDDEN_OPTION) << id;
    EXPECT_TRUE(Ticked(IDC_FIX_MBR));
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
    EXPECT_EQ(test::WindowText(Item(IDC_SELECT_ALL)), L"全  选");
    EXPECT_TRUE(prompts.requests.empty());
    EXPECT_TRUE(processes.starts.empty());
    EXPECT_TRUE(processes.shellCalls.empty());
}

TEST_F(OtherPage, RepairWritesTheExplorerBrowserAndTaskbarValues) {
    SeedDamage();
    TickOnly({IDC_FIX_FILE_EXTENSIONS, IDC_FIX_HIDDEN_OPTION, IDC_FIX_IE_OPTIONS, IDC_FIX_TRAY_MENU});
    Click(IDC_FIX_REPAIR);
    ExpectValuesRepaired();  // SHOWALL CheckedValue was REG_SZ "0"
    EXPECT_TRUE(HasPolicy(L"DisableTaskmgr"));  // not ticked
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone});
    EXPECT_EQ(prompts.requests[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.requests[0].owner, page.GetSafeHwnd());
}

TEST_F(OtherPage, MissingKeysAreNotCreatedAndTheNoticeStillComes) {
    TickOnly({IDC_FIX_FILE_EXTENSIONS, IDC_FIX_HIDDEN_OPTION, IDC_FIX_IE_OPTIONS, IDC_FIX_TRAY_MENU});
    Click(IDC_FIX_REPAIR);
    for (const auto& key : {kHideFileExt, kNoHidden, kShowAll}) EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kRestrictions));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kExplorerPolicy));
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone});
}

TEST_F(OtherPage, ValueRoutinesAnswerForTheirDecidingRow) {
    struct Case {
        const char* name;
        std::vector<std::wstring> machineKeys, userKeys;
        int fileExtension, hiddenFiles, browserOptions, trayMenu;
    };
    const Case cases[] = {
        {"every key", {kHideFileExt, kNoHidden, kShowAll}, {kRestrictions, kExplorerPolicy}, 1, 1, 1, 1},
        {"no key", {}, {}, 0, 0, 0, 0},
        {"only NOHIDDEN", {kNoHidden}, {}, 0, 0, 0, 0},
        {"only SHOWALL", {kShowAll}, {}, 0, 1, 0, 0},
        {"only the taskbar policy", {}, {kExplorerPolicy}, 0, 0, 0, 1},
    };
    for (const auto& c : cases) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, kHideFileExt);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kHidden);
        test::DeleteTree(HKEY_CURRENT_USER, kRestrictions);
        test::DeleteTree(HKEY_CURRENT_USER, kExplorerPolicy);
        for (const auto& key : c.machineKeys) ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
        for (const auto& key : c.userKeys) ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
        EXPECT_EQ(RepairFileExtensionOption(), c.fileExtension) << c.name;
        EXPECT_EQ(RepairHiddenFilesOption(), c.hiddenFiles) << c.name;
        EXPECT_EQ(EnableBrowserOptions(), c.browserOptions) << c.name;
        EXPECT_EQ(EnableTrayContextMenu(), c.trayMenu) << c.name;
        EXPECT_EQ(test::KeyExists(HKEY_LOCAL_MACHINE, kShowAll), c.hiddenFiles == 1) << c.name;
    }
    // The NOHIDDEN rows are written even though they do not decide the result.
    test::DeleteTree(HKEY_LOCAL_MACHINE, kHidden);
    ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kNoHidden), ERROR_SUCCESS);
    EXPECT_EQ(RepairHiddenFilesOption(), 0);
    ExpectDword(HKEY_LOCAL_MACHINE, kNoHidden, L"CheckedValue", 2);
    ExpectDword(HKEY_LOCAL_MACHINE, kNoHidden, L"DefaultValue", 2);
}

// The demo's seeded damage is exactly what the four value repairs put right.
TEST_F(OtherPage, RepairsTheDemoSeed) {
    const std::wstring seed =
        test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR") + L"/scripts/seed/60-explorer-policies.reg");
    ASSERT_EQ(test::RunProgram(lark::process::WindowsDirectory() + L"\\regedit.exe /s \"" + seed + L"\""), 0);
    const auto showAll = Value(HKEY_LOCAL_MACHINE, kShowAll, L"CheckedValue");
    ASSERT_TRUE(showAll.has_value());
    ASSERT_EQ(showAll->type, static_cast<DWORD>(REG_SZ));
    ASSERT_TRUE(Value(HKEY_CURRENT_USER, kRestrictions, L"NoBrowserOptions").has_value());
    TickOnly({IDC_FIX_FILE_EXTENSIONS, IDC_FIX_HIDDEN_OPTION, IDC_FIX_IE_OPTIONS, IDC_FIX_TRAY_MENU});
    Click(IDC_FIX_REPAIR);
    ExpectValuesRepaired();
}

TEST_F(OtherPage, BrowserLinksStartRegsvr32TwiceByFullPathHidden) {
    TickOnly({IDC_FIX_IE_LINKS});
    Click(IDC_FIX_REPAIR);
    ASSERT_EQ(processes.starts.size(), 2u);
    const std::wstring system = lark::process::SystemDirectory();
    const std::wstring regsvr32 = system + L"\\regsvr32.exe";
    const wchar_t* libraries[] = {L"actxprxy.dll", L"shdocvw.dll"};
    for (int i = 0; i < 2; ++i) {
        const auto& start = processes.starts[i];
        EXPECT_EQ(start.application, regsvr32);
        EXPECT_EQ(start.commandLine, L"\"" + regsvr32 + L"\" /s \"" + system + L"\\" + libraries[i] + L"\"");
        EXPECT_EQ(start.directory, system);
        EXPECT_EQ(start.showCommand, SW_HIDE);
        EXPECT_EQ(start.rights, lark::process::Rights::Caller);  // registering needs the administrator
    }
    // Started directly, never through the shell and its associations.
    EXPECT_TRUE(processes.shellCalls.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone});
    // The command line names a program and a library that are there: regsvr32 registers it.
    lark::UniqueHandle process;
    ASSERT_TRUE(lark::process::RealStart(processes.starts[0], process));
    ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    EXPECT_TRUE(::GetExitCodeProcess(process.get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(OtherPage, BootRecordIsResetOnlyAfterYes) {
    for (size_t i = 0; i < 440; ++i) disk.sector[i] = 0xCC;  // unknown boot code
    disk.sector[446] = 0x80;                                   // a partition entry
    disk.sector[510] = 0x55;
    disk.sector[511] = 0xAA;
    const std::vector<unsigned char> original = disk.sector;
    TickOnly({IDC_FIX_MBR});
    prompts.messageBoxAnswers = {IDYES};
    Click(IDC_FIX_REPAIR);
    const std::vector<std::wstring> expected = {std::wstring(L"警告！|") + kBootWarning, kRepairDone};
    EXPECT_EQ(prompts.Messages(), expected);
    EXPECT_EQ(disk.Writes(), 1);
    const auto code = StandardBootCode();
    ASSERT_EQ(code.size(), 440u);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), disk.sector.begin()));
    EXPECT_TRUE(std::equal(original.begin() + 440, original.end(), disk.sector.begin() + 440));
    EXPECT_EQ(Backup(backups, L" 硬盘主引导记录 MBR.Bak"), original);
    EXPECT_FALSE(currentDirectory.Exists(L"MBR.Bak"));
}

TEST_F(OtherPage, SafeModeBoxRestoresTheSafeBootKey) {
    TickOnly({IDC_FIX_SAFEBOOT});
    Click(IDC_FIX_REPAIR);
    EXPECT_TRUE(SafeBootRestored(backups));
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{kRepairDone});
}

// Everything ticked: each step in its place around the boot-record warning, one notice at the end.
TEST_F(OtherPage, RepairRunsInOrderAndReportsOnce) {
    SeedDamage();
    for (int id : kAllBoxes) SetTick(id, id != IDC_FIX_HIDDEN_FOLDERS);
    ProbingPrompts probing;
    probing.messageBoxAnswers = {IDYES};
    bool checkedAtWarning = false;
    probing.probe = [&](const lark::prompts::Request& request) {
        if (request.caption != L"警告！") return;
        checkedAtWarning = true;
        EXPECT_FALSE(HasPolicy(L"DisableTaskmgr"));  // steps 1 and 2 have run
        EXPECT_FALSE(HasPolicy(L"DisableRegistryTools"));
        EXPECT_TRUE(SafeBootRestored(backups));
        EXPECT_EQ(disk.Writes(), 0);  // the rest has not
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kHideFileExt, L"DefaultValue")->Dword(), 0u);
        EXPECT_TRUE(processes.starts.empty());
    };
    Click(IDC_FIX_REPAIR);
    EXPECT_TRUE(checkedAtWarning);
    const std::vector<std::wstring> expected = {std::wstring(L"警告！|") + kBootWarning, kRepairDone};
    EXPECT_EQ(probing.Messages(), expected);
    EXPECT_EQ(disk.Writes(), 1);
    ExpectDword(HKEY_LOCAL_MACHINE, kHideFileExt, L"DefaultValue", 1);
    ExpectDword(HKEY_LOCAL_MACHINE, kShowAll, L"DefaultValue", 2);
    ExpectDword(HKEY_CURRENT_USER, kRestrictions, L"NoBrowserOptions", 0);
    ExpectDword(HKEY_CURRENT_USER, kExplorerPolicy, L"NoTrayContextMenu", 0);
    EXPECT_EQ(processes.starts.size(), 2u);
    for (int id : kAllBoxes) EXPECT_EQ(Ticked(id), id != IDC_FIX_HIDDEN_FOLDERS) << id;  // boxes stay
}

// Hidden-folder restore on real attributes in the test's own temporary folder.
class HiddenFolders : public OtherPage {
protected:
    void SetUp() override {
        OtherPage::SetUp();
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root = test::TempPath(std::wstring(name.begin(), name.end()));
        ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    std::wstring Make(const std::wstring& name, DWORD attributes, bool folder) {
        const std::wstring path = root + L"\\" + name;
        if (folder) {
            EXPECT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << ::GetLastError();
        } else {
            HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            EXPECT_NE(file, INVALID_HANDLE_VALUE);
            ::CloseHandle(file);
        }
        EXPECT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
        EXPECT_EQ(::GetFileAttributesW(path.c_str()) & attributes, attributes) << "fixture attributes hold";
        return path;
    }
    static DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }
    void ChooseFolder(const std::wstring& folder) { prompts.folderPaths.push_back(folder); }

    std::wstring root;
};

TEST_F(HiddenFolders, FolderWithoutHiddenEntriesReportsFailure) {
    const std::wstring system = Make(L"system-only", FILE_ATTRIBUTE_SYSTEM, true);
    Make(L"plain.txt", FILE_ATTRIBUTE_ARCHIVE, false);
    ChooseFolder(root);
    Click(IDC_FIX_HIDDEN_FOLDERS);
    ASSERT_EQ(prompts.requests.size(), 2u);
    const auto& browse = prompts.requests[0];
    EXPECT_EQ(browse.kind, lark::prompts::Request::Kind::BrowseFolder);
    EXPECT_EQ(browse.text, L"选择隐藏文件所在位置");
    EXPECT_EQ(browse.flags, static_cast<UINT>(BIF_RETURNONLYFSDIRS));
    EXPECT_EQ(browse.owner, page.GetSafeHwnd());
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|恢复失败或没有隐藏文件夹"});
    EXPECT_EQ(prompts.requests[1].flags, static_cast<UINT>(MB_OK));
    EXPECT_NE(Attributes(system) & FILE_ATTRIBUTE_SYSTEM, 0u);  // not hidden: left alone
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
}

TEST_F(HiddenFolders, HiddenEntriesOneLevelDownAreCleared) {
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const std::wstring folder = Make(L"stash", hiddenSystem, true);
    const std::wstring file = Make(L"note.txt", hiddenSystem | FILE_ATTRIBUTE_READONLY, false);
    const std::wstring inner = root + L"\\stash\\inner.txt";
    HANDLE created = ::CreateFileW(inner.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    ::CloseHandle(created);
    ASSERT_TRUE(::SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_HIDDEN));  // the chosen folder itself

    ChooseFolder(root + L"\\");  // a trailing backslash is not doubled
    Click(IDC_FIX_HIDDEN_FOLDERS);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|恢复完成"});
    EXPECT_EQ(Attributes(folder), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Attributes(file) & (hiddenSystem | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_NE(Attributes(inner) & FILE_ATTRIBUTE_HIDDEN, 0u);  // subfolders are not entered
    EXPECT_NE(Attributes(root) & FILE_ATTRIBUTE_HIDDEN, 0u);   // nor is "." touched
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
}

TEST_F(HiddenFolders, CancelUntickAndTickAgain) {
    Click(IDC_FIX_HIDDEN_FOLDERS);  // ticked, browser cancelled
    EXPECT_TRUE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_TRUE(prompts.Messages().empty());

    Click(IDC_FIX_HIDDEN_FOLDERS);  // unticked: nothing at all
    EXPECT_FALSE(Ticked(IDC_FIX_HIDDEN_FOLDERS));
    EXPECT_EQ(prompts.requests.size(), 1u);

    const std::wstring stash = Make(L"stash", FILE_ATTRIBUTE_HIDDEN, true);
    ChooseFolder(root);
    Click(IDC_FIX_HIDDEN_FOLDERS);  // ticked again: the restore runs again
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|恢复完成"});
    EXPECT_EQ(Attributes(stash), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// A drive root chosen in the browser: the system drive of this test's own throwaway prefix.
// (Wine's DefineDosDeviceW records a drive letter, but file access does not follow it.)
TEST_F(HiddenFolders, DriveRootIsListed) {
    const std::wstring drive = lark::process::WindowsDirectory().substr(0, 3);  // "C:\\"
    ASSERT_EQ(drive.size(), 3u);
    const std::wstring stash = drive + L"larkspur-hidden-probe";
    ASSERT_TRUE(::CreateDirectoryW(stash.c_str(), nullptr));
    ASSERT_TRUE(::SetFileAttributesW(stash.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ChooseFolder(drive);
    Click(IDC_FIX_HIDDEN_FOLDERS);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|恢复完成"});
    EXPECT_EQ(Attributes(stash), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    ::RemoveDirectoryW(stash.c_str());
}

TEST(HiddenFolderPattern, OneBackslashBeforeTheWildcard) {
    const std::wstring longest(255, L'a');  // 255 + "\*.*" fills 259 characters
    const struct {
        std::wstring folder, pattern;
    } cases[] = {
        {L"C:\\", L"C:\\*.*"},
        {L"C:\\stash", L"C:\\stash\\*.*"},
        {L"C:\\stash\\", L"C:\\stash\\*.*"},
        {L"", L""},                          // never the current drive's root
        {longest, longest + L"\\*.*"},
        {longest + L"a", L""},               // would not fit in 260
    };
    for (const auto& c : cases) EXPECT_EQ(HiddenFolderPattern(c.folder.c_str()), c.pattern) << c.folder.size();
    EXPECT_EQ(RestoreHiddenFolders(L""), 0);
    EXPECT_EQ(RestoreHiddenFolders(L"C:\\no such folder"), 0);
}

}  // namespace
