#include "pages/firewall_policy_dialog.h"

#include "resource.h"

CFirewallPolicyDialog::CFirewallPolicyDialog() : CDialog(IDD_LISTPAGE) {}
