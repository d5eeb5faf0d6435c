// Firewall exceptions under Wine: the listing and deletion routines against the real registry,
// and the real page with its menu, its deletion of one row and its Explorer command.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

#include "pages/firewall_policy_dialog.h"
#include "repair/firewall_policy.h"
#include "resource.h"
#include "support/files.h"
#include "support/list_page.h"
#include "support/process_recorder.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kPolicy = L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";
enum Type { kDomainApp, kDomainPort, kStandardApp, kStandardPort };
using Rows = test::ListPageDriver::Rows;

void Entry(int type, const std::wstring& valueName, const std::wstring& data) {
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], valueName.c_str(), data), ERROR_SUCCESS);
}

bool ValueExists(int type, const std::wstring& valueName) {
    return test::GetValue(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], valueName.c_str()).has_value();
}

struct Listed {
    std::wstring name, state;
    int type;
    std::wstring scope, path;
    bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& l, std::ostream* os) {
    *os << testing::PrintToString(l.name) << " " << testing::PrintToString(l.state) << " " << l.type << " "
        << testing::PrintToString(l.scope) << " " << testing::PrintToString(l.path);
}

class FirewallLists : public ::testing::Test {
protected:
    DWORD List(int type, std::vector<Listed>& rows) {
        return EnumerateFirewallList(type, kFirewallListKeys[type],
                                     [&](const wchar_t* name, const wchar_t* state, int t, const wchar_t* scope,
                                         const wchar_t* path) { rows.push_back({name, state, t, scope, path}); });
    }

    test::ScopedKeys policy{HKEY_LOCAL_MACHINE, {kPolicy}};
};

// Name and data buffers of 1024 characters: what fits is read, without a terminator if need be,
// and nothing past it; what does not fit is skipped. The value's type is not looked at.
TEST_F(FirewallLists, ValuesAreReadWithinTheirBuffersWhateverTheirType) {
    const std::wstring head = L"C:\\full.exe:", tail = L":Enabled:Full";
    std::wstring full = head + std::wstring(1024 - head.size() - tail.size(), L'*') + tail;
    ASSERT_EQ(full.size(), 1024u);
    full += L"X";  // so that no terminator follows the 2048 bytes stored
    const HKEY root = HKEY_LOCAL_MACHINE;
    const wchar_t* key = kFirewallListKeys[kDomainApp];
    ASSERT_EQ(test::SetBinary(root, key, L"a-full", full.c_str(), 2048, REG_SZ), ERROR_SUCCESS);
    Entry(kDomainApp, L"b-too-long", full.substr(0, 1024));  // 2050 bytes with its terminator
    Entry(kDomainApp, L"c" + std::wstring(1022, L'n'), L"C:\\c.exe:*:Enabled:Longest name");
    Entry(kDomainApp, L"d" + std::wstring(1023, L'n'), L"C:\\d.exe:*:Enabled:Name too long");
    const std::wstring binary = L"C:\\e.exe:*:Enabled:Binary";
    ASSERT_EQ(test::SetBinary(root, key, L"e-binary", binary.c_str(), static_cast<DWORD>(binary.size() * 2)),
              ERROR_SUCCESS);
    ASSERT_EQ(test::SetDword(root, key, L"f-dword", 0x00420041), ERROR_SUCCESS);  // "AB"

    std::vector<Listed> rows;
    EXPECT_EQ(List(kDomainApp, rows), 0u);
    EXPECT_EQ(rows, (std::vector<Listed>{
                        {L"Full", L"Enabled", kDomainApp, std::wstring(259, L'*'), L"C:\\full.exe"},
                        {L"Longest name", L"Enabled", kDomainApp, L"*", L"C:\\c.exe"},
                        {L"Binary", L"Enabled", kDomainApp, L"*", L"C:\\e.exe"},
                        {L"", L"", kDomainApp, L"", L"AB"},
                    }));
}

