// The fast-check page with the real list under Wine: the initial list, the policy, boot-record and
// Safe Mode rows end to end, the rules of Repair, and the update notice on the About button.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/fast_check_host.h"
#include "pages/fast_check_dialog.h"
#include "repair/boot_sector.h"
#include "repair/file_type.h"
#include "repair/image_hijack.h"
#include "repair/system_policy.h"
#include "resource.h"
#include "support/associations.h"
#include "support/backups.h"
#include "support/import_patch.h"
#include "support/memory_disk.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kPolicyKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr int kPolicyRow = CFastCheckDialog::kPolicyRow;
constexpr int kBootRow = CFastCheckDialog::kBootRecordRow;
constexpr int kSafeModeRow = CFastCheckDialog::kSafeModeRow;
const std::wstring kSafeBootKey = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

class FastCheckPage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.Create(page, IDD_FASTCHECK)); }

    lark::CListCtrl& List() { return page.CheckList(); }
    void Click(int id) { page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id))); }
    void TickOnly(int row) {
        for (int i = 0; i < CFastCheckDialog::kRowCount; ++i) List().SetCheck(i, i == row);
    }
    std::wstring Text(int row, int column) { return List().GetItemText(row, column); }
    bool HasValue(const wchar_t* name) { return test::GetValue(HKEY_CURRENT_USER, kPolicyKey, name).has_value(); }
    void DisableBoth() {
        ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kPolicyKey, L"DisableTaskmgr", 1), ERROR_SUCCESS);
        ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kPolicyKey, L"DisableRegistryTools", 1), ERROR_SUCCESS);
    }

    test::ScopedKeys keys{HKEY_CURRENT_USER, {kPolicyKey}};
    test::ScopedKeys safeBootKeys{HKEY_LOCAL_MACHINE, {kSafeBootKey}};
    test::MemoryDisk disk;  // the boot-record row never reaches a real disk
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CFastCheckDialog page{&ProgramFastCheckHost()};
};

TEST_F(FastCheckPage, StartsWithFiveRowsFourTickedAndNothingKnown) {
    EXPECT_EQ(List().GetExtendedStyle(), static_cast<DWORD>(0x25));
    ASSERT_EQ(List().GetColumnCount(), 3);
    const wchar_t* headings[] = {L"检测项目", L"检测结果", L"处理结果"};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(List().GetColumnHeading(c), headings[c]);
        EXPECT_EQ(List().GetColumnWidth(c), 200);
    }
    const wchar_t* rows[] = {L"检测文件关联", L"检测映像劫持", L"检测被禁用系统功能", L"检测MBR", L"检测安全模式"};
    const BOOL ticked[] = {TRUE, TRUE, TRUE, FALSE, TRUE};
    ASSERT_EQ(List().GetItemCount(), 5);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(Text(r, 0), rows[r]) << r;
        EXPECT_EQ(Text(r, 1), L"") << r;
        EXPECT_EQ(Text(r, 2), L"") << r;
        EXPECT_EQ(List().GetCheck(r), ticked[r]) << r;
        EXPECT_EQ(List().GetItemData(r), 0u) << r;
    }
    EXPECT_EQ(test::WindowText(page.GetDlgItem(IDC_DETECT)), L"检  测");
    EXPECT_EQ(test::WindowText(page.GetDlgItem(IDC_REPAIR)), L"修  复");
    EXPECT_EQ(test::WindowText(page.GetDlgItem(IDC_ABOUT)), L"关  于");
}

struct PolicyCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;  // empty with type REG_NONE: value absent
    bool keyPresent;
    bool disabled;
};

std::vector<BYTE> Wide(const wchar_t* text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + (wcslen(text) + 1) * sizeof(wchar_t));
}

