#include "framework/wnd.h"

#include <commctrl.h>

#include <vector>

namespace lark {

HINSTANCE ResourceInstance() { return ::GetModuleHandleW(nullptr); }

CWnd::~CWnd() { Detach(); }

std::wstring CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    return std::wstring(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void CWnd::Attach(HWND window) {
    Detach();
    m_hWnd = window;
    if (window && WantsMessages()) {
        m_subclassed = ::SetWindowSubclass(window, &CWnd::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    }
}

void CWnd::Detach() {
    if (m_subclassed && m_hWnd && ::IsWindow(m_hWnd)) {
        ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, 0);
    }
    m_subclassed = false;
    m_hWnd = nullptr;
}

LRESULT CWnd::Default() {
    m_defaultRequested = true;
    return 0;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* self = reinterpret_cast<CWnd*>(data);
    LRESULT result = 0;
    bool handled = false;
    const bool outerDefault = self->m_defaultRequested;
    self->m_defaultRequested = false;
    try {
        handled = self->HandleMessage(message, wParam, lParam, result);
    } catch (...) {
        handled = false;
    }
    const bool wantDefault = self->m_defaultRequested;
    self->m_defaultRequested = outerDefault;
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &CWnd::SubclassProc, 0);
        self->m_subclassed = false;
        self->m_hWnd = nullptr;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    if (!handled || wantDefault) return ::DefSubclassProc(window, message, wParam, lParam);
    return result;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd) return;  // bound once, like the framework we stand in for
    control.Attach(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id));
}

}  // namespace lark
