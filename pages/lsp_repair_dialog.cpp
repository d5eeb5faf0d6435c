#include "pages/lsp_repair_dialog.h"

#include <commdlg.h>

#include <cwchar>

#include "framework/prompts.h"
#include "repair/lsp_repair.h"
#include "repair/trust_library.h"
#include "repair/wow64.h"
#include "resource.h"

namespace {

constexpr const wchar_t kNotice[] = L"提示";
constexpr const wchar_t kMicrosoft[] = L"Microsoft Corporation";
constexpr const wchar_t kResetQuestion[] =
    L"此操作会把LSP恢复到windows默认状态，\n可能会导致部分软件不能上网，\n"
    L"如果出现此情况，请重新安装该软件或将LSP备份文件导入注册表。\n确认该操作？";

constexpr ListColumn kColumns[] = {
    {L"协  议", 180}, {L"映像路径", 200}, {L"文件厂商", 120}, {L"文件描述", 150}, {L"CLISID", 250},
};
constexpr ListPageLayout kLayout{.columns = kColumns,
                                 .extendedStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                                 .menu = IDR_MENU_LSP,
                                 .pickedColour = RGB(0, 0, 255)};

}  // namespace

CLSPRepairDialog::CLSPRepairDialog() : DialogWithTable(kLayout) {}

// The row's view goes into its item data, which the column sort keeps with the row: the protocol
// name is the catalogue's text and cannot tell the view.
void CLSPRepairDialog::AddCatalogRow(const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                     const wchar_t* description, const wchar_t* providerId, lark::RegistryView view) {
    const int row = AddRow({MarkForView(protocol, view).c_str(), path, vendor, description, providerId});
    if (row >= 0) m_list.SetItemData(row, static_cast<DWORD_PTR>(view));
}

DWORD CLSPRepairDialog::Fill() {
    return EnumerateCatalogEntries([this](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                          const wchar_t* description, const wchar_t* providerId,
                                          lark::RegistryView view) {
        AddCatalogRow(protocol, path, vendor, description, providerId, view);
    });
}

// Providers whose file names another vendor than Microsoft, or none, stand out in blue.
bool CLSPRepairDialog::IsPicked(int row) const { return ::_wcsicmp(CellText(row, 2).c_str(), kMicrosoft) != 0; }

// The row commands need a selected row; they act on the clicked one all the same.
void CLSPRepairDialog::EnableMenuItems(HMENU popup) {
    EnableItem(popup, ID_LSP_LOCATE, HasSelection());
    EnableItem(popup, ID_LSP_VERIFY, HasSelection());
}

// Column 1 of the clicked row (empty for -1), which may hold a path of 260 characters, as the
// programs of the row's catalogue find it.
std::wstring CLSPRepairDialog::ClickedFile() const {
    const int row = ClickedRow();
    const auto view = m_list.GetItemData(row) == static_cast<DWORD_PTR>(lark::RegistryView::Bits32)
                          ? lark::RegistryView::Bits32
                          : lark::RegistryView::Bits64;
    return ProviderFileLoaded(CellText(row, 1, 1024).c_str(), view);
}

void CLSPRepairDialog::OnBackUp() {
    std::wstring target;
    if (!lark::prompts::SaveAs(m_hWnd, L"LSP备份.reg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                               L"All Files (*.*)|*.*||", target)) {
        return;
    }
    const wchar_t* text = BackUpWinsockParameters(target.c_str()) ? L"备份成功" : L"备份失败";
    lark::prompts::Message(m_hWnd, text, kNotice, MB_OK);
}

// The list stays as it is: the reset shows only after a restart.
void CLSPRepairDialog::OnRepair() {
    if (lark::prompts::Message(m_hWnd, kResetQuestion, kNotice, MB_YESNO) != IDYES) return;
    const wchar_t* text = ResetWinsockCatalog() ? L"修复完成，请重启电脑" : L"由于未知原因，修复失败";
    lark::prompts::Message(m_hWnd, text, kNotice, MB_OK);
}

void CLSPRepairDialog::OnLocate() { LocateFileInExplorer(ClickedFile().c_str()); }

void CLSPRepairDialog::OnVerify() {
    int verified = 0;
    wchar_t signer[kSignerNameLength] = {};
    const DWORD result = VerifyFileSignature(ClickedFile().c_str(), verified, signer);
    const wchar_t* text = result == 0 && verified == 1 ? L"此文件签名正确" : L"此文件无签名或签名无效";
    lark::prompts::Message(m_hWnd, text, kNotice, MB_OK);
}
