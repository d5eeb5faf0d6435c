#include "framework/app.h"

namespace lark {

CWinApp::CWinApp() = default;
CWinApp::~CWinApp() = default;

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    if (!InitInstance()) return ExitInstance();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return ExitInstance();
}

}  // namespace lark