TEST_F(FastCheckPage, PolicyRowReadsDisableRegistryTools) {
    const PolicyCase cases[] = {
        {"number 1", REG_DWORD, {1, 0, 0, 0}, true, true},
        {"string 1", REG_SZ, Wide(L"1"), true, true},
        {"number 0", REG_DWORD, {0, 0, 0, 0}, true, false},
        {"string 0", REG_SZ, Wide(L"0"), true, false},
        {"longer string 10", REG_SZ, Wide(L"10"), true, false},
        {"binary longer than 4 bytes", REG_BINARY, {1, 0, 0, 0, 0}, true, false},
        {"number 2", REG_DWORD, {2, 0, 0, 0}, true, false},
        {"value absent", REG_NONE, {}, true, false},
        {"key absent", REG_NONE, {}, false, false},
    };
    TickOnly(kPolicyRow);
    for (const auto& c : cases) {
        test::DeleteTree(HKEY_CURRENT_USER, kPolicyKey);
        if (c.keyPresent) {
            ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kPolicyKey), ERROR_SUCCESS);
        }
        if (!c.data.empty()) {
            ASSERT_EQ(test::SetBinary(HKEY_CURRENT_USER, kPolicyKey, L"DisableRegistryTools", c.data.data(),
                                      static_cast<DWORD>(c.data.size()), c.type),
                      ERROR_SUCCESS);
        }
        EXPECT_EQ(CheckPolicyValue(L"DisableRegistryTools"), c.disabled ? 0 : 1) << c.name;
        Click(IDC_DETECT);
        EXPECT_EQ(Text(kPolicyRow, 1), c.disabled ? L"某些系统功能被禁用" : L"未发现异常") << c.name;
        EXPECT_EQ(List().GetItemData(kPolicyRow), c.disabled ? 1u : 0u) << c.name;
    }
}

TEST_F(FastCheckPage, PolicyRowAlsoReadsDisableTaskmgr) {
    TickOnly(kPolicyRow);
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kPolicyKey, L"DisableTaskmgr", 1), ERROR_SUCCESS);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kPolicyRow, 1), L"某些系统功能被禁用");
    EXPECT_EQ(List().GetItemData(kPolicyRow), 1u);
}

TEST_F(FastCheckPage, RepairDeletesBothValuesAndDetectClearsTheOutcome) {
    TickOnly(kPolicyRow);
    DisableBoth();
    Click(IDC_DETECT);
    Click(IDC_REPAIR);
    EXPECT_FALSE(HasValue(L"DisableTaskmgr"));
    EXPECT_FALSE(HasValue(L"DisableRegistryTools"));
    EXPECT_EQ(Text(kPolicyRow, 2), L"修复完成");
    // Repair leaves the finding and the mark; the next detection clears column 2.
    EXPECT_EQ(Text(kPolicyRow, 1), L"某些系统功能被禁用");
    EXPECT_EQ(List().GetItemData(kPolicyRow), 1u);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kPolicyRow, 1), L"未发现异常");
    EXPECT_EQ(Text(kPolicyRow, 2), L"");
    EXPECT_EQ(List().GetItemData(kPolicyRow), 0u);
}

TEST_F(FastCheckPage, RepairBeforeAnyDetectChangesNothing) {
    DisableBoth();
    Click(IDC_REPAIR);
    EXPECT_TRUE(HasValue(L"DisableTaskmgr"));
    EXPECT_TRUE(HasValue(L"DisableRegistryTools"));
    for (int r = 0; r < 5; ++r) EXPECT_EQ(Text(r, 2), L"") << r;
}

TEST_F(FastCheckPage, RowUntickedAfterDetectIsNotRepaired) {
    TickOnly(kPolicyRow);
    DisableBoth();
    Click(IDC_DETECT);
    List().SetCheck(kPolicyRow, FALSE);
    Click(IDC_REPAIR);
    EXPECT_TRUE(HasValue(L"DisableTaskmgr"));
    EXPECT_EQ(Text(kPolicyRow, 2), L"");
}

TEST_F(FastCheckPage, RowTickedAfterADetectWithoutItIsNotRepaired) {
    TickOnly(CFastCheckDialog::kBootRecordRow);
    DisableBoth();
    Click(IDC_DETECT);
    List().SetCheck(kPolicyRow, TRUE);
    Click(IDC_REPAIR);
    EXPECT_TRUE(HasValue(L"DisableTaskmgr"));
    EXPECT_TRUE(HasValue(L"DisableRegistryTools"));
    EXPECT_EQ(Text(kPolicyRow, 1), L"");
    EXPECT_EQ(Text(kPolicyRow, 2), L"");
}

