// The file-associations page: one row per readable entry of the table, wrong ones red, and the
// repair of the clicked row's entry.
#pragma once

#include "pages/list_page.h"

class CFileTypeDialog : public lark::DialogWithTable<CFileTypeDialog, CListPage> {
public:
    CFileTypeDialog();
    static lark::MessageTable<CFileTypeDialog> Messages();

    // The row sink of the page: one row at the row counter.
    void AddAssociationRow(const wchar_t* name, const wchar_t* extension, const wchar_t* value,
                           const wchar_t* keyPath, int correct);

protected:
    DWORD Fill() override;
    void EnableMenuItems(HMENU popup) override;
    bool IsPicked(int row) const override;

private:
    void OnRepair();
};
