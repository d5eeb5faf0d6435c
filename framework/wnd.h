// Window base classes of our dialog framework. CWnd borrows a window; it owns and closes nothing.
#pragma once

#include <windows.h>

#include <string>

namespace lark {

// The module whose resources the program uses (the executable itself).
HINSTANCE ResourceInstance();

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND window) : m_hWnd(window) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HICON SetIcon(HICON icon, BOOL big) const {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }

    // Binds this object to an existing window. When the class handles messages of its own
    // (WantsMessages), the window is subclassed so that HandleMessage sees them first.
    void Attach(HWND window);
    void Detach();

    // Message hook for subclassed controls: return true when the message was handled.
    virtual bool WantsMessages() const { return false; }
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

    // Inside a handler: ask for the system's default handling of the current message.
    LRESULT Default();

    HWND m_hWnd = nullptr;

protected:
    friend class CDialog;
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    bool m_subclassed = false;
    bool m_defaultRequested = false;
};

// Data exchange: binds members to the dialog's controls.
struct CDataExchange {
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

}  // namespace lark
