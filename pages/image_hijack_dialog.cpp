#include "pages/image_hijack_dialog.h"

#include "resource.h"

CImageHijackDialog::CImageHijackDialog() : CDialog(IDD_LISTPAGE) {}