TEST_F(FastCheckPage, UntickedRowKeepsItsTextsAndMarkOnTheNextDetect) {
    TickOnly(kPolicyRow);
    DisableBoth();
    Click(IDC_DETECT);
    Click(IDC_REPAIR);
    DisableBoth();
    List().SetCheck(kPolicyRow, FALSE);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kPolicyRow, 1), L"某些系统功能被禁用");
    EXPECT_EQ(Text(kPolicyRow, 2), L"修复完成");
    EXPECT_EQ(List().GetItemData(kPolicyRow), 1u);
}

// Wine's registry has no access control, so the refusal is staged by standing in for
// RegDeleteValueW: it refuses "DisableTaskmgr" and records every name it is asked to delete.
std::vector<std::wstring> g_deleteRequests;
LONG WINAPI RefuseTaskmgrDelete(HKEY, LPCWSTR name) {
    g_deleteRequests.push_back(name ? name : L"");
    return ERROR_ACCESS_DENIED;
}

TEST_F(FastCheckPage, RefusedTaskmgrDeleteLeavesRegistryToolsAndReportsFailure) {
    TickOnly(kPolicyRow);
    DisableBoth();
    Click(IDC_DETECT);
    g_deleteRequests.clear();
    {
        test::ImportPatch refuse("advapi32.dll", "RegDeleteValueW", reinterpret_cast<void*>(&RefuseTaskmgrDelete));
        ASSERT_TRUE(refuse.installed());
        Click(IDC_REPAIR);
    }
    EXPECT_EQ(g_deleteRequests, std::vector<std::wstring>{L"DisableTaskmgr"});
    EXPECT_EQ(Text(kPolicyRow, 2), L"修复失败");
    EXPECT_TRUE(HasValue(L"DisableTaskmgr"));
    EXPECT_TRUE(HasValue(L"DisableRegistryTools"));
}

TEST_F(FastCheckPage, DeleteOfAnAbsentValueSucceeds) {
    ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kPolicyKey), ERROR_SUCCESS);
    EXPECT_EQ(DeletePolicyValue(L"DisableTaskmgr"), 1);
    test::DeleteTree(HKEY_CURRENT_USER, kPolicyKey);
    EXPECT_EQ(DeletePolicyValue(L"DisableTaskmgr"), 0);  // no key: failure
}

TEST_F(FastCheckPage, AssociationRowNamesTheBrokenExtensionsAndRepairsExactlyThose) {
    const std::wstring exeKey = L"exefile\\shell\\open\\command";
    const std::wstring txtKey = L"txtfile\\shell\\open\\command";
    TickOnly(CFastCheckDialog::kAssociationsRow);
    test::WriteCleanAssociations();
    Click(IDC_DETECT);
    EXPECT_EQ(Text(0, 1), L"未发现异常");
    EXPECT_EQ(List().GetItemData(0), 0u);

    test::BreakAssociation(txtKey, L"C:\\evil.exe %1");
    test::BreakAssociation(exeKey, L"C:\\evil.exe \"%1\" %*");
    Click(IDC_DETECT);
    EXPECT_EQ(Text(0, 1), L".exe、.txt文件关联错误");
    EXPECT_EQ(List().GetItemData(0), 1u);

    // Damage after the detection is not in its finding and stays.
    test::BreakAssociation(L"batfile\\shell\\open\\command", L"C:\\evil.exe");
    Click(IDC_REPAIR);
    EXPECT_EQ(Text(0, 2), L"修复完成");
    for (const auto& entry : FileAssociationTable) {
        const std::wstring value = test::OpenCommandOf(entry.commandKey);
        if (std::wstring(entry.displayName) == L"batfile") {
            EXPECT_EQ(value, L"C:\\evil.exe");
        } else {
            EXPECT_EQ(value, entry.command) << entry.extension;
        }
    }
    const auto exe = test::GetValue(HKEY_CLASSES_ROOT, exeKey, L"");
    ASSERT_TRUE(exe.has_value());
    EXPECT_EQ(exe->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(Text(0, 1), L".exe、.txt文件关联错误");  // Repair leaves the finding

    Click(IDC_DETECT);
    EXPECT_EQ(Text(0, 1), L".bat文件关联错误");
    EXPECT_EQ(Text(0, 2), L"");
}

TEST_F(FastCheckPage, AssociationRepairReportsDoneEvenWhenTheWriteFails) {
    TickOnly(CFastCheckDialog::kAssociationsRow);
    test::WriteCleanAssociations();
    test::BreakAssociation(L"exefile\\shell\\open\\command", L"C:\\evil.exe");
    Click(IDC_DETECT);
    test::ScopedKeys scratchKeys(HKEY_CURRENT_USER, {L"Software\\LarkspurTests"});
    HKEY unwritable = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\LarkspurTests\\Volatile", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &unwritable, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, unwritable), ERROR_SUCCESS);
    Click(IDC_REPAIR);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(unwritable);
    EXPECT_EQ(Text(0, 2), L"修复完成");
    EXPECT_EQ(test::OpenCommandOf(L"exefile\\shell\\open\\command"), L"C:\\evil.exe");
}

class FastCheckHijacks : public FastCheckPage {
protected:
    void SetUp() override {
        FastCheckPage::SetUp();
        Clear();
        TickOnly(CFastCheckDialog::kHijackRow);
    }
    void TearDown() override { Clear(); }
    void Clear() {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kImageOptionsKey, L"Debugger");
        for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kImageOptionsKey)) {
            test::DeleteTree(HKEY_LOCAL_MACHINE, kImageOptionsKey + name);
        }
    }
    void Hijack(const std::wstring& image) {
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kImageOptionsKey + image, L"Debugger", L"C:\\evil.exe"),
                  ERROR_SUCCESS);
    }
    bool Exists(const std::wstring& image) { return test::KeyExists(HKEY_LOCAL_MACHINE, kImageOptionsKey + image); }
    std::wstring Displayed(const std::wstring& image) { return L"HKEY_LOCAL_MACHINE\\" + (kImageOptionsKey + image); }
    static constexpr int kRow = CFastCheckDialog::kHijackRow;
};

