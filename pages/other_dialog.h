// The page of one-click repairs.
#pragma once

#include "framework/dialog.h"

class COtherDialog : public lark::CDialog {
public:
    COtherDialog();
};
