// The HOSTS file page: the file's text in an editor, with back-up, save, reload and the
// default text.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class CHostDialog : public lark::DialogWithTable<CHostDialog> {
public:
    CHostDialog();
    static lark::MessageTable<CHostDialog> Messages();

protected:
    void DoDataExchange(lark::CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    void OnBackup();
    void OnSave();
    void OnRefresh();
    void OnRestoreDefault();
    void OnEditChange();
    void Reload();

    lark::CEdit m_edit;
    lark::CButton m_save;
};
