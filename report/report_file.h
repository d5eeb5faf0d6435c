// A report written to a file: JSON for a path ending in ".json", UTF-8 text for any other.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "report/report_model.h"

namespace report {

enum class ReportFormat { Text, Json };

// Json when the path's extension is ".json" (any case), Text otherwise.
ReportFormat FormatOfPath(const wchar_t* path);

std::string RenderReport(const Report& report, ReportFormat format);

// Writes the bytes to the path: first to a new temporary file in the path's folder, which then
// replaces whatever file the path names. On any failure the temporary file is deleted and a file
// that was there stays as it was. 0, ERROR_INVALID_PARAMETER for an empty path, or the Windows
// error of the failing call.
DWORD WriteReportFile(const wchar_t* path, std::string_view bytes);

// Collects a report (CollectReport), renders it in the format and writes it to the path. 0 or the
// Windows error of the write; found as CollectReport gives it, also when the write failed.
DWORD SaveReport(const wchar_t* path, ReportFormat format, bool& found);

}  // namespace report
