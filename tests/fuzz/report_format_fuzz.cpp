// Any UTF-16 texts in a report's entries and facts: the JSON report stays strict JSON holding every
// text (lone surrogates mended), and the text report valid UTF-8 with one line per entry.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../common/report_forms.h"
#include "../common/strict_json.h"
#include "report/report_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // UTF-16 units, split into texts at every 0xFFFF unit.
    std::vector<std::wstring> texts(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint16_t unit;
        std::memcpy(&unit, data + i, 2);
        if (unit == 0xFFFF) texts.emplace_back();
        else texts.back() += static_cast<wchar_t>(unit);
    }
    report::Report report;
    report.facts = {{"first", L"第一", texts.front()}, {"count", L"数", static_cast<long long>(texts.size())}};
    report::Section section{"texts", L"文本", {{"last", L"最后", texts.back()}}, {{"a", L"甲"}, {"b", L"乙"}}, {}};
    for (size_t i = 0; i + 1 < texts.size(); i += 2) section.entries.push_back({texts[i], texts[i + 1]});
    report.sections.push_back(section);

    const std::string json = report::FormatJson(report);
    const auto parsed = strict_json::Parse(json);
    if (!parsed) __builtin_trap();
    const auto& entries = parsed->Get("texts")->Get("entries")->items;
    if (entries.size() != section.entries.size()) __builtin_trap();
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string a;
        report::AppendUtf8(a, section.entries[i][0]);
        if (entries[i].Get("a")->text != a) __builtin_trap();
    }
    const std::string text = report::FormatText(report);
    if (!strict_json::IsValidUtf8(text)) __builtin_trap();
    if (!report_forms::CompareTextWithJson(text, *parsed).empty()) __builtin_trap();
    return 0;
}
