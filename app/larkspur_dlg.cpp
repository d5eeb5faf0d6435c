#include "app/larkspur_dlg.h"

#include <commdlg.h>
#include <shlwapi.h>

#include <string>

#include "app/about_dlg.h"
#include "app/duty_dlg.h"
#include "app/fast_check_host.h"
#include "framework/handles.h"
#include "framework/prompts.h"
#include "repair/trust_library.h"
#include "report/report_file.h"
#include "resource.h"

namespace {

// Tab captions, in tab order.
constexpr const wchar_t* kTabCaptions[CLarkspurDlg::kPageCount] = {
    L"快速检测", L"文件关联", L"映像劫持", L"浏览器加载项", L"HOSTS文件", L"LSP修复", L"系统防火墙规则", L"其它选项",
};

constexpr wchar_t kSaveReportItem[] = L"保存检测报告(&R)...";
constexpr wchar_t kReportFilter[] = L"文本文件 (*.txt)|*.txt|JSON 文件 (*.json)|*.json||";
constexpr int kJsonFilter = 2;

// "Larkspur检测报告_2024-05-01.txt", with today's date.
std::wstring DefaultReportName() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t name[64] = {};
    ::wsprintfW(name, L"Larkspur检测报告_%04u-%02u-%02u.txt", now.wYear, now.wMonth, now.wDay);
    return name;
}

}  // namespace

bool EnableRestorePrivilege() {
    lark::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), 0xF01FF, token.put())) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &privileges.Privileges[0].Luid)) return false;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) return false;
    return ::GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

CLarkspurDlg::CLarkspurDlg(lark::CWnd* parent)
    : DialogWithTable(IDD_MAIN, parent),
      m_hIcon(::LoadIconW(lark::ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_fastCheck(&ProgramFastCheckHost()) {}

BOOL CLarkspurDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The about entry of the system menu, and the report's after it.
    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        wchar_t about[260] = {};
        const bool hasAbout =
            ::LoadStringW(lark::ResourceInstance(), IDS_ABOUTBOX, about, 260) > 0 && about[0] != L'\0';
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        if (hasAbout) ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_SAVEREPORT, kSaveReportItem);
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The notice comes first; its Cancel ends the program.
    CDuty duty(this);
    duty.DoModal();

    ::ShowWindow(GetDlgItem(IDC_BANNER), SW_HIDE);
    if (m_picture.LoadAnimationResource()) m_picture.StartPlayback();

    if (HANDLE thread = ::CreateThread(nullptr, 0, &CLarkspurDlg::BannerTimerThread, m_hWnd, 0, nullptr)) {
        ::CloseHandle(thread);
    }

    SetUpPages();
    LoadTrustLibrary();

    if (!EnableRestorePrivilege()) {
        lark::prompts::Message(m_hWnd, L"程序改变自身权限失败，一些功能将无法实现！", L"提示", MB_OK);
    }
    return TRUE;
}

DWORD WINAPI CLarkspurDlg::BannerTimerThread(void* window) {
    ::SetTimer(static_cast<HWND>(window), kBannerTimer, kBannerDelay, nullptr);
    return 0;
}

void CLarkspurDlg::SetUpPages() {
    lark::CDialog* const pages[kPageCount] = {&m_fastCheck,  &m_fileType,  &m_imageHijack,    &m_ieLoader,
                                              &m_host,       &m_lspRepair, &m_firewallPolicy, &m_other};
    for (int i = 0; i < kPageCount; ++i) m_pages[i] = pages[i];

    for (int i = 0; i < kPageCount; ++i) {
        m_tab.InsertItem(i, kTabCaptions[i]);
        m_pages[i]->Create(m_pages[i]->TemplateId(), &m_tab);
    }
    m_tab.SetCurSel(0);

    RECT area{};
    m_tab.GetClientRect(&area);
    area.top += 22;
    for (lark::CDialog* page : m_pages) {
        page->MoveWindow(area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
    m_pages[0]->ShowWindow(SW_SHOW);
}

LRESULT CLarkspurDlg::OnTabSelChange(NMHDR*) {
    for (lark::CDialog* page : m_pages) page->ShowWindow(SW_HIDE);
    const int selected = m_tab.GetCurSel();
    if (selected >= 0 && selected < kPageCount) m_pages[selected]->ShowWindow(SW_SHOWNORMAL);
    return 0;
}

LRESULT CLarkspurDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return 0;
    }
    if ((wParam & 0xFFF0) == IDM_SAVEREPORT) {
        SaveReport();
        return 0;
    }
    return Default();
}

// The report of the command line, to a file the user picks: JSON when the JSON filter was chosen,
// text otherwise; a name without extension gets the filter's.
void CLarkspurDlg::SaveReport() {
    std::wstring path;
    int filter = 1;
    if (!lark::prompts::SaveAs(m_hWnd, DefaultReportName().c_str(), L"txt",
                               OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, kReportFilter, path,
                               filter)) {
        return;
    }
    const report::ReportFormat format = filter == kJsonFilter ? report::ReportFormat::Json : report::ReportFormat::Text;
    if (*::PathFindExtensionW(path.c_str()) == L'\0') path += format == report::ReportFormat::Json ? L".json" : L".txt";
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    bool found = false;
    const DWORD error = report::SaveReport(path.c_str(), format, found);
    ::SetCursor(previous);
    if (error != 0) {
        lark::prompts::Message(m_hWnd, L"保存检测报告出错", L"错误", MB_OK);
    } else {
        lark::prompts::Message(m_hWnd, L"检测报告已保存", L"提示", MB_OK);
    }
}

LRESULT CLarkspurDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic()) return Default();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(&client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CLarkspurDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

LRESULT CLarkspurDlg::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam != kBannerTimer) return Default();
    ::ShowWindow(GetDlgItem(IDC_BANNER), SW_SHOW);
    m_picture.ShowWindow(SW_HIDE);
    KillTimer(kBannerTimer);
    return 0;
}

// Enter that no page takes (the focus on the tab strip) ends the program as the framework's OK
// does; the signature library is released on this way out too.
void CLarkspurDlg::OnOK() {
    UnloadTrustLibrary();
    CDialog::OnOK();
}

void CLarkspurDlg::OnCancel() {
    UnloadTrustLibrary();
    CDialog::OnCancel();
}
