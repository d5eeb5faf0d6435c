// The about box opened from the system menu.
#pragma once

#include "framework/dialog.h"

class CAboutDlg : public lark::CDialog {
public:
    explicit CAboutDlg(lark::CWnd* parent = nullptr);
};
