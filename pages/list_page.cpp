#include "pages/list_page.h"

#include <algorithm>
#include <vector>

#include "framework/prompts.h"
#include "resource.h"

int CompareCodeUnits(const std::wstring& a, const std::wstring& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned>(static_cast<char16_t>(a[i]));
        const auto y = static_cast<unsigned>(static_cast<char16_t>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {

// Suspends a window's redrawing for the guard's lifetime, then repaints it whole.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND window) : window_(window) { ::SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;
    ~RedrawSuspended() {
        ::SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        ::RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

private:
    HWND window_;
};

}  // namespace

CListPage::CListPage(const ListPageLayout& layout) : DialogWithTable(IDD_LISTPAGE), m_layout(layout) {}

BOOL CListPage::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(m_layout.extendedStyles);
    int index = 0;
    for (const ListColumn& column : m_layout.columns) {
        m_list.InsertColumn(index++, column.heading, LVCFMT_LEFT, column.width);
    }
    m_menu.LoadMenu(m_layout.menu);
    Relist();
    return TRUE;
}

void CListPage::OnCancel() {
    if (m_layout.escapeHidesPage) CDialog::OnCancel();
}

DWORD CListPage::Refill() {
    RedrawSuspended quiet(m_list.m_hWnd);
    m_list.DeleteAllItems();
    m_rowCounter = 0;
    return Fill();
}

int CListPage::AddRow(std::initializer_list<const wchar_t*> texts) {
    int row = -1;
    int column = 0;
    for (const wchar_t* text : texts) {
        if (column == 0) {
            row = m_list.InsertItem(m_rowCounter, text);
            if (row < 0) return row;
        } else {
            m_list.SetItemText(row, column, text);
        }
        ++column;
    }
    ++m_rowCounter;
    return row;
}

void CListPage::EnableItem(HMENU popup, UINT id, bool enabled) {
    ::EnableMenuItem(popup, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CListPage::ShowMenu(int row, POINT screen) {
    m_clickedRow = row;
    HMENU popup = m_menu.GetSubMenu(0);
    if (!popup) return;
    EnableMenuItems(popup);
    lark::prompts::PopupMenu(popup, TPM_LEFTALIGN, screen.x, screen.y, m_hWnd);
}

LRESULT CListPage::OnRightClick(NMHDR* header) {
    const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
    // The list sits at the page's origin, so its client point is the page's.
    POINT point = click->ptAction;
    ::ClientToScreen(m_hWnd, &point);
    ShowMenu(click->iItem, point);
    return 0;
}

// The context-menu key or Shift+F10 in the list: the same menu for the focused row, at that row.
// A mouse click has had its menu from NM_RCLICK already and goes on to the default handling.
LRESULT CListPage::OnContextMenu(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(wParam) != m_list.m_hWnd || lParam != -1) return Default();
    const int row = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    POINT point{0, 0};
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (row >= 0 && m_list.SendMessage(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds))) {
        point = {std::max(bounds.left, 0L), bounds.bottom};
    }
    ::ClientToScreen(m_list.m_hWnd, &point);
    ShowMenu(row, point);
    return 0;
}

LRESULT CListPage::OnCustomDraw(NMHDR* header) {
    if (!m_layout.pickedColour) return Default();
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        draw->clrText = IsPicked(static_cast<int>(draw->nmcd.dwItemSpec)) ? *m_layout.pickedColour : RGB(0, 0, 0);
        draw->clrTextBk = RGB(255, 255, 255);
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

// The template's list is wider than the tab gives the page: it is kept to the page, so that its
// last columns and rows are reached with its own scroll bars.
LRESULT CListPage::OnSize(WPARAM, LPARAM lParam) {
    if (m_list.m_hWnd) m_list.MoveWindow(0, 0, LOWORD(lParam), HIWORD(lParam));
    return 0;
}

LRESULT CListPage::OnColumnClick(NMHDR* header) {
    m_sortColumn = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
    SortRows(m_sortColumn, m_directionFlag != 0);
    m_directionFlag = m_directionFlag ? 0 : 1;
    return 0;
}

// The list sorts by item data only, so each row's data is swapped for its old index for the
// sort and put back afterwards; rows with equal texts keep their order.
void CListPage::SortRows(int column, bool ascending) {
    const int count = m_list.GetItemCount();
    if (count < 2) return;
    struct Context {
        std::vector<std::wstring> texts;
        bool ascending;
    } context{{}, ascending};
    std::vector<DWORD_PTR> data(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        context.texts.push_back(m_list.GetItemText(row, column));
        data[static_cast<size_t>(row)] = m_list.GetItemData(row);
        m_list.SetItemData(row, static_cast<DWORD_PTR>(row));
    }
    m_list.SortItems(
        [](LPARAM first, LPARAM second, LPARAM param) -> int {
            const auto& c = *reinterpret_cast<const Context*>(param);
            int order = CompareCodeUnits(c.texts[static_cast<size_t>(first)], c.texts[static_cast<size_t>(second)]);
            if (!c.ascending) order = -order;
            if (order == 0) order = first < second ? -1 : (first > second ? 1 : 0);
            return order;
        },
        reinterpret_cast<LPARAM>(&context));
    for (int row = 0; row < count; ++row) {
        const auto oldIndex = static_cast<size_t>(m_list.GetItemData(row));
        if (oldIndex < data.size()) m_list.SetItemData(row, data[oldIndex]);
    }
}
