// The about box opened from the fast-check page's About button.
#pragma once

#include "framework/dialog.h"

class CMyAboutDlg : public lark::CDialog {
public:
    explicit CMyAboutDlg(lark::CWnd* parent = nullptr);
};
