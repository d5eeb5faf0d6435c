#include "app/duty_dlg.h"

#include "resource.h"

CDuty::CDuty(lark::CWnd* parent) : CDialog(IDD_DUTY, parent) {}

void CDuty::OnCancel() { ::ExitProcess(0); }
