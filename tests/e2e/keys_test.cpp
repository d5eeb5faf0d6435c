// Real keys pressed into the real Larkspur.exe, the way a user presses them: a click into a page,
// then Enter and Escape through the system's input queue. A key pressed inside a page belongs to
// that page: the association, hijack, add-on and LSP lists ignore both; Escape hides the fast-check,
// HOSTS, other-repairs and firewall pages until their tab is chosen again; the program never ends
// from a key pressed inside a page. Escape on the tab strip ends it with exit code 0.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "larkspur_process.h"
#include "remote_ui.h"
#include "resource.h"
#include "support/ui.h"

namespace {

enum Page { kFastCheck, kAssociations, kHijacks, kAddOns, kHosts, kLsp, kFirewall, kOther };
const char* const kPageNames[] = {"fast check", "associations", "hijacks", "add-ons",
                                  "HOSTS",      "LSP",          "firewall", "other repairs"};

class RealKeys : public LarkspurProcessTest {
protected:
    void SetUp() override {
        LarkspurProcessTest::SetUp();
        if (HasFatalFailure()) return;
        ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        main = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::Text(w) == L"Larkspur"; }, 30000);
        ASSERT_NE(main, nullptr);
        tab = remote::FindDescendantById(main, IDC_TAB, WC_TABCONTROLW);
        ASSERT_NE(tab, nullptr);
        ASSERT_TRUE(remote::WaitUntil([&] { return remote::VisiblePage(tab) != nullptr; }));
        // The pages in tab order, as children of the tab control.
        for (int i = 0; i < 8; ++i) {
            ChooseTab(i);
            pages[i] = remote::VisiblePage(tab);
            ASSERT_NE(pages[i], nullptr) << i;
        }
    }
    bool Shown(int page) { return ::IsWindowVisible(pages[page]) != FALSE; }

    // A click on the tab's item: the tab strip takes the focus and shows that tab's page.
    void ChooseTab(int index) {
        const RECT item = remote::TabItemRect(info.hProcess, tab, index);
        remote::Click({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        ASSERT_TRUE(remote::WaitUntil([&] {
            return ::SendMessageW(tab, TCM_GETCURSEL, 0, 0) == index && remote::FocusOf(main) == tab;
        })) << "tab " << index;
    }
    // A click on the tab that is chosen already: the strip takes the focus, the page stays as it
    // is. Input is handled in order, so every key pressed before has been handled once it has.
    void FocusTabStrip() {
        const int current = static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0));
        const RECT item = remote::TabItemRect(info.hProcess, tab, current);
        remote::Click({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        ASSERT_TRUE(remote::WaitUntil([&] { return remote::FocusOf(main) == tab; }));
    }
    // A click into the control, which takes the focus.
    void ClickInto(HWND control, POINT at) {
        RECT area{};
        ::GetWindowRect(control, &area);
        remote::Click({area.left + at.x, area.top + at.y});
        ASSERT_TRUE(remote::WaitUntil([&] { return remote::FocusOf(main) == control; }));
    }
    HWND Control(int page, int id) { return ::GetDlgItem(pages[page], id); }
    // GetWindowTextLength answers for a window of another process from its caption only.
    static int TextLength(HWND edit) { return static_cast<int>(::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0)); }

    HWND main = nullptr, tab = nullptr;
    HWND pages[8] = {};
};

TEST_F(RealKeys, EnterAndEscapeInTheFourQuietListsChangeNothing) {
    for (const int page : {kAssociations, kHijacks, kAddOns, kLsp}) {
        ChooseTab(page);
        for (const WORD key : {VK_RETURN, VK_ESCAPE}) {
            ClickInto(Control(page, IDC_LIST), {40, 60});
            remote::PressKey(key);
            FocusTabStrip();
            EXPECT_TRUE(Shown(page)) << kPageNames[page] << " key " << key;
            ASSERT_TRUE(Running()) << kPageNames[page] << " key " << key;
        }
    }
}

TEST_F(RealKeys, EscapeHidesTheFirewallPageUntilItsTabIsChosenAgainEnterDoesNothing) {
    ChooseTab(kFirewall);
    ClickInto(Control(kFirewall, IDC_LIST), {40, 60});
    remote::PressKey(VK_RETURN);
    FocusTabStrip();
    EXPECT_TRUE(Shown(kFirewall));

    ClickInto(Control(kFirewall, IDC_LIST), {40, 60});
    remote::PressKey(VK_ESCAPE);
    EXPECT_TRUE(remote::WaitUntil([&] { return !Shown(kFirewall); }));
    FocusTabStrip();
    EXPECT_FALSE(Shown(kFirewall));
    ASSERT_TRUE(Running());
    ChooseTab(kOther);
    ChooseTab(kFirewall);
    EXPECT_TRUE(Shown(kFirewall));
}

