// The page of one-click repairs: the Task Manager and Registry Editor policies, the Explorer
// options for hidden files and extensions, the browser options, the taskbar menu, the boot record,
// Safe Mode, two browser libraries and the attributes of hidden folders.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "resource.h"

class COtherDialog : public lark::DialogWithTable<COtherDialog> {
    friend DialogWithTable;  // reads kMessages

public:
    static constexpr int kGroupSize = 8;

    COtherDialog();

    // 0: the next click on 1018 ticks the group; 1: it inverts it.
    int SelectAllState() const { return m_selectAllState; }

protected:
    BOOL OnInitDialog() override;

private:
    void OnSelectAll();
    void OnRepair();
    void OnHiddenFolders();
    void StartLibraryRegistration(const wchar_t* library);
    bool Ticked(const lark::CButton& box) const { return box.GetCheck() == BST_CHECKED; }

    lark::DlgItem<lark::CButton> m_hiddenFolders{this, IDC_FIX_HIDDEN_FOLDERS};
    lark::DlgItem<lark::CButton> m_taskmgr{this, IDC_FIX_TASKMGR};
    lark::DlgItem<lark::CButton> m_bootRecord{this, IDC_FIX_MBR};
    lark::DlgItem<lark::CButton> m_hiddenOption{this, IDC_FIX_HIDDEN_OPTION};
    lark::DlgItem<lark::CButton> m_browserOptions{this, IDC_FIX_IE_OPTIONS};
    lark::DlgItem<lark::CButton> m_fileExtensions{this, IDC_FIX_FILE_EXTENSIONS};
    lark::DlgItem<lark::CButton> m_regedit{this, IDC_FIX_REGEDIT};
    lark::DlgItem<lark::CButton> m_trayMenu{this, IDC_FIX_TRAY_MENU};
    lark::DlgItem<lark::CButton> m_browserLinks{this, IDC_FIX_IE_LINKS};
    lark::DlgItem<lark::CButton> m_safeBoot{this, IDC_FIX_SAFEBOOT};
    lark::DlgItem<lark::CButton> m_selectAll{this, IDC_SELECT_ALL};
    // The boxes that 1018 acts on, in its order; the hidden-folder and boot-record boxes are not among them.
    lark::CButton* m_group[kGroupSize] = {};
    int m_selectAllState = 0;

    static inline const lark::MessageEntry<COtherDialog> kMessages[] = {
        lark::OnCommand(IDC_SELECT_ALL, &COtherDialog::OnSelectAll),
        lark::OnCommand(IDC_FIX_REPAIR, &COtherDialog::OnRepair),
        lark::OnCommand(IDC_FIX_HIDDEN_FOLDERS, &COtherDialog::OnHiddenFolders),
    };
};
