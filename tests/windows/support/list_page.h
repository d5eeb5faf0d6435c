// A driver for the list pages: sends what the list and the user send (right clicks, the keyboard's
// menu key, header clicks, menu commands, custom-draw stages) and reads the real control back.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "pages/list_page.h"
#include "support/scripted_prompts.h"

namespace test {

class ListPageDriver {
public:
    ListPageDriver(CListPage& page, ScriptedPrompts& prompts) : page_(page), prompts_(prompts) {}

    struct Column {
        std::wstring heading;
        int width;
        bool operator==(const Column&) const = default;
    };
    using Rows = std::vector<std::vector<std::wstring>>;

    lark::CListCtrl& List() const { return page_.List(); }
    std::vector<Column> Columns() const;
    // Every cell, row by row, in the list's order.
    Rows Snapshot() const;
    std::vector<std::wstring> ColumnTexts(int column) const;
    std::wstring Text(int row, int column) const { return List().GetItemText(row, column); }
    int Count() const { return List().GetItemCount(); }
    // The first row whose cell holds the text; -1 when none does.
    int RowOf(const std::wstring& text, int column = 0) const;

    // NM_RCLICK from the list at a point of its client area; row -1 is empty space. The page's answer.
    LRESULT RightClick(int row, POINT at = {30, 40});
    // A real right click: button down and up on the list at the row's first cell.
    void MouseRightClick(int row);
    // The menu key pressed in the list (focus on the list, Shift+F10 through the input queue).
    void KeyboardMenu();
    void Command(UINT id);
    // LVN_COLUMNCLICK for a header; the page's answer.
    LRESULT ClickColumn(int column);
    // Selects only this row (-1: none) and gives it the focus.
    void Select(int row);

    // The pop-up menus shown so far.
    size_t MenusShown() const;
    // The last pop-up menu's item texts in order, and the ids of its enabled items.
    std::vector<std::wstring> MenuTexts() const;
    std::set<UINT> EnabledItems() const;

    // One custom-draw stage through the page: its answer and the colours it chose.
    struct Drawn {
        LRESULT result;
        COLORREF text, background;
    };
    Drawn Draw(DWORD stage, int row, int subItem);
    // The round trip for every cell of a row: the text colour when all cells agree (and are on
    // white), otherwise CLR_INVALID.
    COLORREF RowColour(int row);

private:
    CListPage& page_;
    ScriptedPrompts& prompts_;
};

}  // namespace test
