// The fast-check page: five check categories, Detect and Repair, and the update notice on the
// About button. Also the two policy-value helpers shared with the other-repairs page.
#pragma once

#include <atomic>
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"

// Value under HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\System.
// 1: the function the value governs is allowed (also when the key or the value cannot be read,
// or the data is longer than 4 bytes); 0: disabled (the data is the number 1 or begins with '1').
int CheckPolicyValue(const wchar_t* valueName);
// 1 when the value was deleted or was not there; 0 when the key cannot be opened or the delete fails.
int DeletePolicyValue(const wchar_t* valueName);

class CFastCheckDialog : public lark::CDialog {
public:
    enum Row { kAssociationsRow, kHijackRow, kPolicyRow, kBootRecordRow, kSafeModeRow, kRowCount };
    static constexpr UINT_PTR kUpdateNoticeTimer = 1;
    static constexpr UINT kUpdateNoticePeriod = 500;  // ms

    CFastCheckDialog();

    lark::CListCtrl& CheckList() { return m_list; }
    lark::CButton& AboutButton() { return m_about; }

    // The update hand-off's report that a newer version exists: raises the flag, then starts
    // timer 1 on the page. Safe to call from another thread.
    void StartUpdateNotice();
    int UpdateFlag() const { return m_updateFlag.load(); }
    int AboutPhase() const { return m_aboutPhase; }
    void SetUpdateFlag(int flag) { m_updateFlag.store(flag); }

protected:
    void DoDataExchange(lark::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // What one detection of a row found: the text of column 1 and whether it is a problem.
    struct Finding {
        std::wstring text;
        bool problem;
    };
    using DetectRoutine = Finding (CFastCheckDialog::*)();
    using RepairRoutine = const wchar_t* (CFastCheckDialog::*)();  // the text of column 2
    struct RowRoutines {
        DetectRoutine detect;
        RepairRoutine repair;
    };
    static const RowRoutines kRows[kRowCount];

    void OnDetect();
    void OnRepair();
    void OnAboutButton();
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    void DrawUpdateFrames();

    Finding DetectPolicies();
    const wchar_t* RepairPolicies();
    Finding DetectBootRecord();
    const wchar_t* RepairBootRecord();
    Finding DetectSafeMode();
    const wchar_t* RepairSafeMode();

    lark::CButton m_about;
    lark::CListCtrl m_list;
    std::atomic<int> m_updateFlag{0};
    int m_aboutPhase = 0;
    // Column 1 of row 0 as it stood when Repair was pressed.
    std::wstring m_associationFinding;
    // The boot sector was reset since the last detection of row 3: a further Repair leaves it (and
    // its backup, which holds the sector as found) alone.
    bool m_bootRecordReset = false;

    static const lark::MessageEntry<CFastCheckDialog> kMessages[];
};
