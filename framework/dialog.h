// Dialog class of our framework: modal dialogs and child pages from templates, data exchange,
// default OK/Cancel handling, and declarative message tables.
//
// A dialog class with handlers of its own derives from DialogWithTable, names its table in one
// static function and defines it beside the handlers:
//
//   class CMyPage : public lark::DialogWithTable<CMyPage> { ... static lark::MessageTable<CMyPage> Messages(); };
//
//   lark::MessageTable<CMyPage> CMyPage::Messages() {
//       static const lark::MessageEntry<CMyPage> kTable[] = {
//           lark::OnCommand(IDC_DETECT, &CMyPage::OnDetect),                 // void ()
//           lark::OnNotify(IDC_LIST, NM_RCLICK, &CMyPage::OnListRClick),     // LRESULT (NMHDR*)
//           lark::OnMessage(WM_TIMER, &CMyPage::OnTimer),                    // LRESULT (WPARAM, LPARAM)
//       };
//       return kTable;
//   }
//
// Messages the table does not take go to the base class's table (DialogWithTable<CDerived,
// CMyPage> chains to CMyPage's), and from the last one to the default handling: IDOK calls OnOK,
// IDCANCEL calls OnCancel, everything else goes to the system's dialog procedure. A handler may
// call Default() to hand its message on to the system as well.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <type_traits>

#include "framework/wnd.h"

namespace lark {

template <class T>
struct MessageEntry {
    enum class Kind { Command, Notify, Message };
    Kind kind;
    UINT message;  // Message: the window message
    UINT id;       // Command, Notify: control or menu id
    UINT code;     // Command: notification code (0 for menus and BN_CLICKED); Notify: NMHDR code
    void (T::*command)();
    LRESULT (T::*notify)(NMHDR*);
    LRESULT (T::*handler)(WPARAM, LPARAM);
};

template <class T>
constexpr MessageEntry<T> OnCommand(UINT id, void (T::*f)(), UINT code = BN_CLICKED) {
    return {MessageEntry<T>::Kind::Command, WM_COMMAND, id, code, f, nullptr, nullptr};
}
template <class T>
constexpr MessageEntry<T> OnNotify(UINT id, UINT code, LRESULT (T::*f)(NMHDR*)) {
    return {MessageEntry<T>::Kind::Notify, WM_NOTIFY, id, code, nullptr, f, nullptr};
}
template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, LRESULT (T::*f)(WPARAM, LPARAM)) {
    return {MessageEntry<T>::Kind::Message, message, 0, 0, nullptr, nullptr, f};
}

template <class T>
using MessageTable = std::span<const MessageEntry<T>>;

// Runs the first entry of the table that takes the message; false when none does.
template <class T>
bool DispatchTable(T& self, std::type_identity_t<MessageTable<T>> table, UINT message, WPARAM wParam,
                   LPARAM lParam, LRESULT& result) {
    for (const auto& entry : table) {
        using Kind = typename MessageEntry<T>::Kind;
        switch (entry.kind) {
        case Kind::Command:
            if (message == WM_COMMAND && LOWORD(wParam) == entry.id && HIWORD(wParam) == entry.code) {
                (self.*entry.command)();
                result = 0;
                return true;
            }
            break;
        case Kind::Notify:
            if (message == WM_NOTIFY) {
                auto* header = reinterpret_cast<NMHDR*>(lParam);
                if (header->idFrom == entry.id && header->code == entry.code) {
                    result = (self.*entry.notify)(header);
                    return true;
                }
            }
            break;
        case Kind::Message:
            if (message == entry.message) {
                result = (self.*entry.handler)(wParam, lParam);
                return true;
            }
            break;
        }
    }
    return false;
}

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}
    ~CDialog() override;

    // Runs the dialog modally; the result is what EndDialog was given (-1 when it could not start).
    INT_PTR DoModal();
    // Creates the dialog as a modeless window (a child page when its template says WS_CHILD).
    BOOL Create(UINT templateId, CWnd* parent);
    BOOL DestroyWindow();
    void EndDialog(INT_PTR result);

    UINT TemplateId() const { return m_templateId; }

    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    UINT m_templateId;
    CWnd* m_parent;
    bool m_modal = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
};

// A dialog class T on top of Base with a message table of its own, T::Messages(); what the table
// does not take goes on to Base.
template <class T, class Base = CDialog>
class DialogWithTable : public Base {
public:
    using Base::Base;

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        return DispatchTable<T>(static_cast<T&>(*this), T::Messages(), message, wParam, lParam, result) ||
               Base::HandleMessage(message, wParam, lParam, result);
    }
};

}  // namespace lark
