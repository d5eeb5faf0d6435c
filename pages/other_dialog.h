// The page of one-click repairs: the Task Manager and Registry Editor policies, the Explorer
// options for hidden files and extensions, the browser options, the taskbar menu, the boot record,
// Safe Mode, two browser libraries and the attributes of hidden folders.
#pragma once

#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"

// The value routines write REG_DWORD values into keys that must exist already: every key is
// opened with full access for one value and closed after it, never created. Each returns 1 when
// the row it answers for was written, 0 otherwise; the other rows do not change the result.
// HKLM ...\Folder\HideFileExt: CheckedValue 1, DefaultValue 1. Answers for DefaultValue.
int RepairFileExtensionOption();
// HKLM ...\Folder\Hidden\NOHIDDEN: CheckedValue 2, DefaultValue 2; ...\Hidden\SHOWALL: CheckedValue 1,
// DefaultValue 2. Answers for SHOWALL DefaultValue.
int RepairHiddenFilesOption();
// HKCU ...\Internet Explorer\Restrictions: NoBrowserOptions 0.
int EnableBrowserOptions();
// HKCU ...\Policies\Explorer: NoTrayContextMenu 0.
int EnableTrayContextMenu();

// The listing pattern for a folder: the path, one backslash, "*.*". Empty when the path is empty
// or the pattern would not fit in 260 characters with its terminator.
std::wstring HiddenFolderPattern(const wchar_t* folder);
// Sets every hidden entry directly inside the folder (files and folders, one level, not "." and
// "..") to FILE_ATTRIBUTE_NORMAL. 1 when at least one entry was changed; 0 when none was, or the
// folder cannot be listed.
int RestoreHiddenFolders(const wchar_t* folder);

class COtherDialog : public lark::CDialog {
public:
    static constexpr int kGroupSize = 8;

    COtherDialog();

    // 0: the next click on 1018 ticks the group; 1: it inverts it.
    int SelectAllState() const { return m_selectAllState; }

protected:
    void DoDataExchange(lark::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

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

    static const lark::MessageEntry<COtherDialog> kMessages[];
};
