#include "app/my_about_dlg.h"

#include "resource.h"

CMyAboutDlg::CMyAboutDlg(lark::CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
