#include "pages/ie_loader_dialog.h"

#include <shlwapi.h>

#include <string>

#include "framework/prompts.h"
#include "repair/ie_loader.h"
#include "repair/lsp_repair.h"
#include "resource.h"

namespace {

const wchar_t* const kEnabled = AddOnStateText(1);
const wchar_t* const kDisabled = AddOnStateText(0);
constexpr const wchar_t kCaption[] = L"提示";

constexpr int kStateColumn = 1, kKindColumn = 2, kFileColumn = 3, kKeyColumn = 4;

constexpr ListColumn kColumns[] = {
    {L"名 称", 120}, {L"状 态", 50}, {L"类  别", 80}, {L"文件路径", 200}, {L"CLISID", 250},
};
constexpr ListPageLayout kLayout{.columns = kColumns,
                                 .extendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                                 .menu = IDR_MENU_ADDON,
                                 .pickedColour = RGB(0xA0, 0x00, 0xA0)};

}  // namespace

CIELoaderDialog::CIELoaderDialog() : DialogWithTable(kLayout) {}

void CIELoaderDialog::AddAddOnRow(const wchar_t* name, const wchar_t* file, int enabled, int kind,
                                  const wchar_t* keyName, lark::RegistryView view) {
    AddRow({name, AddOnStateText(enabled), AddOnKindText(kind, view), file, keyName});
}

void CIELoaderDialog::AddBrowserExtensionRow(const BrowserExtension& extension) {
    const int row = AddRow({extension.name.c_str(), kEnabled, BrowserExtensionKindText(extension),
                            extension.file.c_str(), extension.id.c_str()});
    if (row < 0) return;
    m_extensions.push_back(extension);
    m_list.SetItemData(row, m_extensions.size());
}

DWORD CIELoaderDialog::Fill() {
    m_extensions.clear();
    const DWORD result = EnumerateAddOns([this](const wchar_t* name, const wchar_t* file, int enabled, int kind,
                                                const wchar_t* keyName, lark::RegistryView view) {
        AddAddOnRow(name, file, enabled, kind, keyName, view);
    });
    EnumerateBrowserExtensionEntries([this](const BrowserExtension& extension) { AddBrowserExtensionRow(extension); });
    return result;
}

const BrowserExtension* CIELoaderDialog::ClickedExtension() const {
    const int row = ClickedRow();
    if (row < 0) return nullptr;
    const DWORD_PTR data = m_list.GetItemData(row);
    return data >= 1 && data <= m_extensions.size() ? &m_extensions[data - 1] : nullptr;
}

bool CIELoaderDialog::IsPicked(int row) const {
    return ::StrCmpIW(CellText(row, kStateColumn).c_str(), kDisabled) == 0;
}

// Disable for an enabled row, enable for any other state (an empty one too); the row commands
// need a selected row. A browser's extension is neither disabled nor enabled here, and is located
// only where it names a file.
void CIELoaderDialog::EnableMenuItems(HMENU popup) {
    const bool selected = HasSelection();
    if (const BrowserExtension* extension = ClickedExtension()) {
        EnableItem(popup, ID_ADDON_DISABLE, false);
        EnableItem(popup, ID_ADDON_ENABLE, false);
        EnableItem(popup, ID_ADDON_DELETE, selected);
        EnableItem(popup, ID_ADDON_LOCATE, selected && extension->fileIsPath);
        return;
    }
    const bool enabled = ::StrCmpIW(CellText(ClickedRow(), kStateColumn).c_str(), kEnabled) == 0;
    EnableItem(popup, ID_ADDON_DISABLE, selected && enabled);
    EnableItem(popup, ID_ADDON_ENABLE, selected && !enabled);
    EnableItem(popup, ID_ADDON_DELETE, selected);
    EnableItem(popup, ID_ADDON_LOCATE, selected);
}

void CIELoaderDialog::OnDisable() { SetClickedRowEnabled(0); }
void CIELoaderDialog::OnEnable() { SetClickedRowEnabled(1); }

// Only the state text changes; the registry is read again at the next listing.
void CIELoaderDialog::SetClickedRowEnabled(int enable) {
    if (ClickedExtension()) return;
    const int row = ClickedRow();
    if (SetAddOnEnabled(CellText(row, kKeyColumn).c_str(), enable) != ERROR_SUCCESS) {
        lark::prompts::Message(m_hWnd, enable ? L"启用失败" : L"禁用失败", kCaption, MB_OK);
        return;
    }
    m_list.SetItemText(row, kStateColumn, enable ? kEnabled : kDisabled);
}

// Only the source's subkey in the row's view goes; the outcome shows in the new listing. A browser's
// extension takes exactly its entry with it, and a delete that did not happen says so.
void CIELoaderDialog::OnDelete() {
    if (lark::prompts::Message(m_hWnd, L"确定要删除该项？", kCaption, MB_YESNO) != IDYES) return;
    if (const BrowserExtension* extension = ClickedExtension()) {
        const LONG result = DeleteBrowserExtension(*extension);
        Relist();
        if (result != ERROR_SUCCESS) lark::prompts::Message(m_hWnd, L"删除失败", kCaption, MB_OK);
        return;
    }
    const int row = ClickedRow();
    lark::RegistryView view = lark::RegistryView::Bits64;
    const int kind = AddOnKindCode(CellText(row, kKindColumn).c_str(), &view);
    if (kind >= 0) DeleteAddOn(kind, CellText(row, kKeyColumn).c_str(), view);
    Relist();
}

// For a row of the 32-bit view, the file the 32-bit browser loads; for a browser's extension, its
// .crx file when it names one.
void CIELoaderDialog::OnLocate() {
    if (const BrowserExtension* extension = ClickedExtension()) {
        if (extension->fileIsPath) LocateFileInExplorer(extension->file.c_str());
        return;
    }
    const int row = ClickedRow();
    lark::RegistryView view = lark::RegistryView::Bits64;
    AddOnKindCode(CellText(row, kKindColumn).c_str(), &view);
    LocateFileInExplorer(AddOnFileLoaded(CellText(row, kFileColumn).c_str(), view).c_str());
}
