#include "report/report_format.h"

#include <type_traits>

namespace report {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Calls visit with each code point of the text: a surrogate pair joined, anything that is no
// Unicode scalar value as U+FFFD.
template <class Visit>
void ForEachCodePoint(std::wstring_view text, Visit visit) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if (IsHighSurrogate(c) && i + 1 < text.size()) {
            const char32_t next = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
            if (IsLowSurrogate(next)) {
                visit(0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) c = kReplacement;
        visit(c);
    }
}

void AppendLine(std::string& out, std::wstring_view text) {
    AppendUtf8(out, OneLine(text));
    out += "\r\n";
}

std::wstring TextOf(const Fact& fact) {
    if (const bool* flag = std::get_if<bool>(&fact.value)) return *flag ? L"是" : L"否";
    if (const long long* number = std::get_if<long long>(&fact.value)) return DecimalText(*number);
    return std::get<std::wstring>(fact.value);
}

void AppendFactLines(std::string& out, const std::vector<Fact>& facts) {
    for (const Fact& fact : facts) AppendLine(out, fact.label + L"：" + TextOf(fact));
}

std::wstring JoinFields(const std::vector<std::wstring>& fields) {
    std::wstring line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += kFieldSeparator;
        line += fields[i];
    }
    return line;
}

void AppendJsonName(std::string& out, const std::string& key) {
    out += '"';
    out += key;  // our own names: plain ASCII letters
    out += "\": ";
}

void AppendJsonValue(std::string& out, const Fact& fact) {
    if (const bool* flag = std::get_if<bool>(&fact.value)) {
        out += *flag ? "true" : "false";
    } else if (const long long* number = std::get_if<long long>(&fact.value)) {
        AppendUtf8(out, DecimalText(*number));
    } else {
        AppendJsonString(out, std::get<std::wstring>(fact.value));
    }
}

void AppendJsonFacts(std::string& out, const std::vector<Fact>& facts, const char* indent) {
    for (const Fact& fact : facts) {
        out += indent;
        AppendJsonName(out, fact.key);
        AppendJsonValue(out, fact);
        out += ",\n";
    }
}

}  // namespace

void AppendUtf8(std::string& out, std::wstring_view text) {
    ForEachCodePoint(text, [&out](char32_t c) { AppendCodePoint(out, c); });
}

void AppendJsonString(std::string& out, std::wstring_view text) {
    out += '"';
    ForEachCodePoint(text, [&out](char32_t c) {
        switch (c) {
        case U'"': out += "\\\""; return;
        case U'\\': out += "\\\\"; return;
        case U'\b': out += "\\b"; return;
        case U'\f': out += "\\f"; return;
        case U'\n': out += "\\n"; return;
        case U'\r': out += "\\r"; return;
        case U'\t': out += "\\t"; return;
        default: break;
        }
        // Controls, and the two separators that end a line in JavaScript, as escapes.
        if (c < 0x20 || c == 0x2028 || c == 0x2029) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
            return;
        }
        AppendCodePoint(out, c);
    });
    out += '"';
}

std::wstring DecimalText(long long number, int width) {
    // Built from the last digit, as unsigned, so that the smallest number has its digits too.
    unsigned long long magnitude = number < 0 ? 0ULL - static_cast<unsigned long long>(number)
                                              : static_cast<unsigned long long>(number);
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude > 0);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), L'0');
    return number < 0 ? L"-" + digits : digits;
}

std::wstring OneLine(std::wstring_view text) {
    std::wstring line;
    line.reserve(text.size());
    for (const wchar_t unit : text) {
        const auto c = static_cast<std::make_unsigned_t<wchar_t>>(unit);
        if (c < 0x20 && c != L'\t') {
            line += static_cast<wchar_t>(0x2400 + c);
        } else if (c == 0x7F) {
            line += static_cast<wchar_t>(0x2421);
        } else if (c == 0x85 || c == 0x2028 || c == 0x2029) {
            line += static_cast<wchar_t>(0x2424);
        } else {
            line += unit;
        }
    }
    return line;
}

std::string FormatText(const Report& report) {
    std::string out = "\xEF\xBB\xBF";
    AppendLine(out, L"Larkspur 检测报告");
    AppendFactLines(out, report.facts);
    for (const Section& section : report.sections) {
        out += "\r\n";
        AppendLine(out, L"【" + section.title + L"】");
        AppendFactLines(out, section.facts);
        std::vector<std::wstring> headings;
        for (const Column& column : section.columns) headings.push_back(column.heading);
        AppendLine(out, JoinFields(headings));
        for (const auto& entry : section.entries) AppendLine(out, JoinFields(entry));
    }
    return out;
}

std::string FormatJson(const Report& report) {
    std::string out = "{\n";
    AppendJsonFacts(out, report.facts, "  ");
    for (size_t s = 0; s < report.sections.size(); ++s) {
        const Section& section = report.sections[s];
        out += "  ";
        AppendJsonName(out, section.key);
        out += "{\n    \"title\": ";
        AppendJsonString(out, section.title);
        out += ",\n";
        AppendJsonFacts(out, section.facts, "    ");
        out += "    \"entries\": [";
        for (size_t e = 0; e < section.entries.size(); ++e) {
            out += e == 0 ? "\n      {" : ",\n      {";
            const auto& entry = section.entries[e];
            for (size_t c = 0; c < section.columns.size(); ++c) {
                if (c > 0) out += ", ";
                AppendJsonName(out, section.columns[c].key);
                AppendJsonString(out, c < entry.size() ? entry[c] : std::wstring());
            }
            out += '}';
        }
        out += section.entries.empty() ? "]\n  }" : "\n    ]\n  }";
        out += s + 1 < report.sections.size() ? ",\n" : "\n";
    }
    // The facts end in a comma: a report always has sections, but the document stays valid without.
    if (report.sections.empty() && !report.facts.empty()) {
        out.erase(out.size() - 2, 1);
    }
    out += "}\n";
    return out;
}

}  // namespace report
