#include "pages/other_dialog.h"

#include "resource.h"

COtherDialog::COtherDialog() : CDialog(IDD_OTHER) {}
