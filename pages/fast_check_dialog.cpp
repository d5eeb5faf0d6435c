#include "pages/fast_check_dialog.h"

#include "framework/handles.h"
#include "repair/boot_sector.h"
#include "repair/fast_check.h"
#include "repair/file_type.h"
#include "repair/image_hijack.h"
#include "repair/safe_boot.h"
#include "repair/system_policy.h"
#include "resource.h"

namespace {

constexpr const wchar_t kRepaired[] = L"修复完成";
constexpr const wchar_t kRepairFailed[] = L"修复失败";
constexpr const wchar_t kAboutText[] = L"\u3000关\u3000于\u3000";

// The rows are the categories, in their order.
static_assert(int{CFastCheckDialog::kRowCount} == int{kFastCheckCategoryCount} &&
              int{CFastCheckDialog::kHijackRow} == int{kCheckHijacks} &&
              int{CFastCheckDialog::kBootRecordRow} == int{kCheckBootRecord});

constexpr UINT kUpdateFrames[] = {IDB_UPDATE_FRAME1, IDB_UPDATE_FRAME2, IDB_UPDATE_FRAME3, IDB_UPDATE_FRAME4,
                                  IDB_UPDATE_FRAME5};

}  // namespace

// Detection and repair of each row, in row order. A row without routines is left out of both.
const CFastCheckDialog::RowRoutines CFastCheckDialog::kRows[kRowCount] = {
    {&CFastCheckDialog::DetectAssociations, &CFastCheckDialog::RepairAssociations},
    {&CFastCheckDialog::DetectHijacks, &CFastCheckDialog::RepairHijacks},
    {&CFastCheckDialog::DetectPolicies, &CFastCheckDialog::RepairPolicies},
    {&CFastCheckDialog::DetectBootRecord, &CFastCheckDialog::RepairBootRecord},
    {&CFastCheckDialog::DetectSafeMode, &CFastCheckDialog::RepairSafeMode},
};

CFastCheckDialog::CFastCheckDialog(FastCheckHost* host) : DialogWithTable(IDD_FASTCHECK), m_host(host) {}

BOOL CFastCheckDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    if (m_host) m_host->StartUpdateHandOff(*this);

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);  // 0x25
    m_list.InsertColumn(0, L"检测项目", LVCFMT_LEFT, 200);
    m_list.InsertColumn(1, L"检测结果", LVCFMT_LEFT, 200);
    m_list.InsertColumn(2, L"处理结果", LVCFMT_LEFT, 200);
    for (int row = 0; row < kRowCount; ++row) m_list.InsertItem(row, kFastCheckItems[row].text);
    for (int row = 0; row < kRowCount; ++row) {
        if (kFastCheckItems[row].tickedAtStart) m_list.SetCheck(row, TRUE);
    }
    return TRUE;
}

void CFastCheckDialog::OnDetect() {
    for (int row = 0; row < kRowCount; ++row) {
        if (!m_list.GetCheck(row) || !kRows[row].detect) continue;
        const Finding finding = (this->*kRows[row].detect)();
        m_list.SetItemText(row, 1, finding.text.c_str());
        m_list.SetItemData(row, finding.problem ? 1 : 0);
        m_list.SetItemText(row, 2, L"");
    }
}

void CFastCheckDialog::OnRepair() {
    m_associationFinding = m_list.GetItemText(kAssociationsRow, 1, 260);
    for (int row = 0; row < kRowCount; ++row) {
        if (!m_list.GetCheck(row) || m_list.GetItemData(row) == 0 || !kRows[row].repair) continue;
        m_list.SetItemText(row, 2, (this->*kRows[row].repair)());
    }
}

CFastCheckDialog::Finding CFastCheckDialog::DetectAssociations() { return DetectAssociationFinding(); }

// Every table entry whose extension the finding of the last detection names.
const wchar_t* CFastCheckDialog::RepairAssociations() {
    for (const auto& entry : FileAssociationTable) {
        if (m_associationFinding.find(entry.extension) != std::wstring::npos) RepairFileAssociation(entry.extension);
    }
    return kRepaired;
}

