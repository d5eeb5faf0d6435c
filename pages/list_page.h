// What the list pages share: template 130 with one report list (control 1005), the row counter,
// the column-click sort with a sort state of each page's own, the right-click menu through the
// prompts seam, and row colouring by custom draw.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"

// Orders texts by their UTF-16 code units as unsigned numbers; a prefix sorts first; no case folding.
// Negative, zero or positive like wcscmp.
int CompareCodeUnits(const std::wstring& a, const std::wstring& b);

class CListPage : public lark::CDialog {
public:
    CListPage();

    lark::CListCtrl& List() { return m_list; }
    int RowCounter() const { return m_rowCounter; }
    int SortColumn() const { return m_sortColumn; }
    int SortDirection() const { return m_sortAscending; }

protected:
    void DoDataExchange(lark::CDataExchange* pDX) override;
    // Enter and Escape inside a list page change nothing.
    void OnOK() override {}
    void OnCancel() override {}
    // Takes the column click; a page's own table goes first and falls back to this.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Removes every row and starts the row counter again at 0.
    void ClearList();
    // Inserts a row at the row counter with the texts of the first columns, then counts it.
    int AddRow(std::initializer_list<const wchar_t*> texts);

    // Shows the submenu at the position of a list click (NM_RCLICK), owned by the page.
    void ShowListMenu(HMENU submenu, const NMHDR* header);

    // Custom draw of the list: asks for every cell and draws the cells of rows that the predicate
    // picks in the given colour, the others black, all on white.
    LRESULT ColourRows(NMHDR* header, const std::function<bool(int row)>& picked, COLORREF colour);

    lark::CListCtrl m_list;
    int m_rowCounter = 0;

private:
    LRESULT OnColumnClick(NMHDR* header);
    void SortRows(int column, bool ascending);

    int m_sortColumn = 0;
    int m_sortAscending = 0;  // 0: the next click sorts descending

    static const lark::MessageEntry<CListPage> kMessages[];
};
