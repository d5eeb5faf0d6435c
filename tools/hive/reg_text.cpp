// Reader of regedit version-5 text.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tools/hive/registry_tree.h"

namespace hive {

std::string UpperName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool Utf16Bytes(std::string_view utf8, std::vector<uint8_t>& out) {
    auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<uint8_t>(unit & 0xFF));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        uint32_t code = 0;
        size_t length = 0;
        if (lead < 0x80) {
            code = lead, length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F, length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F, length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07, length = 4;
        } else {
            return false;
        }
        if (i + length > utf8.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        if (code < 0x10000) {
            put(code);
        } else {
            code -= 0x10000;
            put(0xD800 | (code >> 10));
            put(0xDC00 | (code & 0x3FF));
        }
        i += length;
    }
    return true;
}

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t slash = path.find('\\');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

Key& Child(Key& parent, std::string_view name) {
    const std::string upper = UpperName(name);
    for (Key& k : parent.subkeys) {
        if (UpperName(k.name) == upper) return k;
    }
    parent.subkeys.push_back(Key{std::string(name), {}, {}});
    return parent.subkeys.back();
}

// A quoted string starting at text[0] == '"'; `end` gets the index after the closing quote.
bool Quoted(std::string_view text, std::string& out, size_t& end) {
    out.clear();
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            if (i + 1 >= text.size()) return false;
            out.push_back(text[++i]);
        } else if (text[i] == '"') {
            end = i + 1;
            return true;
        } else {
            out.push_back(text[i]);
        }
    }
    return false;
}

bool HexBytes(std::string_view text, std::vector<uint8_t>& out) {
    out.clear();
    text = Trim(text);
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1]))) {
            return false;
        }
        out.push_back(static_cast<uint8_t>(std::strtoul(std::string(item).c_str(), nullptr, 16)));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (Trim(text).empty()) return false;  // trailing comma
    }
    return true;
}

bool ParseData(std::string_view dataText, Value& value) {
    dataText = Trim(dataText);
    if (!dataText.empty() && dataText[0] == '"') {
        std::string text;
        size_t end = 0;
        if (!Quoted(dataText, text, end) || !Trim(dataText.substr(end)).empty()) return false;
        value.type = kRegSz;
        value.data.clear();
        if (!Utf16Bytes(text, value.data)) return false;
        value.data.push_back(0);
        value.data.push_back(0);
        return true;
    }
    if (dataText.rfind("dword:", 0) == 0) {
        const std::string digits(Trim(dataText.substr(6)));
        if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            })) {
            return false;
        }
        const auto number = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        value.type = kRegDword;
        value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                      static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    if (dataText.rfind("hex:", 0) == 0) {
        value.type = kRegBinary;
        return HexBytes(dataText.substr(4), value.data);
    }
    if (dataText.rfind("hex(", 0) == 0) {
        const size_t close = dataText.find("):");
        if (close == std::string_view::npos || close == 4) return false;
        const std::string type(dataText.substr(4, close - 4));
        char* stop = nullptr;
        value.type = static_cast<uint32_t>(std::strtoul(type.c_str(), &stop, 16));
        if (*stop != '\0') return false;
        return HexBytes(dataText.substr(close + 2), value.data);
    }
    return false;
}

}  // namespace

bool ParseRegText(std::string_view text, Key& root, std::string& error) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
    std::vector<std::string> lines;
    std::vector<size_t> lineNumbers;
    size_t number = 0;
    bool continued = false;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (continued) {
            lines.back() += std::string(Trim(line));
        } else {
            lines.emplace_back(line);
            lineNumbers.push_back(number);
        }
        continued = !lines.back().empty() && lines.back().back() == '\\' && lines.back()[0] != '[' &&
                    lines.back().find("=hex") != std::string::npos;
        if (continued) lines.back().pop_back();
    }

    auto fail = [&](size_t index, const char* what) {
        error = "line " + std::to_string(lineNumbers[index]) + ": " + what;
        return false;
    };
    if (lines.empty() || Trim(lines[0]) != "Windows Registry Editor Version 5.00") {
        error = "not regedit version 5 text";
        return false;
    }
    std::vector<std::string_view> rootPath;
    Key* current = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return fail(i, "key line without ']'");
            std::string_view path = line.substr(1, line.size() - 2);
            if (!path.empty() && path[0] == '-') return fail(i, "key deletions are not supported");
            if (!path.empty() && path.back() == '\\') path.remove_suffix(1);  // "[root\]" names root
            std::vector<std::string_view> parts = SplitPath(path);
            const bool emptyName =
                std::any_of(parts.begin(), parts.end(), [](std::string_view p) { return p.empty(); });
            if (parts.empty() || emptyName) {
                return fail(i, "empty key name");
            }
            if (rootPath.empty()) {
                rootPath = parts;
                root = Key{std::string(parts.back()), {}, {}};
            }
            if (parts.size() < rootPath.size() ||
                !std::equal(rootPath.begin(), rootPath.end(), parts.begin(),
                            [](std::string_view a, std::string_view b) { return UpperName(a) == UpperName(b); })) {
                return fail(i, "key outside the root key");
            }
            current = &root;
            for (size_t k = rootPath.size(); k < parts.size(); ++k) current = &Child(*current, parts[k]);
            continue;
        }
        if (!current) return fail(i, "value before the first key");
        Value value;
        size_t end = 0;
        if (line[0] == '@') {
            end = 1;
        } else if (line[0] != '"' || !Quoted(line, value.name, end)) {
            return fail(i, "malformed value name");
        }
        if (end >= line.size() || line[end] != '=') return fail(i, "missing '='");
        const std::string_view dataText = Trim(line.substr(end + 1));
        if (dataText == "-") return fail(i, "value deletions are not supported");
        if (!ParseData(dataText, value)) return fail(i, "malformed value data");
        const std::string upper = UpperName(value.name);
        auto same = std::find_if(current->values.begin(), current->values.end(),
                                 [&](const Value& v) { return UpperName(v.name) == upper; });
        if (same != current->values.end()) {
            same->type = value.type;
            same->data = std::move(value.data);
        } else {
            current->values.push_back(std::move(value));
        }
    }
    if (rootPath.empty()) {
        error = "no key in the text";
        return false;
    }
    return true;
}

}  // namespace hive
