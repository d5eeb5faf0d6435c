#include "pages/image_hijack_dialog.h"

#include <cwchar>

#include <shlwapi.h>
#include <winternl.h>

#include <string>

#include "framework/handles.h"
#include "framework/prompts.h"
#include "pages/file_type_dialog.h"
#include "resource.h"

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace {

constexpr DWORD kNameSize = 260;   // characters, terminator included
constexpr DWORD kValueSize = 260;  // characters, terminator included
constexpr const wchar_t kTemplateEntry[] = L"Your Image File Name Here without a path";
constexpr const wchar_t kMachinePrefix[] = L"HKEY_LOCAL_MACHINE\\";

}  // namespace

DWORD ScanImageHijacks(DWORD* found, const HijackSink& sink) {
    if (!sink) return kNoSink;
    DWORD unused = 0;
    if (!found) found = &unused;
    lark::UniqueRegKey options;
    LONG error = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kImageOptionsKey, 0, KEY_READ, options.put());
    if (error != ERROR_SUCCESS) return static_cast<DWORD>(error);
    DWORD subkeys = 0;
    error = ::RegQueryInfoKeyW(options.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) return static_cast<DWORD>(error);

    DWORD delivered = 0;
    LONG result = ERROR_SUCCESS;
    for (DWORD index = 0; index < subkeys; ++index) {
        wchar_t name[kNameSize] = {};
        DWORD nameLength = kNameSize;
        result = ::RegEnumKeyExW(options.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) break;
        if (::StrCmpIW(name, kTemplateEntry) == 0) continue;

        // Key names reach 255 characters, so the paths are held whole rather than in 260.
        const std::wstring entryPath = std::wstring(kImageOptionsKey) + name;
        lark::UniqueRegKey entry;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, entryPath.c_str(), 0, KEY_READ, entry.put()) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t debugger[kValueSize + 1] = {};  // one more than the read may fill: always terminated
        DWORD size = kValueSize * sizeof(wchar_t);
        if (::RegQueryValueExW(entry.get(), L"Debugger", nullptr, nullptr, reinterpret_cast<BYTE*>(debugger),
                               &size) == ERROR_SUCCESS) {
            ++delivered;
            const std::wstring keyPath = kMachinePrefix + entryPath;
            sink(name, debugger, keyPath.c_str());
        }
    }
    *found = delivered;
    return static_cast<DWORD>(result);
}

namespace {

// The key itself is opened, not what a link points to, so a planted link is removed as a link.
LONG DeleteTree(HKEY root, const std::wstring& path) {
    lark::UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS) return opened;
    std::wstring previous;
    for (;;) {
        wchar_t name[kNameSize] = {};
        DWORD nameLength = kNameSize;
        if (::RegEnumKeyExW(key.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        // A name with a NUL inside cannot be opened by its path, and a child that is still first after
        // its deletion "succeeded" would be tried for ever: both leave the key in place.
        if (std::wcslen(name) != nameLength || previous == name) break;
        previous = name;
        std::wstring child = path;
        if (child.empty() || child.back() != L'\\') child += L'\\';
        child += name;
        if (DeleteTree(root, child) != ERROR_SUCCESS) break;
    }
    const NTSTATUS status = NtDeleteKey(key.get());
    if (status == 0) return ERROR_SUCCESS;
    // For instance a key whose subkeys could not all be deleted.
    return static_cast<LONG>(::RtlNtStatusToDosError(status));
}

}  // namespace

// An empty path would name the root itself and take everything below it: refused.
LONG DeleteRegistryTree(HKEY root, const wchar_t* path) {
    if (!path || !*path) return ERROR_INVALID_PARAMETER;
    return DeleteTree(root, path);
}

const lark::MessageEntry<CImageHijackDialog> CImageHijackDialog::kMessages[] = {
    lark::OnNotify(IDC_LIST, NM_RCLICK, &CImageHijackDialog::OnListRClick),
    lark::OnCommand(ID_HIJACK_REFRESH, &CImageHijackDialog::OnRefresh, 0),
    lark::OnCommand(ID_HIJACK_DELETE_CHECKED, &CImageHijackDialog::OnDeleteChecked, 0),
    lark::OnCommand(ID_HIJACK_DELETE_ALL, &CImageHijackDialog::OnDeleteAll, 0),
};

CImageHijackDialog::CImageHijackDialog() = default;

bool CImageHijackDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return lark::DispatchTable(*this, kMessages, message, wParam, lParam, result) ||
           CListPage::HandleMessage(message, wParam, lParam, result);
}

BOOL CImageHijackDialog::OnInitDialog() {
    CListPage::OnInitDialog();
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, L"名  称", LVCFMT_LEFT, 120);
    m_list.InsertColumn(1, L"劫持路径", LVCFMT_LEFT, 120);
    m_list.InsertColumn(2, L"注册表项", LVCFMT_LEFT, 520);
    m_menu.LoadMenu(IDR_MENU_HIJACK);
    Scan();
    return TRUE;
}

void CImageHijackDialog::AddHijackRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
    const int row = AddRow({image, debugger, keyPath});
    if (row >= 0) m_list.SetCheck(row, TRUE);
}

void CImageHijackDialog::Scan() {
    const DWORD result = ScanImageHijacks(&m_foundCount, [this](const wchar_t* image, const wchar_t* debugger,
                                                                const wchar_t* keyPath) {
        AddHijackRow(image, debugger, keyPath);
    });
    if (result != 0) lark::prompts::Message(m_hWnd, L"获取映像劫持出错", L"出错", MB_OK);
}

LRESULT CImageHijackDialog::OnListRClick(NMHDR* header) {
    HMENU popup = m_menu.GetSubMenu(0);
    if (!popup) return 0;
    const UINT state = MF_BYCOMMAND | (m_list.GetSelectedCount() > 0 ? MF_ENABLED : MF_GRAYED);
    ::EnableMenuItem(popup, ID_HIJACK_DELETE_ALL, state);
    ::EnableMenuItem(popup, ID_HIJACK_DELETE_CHECKED, state);
    ShowListMenu(popup, header);
    return 0;
}

void CImageHijackDialog::OnRefresh() {
    ClearList();
    Scan();
}

void CImageHijackDialog::OnDeleteChecked() { DeleteRows(true); }
void CImageHijackDialog::OnDeleteAll() { DeleteRows(false); }

// Each row's key path without its "HKEY_LOCAL_MACHINE\" part, then a fresh scan.
void CImageHijackDialog::DeleteRows(bool tickedOnly) {
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (tickedOnly && !m_list.GetCheck(row)) continue;
        const std::wstring keyPath = m_list.GetItemText(row, 2, 1024);
        const size_t backslash = keyPath.find(L'\\');
        DeleteRegistryTree(HKEY_LOCAL_MACHINE,
                           (backslash == std::wstring::npos ? keyPath : keyPath.substr(backslash + 1)).c_str());
    }
    ClearList();
    Scan();
}
