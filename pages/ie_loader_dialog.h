// The browser add-ons page.
#pragma once

#include "framework/dialog.h"

class CIELoaderDialog : public lark::CDialog {
public:
    CIELoaderDialog();

protected:
    // Enter and Escape inside the page change nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
