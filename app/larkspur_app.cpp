#include "app/larkspur_app.h"

#include <commctrl.h>

#include "app/larkspur_dlg.h"

BOOL CLarkspurApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;  // list view, tree view, bars, tab, up-down, progress, hot-key, animate
    ::InitCommonControlsEx(&controls);

    lark::CWinApp::InitInstance();
    EnableControlContainer();
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    CLarkspurDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The main window has closed: no message loop, the process ends.
    return FALSE;
}
