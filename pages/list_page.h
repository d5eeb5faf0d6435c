// What the list pages share: template 130 with one report list (control 1005) filling the page
// (kept to the page's size, so that its scroll bars stay in sight),
// its columns from a table, clear-then-fill with the list's redrawing suspended, the row counter,
// the context menu with the remembered row (from a right click, or from the keyboard at the
// focused row), the column-click sort with a direction flag of each page's own, and the drawing
// of the rows a page picks in a colour of its own.
//
// A page gives its layout, its listing (Fill), and where it has them an enabling rule for the
// menu and a colouring rule; its message table holds only its own commands.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <optional>
#include <span>
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "resource.h"

// Orders texts by their UTF-16 code units as unsigned numbers; a prefix sorts first; no case folding.
// Negative, zero or positive like wcscmp.
int CompareCodeUnits(const std::wstring& a, const std::wstring& b);

struct ListColumn {
    const wchar_t* heading;
    int width;  // pixels
};

struct ListPageLayout {
    std::span<const ListColumn> columns;  // inserted left-aligned, in this order
    DWORD extendedStyles;                 // LVS_EX_* styles of the list
    UINT menu;                            // context menu resource; its first submenu pops up
    // Escape: false, nothing happens; true, the framework's Cancel (the page hides).
    bool escapeHidesPage = false;
    // The colour of the rows the page picks (IsPicked); the others are black, all on white.
    // None: the list draws itself.
    std::optional<COLORREF> pickedColour = std::nullopt;
};

class CListPage : public lark::DialogWithTable<CListPage> {
    friend DialogWithTable;  // reads kMessages

public:
    explicit CListPage(const ListPageLayout& layout);

    lark::CListCtrl& List() { return m_list; }
    int RowCounter() const { return m_rowCounter; }
    // The row the last context menu was shown for: -1 when no row was under the click (or none
    // had the focus); 0 before the first menu.
    int ClickedRow() const { return m_clickedRow; }
    int SortColumn() const { return m_sortColumn; }
    // 0: the next header click sorts descending; otherwise ascending.
    int DirectionFlag() const { return m_directionFlag; }

protected:
    // The page's listing: hands every row to AddRow; returns the listing routine's result.
    virtual DWORD Fill() = 0;
    // The page's enabling rule for the menu about to pop up for ClickedRow().
    virtual void EnableMenuItems(HMENU popup) {}
    // The page's colouring rule: whether the row is drawn in the layout's colour.
    virtual bool IsPicked(int row) const { return false; }
    // Clear-then-fill at start and on the page's refresh. A page that reports a failed listing
    // does so here.
    virtual void Relist() { Refill(); }

    // Removes every row and fills the list again through Fill, with the list's redrawing suspended
    // meanwhile. Returns Fill's result.
    DWORD Refill();
    // Inserts a row at the row counter with the texts of the first columns, then counts it.
    // The row's index, or -1 when the list refused it (nothing counted then).
    int AddRow(std::initializer_list<const wchar_t*> texts);
    // A cell's text, at most capacity - 1 characters; empty for a row that is not there (-1).
    std::wstring CellText(int row, int column, int capacity = 260) const {
        return m_list.GetItemText(row, column, capacity);
    }
    bool HasSelection() const { return m_list.GetSelectedCount() > 0; }
    static void EnableItem(HMENU popup, UINT id, bool enabled);

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override;

    lark::DlgItem<lark::CListCtrl> m_list{this, IDC_LIST};

private:
    LRESULT OnRightClick(NMHDR* header);
    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    LRESULT OnCustomDraw(NMHDR* header);
    LRESULT OnColumnClick(NMHDR* header);
    LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    void ShowMenu(int row, POINT screen);
    void SortRows(int column, bool ascending);

    ListPageLayout m_layout;
    lark::CMenu m_menu;
    int m_rowCounter = 0;
    int m_clickedRow = 0;
    int m_sortColumn = 0;
    int m_directionFlag = 0;

    static inline const lark::MessageEntry<CListPage> kMessages[] = {
        lark::OnNotify(IDC_LIST, NM_RCLICK, &CListPage::OnRightClick),
        lark::OnNotify(IDC_LIST, NM_CUSTOMDRAW, &CListPage::OnCustomDraw),
        lark::OnNotify(IDC_LIST, LVN_COLUMNCLICK, &CListPage::OnColumnClick),
        lark::OnMessage(WM_CONTEXTMENU, &CListPage::OnContextMenu),
        lark::OnMessage(WM_SIZE, &CListPage::OnSize),
    };
};
