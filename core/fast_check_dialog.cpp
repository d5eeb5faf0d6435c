#include "core/fast_check_dialog.h"

#include "resource.h"

CFastCheckDialog::CFastCheckDialog() : CDialog(IDD_FASTCHECK) {}
