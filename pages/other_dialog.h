// The page of one-click repairs: the Task Manager and Registry Editor policies, the Explorer
// options for hidden files and extensions, the browser options, the taskbar menu, the boot record,
// Safe Mode, two browser libraries and the attributes of hidden folders.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class COtherDialog : public lark::DialogWithTable<COtherDialog> {
public:
    static constexpr int kGroupSize = 8;

    COtherDialog();
    static lark::MessageTable<COtherDialog> Messages();

    // 0: the next click on 1018 ticks the group; 1: it inverts it.
    int SelectAllState() const { return m_selectAllState; }

protected:
    void DoDataExchange(lark::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    void OnSelectAll();
    void OnRepair();
    void OnHiddenFolders();
    void StartLibraryRegistration(const wchar_t* parameters);
    bool Ticked(const lark::CButton& box) const { return box.GetCheck() == BST_CHECKED; }

    lark::CButton m_hiddenFolders;   // 1008
    lark::CButton m_taskmgr;         // 1009
    lark::CButton m_bootRecord;      // 1010
    lark::CButton m_hiddenOption;    // 1011
    lark::CButton m_browserOptions;  // 1012
    lark::CButton m_fileExtensions;  // 1013
    lark::CButton m_regedit;         // 1014
    lark::CButton m_trayMenu;        // 1015
    lark::CButton m_browserLinks;    // 1016
    lark::CButton m_safeBoot;        // 1017
    lark::CButton m_selectAll;       // 1018
    // The boxes that 1018 acts on, in its order; the hidden-folder and boot-record boxes are not among them.
    lark::CButton* m_group[kGroupSize] = {};
    int m_selectAllState = 0;
};