TEST_F(FastCheckHijacks, NothingFoundLeavesTheListEmpty) {
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kRow, 1), L"未发现异常");
    EXPECT_EQ(List().GetItemData(kRow), 0u);
    EXPECT_TRUE(page.PendingHijacks().empty());
}

TEST_F(FastCheckHijacks, RepairDeletesThePendingKeyAndEmptiesTheList) {
    Hijack(L"avp.exe");
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, std::wstring(kImageOptionsKey) + L"avp.exe\\sub", L"v", L"x"), ERROR_SUCCESS);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kRow, 1), L"发现映像劫持");
    EXPECT_EQ(List().GetItemData(kRow), 1u);
    ASSERT_EQ(page.PendingHijacks().size(), 1u);
    EXPECT_EQ(page.PendingHijacks()[0], Displayed(L"avp.exe"));
    Click(IDC_REPAIR);
    EXPECT_FALSE(Exists(L"avp.exe"));
    EXPECT_TRUE(page.PendingHijacks().empty());
    EXPECT_EQ(Text(kRow, 2), L"修复完成");
    // A second Repair has nothing left to delete and still reports done.
    Hijack(L"avp.exe");
    Click(IDC_REPAIR);
    EXPECT_TRUE(Exists(L"avp.exe"));
    EXPECT_EQ(Text(kRow, 2), L"修复完成");
}

TEST_F(FastCheckHijacks, EachDetectQueuesAgainUntilARepairAndThenStartsAfresh) {
    Hijack(L"avp.exe");
    Hijack(L"egui.exe");
    Click(IDC_DETECT);
    Click(IDC_DETECT);
    const std::deque<std::wstring> twice = {Displayed(L"avp.exe"), Displayed(L"egui.exe"), Displayed(L"avp.exe"),
                                            Displayed(L"egui.exe")};
    EXPECT_EQ(page.PendingHijacks(), twice);
    Click(IDC_REPAIR);  // the repeated keys are already gone: no failure
    EXPECT_FALSE(Exists(L"avp.exe"));
    EXPECT_FALSE(Exists(L"egui.exe"));
    EXPECT_TRUE(page.PendingHijacks().empty());
    EXPECT_EQ(Text(kRow, 2), L"修复完成");

    Hijack(L"kav.exe");
    Click(IDC_DETECT);
    EXPECT_EQ(page.PendingHijacks(), std::deque<std::wstring>{Displayed(L"kav.exe")});
}

