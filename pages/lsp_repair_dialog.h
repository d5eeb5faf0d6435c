// The Winsock LSP page: one row per catalogue entry, providers of other vendors than Microsoft in
// blue, and the back-up, reset, locate and verify commands of its menu.
#pragma once

#include "framework/registry.h"
#include "pages/list_page.h"

class CLSPRepairDialog : public lark::DialogWithTable<CLSPRepairDialog, CListPage> {
    friend DialogWithTable;  // reads kMessages

public:
    CLSPRepairDialog();

    // The row sink of the page: one row at the row counter. A row of the 32-bit catalogue carries
    // " (32位)" after its protocol name, and its view in its item data.
    void AddCatalogRow(const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                       const wchar_t* description, const wchar_t* providerId, lark::RegistryView view);

protected:
    DWORD Fill() override;
    void EnableMenuItems(HMENU popup) override;
    bool IsPicked(int row) const override;

private:
    void OnBackUp();
    void OnRepair();
    void OnLocate();
    void OnVerify();
    // The file the clicked row's programs load (empty for row -1).
    std::wstring ClickedFile() const;

    static inline const lark::MessageEntry<CLSPRepairDialog> kMessages[] = {
        lark::OnCommand<CLSPRepairDialog>(ID_LSP_REFRESH, &CLSPRepairDialog::Relist, 0),
        lark::OnCommand(ID_LSP_BACKUP, &CLSPRepairDialog::OnBackUp, 0),
        lark::OnCommand(ID_LSP_REPAIR, &CLSPRepairDialog::OnRepair, 0),
        lark::OnCommand(ID_LSP_LOCATE, &CLSPRepairDialog::OnLocate, 0),
        lark::OnCommand(ID_LSP_VERIFY, &CLSPRepairDialog::OnVerify, 0),
    };
};
