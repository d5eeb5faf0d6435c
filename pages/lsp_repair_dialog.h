// The Winsock LSP catalogue page.
#pragma once

#include "framework/dialog.h"

class CLSPRepairDialog : public lark::CDialog {
public:
    CLSPRepairDialog();

protected:
    // Enter and Escape inside the page change nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