// An entry whose name begins with a NUL would, by its path, be the options key itself, which holds
// a Debugger value here: the fast check neither counts it nor deletes anything for it.
TEST_F(FastCheckHijacks, AnEntryNamedWithALeadingNulNeverLeadsToADelete) {
    const std::wstring options = kImageOptionsKey;
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, options, L"Debugger", L"C:\\options.exe"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, options + L"plain.exe", L"GlobalFlag", L"0x2"), ERROR_SUCCESS);
    test::RawNamedKey planted(HKEY_LOCAL_MACHINE, options, std::wstring(L"\0evil", 5));
    ASSERT_EQ(planted.SetString(L"Debugger", L"C:\\evil.exe"), ERROR_SUCCESS);
    Hijack(L"avp.exe");
    Click(IDC_DETECT);
    EXPECT_EQ(page.PendingHijacks(), std::deque<std::wstring>{Displayed(L"avp.exe")});
    Click(IDC_REPAIR);
    EXPECT_FALSE(Exists(L"avp.exe"));
    EXPECT_TRUE(Exists(L"plain.exe"));
    EXPECT_EQ(test::GetValue(HKEY_LOCAL_MACHINE, options, L"Debugger")->Text(), L"C:\\options.exe");
    EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, options).size(), 2u);  // plain.exe and the planted one

    Click(IDC_DETECT);
    EXPECT_EQ(Text(kRow, 1), L"未发现异常");
    EXPECT_TRUE(page.PendingHijacks().empty());
}

TEST_F(FastCheckHijacks, UntickedRowKeepsItsPendingKeys) {
    Hijack(L"avp.exe");
    Click(IDC_DETECT);
    List().SetCheck(kRow, FALSE);
    Click(IDC_REPAIR);
    EXPECT_TRUE(Exists(L"avp.exe"));
    EXPECT_EQ(page.PendingHijacks().size(), 1u);
}

// An unknown boot code: a sector of noise with a partition table.
std::vector<unsigned char> UnknownSector() {
    std::vector<unsigned char> sector(512);
    for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<unsigned char>(i * 37 + 11);
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

// The backups of the boot sector written since `watch` began.
std::vector<std::vector<unsigned char>> BootBackups(const test::BackupWatch& watch) {
    std::vector<std::vector<unsigned char>> backups;
    for (const auto& name : watch.Added()) {
        if (name.ends_with(L"MBR.Bak")) backups.push_back(test::ReadBytes(test::BackupPath(name)));
    }
    return backups;
}

TEST_F(FastCheckPage, BootRecordRowFindsAnUnknownCodeAndResetsItOncePerDetection) {
    const test::BackupWatch watch;
    const std::vector<unsigned char> found = UnknownSector();
    disk.sector = found;
    TickOnly(kBootRow);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kBootRow, 1), L"未知MBR");
    EXPECT_EQ(List().GetItemData(kBootRow), 1u);

    Click(IDC_REPAIR);
    EXPECT_EQ(Text(kBootRow, 2), L"修复完成");
    EXPECT_EQ(disk.Writes(), 1);
    EXPECT_EQ(BootBackups(watch), std::vector<std::vector<unsigned char>>{found});
    const auto code = StandardBootCode();
    EXPECT_TRUE(std::equal(code.begin(), code.end(), disk.sector.begin()));

    // The mark stays, but the sector is not reset again.
    Click(IDC_REPAIR);
    EXPECT_EQ(Text(kBootRow, 2), L"修复完成");
    EXPECT_EQ(disk.Writes(), 1);
    EXPECT_EQ(BootBackups(watch), std::vector<std::vector<unsigned char>>{found});

    Click(IDC_DETECT);
    EXPECT_EQ(Text(kBootRow, 1), L"未发现异常");
    EXPECT_EQ(Text(kBootRow, 2), L"");
    EXPECT_EQ(List().GetItemData(kBootRow), 0u);
}

TEST_F(FastCheckPage, BootRecordRowReportsAFailedResetAndTriesAgainOnTheNextRepair) {
    disk.sector = UnknownSector();
    TickOnly(kBootRow);
    Click(IDC_DETECT);
    disk.failWrite = true;
    Click(IDC_REPAIR);
    EXPECT_EQ(Text(kBootRow, 2), L"修复失败");
    disk.failWrite = false;
    Click(IDC_REPAIR);
    EXPECT_EQ(Text(kBootRow, 2), L"修复完成");
    EXPECT_EQ(disk.Writes(), 1);
}

