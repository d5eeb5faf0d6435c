// The HOSTS file page.
#pragma once

#include "framework/dialog.h"

class CHostDialog : public lark::CDialog {
public:
    CHostDialog();
};
