// The main window: start-up order, the tabs and pages, the banner and the about entry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "app/larkspur_dlg.h"
#include "resource.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

bool IsNotice(HWND dialog) { return test::HasChildWithText(dialog, L"说  明"); }
bool IsAbout(HWND dialog) { return test::HasChildWithText(dialog, L"确  定") && !IsNotice(dialog); }

// The main window created the way the program creates it, with the notice answered OK.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        test::DialogAnswerer notice(IsNotice, IDOK);
        createStart = ::GetTickCount();
        ASSERT_TRUE(dialog.Create(IDD_MAIN, nullptr));
        EXPECT_EQ(notice.answered(), 1);
    }
    void TearDown() override { dialog.DestroyWindow(); }

    bool PageVisible(int index) { return dialog.Page(index)->IsWindowVisible() != FALSE; }
    void SelectTab(int index) {
        dialog.TabControl().SetCurSel(index);
        NMHDR header{dialog.TabControl().m_hWnd, IDC_TAB, static_cast<UINT>(TCN_SELCHANGE)};
        dialog.SendMessage(WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
    }

    test::ScriptedPrompts prompts;
    CLarkspurDlg dialog;
    DWORD createStart = 0;
};

TEST_F(MainWindow, HasEightTabsWithTheirPagesInOrder) {
    const wchar_t* captions[] = {L"快速检测", L"文件关联", L"映像劫持", L"浏览器加载项",
                                 L"HOSTS文件", L"LSP修复", L"系统防火墙规则", L"其它选项"};
    const UINT templates[] = {IDD_FASTCHECK, IDD_LISTPAGE, IDD_LISTPAGE, IDD_LISTPAGE,
                              IDD_HOSTS,     IDD_LISTPAGE, IDD_LISTPAGE, IDD_OTHER};
    ASSERT_EQ(dialog.TabControl().GetItemCount(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(dialog.TabControl().GetItemText(i), captions[i]) << i;
        EXPECT_EQ(dialog.Page(i)->TemplateId(), templates[i]) << i;
        EXPECT_EQ(::GetParent(dialog.Page(i)->m_hWnd), dialog.TabControl().m_hWnd) << i;
    }
    EXPECT_EQ(dynamic_cast<CFastCheckDialog*>(dialog.Page(0)), &dialog.FastCheckPage());
    EXPECT_NE(dynamic_cast<CFileTypeDialog*>(dialog.Page(1)), nullptr);
    EXPECT_NE(dynamic_cast<CImageHijackDialog*>(dialog.Page(2)), nullptr);
    EXPECT_NE(dynamic_cast<CIELoaderDialog*>(dialog.Page(3)), nullptr);
    EXPECT_NE(dynamic_cast<CHostDialog*>(dialog.Page(4)), nullptr);
    EXPECT_NE(dynamic_cast<CLSPRepairDialog*>(dialog.Page(5)), nullptr);
    EXPECT_NE(dynamic_cast<CFirewallPolicyDialog*>(dialog.Page(6)), nullptr);
    EXPECT_NE(dynamic_cast<COtherDialog*>(dialog.Page(7)), nullptr);
    EXPECT_EQ(test::WindowText(dialog.m_hWnd), L"Larkspur");
}

TEST_F(MainWindow, PagesFillTheTabAreaBelowTheTabs) {
    RECT tab{};
    dialog.TabControl().GetClientRect(&tab);
    for (int i = 0; i < 8; ++i) {
        RECT page{};
        ::GetWindowRect(dialog.Page(i)->m_hWnd, &page);
        ::MapWindowPoints(nullptr, dialog.TabControl().m_hWnd, reinterpret_cast<POINT*>(&page), 2);
        EXPECT_EQ(page.left, tab.left) << i;
        EXPECT_EQ(page.top, tab.top + 22) << i;
        EXPECT_EQ(page.right, tab.right) << i;
        EXPECT_EQ(page.bottom, tab.bottom) << i;
    }
}

TEST_F(MainWindow, SelectingATabShowsExactlyThatPage) {
    EXPECT_EQ(dialog.TabControl().GetCurSel(), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(PageVisible(i), i == 0) << i;
    for (int selected : {3, 7, 1, 0, 6}) {
        SelectTab(selected);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(PageVisible(i), i == selected) << selected << " " << i;
    }
}

TEST_F(MainWindow, APageKeepsItsStateAcrossSwitches) {
    // The other-repairs page: a ticked box survives a round trip through another tab.
    SelectTab(7);
    HWND box = dialog.Page(7)->GetDlgItem(IDC_FIX_TASKMGR);
    ::SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    HWND pageWindow = dialog.Page(7)->m_hWnd;
    SelectTab(2);
    SelectTab(7);
    EXPECT_EQ(dialog.Page(7)->m_hWnd, pageWindow);
    EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(MainWindow, SystemMenuCarriesTheAboutEntryThatOpensTheAboutBox) {
    HMENU systemMenu = ::GetSystemMenu(dialog.m_hWnd, FALSE);
    wchar_t text[260] = {};
    ASSERT_GT(::GetMenuStringW(systemMenu, IDM_ABOUTBOX, text, 260, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"关于 Larkspur(&A)...");

    test::DialogAnswerer about(IsAbout, IDOK);
    dialog.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(about.answered(), 1);
}

// The report item after the about entry: Save As with the date in the default name, the format by
// the filter chosen, the filter's extension for a name without one; cancel writes nothing.
TEST_F(MainWindow, SystemMenuSavesTheReportInTheFormatOfTheFilterChosen) {
    HMENU systemMenu = ::GetSystemMenu(dialog.m_hWnd, FALSE);
    const int count = ::GetMenuItemCount(systemMenu);
    ASSERT_GE(count, 3);
    EXPECT_EQ(::GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_SAVEREPORT));
    EXPECT_EQ(::GetMenuItemID(systemMenu, count - 2), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t text[260] = {};
    ASSERT_GT(::GetMenuStringW(systemMenu, IDM_SAVEREPORT, text, 260, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"保存检测报告(&R)...");

    const std::wstring json = test::TempPath(L"menu-report");  // no extension: the filter's
    const std::wstring textReport = test::TempPath(L"menu-report.log");
    prompts.saveAsPaths = {L"", json, textReport};
    prompts.saveAsFilters = {1, 2, 1};
    for (int i = 0; i < 3; ++i) dialog.SendMessage(WM_SYSCOMMAND, IDM_SAVEREPORT, 0);

    ASSERT_EQ(prompts.requests.size(), 5u);  // three Save As, two notices
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t name[64] = {};
    ::wsprintfW(name, L"Larkspur检测报告_%04u-%02u-%02u.txt", now.wYear, now.wMonth, now.wDay);
    EXPECT_EQ(prompts.requests[0].kind, lark::prompts::Request::Kind::SaveAs);
    EXPECT_EQ(prompts.requests[0].text, name);
    EXPECT_EQ(prompts.requests[0].caption, L"文本文件 (*.txt)|*.txt|JSON 文件 (*.json)|*.json||");
    EXPECT_EQ(prompts.requests[0].defaultExtension, L"txt");
    EXPECT_TRUE(prompts.requests[0].flags & OFN_OVERWRITEPROMPT);
    // Cancelled: nothing written, nothing said; then two reports, each followed by its notice.
    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>{L"提示|检测报告已保存", L"提示|检测报告已保存"}));
    const auto bytes = [](const std::wstring& path) {
        std::string content;
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return content;
        content.resize(::GetFileSize(file, nullptr));
        DWORD read = 0;
        ::ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
        ::CloseHandle(file);
        return content;
    };
    EXPECT_EQ(bytes(json + L".json").substr(0, 14), "{\n  \"program\":");
    EXPECT_EQ(bytes(textReport).substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(::GetFileAttributesW(json.c_str()), INVALID_FILE_ATTRIBUTES);

    // A report that cannot be written says so.
    prompts.saveAsPaths = {test::TempPath(L"no-such-folder\\r.txt")};
    dialog.SendMessage(WM_SYSCOMMAND, IDM_SAVEREPORT, 0);
    EXPECT_EQ(prompts.Messages().back(), L"错误|保存检测报告出错");
}

TEST_F(MainWindow, BannerIsHiddenUntilTimerTwoThenReplacesThePicture) {
    HWND banner = dialog.GetDlgItem(IDC_BANNER);
    HWND picture = dialog.GetDlgItem(IDC_PICTURE);
    EXPECT_FALSE(::GetWindowLongW(banner, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(::GetWindowLongW(picture, GWL_STYLE) & WS_VISIBLE);
    ASSERT_TRUE(test::PumpUntil([&] { return (::GetWindowLongW(banner, GWL_STYLE) & WS_VISIBLE) != 0; }, 6000));
    // The timer is armed during the window's initialisation, so it fires 1667 ms after that at the earliest.
    const DWORD elapsed = ::GetTickCount() - createStart;
    EXPECT_GE(elapsed, 1640u);
    EXPECT_LE(elapsed, 4500u);
    EXPECT_FALSE(::GetWindowLongW(picture, GWL_STYLE) & WS_VISIBLE);
    // The timer is gone: a later tick of id 2 does not come.
    EXPECT_FALSE(::KillTimer(dialog.m_hWnd, CLarkspurDlg::kBannerTimer));
}

TEST_F(MainWindow, RestorePrivilegeIsEnabledWithoutAMessage) {
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(EnableRestorePrivilege());
}

TEST_F(MainWindow, QueryDragIconReturnsTheWindowIcon) {
    HICON icon = reinterpret_cast<HICON>(dialog.SendMessage(WM_QUERYDRAGICON));
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(icon, reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_BIG)));
    EXPECT_EQ(icon, reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_SMALL)));
}

}  // namespace
