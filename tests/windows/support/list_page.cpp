#include "support/list_page.h"

#include <commctrl.h>

#include "resource.h"
#include "support/ui.h"

namespace test {

std::vector<ListPageDriver::Column> ListPageDriver::Columns() const {
    std::vector<Column> columns;
    for (int c = 0; c < List().GetColumnCount(); ++c) columns.push_back({List().GetColumnHeading(c), List().GetColumnWidth(c)});
    return columns;
}

ListPageDriver::Rows ListPageDriver::Snapshot() const {
    Rows rows;
    const int columns = List().GetColumnCount();
    for (int r = 0; r < Count(); ++r) {
        std::vector<std::wstring> row;
        for (int c = 0; c < columns; ++c) row.push_back(Text(r, c));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::wstring> ListPageDriver::ColumnTexts(int column) const {
    std::vector<std::wstring> texts;
    for (int r = 0; r < Count(); ++r) texts.push_back(Text(r, column));
    return texts;
}

int ListPageDriver::RowOf(const std::wstring& text, int column) const {
    for (int r = 0; r < Count(); ++r) {
        if (Text(r, column) == text) return r;
    }
    return -1;
}

LRESULT ListPageDriver::RightClick(int row, POINT at) {
    NMITEMACTIVATE click{};
    click.hdr = {List().m_hWnd, IDC_LIST, static_cast<UINT>(NM_RCLICK)};
    click.iItem = row;
    click.ptAction = at;
    return page_.SendMessage(WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
}

void ListPageDriver::MouseRightClick(int row) {
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    List().SendMessage(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    const LPARAM at = MAKELPARAM(bounds.left + 4, (bounds.top + bounds.bottom) / 2);
    // The list tracks the mouse from button-down until it sees the button released: queue that first.
    List().PostMessage(WM_RBUTTONUP, 0, at);
    List().SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, at);
    PumpMessages(50);
}

void ListPageDriver::KeyboardMenu() {
    HWND top = ::GetAncestor(page_.m_hWnd, GA_ROOT);
    ::SetForegroundWindow(top);
    ::SetFocus(List().m_hWnd);
    PumpMessages(20);
    // Releasing F10 afterwards makes the system open the window's own menu as well (Wine does it
    // even after Shift+F10 has shown the context menu); a thread timer closes it again.
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) { ::EndMenu(); });
    INPUT keys[4] = {};
    const WORD sequence[4][2] = {{VK_SHIFT, 0}, {VK_F10, 0}, {VK_F10, KEYEVENTF_KEYUP}, {VK_SHIFT, KEYEVENTF_KEYUP}};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i][0];
        keys[i].ki.dwFlags = sequence[i][1];
    }
    ::SendInput(4, keys, sizeof(INPUT));
    PumpMessages(500);
    ::KillTimer(nullptr, closer);
}

void ListPageDriver::Command(UINT id) { page_.SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

LRESULT ListPageDriver::ClickColumn(int column) {
    NMLISTVIEW click{};
    click.hdr = {List().m_hWnd, IDC_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    return page_.SendMessage(WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
}

void ListPageDriver::Select(int row) {
    List().SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0) List().SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

size_t ListPageDriver::MenusShown() const {
    size_t shown = 0;
    for (const auto& request : prompts_.requests) shown += request.kind == lark::prompts::Request::Kind::PopupMenu;
    return shown;
}

std::vector<std::wstring> ListPageDriver::MenuTexts() const {
    std::vector<std::wstring> texts;
    if (const auto* menu = prompts_.LastMenu()) {
        for (const auto& item : menu->menu) texts.push_back(item.text);
    }
    return texts;
}

std::set<UINT> ListPageDriver::EnabledItems() const {
    std::set<UINT> enabled;
    if (const auto* menu = prompts_.LastMenu()) {
        for (const auto& item : menu->menu) {
            if (item.enabled) enabled.insert(item.id);
        }
    }
    return enabled;
}

ListPageDriver::Drawn ListPageDriver::Draw(DWORD stage, int row, int subItem) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {List().m_hWnd, IDC_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = stage;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.iSubItem = subItem;
    draw.clrText = RGB(1, 2, 3);
    draw.clrTextBk = RGB(4, 5, 6);
    const LRESULT result = page_.SendMessage(WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&draw));
    return {result, draw.clrText, draw.clrTextBk};
}

COLORREF ListPageDriver::RowColour(int row) {
    if (Draw(CDDS_PREPAINT, 0, 0).result != CDRF_NOTIFYSUBITEMDRAW) return CLR_INVALID;
    if (Draw(CDDS_ITEMPREPAINT, row, 0).result != CDRF_NOTIFYSUBITEMDRAW) return CLR_INVALID;
    COLORREF colour = CLR_INVALID;
    for (int subItem = 0; subItem < List().GetColumnCount(); ++subItem) {
        const Drawn cell = Draw(CDDS_ITEMPREPAINT | CDDS_SUBITEM, row, subItem);
        if (cell.result != CDRF_DODEFAULT || cell.background != RGB(255, 255, 255)) return CLR_INVALID;
        if (subItem > 0 && cell.text != colour) return CLR_INVALID;
        colour = cell.text;
    }
    return colour;
}

}  // namespace test