TEST_F(FirewallLists, MissingListOrNoSinkHandsNothingOver) {
    std::vector<Listed> rows;
    EXPECT_EQ(List(kStandardPort, rows), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    Entry(kStandardPort, L"80:TCP", L"80:TCP:*:Enabled:Web");
    EXPECT_EQ(EnumerateFirewallList(kStandardPort, kFirewallListKeys[kStandardPort], FirewallSink{}), 0xB0000001u);
    EXPECT_EQ(ReadFirewallEntry(kStandardPort, L"80:TCP", FirewallSink{}), 0xB0000001u);
    EXPECT_TRUE(rows.empty());
}

TEST_F(FirewallLists, DeleteRemovesOnlyTheNamedValueOfThatList) {
    Entry(kDomainPort, L"8080:TCP", L"8080:TCP:*:Enabled:Web");
    Entry(kStandardPort, L"8080:TCP", L"8080:TCP:*:Enabled:Web");
    Entry(kStandardPort, L"", L"default value");
    EXPECT_EQ(DeleteFirewallEntry(L"8080:tcp", kStandardPort), 1);  // names are case-insensitive
    EXPECT_FALSE(ValueExists(kStandardPort, L"8080:TCP"));
    EXPECT_TRUE(ValueExists(kDomainPort, L"8080:TCP"));

    const struct {
        const wchar_t* name;
        int type;
    } refused[] = {{L"8080:TCP", kStandardPort}, {L"8080:TCP", 4}, {L"8080:TCP", -1}, {nullptr, kStandardPort},
                   {L"8080:TCP", kStandardApp}};  // that list's key is not there
    for (const auto& r : refused) EXPECT_EQ(DeleteFirewallEntry(r.name, r.type), 0) << r.type;
    EXPECT_TRUE(ValueExists(kDomainPort, L"8080:TCP"));
    EXPECT_TRUE(ValueExists(kStandardPort, L""));
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kFirewallListKeys[kStandardApp]));
}

// ---- the page ----

const std::wstring kIndirect = L"@firewall_names.dll,-101";  // beside the test program: "远程协助"

class FirewallPage : public ::testing::Test {
protected:
    void SetUp() override {
        Entry(kStandardPort, L"9090:UDP", L"9090:UDP:*:Enabled:Game");
        Entry(kStandardPort, L"8080:TCP", L"8080:TCP:*:Enabled:Web");
        Entry(kStandardApp, L"%windir%\\notepad.exe", L"%windir%\\notepad.exe:*:Enabled:" + kIndirect);
        Entry(kDomainPort, L"445:TCP", L"445:TCP:LocalSubNet:Disabled:Files");
        Entry(kDomainApp, L"C:\\Tools\\zed.exe", L"C:\\Tools\\zed.exe:*:Enabled:Zed");
        Entry(kDomainApp, L"C:\\Tools\\app.exe", L"C:\\Tools\\app.exe:*:Enabled:Tool");
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }

    // Right-clicks the row (selected) and chooses the command.
    void OnRow(int row, UINT command) {
        list.Select(row);
        list.RightClick(row);
        list.Command(command);
    }

    test::ScopedKeys policy{HKEY_LOCAL_MACHINE, {kPolicy}};
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CFirewallPolicyDialog page;
    test::ListPageDriver list{page, prompts};
    // Lists in their order, each in Wine's order of value names (sorted, not as written).
    const Rows listed = {
        {L"Tool", L"Enabled", L"DomainApp", L"*", L"C:\\Tools\\app.exe"},
        {L"Zed", L"Enabled", L"DomainApp", L"*", L"C:\\Tools\\zed.exe"},
        {L"Files", L"Disabled", L"DomainPort", L"LocalSubNet", L"445:TCP"},
        {L"远程协助", L"Enabled", L"StandardApp", L"*", L"%windir%\\notepad.exe"},  // the indirect name, loaded
        {L"Web", L"Enabled", L"StandardPort", L"*", L"8080:TCP"},
        {L"Game", L"Enabled", L"StandardPort", L"*", L"9090:UDP"},
    };
};

