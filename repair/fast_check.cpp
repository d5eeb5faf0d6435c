#include "repair/fast_check.h"

#include <iterator>

#include "repair/boot_sector.h"
#include "repair/file_type.h"
#include "repair/safe_boot.h"
#include "repair/system_policy.h"

const FastCheckItem kFastCheckItems[kFastCheckCategoryCount] = {
    {L"检测文件关联", true}, {L"检测映像劫持", true}, {L"检测被禁用系统功能", true},
    {L"检测MBR", false},     {L"检测安全模式", true},
};

CheckFinding DetectAssociationFinding() {
    wchar_t text[260] = {};
    if (CheckFileAssociations(text, std::size(text)) == 1) return {kNoAnomalyText, false};
    std::wstring finding = text;
    const size_t last = finding.rfind(L'、');
    if (last != std::wstring::npos) finding.erase(last);
    return {finding + L"文件关联错误", true};
}

CheckFinding DetectHijackFinding(const HijackSink& sink, DWORD* scanResult, const HijackSink& nulNamed) {
    // Only what `sink` gets is a finding: a marked entry names no key a repair could delete.
    if (!sink) {
        if (scanResult) *scanResult = kNoSink;
        return {kNoAnomalyText, false};
    }
    DWORD found = 0;
    const DWORD result = ScanImageHijacks(
        nullptr,
        [&](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
            ++found;
            sink(image, debugger, keyPath);
        },
        nulNamed);
    if (scanResult) *scanResult = result;
    return found > 0 ? CheckFinding{L"发现映像劫持", true} : CheckFinding{kNoAnomalyText, false};
}

CheckFinding DetectPolicyFinding() {
    const bool allowed = CheckPolicyValue(L"DisableRegistryTools") == 1 && CheckPolicyValue(L"DisableTaskmgr") == 1;
    return allowed ? CheckFinding{kNoAnomalyText, false} : CheckFinding{L"某些系统功能被禁用", true};
}

CheckFinding DetectBootRecordFinding() {
    return CheckMasterBootRecord() == 1 ? CheckFinding{kNoAnomalyText, false} : CheckFinding{L"未知MBR", true};
}

CheckFinding DetectSafeModeFinding() {
    return CheckSafeBoot() == 1 ? CheckFinding{kNoAnomalyText, false} : CheckFinding{L"安全模式被破坏", true};
}
