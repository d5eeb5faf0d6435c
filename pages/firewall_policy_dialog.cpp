#include "pages/firewall_policy_dialog.h"

#include <string>

#include "repair/firewall_policy.h"
#include "repair/lsp_repair.h"
#include "resource.h"

namespace {

constexpr int kPathColumn = 4;
constexpr int kTypeColumn = 2;
constexpr int kValueNameChars = 1024;
constexpr int kTypeTextChars = 16;
constexpr DWORD kExpandedChars = 260;

constexpr ListColumn kColumns[] = {
    {L"名称", 130}, {L"状态", 70}, {L"类型", 100}, {L"访问范围", 100}, {L"文件路径", 280},
};
// Escape hides the page until its tab is chosen again.
constexpr ListPageLayout kLayout{.columns = kColumns,
                                 .extendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                                 .menu = IDR_MENU_FIREWALL,
                                 .escapeHidesPage = true};

}  // namespace

CFirewallPolicyDialog::CFirewallPolicyDialog() : DialogWithTable(kLayout) {}

void CFirewallPolicyDialog::AddFirewallRow(const wchar_t* name, const wchar_t* state, int type, const wchar_t* scope,
                                           const wchar_t* path) {
    AddRow({name, state, FirewallTypeText(type), scope, path});
}

// A list that is missing or unreadable simply adds no rows.
DWORD CFirewallPolicyDialog::Fill() {
    const FirewallSink sink = [this](const wchar_t* name, const wchar_t* state, int type, const wchar_t* scope,
                                     const wchar_t* path) { AddFirewallRow(name, state, type, scope, path); };
    for (int type = 0; type < kFirewallListCount; ++type) EnumerateFirewallList(type, kFirewallListKeys[type], sink);
    return 0;
}

void CFirewallPolicyDialog::EnableMenuItems(HMENU popup) {
    EnableItem(popup, ID_FIREWALL_LOCATE, HasSelection());
    EnableItem(popup, ID_FIREWALL_DELETE, HasSelection());
}

// Column 4, with its environment variables expanded when it has any. A path that does not fit
// once expanded is not shown at all rather than cut.
void CFirewallPolicyDialog::OnLocate() {
    std::wstring path = CellText(ClickedRow(), kPathColumn);
    if (path.find(L'%') != std::wstring::npos) {
        wchar_t expanded[kExpandedChars] = {};
        const DWORD needed = ::ExpandEnvironmentStringsW(path.c_str(), expanded, kExpandedChars);
        if (needed == 0 || needed > kExpandedChars) return;
        path = expanded;
    }
    LocateFileInExplorer(path.c_str());
}

// The value named by column 4 in the list named by column 2, without a question. Only that row
// goes, and only when the value was deleted; nothing is shown either way.
void CFirewallPolicyDialog::OnDelete() {
    const int row = ClickedRow();
    const std::wstring valueName = CellText(row, kPathColumn, kValueNameChars);
    const int type = FirewallTypeCode(CellText(row, kTypeColumn, kTypeTextChars).c_str());
    if (type < 0) return;
    if (!RowShowsEntry(row, type, valueName.c_str())) return;
    if (DeleteFirewallEntry(valueName.c_str(), type) == 1) m_list.DeleteItem(row);
}

// Whether the value that column 4 names is the entry the row shows. An entry whose first field
// names another entry of its list must not take that one with it.
bool CFirewallPolicyDialog::RowShowsEntry(int row, int type, const wchar_t* valueName) const {
    bool same = false;
    ReadFirewallEntry(type, valueName, [&](const wchar_t* name, const wchar_t* state, int, const wchar_t* scope,
                                           const wchar_t* path) {
        same = CellText(row, 0) == name && CellText(row, 1) == state && CellText(row, 3) == scope &&
               CellText(row, kPathColumn) == path;
    });
    return same;
}
