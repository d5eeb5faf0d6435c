#include "pages/file_type_dialog.h"

#include <shlwapi.h>

#include "framework/prompts.h"
#include "repair/file_type.h"
#include "resource.h"

namespace {

const wchar_t* const kWrong = AssociationStateText(0);

constexpr ListColumn kColumns[] = {
    {L"名 称", 80}, {L"扩展名称", 80}, {L"状态", 60}, {L"关联路径", 200}, {L"注册表项", 300},
};
constexpr ListPageLayout kLayout{.columns = kColumns,
                                 .extendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                                 .menu = IDR_MENU_FILETYPE,
                                 .pickedColour = RGB(255, 0, 0)};

}  // namespace

CFileTypeDialog::CFileTypeDialog() : DialogWithTable(kLayout) {}

void CFileTypeDialog::AddAssociationRow(const wchar_t* name, const wchar_t* extension, const wchar_t* value,
                                        const wchar_t* keyPath, int correct) {
    AddRow({name, extension, AssociationStateText(correct), value, keyPath});
}

DWORD CFileTypeDialog::Fill() {
    return ListFileAssociations([this](const wchar_t* name, const wchar_t* extension, const wchar_t* value,
                                       const wchar_t* keyPath, int correct) {
        AddAssociationRow(name, extension, value, keyPath, correct);
    });
}

// Column 2 is "错误": the row is drawn red, and its entry can be repaired.
bool CFileTypeDialog::IsPicked(int row) const { return ::StrCmpIW(CellText(row, 2).c_str(), kWrong) == 0; }

void CFileTypeDialog::EnableMenuItems(HMENU popup) { EnableItem(popup, ID_FILETYPE_REPAIR, IsPicked(ClickedRow())); }

// The clicked row's extension; the list is filled again whatever the outcome.
void CFileTypeDialog::OnRepair() {
    if (RepairFileAssociation(CellText(ClickedRow(), 1).c_str()) == 0) {
        lark::prompts::Message(m_hWnd, L"修复失败", L"错误", MB_OK);
    }
    Relist();
}
