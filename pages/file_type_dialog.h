// The file-associations page.
#pragma once

#include "framework/dialog.h"

class CFileTypeDialog : public lark::CDialog {
public:
    CFileTypeDialog();

protected:
    // Enter and Escape inside the page change nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