void CFastCheckDialog::QueuePendingHijack(const wchar_t*, const wchar_t*, const wchar_t* keyPath) {
    m_pendingHijacks.emplace_back(keyPath ? keyPath : L"");
}

// Every hijack found joins the pending list; the scan's own result is not looked at.
CFastCheckDialog::Finding CFastCheckDialog::DetectHijacks() {
    return DetectHijackFinding([this](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
        QueuePendingHijack(image, debugger, keyPath);
    });
}

// Every pending key, oldest first, after one backup of them all; the list ends empty.
const wchar_t* CFastCheckDialog::RepairHijacks() {
    DeleteImageHijacks({m_pendingHijacks.begin(), m_pendingHijacks.end()});
    m_pendingHijacks.clear();
    return kRepaired;
}

CFastCheckDialog::Finding CFastCheckDialog::DetectPolicies() { return DetectPolicyFinding(); }

const wchar_t* CFastCheckDialog::RepairPolicies() {
    const bool repaired = DeletePolicyValue(L"DisableTaskmgr") == 1 && DeletePolicyValue(L"DisableRegistryTools") == 1;
    return repaired ? kRepaired : kRepairFailed;
}

CFastCheckDialog::Finding CFastCheckDialog::DetectBootRecord() {
    m_bootRecordReset = false;
    return DetectBootRecordFinding();
}

const wchar_t* CFastCheckDialog::RepairBootRecord() {
    // A second reset would replace the backup of the sector as found by the sector already reset.
    if (m_bootRecordReset) return kRepaired;
    if (ResetMasterBootRecord() != 1) return kRepairFailed;
    m_bootRecordReset = true;
    return kRepaired;
}

CFastCheckDialog::Finding CFastCheckDialog::DetectSafeMode() { return DetectSafeModeFinding(); }

const wchar_t* CFastCheckDialog::RepairSafeMode() { return RestoreSafeBoot() == 1 ? kRepaired : kRepairFailed; }

void CFastCheckDialog::OnAboutButton() {
    if (m_host) m_host->ShowAbout(*this);
}

void CFastCheckDialog::StartUpdateNotice() {
    m_updateFlag.store(1);
    ::SetTimer(m_hWnd, kUpdateNoticeTimer, kUpdateNoticePeriod, nullptr);
}

LRESULT CFastCheckDialog::OnTimer(WPARAM wParam, LPARAM) {
    if (m_updateFlag.load() != 1 || wParam != kUpdateNoticeTimer) return Default();
    if (m_aboutPhase == 1) {
        DrawUpdateFrames();
        m_aboutPhase = 0;
    } else {
        m_about.SetWindowText(kAboutText);
        m_aboutPhase = 1;
    }
    return 0;
}

// The five frames of the sliding picture, each stretched over the whole button.
void CFastCheckDialog::DrawUpdateFrames() {
    lark::WindowDc dc(m_about.m_hWnd);
    if (!dc) return;
    RECT client{};
    m_about.GetClientRect(&client);
    ::SetBkMode(dc.get(), TRANSPARENT);
    for (size_t i = 0; i < std::size(kUpdateFrames); ++i) {
        lark::UniqueBitmap bitmap(::LoadBitmapW(lark::ResourceInstance(), MAKEINTRESOURCEW(kUpdateFrames[i])));
        lark::UniqueMemoryDc memory(::CreateCompatibleDC(dc.get()));
        if (bitmap && memory) {
            BITMAP info{};
            ::GetObjectW(bitmap.get(), sizeof(info), &info);
            lark::SelectGuard select(memory.get(), bitmap.get());
            ::StretchBlt(dc.get(), 0, 0, client.right - client.left, client.bottom - client.top, memory.get(), 0, 0,
                         info.bmWidth, info.bmHeight, SRCCOPY);
        }
        if (i + 1 < std::size(kUpdateFrames)) ::Sleep(10);
    }
}
