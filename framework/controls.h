// Thin, stateless wrappers of the common controls: every state stays in the real control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/handles.h"
#include "framework/wnd.h"

namespace lark {

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP bitmap) const {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, state); }
};

class CEdit : public CWnd {
public:
    void SetLimitText(UINT limit) const { SendMessage(EM_SETLIMITTEXT, limit); }
    UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
};

class CTabCtrl : public CWnd {
public:
    LONG InsertItem(int index, const wchar_t* caption) const;
    int GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(TCM_SETCURSEL, index)); }
    int GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
    std::wstring GetItemText(int index) const;
};

class CListCtrl : public CWnd {
public:
    DWORD SetExtendedStyle(DWORD styles) const {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles));
    }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    int InsertColumn(int index, const wchar_t* heading, int format, int width) const;
    int GetColumnWidth(int index) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, index)); }
    std::wstring GetColumnHeading(int index) const;
    int GetColumnCount() const;

    int InsertItem(int index, const wchar_t* text) const;
    BOOL SetItemText(int item, int subItem, const wchar_t* text) const;
    // Up to capacity - 1 characters of the cell, as LVM_GETITEMTEXTW returns them.
    std::wstring GetItemText(int item, int subItem, int capacity = 1024) const;
    BOOL SetItemData(int item, DWORD_PTR data) const;
    DWORD_PTR GetItemData(int item) const;
    BOOL SetCheck(int item, BOOL checked = TRUE) const;
    BOOL GetCheck(int item) const;
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    UINT GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
    BOOL SetItemState(int item, UINT state, UINT mask) const;
    UINT GetItemState(int item, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask));
    }
    BOOL DeleteItem(int item) const { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, item)); }
    BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    BOOL SortItems(PFNLVCOMPARE compare, LPARAM data) const {
        return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, data, reinterpret_cast<LPARAM>(compare)));
    }
};

// A menu loaded from the program's resources, destroyed with the object.
class CMenu {
public:
    BOOL LoadMenu(UINT id);
    HMENU GetSafeHmenu() const { return m_menu.get(); }
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_menu.get(), position); }
    void DestroyMenu() { m_menu.reset(); }

private:
    UniqueMenu m_menu;
};

}  // namespace lark
