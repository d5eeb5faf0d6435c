#include "framework/prompts.h"

#include <commdlg.h>
#include <shlobj.h>

#include "framework/com.h"

namespace lark::prompts {

namespace {

Responder* g_responder = nullptr;

std::vector<MenuItemState> DescribeMenu(HMENU menu) {
    std::vector<MenuItemState> items;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separators and submenus
        wchar_t text[260] = {};
        ::GetMenuStringW(menu, i, text, 260, MF_BYPOSITION);
        const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
        items.push_back({id, text, (state & (MF_GRAYED | MF_DISABLED)) == 0});
    }
    return items;
}

Request MakeRequest(Request::Kind kind, HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    Request request;
    request.kind = kind;
    request.owner = owner;
    request.text = text ? text : L"";
    request.caption = caption ? caption : L"";
    request.flags = flags;
    return request;
}

}  // namespace

Responder* SetResponder(Responder* responder) {
    Responder* previous = g_responder;
    g_responder = responder;
    return previous;
}

int Message(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (g_responder) {
        Request request = MakeRequest(Request::Kind::Message, owner, text, caption, type);
        return g_responder->Message(request);
    }
    return ::MessageBoxW(owner, text, caption, type);
}

void PopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    if (g_responder) {
        Request request = MakeRequest(Request::Kind::PopupMenu, owner, nullptr, nullptr, flags);
        request.point = {x, y};
        request.menu = DescribeMenu(menu);
        const UINT command = g_responder->PopupMenu(request);
        if (command != 0) ::PostMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return;
    }
    ::TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

bool SaveAs(HWND owner, const wchar_t* initialName, const wchar_t* defaultExtension, DWORD flags,
            const wchar_t* filter, std::wstring& path) {
    int filterIndex = 1;
    return SaveAs(owner, initialName, defaultExtension, flags, filter, path, filterIndex);
}

bool SaveAs(HWND owner, const wchar_t* initialName, const wchar_t* defaultExtension, DWORD flags,
            const wchar_t* filter, std::wstring& path, int& filterIndex) {
    if (g_responder) {
        Request request = MakeRequest(Request::Kind::SaveAs, owner, initialName, filter, flags);
        request.defaultExtension = defaultExtension ? defaultExtension : L"";
        int chosen = 1;
        if (!g_responder->SaveAsWithFilter(request, path, chosen)) return false;
        filterIndex = chosen;
        return true;
    }
    std::wstring filters = filter ? filter : L"";
    for (auto& c : filters) {
        if (c == L'|') c = L'\0';
    }
    filters.push_back(L'\0');
    wchar_t file[MAX_PATH] = {};
    if (initialName) lstrcpynW(file, initialName, MAX_PATH);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = defaultExtension;
    // A hook keeps the dialog in its older form on systems that would otherwise show the newer one.
    dialog.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;
    dialog.lpfnHook = [](HWND, UINT, WPARAM, LPARAM) -> UINT_PTR { return 0; };
    if (!::GetSaveFileNameW(&dialog)) return false;
    path = file;
    filterIndex = static_cast<int>(dialog.nFilterIndex);
    return true;
}

bool BrowseFolder(HWND owner, const wchar_t* title, UINT flags, std::wstring& path) {
    if (g_responder) {
        Request request = MakeRequest(Request::Kind::BrowseFolder, owner, title, nullptr, flags);
        return g_responder->BrowseFolder(request, path);
    }
    // The folder browser needs COM on this thread.
    ComApartment com;
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = flags;
    UniqueCoTaskMem<PIDLIST_ABSOLUTE> chosen(::SHBrowseForFolderW(&info));
    if (!chosen) return false;
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.get(), folder)) folder[0] = L'\0';
    path = folder;
    return true;
}

}  // namespace lark::prompts
