#include "framework/dialog.h"

#include "framework/handles.h"

namespace lark {

namespace {

// Messages whose dialog-procedure result is the value itself rather than DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return true;
    default:
        return false;
    }
}

// The key filter of this thread: installed while a modal dialog of ours runs (nested ones share it).
thread_local UniqueHook t_keyFilter;
thread_local int t_modalDepth = 0;
// Set while the filter hands a key to a page: the page's own dialog manager calls the filter too.
thread_local bool t_routingKey = false;

class KeyFilterInstalled {
public:
    explicit KeyFilterInstalled(HOOKPROC filter) {
        if (t_modalDepth++ == 0) {
            t_keyFilter.reset(::SetWindowsHookExW(WH_MSGFILTER, filter, nullptr, ::GetCurrentThreadId()));
        }
    }
    KeyFilterInstalled(const KeyFilterInstalled&) = delete;
    KeyFilterInstalled& operator=(const KeyFilterInstalled&) = delete;
    ~KeyFilterInstalled() {
        if (--t_modalDepth == 0) t_keyFilter.reset();
    }
};

}  // namespace

CDialog::~CDialog() {
    if (m_hWnd && !m_modal && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    m_modal = true;
    HWND parent = m_parent ? m_parent->m_hWnd : nullptr;
    KeyFilterInstalled keys(&CDialog::KeyFilter);
    const INT_PTR result =
        ::DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), parent, &CDialog::DialogProc,
                          reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

HWND CDialog::PageHolding(HWND window) {
    for (HWND w = window; w && (::GetWindowLongW(w, GWL_STYLE) & WS_CHILD); w = ::GetParent(w)) {
        if (::GetWindowLongPtrW(w, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&CDialog::DialogProc)) return w;
    }
    return nullptr;
}

// Every dialog manager asks the message filters first (MSGF_DIALOGBOX) before it looks at a
// message. A key for a window inside a page of ours is handed to that page's dialog manager, which
// takes it (its OK, Cancel, default button, Tab order, or the control itself); the main window's
// dialog manager then never sees it.
LRESULT CALLBACK CDialog::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && !t_routingKey && message && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST) {
        if (HWND page = PageHolding(message->hwnd)) {
            t_routingKey = true;
            // Enter on a focused push button presses that button. The dialog manager makes a button
            // the default while it has the focus only when the focus came by the keyboard; one that
            // was clicked is made so here, the same way (and shown so).
            if (message->message == WM_KEYDOWN && message->wParam == VK_RETURN && message->hwnd != page &&
                (::SendMessageW(message->hwnd, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)) {
                ::SendMessageW(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(message->hwnd), TRUE);
            }
            const BOOL taken = ::IsDialogMessageW(page, message);
            t_routingKey = false;
            if (taken) return TRUE;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_templateId = templateId;
    m_parent = parent;
    m_modal = false;
    HWND window = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId),
                                       parent ? parent->m_hWnd : nullptr, &CDialog::DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

BOOL CDialog::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx{this, saveAndValidate != FALSE};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* pDX) {
    for (const auto& [id, control] : m_bindings) DDX_Control(pDX, id, *control);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!self) return FALSE;

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return FALSE;
    }

    LRESULT result = 0;
    bool handled = false;
    const bool outerDefault = self->m_defaultRequested;
    self->m_defaultRequested = false;
    try {
        if (message == WM_INITDIALOG) {
            result = self->OnInitDialog();
            handled = true;
        } else {
            handled = self->HandleMessage(message, wParam, lParam, result);
            if (!handled && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == IDOK) {
                    self->OnOK();
                    handled = true;
                } else if (LOWORD(wParam) == IDCANCEL) {
                    self->OnCancel();
                    handled = true;
                }
            }
        }
    } catch (...) {
        handled = false;
    }
    const bool wantDefault = self->m_defaultRequested;
    self->m_defaultRequested = outerDefault;

    if (!handled || wantDefault) return FALSE;
    if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace lark
