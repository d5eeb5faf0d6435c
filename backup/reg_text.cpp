#include "backup/reg_text.h"

namespace lark::backup {

namespace {

constexpr char16_t kHeader[] = u"Windows Registry Editor Version 5.00\r\n\r\n";
constexpr std::size_t kHexLineWidth = 80;  // characters, the trailing backslash included

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::u16string Hex(std::uint32_t number, int minimumDigits) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), kDigits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    while (static_cast<int>(text.size()) < minimumDigits) text.insert(text.begin(), u'0');
    return text;
}

// The units of REG_SZ data when it reads back from a quoted string as the same bytes: an even
// size, one terminating NUL and no other, nothing the importer would read as a line break or
// strip, and surrogates only in pairs.
std::optional<std::u16string> QuotableText(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::u16string units;
    for (std::size_t i = 0; i < data.size(); i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (units.back() != u'\0') return std::nullopt;
    units.pop_back();
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c < 0x20 || c == 0x7F) return std::nullopt;
        if (IsHighSurrogate(c)) {
            if (i + 1 >= units.size() || !IsLowSurrogate(units[i + 1])) return std::nullopt;
            ++i;
        } else if (IsLowSurrogate(c)) {
            return std::nullopt;
        }
    }
    return units;
}

// Inside quotes the importer reads \\ as \ and \" as ".
std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted = u"\"";
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'"') quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    return quoted;
}

// "hex:" or "hex(N):" and the bytes, comma-separated; a line that would pass the width ends in a
// backslash and the next one starts with two spaces.
void AppendHex(std::u16string& out, std::size_t lineLength, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    const std::u16string prefix = type == kRegBinary ? u"hex:" : u"hex(" + Hex(type, 1) + u"):";
    out += prefix;
    lineLength += prefix.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        // "xx," and, unless this is the last byte, room for the backslash
        if (lineLength + 3 + (last ? 0 : 1) > kHexLineWidth) {
            out += u"\\\r\n  ";
            lineLength = 2;
        }
        out += Hex(data[i], 2);
        lineLength += 2;
        if (!last) {
            out += u',';
            ++lineLength;
        }
    }
}

void AppendEntry(std::u16string& out, const RegEntry& entry) {
    const std::u16string name = entry.name.empty() ? u"@" : Quoted(entry.name);
    out += name;
    out += u'=';
    if (entry.remove) {
        out += u'-';
    } else if (entry.type == kRegSz && QuotableText(entry.data)) {
        out += Quoted(*QuotableText(entry.data));
    } else if (entry.type == kRegDword && entry.data.size() == 4) {
        const std::uint32_t number = entry.data[0] | (entry.data[1] << 8) | (entry.data[2] << 16) |
                                     (static_cast<std::uint32_t>(entry.data[3]) << 24);
        out += u"dword:" + Hex(number, 8);
    } else {
        AppendHex(out, name.size() + 1, entry.type, entry.data);
    }
    out += u"\r\n";
}

}  // namespace

bool IsRepresentable(std::u16string_view name) {
    for (const char16_t c : name) {
        if (c == u'\0' || c == u'\r' || c == u'\n') return false;
    }
    return true;
}

std::optional<std::u16string> FormatRegText(const std::vector<RegSection>& sections) {
    std::u16string out = kHeader;
    for (const RegSection& section : sections) {
        if (!IsRepresentable(section.path) || section.path.empty()) return std::nullopt;
        if (section.remove && !section.entries.empty()) return std::nullopt;
        out += section.remove ? u"[-" : u"[";
        out += section.path;
        out += u"]\r\n";
        for (const RegEntry& entry : section.entries) {
            if (!IsRepresentable(entry.name)) return std::nullopt;
            AppendEntry(out, entry);
        }
        out += u"\r\n";
    }
    return out;
}

std::vector<std::byte> RegFileBytes(std::u16string_view text) {
    std::vector<std::byte> bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.push_back(std::byte{0xFF});
    bytes.push_back(std::byte{0xFE});
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::byte>(c & 0xFF));
        bytes.push_back(static_cast<std::byte>(c >> 8));
    }
    return bytes;
}

}  // namespace lark::backup
