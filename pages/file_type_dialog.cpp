#include "pages/file_type_dialog.h"

#include "resource.h"

CFileTypeDialog::CFileTypeDialog() : CDialog(IDD_LISTPAGE) {}