TEST_F(FirewallPage, ListsEveryListInOrderThenEveryValueInOrder) {
    EXPECT_EQ(page.List().GetExtendedStyle(), static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.Columns(), (std::vector<test::ListPageDriver::Column>{
                                  {L"名称", 130}, {L"状态", 70}, {L"类型", 100}, {L"访问范围", 100}, {L"文件路径", 280}}));
    EXPECT_EQ(list.Snapshot(), listed);
    EXPECT_EQ(page.RowCounter(), 6);
    EXPECT_EQ(list.Draw(CDDS_PREPAINT, 0, 0).result, CDRF_DODEFAULT);  // no colouring: the list draws itself
    EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(FirewallPage, MissingListsAddNoRowsAndNoMessage) {
    test::DeleteTree(HKEY_LOCAL_MACHINE, kFirewallListKeys[kDomainApp]);
    test::DeleteTree(HKEY_LOCAL_MACHINE, kFirewallListKeys[kStandardApp]);
    list.Command(ID_FIREWALL_REFRESH);
    EXPECT_EQ(list.Snapshot(), (Rows{listed[2], listed[4], listed[5]}));
    test::DeleteTree(HKEY_LOCAL_MACHINE, kPolicy);
    list.Command(ID_FIREWALL_REFRESH);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(page.RowCounter(), 0);
    EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(FirewallPage, LocateAndDeleteNeedASelectedRow) {
    list.Select(-1);
    list.RightClick(-1);
    EXPECT_EQ(list.MenuTexts(), (std::vector<std::wstring>{L"刷新列表", L"定位文件", L"删除此项"}));
    EXPECT_EQ(list.EnabledItems(), (std::set<UINT>{ID_FIREWALL_REFRESH}));
    list.Select(2);
    list.RightClick(2);
    EXPECT_EQ(list.EnabledItems(), (std::set<UINT>{ID_FIREWALL_REFRESH, ID_FIREWALL_LOCATE, ID_FIREWALL_DELETE}));
}

// Only the value and only the row go: nothing is read again, nothing is shown.
TEST_F(FirewallPage, DeleteRemovesExactlyThatValueAndOnlyThatRow) {
    Entry(kDomainPort, L"8080:TCP", L"8080:TCP:*:Enabled:Same name, other list");
    OnRow(4, ID_FIREWALL_DELETE);
    EXPECT_FALSE(ValueExists(kStandardPort, L"8080:TCP"));
    EXPECT_TRUE(ValueExists(kStandardPort, L"9090:UDP"));
    EXPECT_TRUE(ValueExists(kDomainPort, L"8080:TCP"));
    EXPECT_EQ(list.Snapshot(), (Rows{listed[0], listed[1], listed[2], listed[3], listed[5]}));
    EXPECT_EQ(page.RowCounter(), 6);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{});
}

// The command takes the row under the click, whatever row is selected; here the system's own kind
// of entry, stored with %windir% in its name and an indirect display name.
TEST_F(FirewallPage, DeleteTakesTheClickedRowNotTheSelectedOne) {
    const int system = list.RowOf(L"远程协助"), tool = list.RowOf(L"Tool");
    list.Select(tool);
    list.RightClick(system);
    list.Command(ID_FIREWALL_DELETE);
    EXPECT_FALSE(ValueExists(kStandardApp, L"%windir%\\notepad.exe"));
    EXPECT_TRUE(ValueExists(kDomainApp, L"C:\\Tools\\app.exe"));
    EXPECT_EQ(list.Snapshot(), (Rows{listed[0], listed[1], listed[2], listed[4], listed[5]}));
}

// Data with fewer than three colons is listed whole as its path, and so found again by it.
TEST_F(FirewallPage, AnEntryWithoutItsFieldsIsListedAsItselfAndDeletes) {
    Entry(kStandardApp, L"C:\\a.exe", L"C:\\a.exe");
    Entry(kStandardApp, L"C:\\b.exe:Enabled", L"C:\\b.exe:Enabled");
    list.Command(ID_FIREWALL_REFRESH);
    const Rows expected = {{L"", L"", L"StandardApp", L"", L"C:\\a.exe"},
                           {L"", L"", L"StandardApp", L"", L"C:\\b.exe:Enabled"}};
    const Rows all = list.Snapshot();
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ((Rows{all[4], all[5]}), expected);

    ASSERT_TRUE(test::WriteFileBytes(L"C:\\a.exe", "MZ"));
    test::ProcessRecorder recorder;
    OnRow(4, ID_FIREWALL_LOCATE);
    EXPECT_EQ(recorder.selections, std::vector<std::wstring>{L"C:\\a.exe"});
    ::DeleteFileW(L"C:\\a.exe");
    OnRow(4, ID_FIREWALL_DELETE);
    OnRow(4, ID_FIREWALL_DELETE);
    EXPECT_FALSE(ValueExists(kStandardApp, L"C:\\a.exe"));
    EXPECT_FALSE(ValueExists(kStandardApp, L"C:\\b.exe:Enabled"));
    EXPECT_EQ(list.Snapshot(), (Rows{listed[0], listed[1], listed[2], listed[3], listed[4], listed[5]}));
}

TEST_F(FirewallPage, TypeTextIsMatchedIgnoringCaseAndAnyOtherTextDeletesNothing) {
    page.List().SetItemText(4, 2, L"standardPORT");
    OnRow(4, ID_FIREWALL_DELETE);
    EXPECT_FALSE(ValueExists(kStandardPort, L"8080:TCP"));
    EXPECT_EQ(list.Count(), 5);

    page.AddFirewallRow(L"Game", L"Enabled", 7, L"*", L"9090:UDP");
    const int unknown = list.Count() - 1;
    EXPECT_EQ(list.Text(unknown, 2), L"-----");
    OnRow(unknown, ID_FIREWALL_DELETE);
    EXPECT_TRUE(ValueExists(kStandardPort, L"9090:UDP"));
    EXPECT_EQ(list.Count(), 6);
    EXPECT_TRUE(prompts.Messages().empty());
}

// Column 4 names the value to delete: an entry stored under another name stays, and so does the
// entry its first field happens to name.
TEST_F(FirewallPage, EntryWhoseValueNameDiffersIsListedButNotDeleted) {
    Entry(kStandardApp, L"rogue", L"C:\\Rogue\\r.exe:*:Enabled:Rogue");
    Entry(kDomainApp, L"decoy", L"C:\\Tools\\app.exe:*:Enabled:Decoy");
    list.Command(ID_FIREWALL_REFRESH);
    const Rows before = list.Snapshot();
    ASSERT_EQ(before.size(), 8u);
    for (const wchar_t* name : {L"Rogue", L"Decoy"}) {
        const int row = list.RowOf(name);
        ASSERT_GE(row, 0) << name;
        OnRow(row, ID_FIREWALL_DELETE);
    }
    EXPECT_TRUE(ValueExists(kStandardApp, L"rogue"));
    EXPECT_TRUE(ValueExists(kDomainApp, L"decoy"));
    EXPECT_TRUE(ValueExists(kDomainApp, L"C:\\Tools\\app.exe"));
    EXPECT_EQ(list.Snapshot(), before);
    EXPECT_TRUE(prompts.Messages().empty());

    OnRow(list.RowOf(L"Tool"), ID_FIREWALL_DELETE);  // the entry itself still goes
    EXPECT_FALSE(ValueExists(kDomainApp, L"C:\\Tools\\app.exe"));
    EXPECT_EQ(list.Count(), 7);
}

TEST_F(FirewallPage, LocatePassesTheExpandedPathOrThePortUnchanged) {
    page.AddFirewallRow(L"Long", L"Enabled", kStandardApp, L"*", [] {
        std::wstring path;
        for (int i = 0; i < 25; ++i) path += L"%windir%\\";  // 225 characters, 275 expanded
        return path;
    }().c_str());
    const struct {
        int row;
        const wchar_t* selected;  // nullptr: nothing selected
    } cases[] = {
        {3, L"C:\\windows\\notepad.exe"},
        {4, nullptr},   // "8080:TCP" names no file
        {0, nullptr},   // C:\Tools\app.exe is not there
        {6, nullptr},   // would not fit its 260 characters once expanded
        {-1, nullptr},  // no row under the click: no path, nothing to show
    };
    for (const auto& c : cases) {
        test::ProcessRecorder recorder;
        list.Select(c.row == -1 ? 0 : c.row);
        list.RightClick(c.row);
        list.Command(ID_FIREWALL_LOCATE);
        EXPECT_TRUE(recorder.starts.empty()) << c.row;
        EXPECT_EQ(recorder.selections, c.selected ? std::vector<std::wstring>{c.selected} : std::vector<std::wstring>())
            << c.row;
    }
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(FirewallPage, FirstHeaderClickSortsDescending) {
    list.ClickColumn(0);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"远程协助", L"Zed", L"Web", L"Tool", L"Game", L"Files"}));
    list.ClickColumn(4);
    EXPECT_EQ(list.ColumnTexts(4), (std::vector<std::wstring>{L"%windir%\\notepad.exe", L"445:TCP", L"8080:TCP",
                                                              L"9090:UDP", L"C:\\Tools\\app.exe",
                                                              L"C:\\Tools\\zed.exe"}));
    EXPECT_EQ(page.SortColumn(), 4);
}

TEST_F(FirewallPage, EnterChangesNothingAndEscapeHidesThePage) {
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(page.IsWindowVisible());
    EXPECT_EQ(list.Snapshot(), listed);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(page.IsWindowVisible());
    EXPECT_TRUE(::IsWindow(page.m_hWnd));
    EXPECT_EQ(list.Snapshot(), listed);
}

TEST_F(FirewallPage, DemoSeedOpensAProgramAndAPortInEachProfile) {
    test::DeleteTree(HKEY_LOCAL_MACHINE, kPolicy);
    const std::wstring seed = test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) +
                              L"\\scripts\\seed\\80-firewall.reg";
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    list.Command(ID_FIREWALL_REFRESH);
    EXPECT_EQ(list.ColumnTexts(2),
              (std::vector<std::wstring>{L"DomainApp", L"DomainPort", L"StandardApp", L"StandardPort"}));
    EXPECT_EQ(list.Text(2, 0), L"远程协助");
}

}  // namespace
