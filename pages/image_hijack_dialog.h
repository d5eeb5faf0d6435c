// The image-hijacks page.
#pragma once

#include "framework/dialog.h"

class CImageHijackDialog : public lark::CDialog {
public:
    CImageHijackDialog();

protected:
    // Enter and Escape inside the page change nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
