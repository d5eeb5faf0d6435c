// A start without the restore privilege: the message comes, and the main window still opens.
// The privilege is removed from this test process's token first (Wine grants it otherwise).
#include <gtest/gtest.h>

#include <windows.h>

#include "app/larkspur_dlg.h"
#include "framework/handles.h"
#include "resource.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

bool RemoveRestorePrivilege() {
    lark::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_REMOVED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &privileges.Privileges[0].Luid)) return false;
    return ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) &&
           ::GetLastError() == ERROR_SUCCESS;
}

TEST(RestorePrivilege, MissingPrivilegeShowsTheMessageAndTheWindowStillOpens) {
    ASSERT_TRUE(EnableRestorePrivilege());
    ASSERT_TRUE(RemoveRestorePrivilege());
    EXPECT_FALSE(EnableRestorePrivilege());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));

    test::ScriptedPrompts prompts;
    CLarkspurDlg dialog;
    {
        test::DialogAnswerer notice([](HWND d) { return test::HasChildWithText(d, L"说  明"); }, IDOK);
        ASSERT_TRUE(dialog.Create(IDD_MAIN, nullptr));
    }
    ASSERT_EQ(prompts.requests.size(), 1u);
    const auto& shown = prompts.requests[0];
    EXPECT_EQ(shown.text, L"程序改变自身权限失败，一些功能将无法实现！");
    EXPECT_EQ(shown.caption, L"提示");
    EXPECT_EQ(shown.flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(shown.owner, dialog.m_hWnd);
    test::PumpMessages(50);
    EXPECT_TRUE(dialog.IsWindowVisible());
    EXPECT_EQ(dialog.TabControl().GetItemCount(), 8);
    dialog.DestroyWindow();
}

}  // namespace
