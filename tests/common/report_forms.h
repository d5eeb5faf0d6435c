// The two forms of a report side by side, for tests: reads the text report back against the JSON
// report it must agree with. Plain C++: used by the host and the Windows tests alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "strict_json.h"

namespace report_forms {

inline constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The lines of a text report, without the byte-order mark and the CRLF ends. A text that does not
// end in CRLF gives its rest as a last line.
inline std::vector<std::string> Lines(std::string_view text) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 2);
    }
    return lines;
}

// A UTF-8 text as the text report shows it on one line: C0 controls but the tab as their pictures,
// DEL as U+2421, U+0085, U+2028 and U+2029 as U+2424.
inline std::string OneLine(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t picture = 0;
        if ((b < 0x20 && b != '\t')) picture = 0x2400 + b;
        else if (b == 0x7F) picture = 0x2421;
        else if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) picture = 0x2424, ++i;
        else if (b == 0xE2 && text.substr(i, 3) == "\xE2\x80\xA8") picture = 0x2424, i += 2;
        else if (b == 0xE2 && text.substr(i, 3) == "\xE2\x80\xA9") picture = 0x2424, i += 2;
        if (picture == 0) {
            out += static_cast<char>(b);
            continue;
        }
        out += static_cast<char>(0xE0 | (picture >> 12));
        out += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (picture & 0x3F));
    }
    return out;
}

// A fact's value as the text report writes it.
inline std::string FactText(const strict_json::Value& value) {
    using Kind = strict_json::Value::Kind;
    if (value.kind == Kind::Bool) return value.boolean ? "是" : "否";
    return OneLine(value.text);
}

// "" when the text report says what the JSON report says: the same facts in the same order (label
// aside), then per section its title, facts and entries, each entry's fields in column order joined
// by " | ". Otherwise the first difference. A report fact named `anyValue` may differ (the time of
// two reports of the same machine).
inline std::string CompareTextWithJson(std::string_view text, const strict_json::Value& json,
                                       std::string_view anyValue = {}) {
    using Kind = strict_json::Value::Kind;
    const std::vector<std::string> lines = Lines(text);
    size_t at = 0;
    const auto expect = [&](const std::string& wanted, const std::string& where) -> std::string {
        if (at >= lines.size()) return where + ": text ends, wanted \"" + wanted + "\"";
        if (lines[at] != wanted) return where + ": line " + std::to_string(at + 1) + " is \"" + lines[at] +
                                        "\", wanted \"" + wanted + "\"";
        ++at;
        return {};
    };
    // "label：value": only the value part is the JSON's.
    const auto expectFact = [&](const strict_json::Value& value, const std::string& where) -> std::string {
        if (at >= lines.size()) return where + ": text ends";
        const std::string wanted = "：" + FactText(value);
        const std::string& line = lines[at];
        if (line.size() < wanted.size() || line.compare(line.size() - wanted.size(), wanted.size(), wanted) != 0) {
            return where + ": line " + std::to_string(at + 1) + " is \"" + line + "\", wanted its value \"" +
                   FactText(value) + "\"";
        }
        ++at;
        return {};
    };
    if (json.kind != Kind::Object) return "the JSON report is no object";
    if (auto e = expect("Larkspur 检测报告", "title"); !e.empty()) return e;
    for (const auto& [key, value] : json.members) {
        if (value.kind == Kind::Object) continue;
        if (!anyValue.empty() && key == anyValue) {
            ++at;
            continue;
        }
        if (auto e = expectFact(value, key); !e.empty()) return e;
    }
    for (const auto& [key, section] : json.members) {
        if (section.kind != Kind::Object) continue;
        const strict_json::Value* title = section.Get("title");
        const strict_json::Value* entries = section.Get("entries");
        if (!title || !entries || entries->kind != Kind::Array) return key + ": no title or entries";
        if (auto e = expect("", key); !e.empty()) return e;
        if (auto e = expect("【" + title->text + "】", key); !e.empty()) return e;
        for (const auto& [name, value] : section.members) {
            if (name == "title" || name == "entries") continue;
            if (auto e = expectFact(value, key + "." + name); !e.empty()) return e;
        }
        ++at;  // the column headings
        for (size_t i = 0; i < entries->items.size(); ++i) {
            std::string line;
            const auto& fields = entries->items[i].members;
            for (size_t f = 0; f < fields.size(); ++f) line += (f > 0 ? " | " : "") + OneLine(fields[f].second.text);
            if (auto e = expect(line, key + ".entries[" + std::to_string(i) + "]"); !e.empty()) return e;
        }
    }
    if (at != lines.size()) return "the text has " + std::to_string(lines.size() - at) + " more lines";
    return {};
}

}  // namespace report_forms
