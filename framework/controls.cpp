#include "framework/controls.h"

#include <vector>

namespace lark {

LONG CTabCtrl::InsertItem(int index, const wchar_t* caption) const {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption);
    return static_cast<LONG>(SendMessage(TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item)));
}

std::wstring CTabCtrl::GetItemText(int index) const {
    wchar_t text[260] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 260;
    if (!SendMessage(TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item))) return {};
    return item.pszText ? std::wstring(item.pszText) : std::wstring();
}

int CListCtrl::InsertColumn(int index, const wchar_t* heading, int format, int width) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(heading);
    column.iSubItem = index;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

std::wstring CListCtrl::GetColumnHeading(int index) const {
    wchar_t text[260] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 260;
    if (!SendMessage(LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column))) return {};
    return text;
}

int CListCtrl::GetColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int CListCtrl::InsertItem(int index, const wchar_t* text) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int row, int subItem, const wchar_t* text) const {
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
}

std::wstring CListCtrl::GetItemText(int row, int subItem, int capacity) const {
    if (capacity < 1) return {};
    std::vector<wchar_t> text(static_cast<size_t>(capacity), L'\0');
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = text.data();
    item.cchTextMax = capacity;
    const LRESULT copied = SendMessage(LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    text.back() = L'\0';
    (void)copied;
    return std::wstring(text.data());
}

BOOL CListCtrl::SetItemData(int row, DWORD_PTR data) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<DWORD_PTR>(item.lParam);
}

BOOL CListCtrl::SetItemState(int row, UINT state, UINT mask) const {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetCheck(int row, BOOL checked) const {
    return SetItemState(row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::GetCheck(int row) const {
    return ((GetItemState(row, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
}

BOOL CMenu::LoadMenu(UINT id) {
    m_menu.reset(::LoadMenuW(ResourceInstance(), MAKEINTRESOURCEW(id)));
    return m_menu ? TRUE : FALSE;
}

}  // namespace lark
