// The fast-check page: five check categories, Detect and Repair, and the update notice on the
// About button.
#pragma once

#include <atomic>
#include <deque>
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "repair/fast_check.h"
#include "resource.h"

class CFastCheckDialog;

// What the page asks of the program around it. The main window gives the program's own; a page
// without one starts no hand-off and opens no about box.
class FastCheckHost {
public:
    virtual ~FastCheckHost() = default;
    // Once, while the page is created: the update hand-off, which may later call StartUpdateNotice.
    virtual void StartUpdateHandOff(CFastCheckDialog& page) = 0;
    // The About button.
    virtual void ShowAbout(CFastCheckDialog& page) = 0;
};

class CFastCheckDialog : public lark::DialogWithTable<CFastCheckDialog> {
    friend DialogWithTable;  // reads kMessages

public:
    enum Row { kAssociationsRow, kHijackRow, kPolicyRow, kBootRecordRow, kSafeModeRow, kRowCount };
    static constexpr UINT_PTR kUpdateNoticeTimer = 1;
    static constexpr UINT kUpdateNoticePeriod = 500;  // ms

    explicit CFastCheckDialog(FastCheckHost* host = nullptr);

    lark::CListCtrl& CheckList() { return m_list; }
    lark::CButton& AboutButton() { return m_about; }

    // The update hand-off's report that a newer version exists: raises the flag, then starts
    // timer 1 on the page. Safe to call from another thread.
    void StartUpdateNotice();
    int UpdateFlag() const { return m_updateFlag.load(); }
    int AboutPhase() const { return m_aboutPhase; }
    void SetUpdateFlag(int flag) { m_updateFlag.store(flag); }

    // The hijack scan's sink: queues the displayed key path ("HKEY_LOCAL_MACHINE\...") for Repair.
    void QueuePendingHijack(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath);
    // Keys queued by the detections since the last repair of the hijack row, oldest first.
    const std::deque<std::wstring>& PendingHijacks() const { return m_pendingHijacks; }

protected:
    BOOL OnInitDialog() override;

private:
    // What one detection of a row found: the text of column 1 and whether it is a problem.
    using Finding = CheckFinding;
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

    Finding DetectAssociations();
    const wchar_t* RepairAssociations();
    Finding DetectHijacks();
    const wchar_t* RepairHijacks();
    Finding DetectPolicies();
    const wchar_t* RepairPolicies();
    Finding DetectBootRecord();
    const wchar_t* RepairBootRecord();
    Finding DetectSafeMode();
    const wchar_t* RepairSafeMode();

    FastCheckHost* m_host;
    lark::DlgItem<lark::CButton> m_about{this, IDC_ABOUT};
    lark::DlgItem<lark::CListCtrl> m_list{this, IDC_CHECK_LIST};
    std::atomic<int> m_updateFlag{0};
    int m_aboutPhase = 0;
    // Column 1 of row 0 as it stood when Repair was pressed.
    std::wstring m_associationFinding;
    // Held whole: a key path may be longer than 259 characters, and a cut one names another key.
    std::deque<std::wstring> m_pendingHijacks;
    // The boot sector was reset since the last detection of row 3: a further Repair leaves it (and
    // its backup, which holds the sector as found) alone.
    bool m_bootRecordReset = false;

    static inline const lark::MessageEntry<CFastCheckDialog> kMessages[] = {
        lark::OnCommand(IDC_DETECT, &CFastCheckDialog::OnDetect),
        lark::OnCommand(IDC_REPAIR, &CFastCheckDialog::OnRepair),
        lark::OnCommand(IDC_ABOUT, &CFastCheckDialog::OnAboutButton),
        lark::OnMessage(WM_TIMER, &CFastCheckDialog::OnTimer),
    };
};
