#include "pages/list_page.h"

#include <algorithm>
#include <numeric>
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

const lark::MessageEntry<CListPage> CListPage::kMessages[] = {
    lark::OnNotify(IDC_LIST, LVN_COLUMNCLICK, &CListPage::OnColumnClick),
};

CListPage::CListPage() : CDialog(IDD_LISTPAGE) {}

void CListPage::DoDataExchange(lark::CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    lark::DDX_Control(pDX, IDC_LIST, m_list);
}

bool CListPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return lark::DispatchTable(*this, kMessages, message, wParam, lParam, result);
}

void CListPage::ClearList() {
    m_list.DeleteAllItems();
    m_rowCounter = 0;
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

void CListPage::ShowListMenu(HMENU submenu, const NMHDR* header) {
    // The list sits at the page's origin, so its client point is the page's.
    POINT point = reinterpret_cast<const NMITEMACTIVATE*>(header)->ptAction;
    ::ClientToScreen(m_hWnd, &point);
    lark::prompts::PopupMenu(submenu, TPM_LEFTALIGN, point.x, point.y, m_hWnd);
}

LRESULT CListPage::ColourRows(NMHDR* header, const std::function<bool(int row)>& picked, COLORREF colour) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        draw->clrText = picked(static_cast<int>(draw->nmcd.dwItemSpec)) ? colour : RGB(0, 0, 0);
        draw->clrTextBk = RGB(255, 255, 255);
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

LRESULT CListPage::OnColumnClick(NMHDR* header) {
    m_sortColumn = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
    SortRows(m_sortColumn, m_sortAscending != 0);
    m_sortAscending = m_sortAscending ? 0 : 1;
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
