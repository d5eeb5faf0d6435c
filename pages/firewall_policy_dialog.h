// The firewall exceptions page: every entry of the four exception lists, the deletion of the
// clicked entry and the showing of its program in Explorer.
#pragma once

#include "pages/list_page.h"

class CFirewallPolicyDialog : public lark::DialogWithTable<CFirewallPolicyDialog, CListPage> {
    friend DialogWithTable;  // reads kMessages

public:
    CFirewallPolicyDialog();

    // The row sink of the page: one row at the row counter.
    void AddFirewallRow(const wchar_t* name, const wchar_t* state, int type, const wchar_t* scope,
                        const wchar_t* path);

protected:
    DWORD Fill() override;
    void EnableMenuItems(HMENU popup) override;

private:
    void OnLocate();
    void OnDelete();
    bool RowShowsEntry(int row, int type, const wchar_t* valueName) const;

    static inline const lark::MessageEntry<CFirewallPolicyDialog> kMessages[] = {
        lark::OnCommand<CFirewallPolicyDialog>(ID_FIREWALL_REFRESH, &CFirewallPolicyDialog::Relist, 0),
        lark::OnCommand(ID_FIREWALL_LOCATE, &CFirewallPolicyDialog::OnLocate, 0),
        lark::OnCommand(ID_FIREWALL_DELETE, &CFirewallPolicyDialog::OnDelete, 0),
    };
};