TEST_F(FastCheckPage, UnreadableBootSectorIsNoAnomaly) {
    disk.failRead = true;
    TickOnly(kBootRow);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kBootRow, 1), L"未发现异常");
    EXPECT_EQ(List().GetItemData(kBootRow), 0u);
}

TEST_F(FastCheckPage, SafeModeRowFindsAnEmptiedListAndRestoresTheHive) {
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kSafeBootKey + L"\\Network\\NetBT", nullptr, L"Service"),
              ERROR_SUCCESS);
    ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kSafeBootKey + L"\\Minimal"), ERROR_SUCCESS);

    TickOnly(kSafeModeRow);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kSafeModeRow, 1), L"安全模式被破坏");
    EXPECT_EQ(List().GetItemData(kSafeModeRow), 1u);
    Click(IDC_REPAIR);
    EXPECT_EQ(Text(kSafeModeRow, 2), L"修复完成");  // Wine's restore does nothing (safe_boot_test)

    // No backup of the key, no restore: the repair fails.
    {
        test::FullDisk full;
        Click(IDC_REPAIR);
    }
    EXPECT_EQ(Text(kSafeModeRow, 2), L"修复失败");

    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kSafeBootKey + L"\\Minimal\\Base", nullptr, L"Driver Group"),
              ERROR_SUCCESS);
    Click(IDC_DETECT);
    EXPECT_EQ(Text(kSafeModeRow, 1), L"未发现异常");
    EXPECT_EQ(List().GetItemData(kSafeModeRow), 0u);
}

TEST_F(FastCheckPage, AboutButtonOpensTheAboutBox) {
    test::DialogAnswerer about([](HWND d) { return test::HasChildWithText(d, L"确  定"); }, IDOK);
    Click(IDC_ABOUT);
    EXPECT_EQ(about.answered(), 1);
}

// The colour of the About button's top-left pixel as the screen shows it.
COLORREF AboutPixel(HWND button) {
    test::PumpMessages(50);
    HDC dc = ::GetDC(button);
    const COLORREF colour = ::GetPixel(dc, 1, 1);
    ::ReleaseDC(button, dc);
    return colour;
}

TEST_F(FastCheckPage, UpdateNoticeAlternatesPictureAndTextOnTimerOne) {
    HWND about = page.GetDlgItem(IDC_ABOUT);
    const COLORREF frameBorder = RGB(0xd8, 0x43, 0x15);  // top band of every update frame

    // Flag still 0: timer 1 does nothing.
    page.SendMessage(WM_TIMER, 1, 0);
    EXPECT_EQ(test::WindowText(about), L"关  于");
    EXPECT_EQ(page.AboutPhase(), 0);

    page.SetUpdateFlag(1);
    page.SendMessage(WM_TIMER, 3, 0);  // another timer id: nothing
    EXPECT_EQ(test::WindowText(about), L"关  于");

    page.SendMessage(WM_TIMER, 1, 0);  // phase 0: the text
    EXPECT_EQ(test::WindowText(about), L"\u3000关\u3000于\u3000");
    EXPECT_EQ(page.AboutPhase(), 1);
    EXPECT_NE(AboutPixel(about), frameBorder);

    page.SendMessage(WM_TIMER, 1, 0);  // phase 1: the five frames drawn over the button
    EXPECT_EQ(page.AboutPhase(), 0);
    EXPECT_EQ(AboutPixel(about), frameBorder);

    page.SendMessage(WM_TIMER, 1, 0);  // and the text again
    EXPECT_EQ(page.AboutPhase(), 1);
    EXPECT_NE(AboutPixel(about), frameBorder);
}

TEST_F(FastCheckPage, StartUpdateNoticeRunsTheRealTimer) {
    page.StartUpdateNotice();
    EXPECT_EQ(page.UpdateFlag(), 1);
    HWND about = page.GetDlgItem(IDC_ABOUT);
    EXPECT_TRUE(test::PumpUntil([&] { return test::WindowText(about) == L"\u3000关\u3000于\u3000"; }, 1500));
    EXPECT_TRUE(test::PumpUntil([&] { return page.AboutPhase() == 0; }, 1500));
}

}  // namespace
