// The fast-check page.
#pragma once

#include "framework/dialog.h"

class CFastCheckDialog : public lark::CDialog {
public:
    CFastCheckDialog();
};
