// The main window: a tab control hosting the eight pages, the start-up banner and animation.
#pragma once

#include "app/picture_ex.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "pages/fast_check_dialog.h"
#include "pages/file_type_dialog.h"
#include "pages/firewall_policy_dialog.h"
#include "pages/host_dialog.h"
#include "pages/ie_loader_dialog.h"
#include "pages/image_hijack_dialog.h"
#include "pages/lsp_repair_dialog.h"
#include "pages/other_dialog.h"
#include "resource.h"

// Enables SeRestorePrivilege in the process token, leaving the other privileges as they are.
// true when the adjustment succeeded and assigned the privilege.
bool EnableRestorePrivilege();

class CLarkspurDlg : public lark::DialogWithTable<CLarkspurDlg> {
    friend DialogWithTable;  // reads kMessages

public:
    static constexpr int kPageCount = 8;
    static constexpr UINT_PTR kBannerTimer = 2;
    static constexpr UINT kBannerDelay = 1667;  // ms

    explicit CLarkspurDlg(lark::CWnd* parent = nullptr);

    lark::CTabCtrl& TabControl() { return m_tab; }
    lark::CDialog* Page(int index) { return m_pages[index]; }
    CFastCheckDialog& FastCheckPage() { return m_fastCheck; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    void SaveReport();
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnTabSelChange(NMHDR* header);
    void SetUpPages();
    static DWORD WINAPI BannerTimerThread(void* window);

    HICON m_hIcon;
    lark::DlgItem<lark::CTabCtrl> m_tab{this, IDC_TAB};
    lark::CDialog* m_pages[kPageCount] = {};
    CFastCheckDialog m_fastCheck;
    CFileTypeDialog m_fileType;
    CHostDialog m_host;
    CIELoaderDialog m_ieLoader;
    CImageHijackDialog m_imageHijack;
    CLSPRepairDialog m_lspRepair;
    CFirewallPolicyDialog m_firewallPolicy;
    COtherDialog m_other;
    lark::DlgItem<CPictureEx> m_picture{this, IDC_PICTURE};

    static inline const lark::MessageEntry<CLarkspurDlg> kMessages[] = {
        lark::OnMessage(WM_SYSCOMMAND, &CLarkspurDlg::OnSysCommand),
        lark::OnMessage(WM_PAINT, &CLarkspurDlg::OnPaint),
        lark::OnMessage(WM_QUERYDRAGICON, &CLarkspurDlg::OnQueryDragIcon),
        lark::OnMessage(WM_TIMER, &CLarkspurDlg::OnTimer),
        lark::OnNotify(IDC_TAB, TCN_SELCHANGE, &CLarkspurDlg::OnTabSelChange),
    };
};
