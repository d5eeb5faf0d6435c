#include "pages/lsp_repair_dialog.h"

#include "resource.h"

CLSPRepairDialog::CLSPRepairDialog() : CDialog(IDD_LISTPAGE) {}
