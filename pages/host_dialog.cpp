#include "pages/host_dialog.h"

#include <commdlg.h>

#include <string>

#include "framework/prompts.h"
#include "framework/resources.h"
#include "repair/host.h"
#include "resource.h"

CHostDialog::CHostDialog() : DialogWithTable(IDD_HOSTS) {}

BOOL CHostDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // Block lists run far past the edit control's default limit; keep them editable.
    m_edit.SetLimitText(0);
    m_save.EnableWindow(FALSE);
    Reload();
    return TRUE;
}

void CHostDialog::Reload() {
    // Read failures show nothing: the editor keeps what it showed.
    ReadHostsFile([this](const wchar_t* text) { m_edit.SetWindowText(text); });
}

void CHostDialog::OnEditChange() { m_save.EnableWindow(TRUE); }

void CHostDialog::OnRefresh() { Reload(); }

void CHostDialog::OnSave() {
    const std::wstring text = m_edit.GetWindowText();
    if (WriteHostsFile(text.c_str(), static_cast<int>(text.size())) != 0) {
        lark::prompts::Message(m_hWnd, L"修改HOSTS文件出错", L"修改出错", MB_OK);
    } else {
        lark::prompts::Message(m_hWnd, L"修改HOSTS文件成功", L"修改成功", MB_OK);
    }
    m_save.EnableWindow(FALSE);
}

void CHostDialog::OnBackup() {
    std::wstring target;
    if (!lark::prompts::SaveAs(m_hWnd, L"hosts.bak", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                               L"All Files (*.*)|*.*||", target)) {
        return;
    }
    wchar_t path[MAX_PATH] = {};
    if (BuildHostsPath(path) == 0 && ::CopyFileW(path, target.c_str(), FALSE)) {
        lark::prompts::Message(m_hWnd, L"备份HOSTS文件成功", L"备份成功", MB_OK);
    } else {
        lark::prompts::Message(m_hWnd, L"备份HOSTS文件出错", L"备份出错", MB_OK);
    }
}

void CHostDialog::OnRestoreDefault() {
    if (lark::prompts::Message(m_hWnd, L"确定恢复默认？", L"提示", MB_YESNO) != IDYES) return;
    const auto text = lark::ResourceBytes(lark::ResourceInstance(), MAKEINTRESOURCEW(IDR_HOST), L"HOST");
    const DWORD result = text ? WriteDefaultHosts(*text) : ERROR_RESOURCE_DATA_NOT_FOUND;
    if (result != 0) {
        lark::prompts::Message(m_hWnd, L"恢复默认HOSTS文件出错", L"恢复出错", MB_OK);
    } else {
        lark::prompts::Message(m_hWnd, L"恢复默认HOSTS文件成功", L"恢复成功", MB_OK);
    }
    // Reloaded whatever the result; the save button keeps its state.
    Reload();
}
