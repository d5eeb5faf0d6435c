#include "app/about_dlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(lark::CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
