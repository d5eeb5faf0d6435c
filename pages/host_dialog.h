// The HOSTS file page: the file's text in an editor, with back-up, save, reload and the
// default text.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "resource.h"

class CHostDialog : public lark::DialogWithTable<CHostDialog> {
    friend DialogWithTable;  // reads kMessages

public:
    CHostDialog();

protected:
    BOOL OnInitDialog() override;

private:
    void OnBackup();
    void OnSave();
    void OnRefresh();
    void OnRestoreDefault();
    void OnEditChange();
    void Reload();

    lark::DlgItem<lark::CEdit> m_edit{this, IDC_HOSTS_EDIT};
    lark::DlgItem<lark::CButton> m_save{this, IDC_HOSTS_SAVE};

    static inline const lark::MessageEntry<CHostDialog> kMessages[] = {
        lark::OnCommand(IDC_HOSTS_BACKUP, &CHostDialog::OnBackup),
        lark::OnCommand(IDC_HOSTS_SAVE, &CHostDialog::OnSave),
        lark::OnCommand(IDC_HOSTS_REFRESH, &CHostDialog::OnRefresh),
        lark::OnCommand(IDC_HOSTS_DEFAULT, &CHostDialog::OnRestoreDefault),
        lark::OnCommand(IDC_HOSTS_EDIT, &CHostDialog::OnEditChange, EN_CHANGE),
    };
};
