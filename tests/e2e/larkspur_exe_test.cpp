// The real Larkspur.exe, started as a user starts it: the notice comes first, and its Cancel
// ends the program with exit code 0 before the main window was ever shown.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "larkspur_process.h"
#include "remote_ui.h"
#include "support/ui.h"

namespace {

class LarkspurExe : public LarkspurProcessTest {
protected:
    bool MainWindowVisible() {
        for (HWND w : remote::TopLevelWindows(info.dwProcessId)) {
            if (remote::Text(w) == L"Larkspur") return true;
        }
        return false;
    }
};

TEST_F(LarkspurExe, NoticeShowsItsTextsBeforeTheMainWindow) {
    EXPECT_TRUE(remote::HasChildWithText(notice, L"确定"));
    EXPECT_TRUE(remote::HasChildWithText(notice, L"取消"));
    EXPECT_TRUE(remote::HasChildWithText(
        notice, L"        本程序针对被病毒修改或破坏的系统进行修复，若您在使用过程中遇到问题或有宝贵意见，请及时与我方技术部门联系，以确保您的正常使用和程序功能的完善。"));
    EXPECT_FALSE(MainWindowVisible());
    ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(LarkspurExe, CancelButtonEndsTheProgramWithZero) {
    ::SendMessageW(::GetDlgItem(notice, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(MainWindowVisible());
}

TEST_F(LarkspurExe, ClosingTheNoticeEndsTheProgramWithZero) {
    ::PostMessageW(notice, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(LarkspurExe, EscapeInTheNoticeEndsTheProgramWithZero) {
    HWND ok = ::GetDlgItem(notice, IDOK);
    ::PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(LarkspurExe, OkLeadsToTheMainWindowWithEightTabs) {
    ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND main = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::Text(w) == L"Larkspur"; }, 30000);
    ASSERT_NE(main, nullptr);
    HWND tab = remote::FindDescendantById(main, 1000, WC_TABCONTROLW);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 8);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(), 0u);
}

}  // namespace
