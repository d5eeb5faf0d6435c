// The notice shown before the main window at every start.
#pragma once

#include "framework/dialog.h"

class CDuty : public lark::CDialog {
public:
    explicit CDuty(lark::CWnd* parent = nullptr);

protected:
    // Cancel, Escape or closing the notice ends the whole program at once.
    void OnCancel() override;
};
