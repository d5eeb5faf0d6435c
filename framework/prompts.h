// The one seam for user interaction that blocks: message boxes, pop-up menus, the Save As dialog
// and the folder browser. The program calls the real API; tests install a Responder that records
// every request and answers it from a script.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lark::prompts {

struct MenuItemState {
    UINT id;
    std::wstring text;
    bool enabled;
};

struct Request {
    enum class Kind { Message, PopupMenu, SaveAs, BrowseFolder };
    Kind kind = Kind::Message;
    HWND owner = nullptr;
    std::wstring text;     // message text; Save As: initial file name; folder browser: title
    std::wstring caption;  // message caption; Save As: the filter as the program gave it
    UINT flags = 0;        // MB_* / TPM_* / OFN_* / BIF_* flags
    POINT point{};         // pop-up menu position (screen)
    std::vector<MenuItemState> menu;  // pop-up menu items as they stood when the menu was shown
    std::wstring defaultExtension;    // Save As: the default extension, empty for none
};

class Responder {
public:
    virtual ~Responder() = default;
    // Message box: the button id (IDOK, IDYES, IDNO...).
    virtual int Message(const Request& request) = 0;
    // Pop-up menu: the command chosen, 0 for none. The seam posts it to the owner as WM_COMMAND.
    virtual UINT PopupMenu(const Request& request) = 0;
    // Save As and folder browser: true and the path when confirmed, false when cancelled.
    virtual bool SaveAs(const Request& request, std::wstring& path) = 0;
    virtual bool BrowseFolder(const Request& request, std::wstring& path) = 0;
    // Save As that also tells which filter was chosen (1 for the first). By default the first.
    virtual bool SaveAsWithFilter(const Request& request, std::wstring& path, int& filterIndex) {
        filterIndex = 1;
        return SaveAs(request, path);
    }
};

// Installs a responder (nullptr: back to the real API). Returns the one installed before.
Responder* SetResponder(Responder* responder);

// MessageBoxW.
int Message(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// TrackPopupMenu without TPM_RETURNCMD: the chosen command reaches the owner as WM_COMMAND.
void PopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);

// The old-style Save As dialog. filter uses '|' separators and ends in "||".
bool SaveAs(HWND owner, const wchar_t* initialName, const wchar_t* defaultExtension, DWORD flags,
            const wchar_t* filter, std::wstring& path);

// The same, with the filter the user chose at the end (1 for the first; left alone when cancelled).
bool SaveAs(HWND owner, const wchar_t* initialName, const wchar_t* defaultExtension, DWORD flags,
            const wchar_t* filter, std::wstring& path, int& filterIndex);

// SHBrowseForFolderW rooted at the desktop, SHGetPathFromIDListW into 260 characters.
bool BrowseFolder(HWND owner, const wchar_t* title, UINT flags, std::wstring& path);

}  // namespace lark::prompts
