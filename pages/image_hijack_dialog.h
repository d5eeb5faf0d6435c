// The image-hijacks page: every options entry with a Debugger value, ticked, and the deletion of
// the ticked or of all entries.
#pragma once

#include "pages/list_page.h"

class CImageHijackDialog : public lark::DialogWithTable<CImageHijackDialog, CListPage> {
    friend DialogWithTable;  // reads kMessages

public:
    CImageHijackDialog();

    // The row sink of the page: one ticked row at the row counter.
    void AddHijackRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath);
    // An entry whose name holds a NUL: shown with its mark, unticked, and never deleted.
    void AddNulNamedRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath);
    DWORD FoundCount() const { return m_foundCount; }

protected:
    DWORD Fill() override;
    void Relist() override;
    void EnableMenuItems(HMENU popup) override;

private:
    void OnDeleteChecked();
    void OnDeleteAll();
    void DeleteRows(bool tickedOnly);

    DWORD m_foundCount = 0;

    static inline const lark::MessageEntry<CImageHijackDialog> kMessages[] = {
        lark::OnCommand(ID_HIJACK_REFRESH, &CImageHijackDialog::Relist, 0),
        lark::OnCommand(ID_HIJACK_DELETE_CHECKED, &CImageHijackDialog::OnDeleteChecked, 0),
        lark::OnCommand(ID_HIJACK_DELETE_ALL, &CImageHijackDialog::OnDeleteAll, 0),
    };
};
