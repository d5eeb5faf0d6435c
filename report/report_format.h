// The two forms of a report, written from its model: UTF-8 text with a byte-order mark, one line per
// entry, for people; and one JSON document for programs. Pure text work: no Windows header, built in
// both presets.
//
// Texts come in as UTF-16 (UTF-32 on the host) as the routines read them and may hold anything:
// a surrogate without its partner becomes U+FFFD in both forms, so that both are valid UTF-8.
// In JSON every control character is escaped. In the text report an entry stays on its line: a
// control character other than the tab is shown as its picture (U+2400 + code, U+2421 for DEL) and
// a line or paragraph separator (U+0085, U+2028, U+2029) as U+2424.
#pragma once

#include <string>
#include <string_view>

#include "report/report_model.h"

namespace report {

// The UTF-8 form of a text, with U+FFFD for a lone surrogate (and, on the host, for a unit that is
// no Unicode scalar value).
void AppendUtf8(std::string& out, std::wstring_view text);
// A JSON string literal of the text, quotes included.
void AppendJsonString(std::string& out, std::wstring_view text);
// A text as the text report shows it on one line (see above), in UTF-16.
std::wstring OneLine(std::wstring_view text);

// The number in decimal digits, at least `width` of them (zeros in front), with a minus sign first
// when it is negative.
std::wstring DecimalText(long long number, int width = 1);

// Separates the fields of an entry in the text report.
inline constexpr wchar_t kFieldSeparator[] = L" | ";

// The text report: byte-order mark, the title line, "label：value" per fact, then per section a blank
// line, "【title】", its facts, its column headings and its entries, the fields of a line joined by
// kFieldSeparator. Lines end in CRLF.
std::string FormatText(const Report& report);
// The JSON report: an object with the report's facts, then one member per section (its key), an
// object with "title", the section's facts and "entries", an array of objects with one string per
// column. Two-space indentation, one entry per line, LF line ends, no byte-order mark.
std::string FormatJson(const Report& report);

}  // namespace report
