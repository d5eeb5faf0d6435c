// The fast check's five categories: their item texts, which of them a check inspects by default,
// and the finding each detection gives, in the words the fast-check list shows. The fast-check page
// and the report both take their texts from here.
#pragma once

#include <windows.h>

#include <string>

#include "repair/image_hijack.h"

enum FastCheckCategory {
    kCheckAssociations,
    kCheckHijacks,
    kCheckPolicies,
    kCheckBootRecord,
    kCheckSafeMode,
    kFastCheckCategoryCount
};

struct FastCheckItem {
    const wchar_t* text;  // the list's item text ("检测文件关联", ...)
    bool tickedAtStart;   // the boot record is inspected only when the user ticks it
};
extern const FastCheckItem kFastCheckItems[kFastCheckCategoryCount];

// The text of a category whose detection found nothing.
inline constexpr wchar_t kNoAnomalyText[] = L"未发现异常";

// What one detection found: the text of the list's result column and whether it is a problem.
struct CheckFinding {
    std::wstring text;
    bool problem = false;
};

// The wrong associations' extensions in table order, "、" between them and "文件关联错误" after the
// last; kNoAnomalyText when every entry is correct.
CheckFinding DetectAssociationFinding();
// ScanImageHijacks with this sink: "发现映像劫持" when it handed over at least one hijack, otherwise
// (also when the scan failed before counting) kNoAnomalyText. The scan's own result goes to
// *scanResult when one is given. Entries whose names hold a NUL go to `nulNamed` when it is given,
// in the same scan; they are no finding.
CheckFinding DetectHijackFinding(const HijackSink& sink, DWORD* scanResult = nullptr, const HijackSink& nulNamed = {});
// "某些系统功能被禁用" when DisableRegistryTools, or else DisableTaskmgr, disables its function.
CheckFinding DetectPolicyFinding();
// "未知MBR" when CheckMasterBootRecord finds a boot code of an unknown kind.
CheckFinding DetectBootRecordFinding();
// "安全模式被破坏" when CheckSafeBoot finds the driver lists damaged.
CheckFinding DetectSafeModeFinding();
