#include "pages/image_hijack_dialog.h"

#include <string>
#include <vector>

#include "framework/prompts.h"
#include "repair/image_hijack.h"
#include "repair/key_names.h"
#include "resource.h"

namespace {

constexpr ListColumn kColumns[] = {{L"名  称", 120}, {L"劫持路径", 120}, {L"注册表项", 520}};
constexpr ListPageLayout kLayout{.columns = kColumns,
                                 .extendedStyles = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                 .menu = IDR_MENU_HIJACK};

}  // namespace

CImageHijackDialog::CImageHijackDialog() : DialogWithTable(kLayout) {}

void CImageHijackDialog::AddHijackRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
    const int row = AddRow({image, debugger, keyPath});
    if (row >= 0) m_list.SetCheck(row, TRUE);
}

void CImageHijackDialog::AddNulNamedRow(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
    AddRow({image, debugger, keyPath});
}

DWORD CImageHijackDialog::Fill() {
    return ScanImageHijacks(
        &m_foundCount,
        [this](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
            AddHijackRow(image, debugger, keyPath);
        },
        [this](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
            AddNulNamedRow(image, debugger, keyPath);
        });
}

// A scan that fails says so, over what it listed before the failure.
void CImageHijackDialog::Relist() {
    if (Refill() != 0) lark::prompts::Message(m_hWnd, L"获取映像劫持出错", L"出错", MB_OK);
}

// The delete commands need a selected row; which rows they delete is up to the check boxes.
void CImageHijackDialog::EnableMenuItems(HMENU popup) {
    EnableItem(popup, ID_HIJACK_DELETE_ALL, HasSelection());
    EnableItem(popup, ID_HIJACK_DELETE_CHECKED, HasSelection());
}

void CImageHijackDialog::OnDeleteChecked() { DeleteRows(true); }
void CImageHijackDialog::OnDeleteAll() { DeleteRows(false); }

// The rows' keys, after one backup of them all, then a fresh scan. A row whose name is marked (it
// holds a NUL) names no key it could delete: its path would be another one.
void CImageHijackDialog::DeleteRows(bool tickedOnly) {
    std::vector<std::wstring> keyPaths;
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (tickedOnly && !m_list.GetCheck(row)) continue;
        if (!IsSingleKeyName(CellText(row, 0).c_str())) continue;
        keyPaths.push_back(CellText(row, 2, 1024));
    }
    DeleteImageHijacks(keyPaths);
    Relist();
}
