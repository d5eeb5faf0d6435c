// The user's temporary folder is the user's: a process running as the user can replace what lies
// there or turn its names into links. With TEMP and TMP pointed at a fresh folder, the main window
// and every command of every page run, and the folder stays empty. (The end-to-end start with the
// real updater is in tests/e2e/update_handoff_e2e_test.cpp.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/larkspur_dlg.h"
#include "pages/list_page.h"
#include "repair/firewall_policy.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"
#include "resource.h"
#include "support/list_page.h"
#include "support/memory_disk.h"
#include "support/process_recorder.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kHelperGuid = L"{6E1F2A3B-0C4D-4E5F-8A9B-1C2D3E4F5A6B}";

// TEMP and TMP name the folder while the guard lives; GetTempPathW reads them at every call.
class FreshTemporaryFolder {
public:
    explicit FreshTemporaryFolder(const std::wstring& path) : path_(path) {
        ::CreateDirectoryW(path_.c_str(), nullptr);
        for (const wchar_t* name : {L"TEMP", L"TMP"}) {
            saved_.push_back(test::Env(name));
            ::SetEnvironmentVariableW(name, path_.c_str());
        }
    }
    ~FreshTemporaryFolder() {
        ::SetEnvironmentVariableW(L"TEMP", saved_[0].c_str());
        ::SetEnvironmentVariableW(L"TMP", saved_[1].c_str());
    }
    // Everything in the folder, hidden entries included.
    std::vector<std::wstring> Entries() const { return test::FolderEntries(path_); }

private:
    std::wstring path_;
    std::vector<std::wstring> saved_;
};

bool IsNotice(HWND dialog) { return test::HasChildWithText(dialog, L"说  明"); }

void Click(lark::CDialog& page, int id) {
    page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
}

TEST(TemporaryFolder, EveryPagesCommandsLeaveItEmpty) {
    // A current folder of the test's own, made before TEMP moves: nothing may land there either.
    test::ScopedCurrentDirectory currentDirectory(L"temp-folder-cwd");
    FreshTemporaryFolder temp(L"C:\\fresh-temp");
    wchar_t reported[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, reported);
    ASSERT_EQ(std::wstring(reported), L"C:\\fresh-temp\\");

    // Something for the list pages' row commands to act on.
    const std::wstring hijack = std::wstring(kImageOptionsKey) + L"guarded-tool.exe";
    const std::wstring helper = std::wstring(kHelperObjectsKey) + kHelperGuid;
    const std::wstring firewall = kFirewallListKeys[2];
    test::ScopedKeys keys{HKEY_LOCAL_MACHINE, {hijack, helper, firewall, L"SOFTWARE\\Classes\\CLSID\\" + kHelperGuid}};
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, hijack, L"Debugger", L"C:\\x\\hijacker.exe"), ERROR_SUCCESS);
    ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, helper), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID\\" + kHelperGuid + L"\\InprocServer32",
                              nullptr, L"C:\\windows\\system32\\shdocvw.dll"),
              ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, firewall, L"C:\\windows\\notepad.exe",
                              L"C:\\windows\\notepad.exe:*:Enabled:Notepad"),
              ERROR_SUCCESS);

    // Answers for everything the commands ask; what they save goes to a folder of the test's own.
    const std::wstring out = L"C:\\fresh-out\\";
    ::CreateDirectoryW(out.c_str(), nullptr);
    ::CreateDirectoryW((out + L"hidden").c_str(), nullptr);
    test::ScriptedPrompts prompts;
    prompts.messageBoxAnswers.assign(64, IDYES);
    prompts.saveAsPaths = {out + L"hosts.bak", out + L"lsp.reg"};
    prompts.folderPaths = {out + L"hidden"};
    test::ProcessRecorder processes;
    test::MemoryDisk disk;
    disk.sector.assign(512, 0xCC);  // an unknown boot code, so that the boot record is reset
    disk.sector[510] = 0x55;
    disk.sector[511] = 0xAA;

    CLarkspurDlg dialog;
    {
        test::DialogAnswerer notice(IsNotice, IDOK);
        ASSERT_TRUE(dialog.Create(IDD_MAIN, nullptr));
    }

    // The fast check: every row detected and repaired, the Safe Mode restore with its hive among them.
    CFastCheckDialog& fastCheck = dialog.FastCheckPage();
    for (int row = 0; row < CFastCheckDialog::kRowCount; ++row) fastCheck.CheckList().SetCheck(row, TRUE);
    Click(fastCheck, IDC_DETECT);
    Click(fastCheck, IDC_REPAIR);
    EXPECT_NE(fastCheck.CheckList().GetItemText(CFastCheckDialog::kSafeModeRow, 2), L"");

    // The list pages: every command of each menu on the first row.
    const struct {
        int page;
        std::vector<UINT> commands;
    } lists[] = {
        {1, {ID_FILETYPE_REPAIR, ID_FILETYPE_REFRESH}},
        {2, {ID_HIJACK_DELETE_CHECKED, ID_HIJACK_DELETE_ALL, ID_HIJACK_REFRESH}},
        {3, {ID_ADDON_LOCATE, ID_ADDON_DISABLE, ID_ADDON_ENABLE, ID_ADDON_DELETE, ID_ADDON_REFRESH}},
        {5, {ID_LSP_LOCATE, ID_LSP_VERIFY, ID_LSP_BACKUP, ID_LSP_REPAIR, ID_LSP_REFRESH}},
        {6, {ID_FIREWALL_LOCATE, ID_FIREWALL_DELETE, ID_FIREWALL_REFRESH}},
    };
    for (const auto& list : lists) {
        auto* page = dynamic_cast<CListPage*>(dialog.Page(list.page));
        ASSERT_NE(page, nullptr) << list.page;
        test::ListPageDriver driver(*page, prompts);
        for (UINT command : list.commands) {
            driver.Select(driver.Count() > 0 ? 0 : -1);
            driver.RightClick(driver.Count() > 0 ? 0 : -1);
            driver.Command(command);
        }
    }

    // The HOSTS page: save, back up, the default text, read again.
    auto& hosts = *dialog.Page(4);
    for (int id : {IDC_HOSTS_SAVE, IDC_HOSTS_BACKUP, IDC_HOSTS_DEFAULT, IDC_HOSTS_REFRESH}) Click(hosts, id);

    // The other repairs: every box, then the hidden folders.
    auto& other = *dialog.Page(7);
    for (int id = IDC_FIX_HIDDEN_FOLDERS; id <= IDC_FIX_SAFEBOOT; ++id) {
        ::SendMessageW(other.GetDlgItem(id), BM_SETCHECK, BST_CHECKED, 0);
    }
    Click(other, IDC_FIX_REPAIR);
    Click(other, IDC_FIX_HIDDEN_FOLDERS);

    // The commands ran: programs were asked for, files were selected, the boot record was reset.
    EXPECT_FALSE(processes.starts.empty());
    EXPECT_FALSE(processes.selections.empty());
    EXPECT_GE(disk.Writes(), 1);
    EXPECT_GE(prompts.requests.size(), 10u);
    dialog.DestroyWindow();

    EXPECT_EQ(temp.Entries(), std::vector<std::wstring>());
}

}  // namespace
