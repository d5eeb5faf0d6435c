#include "pages/host_dialog.h"

#include "resource.h"

CHostDialog::CHostDialog() : CDialog(IDD_HOSTS) {}
