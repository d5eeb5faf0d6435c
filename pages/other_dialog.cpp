#include "pages/other_dialog.h"

#include <shlobj.h>

#include "framework/process.h"
#include "framework/prompts.h"
#include "repair/boot_sector.h"
#include "repair/other.h"
#include "repair/safe_boot.h"
#include "repair/system_policy.h"
#include "resource.h"

namespace {

constexpr const wchar_t kSelectAllText[] = L"全  选";
constexpr const wchar_t kInvertText[] = L"反  选";
constexpr const wchar_t kNotice[] = L"提示";

}  // namespace

COtherDialog::COtherDialog() : DialogWithTable(IDD_OTHER) {}

BOOL COtherDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    lark::CButton* group[kGroupSize] = {&m_taskmgr,  &m_safeBoot,     &m_trayMenu,       &m_regedit,
                                        &m_browserLinks, &m_hiddenOption, &m_browserOptions, &m_fileExtensions};
    for (int i = 0; i < kGroupSize; ++i) m_group[i] = group[i];
    return TRUE;
}

void COtherDialog::OnSelectAll() {
    if (m_selectAllState == 0) {
        for (lark::CButton* box : m_group) box->SetCheck(BST_CHECKED);
        m_selectAllState = 1;
        m_selectAll.SetWindowText(kInvertText);
    } else {
        for (lark::CButton* box : m_group) box->SetCheck(Ticked(*box) ? BST_UNCHECKED : BST_CHECKED);
        m_selectAllState = 0;
        m_selectAll.SetWindowText(kSelectAllText);
    }
}

void COtherDialog::OnRepair() {
    bool done = false;
    if (Ticked(m_regedit) || Ticked(m_taskmgr)) {
        if (DeletePolicyValue(L"DisableTaskmgr") == 1) DeletePolicyValue(L"DisableRegistryTools");
        done = true;
    }
    if (Ticked(m_safeBoot)) {
        RestoreSafeBoot();
        done = true;
    }
    if (Ticked(m_bootRecord)) {
        const int answer = lark::prompts::Message(
            m_hWnd, L"您选择了重置MBR，如果重置，在当前磁盘引导扇区安装的管理软件将会失效！", L"警告！", MB_YESNO);
        if (answer == IDYES) {
            ResetMasterBootRecord();
            done = true;
        }
    }
    if (Ticked(m_fileExtensions)) {
        RepairFileExtensionOption();
        done = true;
    }
    if (Ticked(m_hiddenOption)) {
        RepairHiddenFilesOption();
        done = true;
    }
    if (Ticked(m_browserOptions)) {
        EnableBrowserOptions();
        done = true;
    }
    if (Ticked(m_browserLinks)) {
        StartLibraryRegistration(L"actxprxy.dll");
        StartLibraryRegistration(L"shdocvw.dll");
        done = true;
    }
    if (Ticked(m_trayMenu)) {
        EnableTrayContextMenu();
        done = true;
    }
    if (done) lark::prompts::Message(m_hWnd, L"修复完成，请重启计算机", kNotice, MB_OK);
}

// "regsvr32 /s <library>": regsvr32 and the library by their full paths in the system folder, which
// is also regsvr32's current folder, started directly (never through an association, which the
// user's own classes could change), hidden, not waited for, its outcome not looked at.
void COtherDialog::StartLibraryRegistration(const wchar_t* library) {
    const std::wstring system = lark::process::SystemDirectory();
    if (system.empty()) return;
    lark::process::StartRequest request;
    request.application = system + L"\\regsvr32.exe";
    request.commandLine = L"\"" + request.application + L"\" /s \"" + system + L"\\" + library + L"\"";
    request.directory = system;
    request.showCommand = SW_HIDE;
    lark::UniqueHandle process;
    lark::process::Start(request, process);
}

void COtherDialog::OnHiddenFolders() {
    if (!Ticked(m_hiddenFolders)) return;
    std::wstring folder;
    if (!lark::prompts::BrowseFolder(m_hWnd, L"选择隐藏文件所在位置", BIF_RETURNONLYFSDIRS, folder)) return;
    const int restored = RestoreHiddenFolders(folder.c_str());
    lark::prompts::Message(m_hWnd, restored == 1 ? L"恢复完成" : L"恢复失败或没有隐藏文件夹", kNotice, MB_OK);
}
