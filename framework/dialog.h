// Dialog class of our framework: modal dialogs and child pages from templates, data exchange,
// default OK/Cancel handling, and declarative message tables.
//
// A dialog class with handlers of its own derives from DialogWithTable and lists them in a
// table at the end of its declaration, beside the handlers' own declarations:
//
//   class CMyPage : public lark::DialogWithTable<CMyPage> {
//       friend DialogWithTable;  // reads kMessages
//       ...
//       static inline const lark::MessageEntry<CMyPage> kMessages[] = {
//           lark::OnCommand(IDC_DETECT, &CMyPage::OnDetect),                 // void ()
//           lark::OnNotify(IDC_LIST, NM_RCLICK, &CMyPage::OnListRClick),     // LRESULT (NMHDR*)
//           lark::OnMessage(WM_TIMER, &CMyPage::OnTimer),                    // LRESULT (WPARAM, LPARAM)
//       };
//   };
//
// Messages the table does not take go to the base class's table (DialogWithTable<CDerived,
// CMyPage> chains to CMyPage's), and from the last one to the default handling: IDOK calls OnOK,
// IDCANCEL calls OnCancel, everything else goes to the system's dialog procedure. A handler may
// call Default() to hand its message on to the system as well.
//
// Keys: while a dialog of ours runs modally, a key pressed in a child dialog of ours (a page inside
// the main window) goes to the dialog manager of the innermost such page first, so Enter and Escape
// there are that page's OK and Cancel (or its default button), never the main window's. Keys
// pressed outside every page (the tab strip) reach the main window's dialog manager as before.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

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
    // Binds every DlgItem of the dialog to its control; a class that exchanges more overrides it.
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // A control the default data exchange binds by its id (see DlgItem).
    void AddBinding(int id, CWnd& control) { m_bindings.emplace_back(id, &control); }

protected:
    UINT m_templateId;
    CWnd* m_parent;
    bool m_modal = false;

    // The innermost child dialog of ours that holds the window (the window itself included), or
    // nullptr: the page whose dialog manager gets the window's keys.
    static HWND PageHolding(HWND window);

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);

    std::vector<std::pair<int, CWnd*>> m_bindings;
};

// A control member of a dialog, bound to the control with its id when the dialog initialises:
//   lark::DlgItem<lark::CButton> m_save{this, IDC_HOSTS_SAVE};
template <class Control>
class DlgItem : public Control {
public:
    DlgItem(CDialog* dialog, int id) { dialog->AddBinding(id, *this); }
};

// A dialog class T on top of Base with a message table of its own, T::kMessages; what the table
// does not take goes on to Base.
template <class T, class Base = CDialog>
class DialogWithTable : public Base {
public:
    using Base::Base;

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        return DispatchTable<T>(static_cast<T&>(*this), T::kMessages, message, wParam, lParam, result) ||
               Base::HandleMessage(message, wParam, lParam, result);
    }
};

}  // namespace lark