// Enter in the fast-check list presses the page's default button, "检  测"; Escape hides the page.
TEST_F(RealKeys, FastCheckPageTakesEnterForItsDefaultButtonAndEscapeHidesIt) {
    ChooseTab(kFastCheck);
    HWND list = Control(kFastCheck, IDC_CHECK_LIST);
    ClickInto(list, {60, 150});
    remote::PressKey(VK_RETURN);
    remote::RemoteList rows(info.hProcess, list);
    EXPECT_TRUE(remote::WaitUntil([&] { return !rows.Cell(0, 1).empty(); })) << "no detection ran";
    EXPECT_TRUE(Shown(kFastCheck));

    remote::PressKey(VK_ESCAPE);
    EXPECT_TRUE(remote::WaitUntil([&] { return !Shown(kFastCheck); }));
    ASSERT_TRUE(Running());
    ChooseTab(kHosts);
    ChooseTab(kFastCheck);
    EXPECT_TRUE(Shown(kFastCheck));
}

// Enter in the HOSTS editor is a line break; on a focused button it presses that button; Escape
// hides the page.
TEST_F(RealKeys, HostsEditorTakesEnterAsALineBreakAndEscapeHidesThePage) {
    ChooseTab(kHosts);
    HWND editor = Control(kHosts, IDC_HOSTS_EDIT);
    const int before = TextLength(editor);
    ClickInto(editor, {20, 20});
    remote::PressKey(VK_RETURN);
    EXPECT_TRUE(remote::WaitUntil([&] { return TextLength(editor) == before + 2; }));
    EXPECT_TRUE(Shown(kHosts));
    EXPECT_TRUE(::IsWindowEnabled(Control(kHosts, IDC_HOSTS_SAVE)));

    // The refresh button, clicked: the edit is undone. Enter on it presses it again.
    HWND refresh = Control(kHosts, IDC_HOSTS_REFRESH);
    ClickInto(refresh, {10, 10});
    EXPECT_TRUE(remote::WaitUntil([&] { return TextLength(editor) == before; }));
    ClickInto(editor, {20, 20});
    remote::PressKey(VK_RETURN);
    ASSERT_TRUE(remote::WaitUntil([&] { return TextLength(editor) == before + 2; }));
    const POINT onRefresh = remote::CentreOf(refresh);
    remote::Drag(onRefresh, {onRefresh.x, onRefresh.y - 60});  // focused, not pressed
    ASSERT_TRUE(remote::WaitUntil([&] { return remote::FocusOf(main) == refresh; }));
    EXPECT_EQ(TextLength(editor), before + 2);
    remote::PressKey(VK_RETURN);
    EXPECT_TRUE(remote::WaitUntil([&] { return TextLength(editor) == before; }));
    FocusTabStrip();
    EXPECT_TRUE(Shown(kHosts));
    ASSERT_TRUE(Running());

    ClickInto(editor, {20, 20});
    remote::PressKey(VK_ESCAPE);
    EXPECT_TRUE(remote::WaitUntil([&] { return !Shown(kHosts); }));
    ASSERT_TRUE(Running());
    ChooseTab(kLsp);
    ChooseTab(kHosts);
    EXPECT_TRUE(Shown(kHosts));
}

// Both keys end the other-repairs page as a dialog: it has no default button, so Enter is its OK.
TEST_F(RealKeys, EnterAndEscapeHideTheOtherRepairsPage) {
    for (const WORD key : {VK_RETURN, VK_ESCAPE}) {
        ChooseTab(kOther);
        HWND box = Control(kOther, IDC_FIX_TASKMGR);
        ClickInto(box, {5, 5});
        ASSERT_TRUE(remote::WaitUntil([&] { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
        remote::PressKey(key);
        EXPECT_TRUE(remote::WaitUntil([&] { return !Shown(kOther); })) << key;
        ASSERT_TRUE(Running()) << key;
        ChooseTab(kAssociations);
        ChooseTab(kOther);
        EXPECT_TRUE(Shown(kOther)) << key;
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED) << key;  // the page was not made anew
        ClickInto(box, {5, 5});  // unticked again
    }
}

// A key no page takes reaches the main window: Escape is its Cancel, Enter its OK; both end the
// program normally.
TEST_F(RealKeys, EscapeOnTheTabStripEndsTheProgramWithZero) {
    ChooseTab(kAddOns);
    remote::PressKey(VK_ESCAPE);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(RealKeys, EnterOnTheTabStripEndsTheProgramWithZero) {
    ChooseTab(kFirewall);
    remote::PressKey(VK_RETURN);
    EXPECT_EQ(ExitCode(), 0u);
}

}  // namespace
