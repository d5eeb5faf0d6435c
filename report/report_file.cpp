#include "report/report_file.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <vector>

#include "framework/handles.h"
#include "report/report_collect.h"
#include "report/report_format.h"

namespace report {

namespace {

constexpr int kTemporaryNameTries = 16;

// The path made absolute; empty when it cannot be.
std::wstring FullPath(const wchar_t* path) {
    const DWORD needed = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::vector<wchar_t> full(needed + 1, L'\0');
    const DWORD length = ::GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return {};
    return std::wstring(full.data(), length);
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_HANDLE_DISK_FULL;
        bytes.remove_prefix(written);
    }
    return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

}  // namespace

ReportFormat FormatOfPath(const wchar_t* path) {
    if (!path) return ReportFormat::Text;
    const size_t length = std::wcslen(path);
    constexpr wchar_t kJson[] = L".json";
    constexpr size_t kJsonLength = std::size(kJson) - 1;
    return length >= kJsonLength && ::StrCmpIW(path + length - kJsonLength, kJson) == 0 ? ReportFormat::Json
                                                                                         : ReportFormat::Text;
}

std::string RenderReport(const Report& report, ReportFormat format) {
    return format == ReportFormat::Json ? FormatJson(report) : FormatText(report);
}

DWORD WriteReportFile(const wchar_t* path, std::string_view bytes) {
    if (!path || !*path) return ERROR_INVALID_PARAMETER;
    const std::wstring full = FullPath(path);
    if (full.empty()) return ERROR_INVALID_NAME;
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == full.size()) return ERROR_INVALID_NAME;
    const std::wstring folder = full.substr(0, slash + 1);

    // A name of our own beside the target, never one that is there already.
    std::wstring temporary;
    lark::UniqueFile file;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameTries && !file; ++attempt) {
        temporary = folder + L"~larkspur-" + DecimalText(::GetCurrentProcessId()) + L"-" +
                    DecimalText(static_cast<long long>(::GetTickCount64() % 1000000007ULL) * 31 + attempt) + L".tmp";
        file.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        if (!file) {
            error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error;
        }
    }
    if (!file) return error;
    error = WriteAll(file.get(), bytes);
    file.reset();
    if (error == 0 && !::MoveFileExW(temporary.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) ::DeleteFileW(temporary.c_str());
    return error;
}

DWORD SaveReport(const wchar_t* path, ReportFormat format, bool& found) {
    const Report report = CollectReport(found);
    return WriteReportFile(path, RenderReport(report, format));
}

}  // namespace report
