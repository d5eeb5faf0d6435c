#include "pages/ie_loader_dialog.h"

#include "resource.h"

CIELoaderDialog::CIELoaderDialog() : CDialog(IDD_LISTPAGE) {}
