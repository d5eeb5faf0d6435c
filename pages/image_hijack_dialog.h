// The image-hijacks page: every options entry with a Debugger value, ticked, and the deletion of
// the ticked or of all entries.
#pragma once

#include "pages/list_page.h"

class CImageHijackDialog : public lark::DialogWithTable<CImageHijackDialog, CListPage> {
public:
    CImageHijackDialog();
    static lark::MessageTable<CImageHijackDialog> Messages();

    // The row sink of the page: one ticked row at the row counter.
    void AddHijackRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath);
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
};
