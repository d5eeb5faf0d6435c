// The firewall exceptions page.
#pragma once

#include "framework/dialog.h"

class CFirewallPolicyDialog : public lark::CDialog {
public:
    CFirewallPolicyDialog();

protected:
    // Enter inside the page changes nothing; Escape keeps the default handling.
    void OnOK() override {}
};
