#include "tests/host/reg_import.h"

#include <string_view>

namespace test {

namespace {

using lark::backup::RegEntry;
using lark::backup::RegSection;

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kRoots[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER", u"HKEY_CLASSES_ROOT",
                                          u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimStart(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}
std::u16string_view TrimEnd(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool HasKnownRoot(std::u16string_view path) {
    const std::u16string folded = Folded(path);
    for (const auto root : kRoots) {
        if (folded.compare(0, root.size(), root) == 0 && (folded.size() == root.size() || folded[root.size()] == u'\\')) {
            return true;
        }
    }
    return false;
}

// A quoted text from just after its opening quote: \\ and \" are the escapes; it ends at the first
// unescaped quote, whose position after the text is returned in `end`.
std::optional<std::u16string> Unquote(std::u16string_view s, std::size_t& end) {
    std::u16string text;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'"') {
            end = i + 1;
            return text;
        }
        if (s[i] == u'\\') {
            if (i + 1 >= s.size() || (s[i + 1] != u'\\' && s[i + 1] != u'"')) return std::nullopt;
            ++i;
        }
        text += s[i];
    }
    return std::nullopt;
}

// Comma-separated bytes of one or two hex digits, a trailing comma allowed. `more` is set when
// the line ends in a backslash: the list goes on on the next line.
bool ParseHexList(std::u16string_view s, std::vector<std::uint8_t>& bytes, bool& more) {
    s = TrimEnd(s);
    more = !s.empty() && s.back() == u'\\';
    if (more) s.remove_suffix(1);
    std::size_t i = 0;
    while (i < s.size()) {
        int digits = 0, value = 0;
        while (i < s.size() && HexDigit(s[i]) >= 0 && digits < 2) value = value * 16 + HexDigit(s[i++]), ++digits;
        if (digits == 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (i == s.size()) break;
        if (s[i] != u',') return false;
        ++i;
    }
    return true;
}

struct Parser {
    Registry& registry;
    std::optional<std::u16string> key;  // the key that value lines go to
    std::string error;

    bool Fail(std::size_t line, const char* what) {
        error = "line " + std::to_string(line + 1) + ": " + what;
        return false;
    }

    bool KeyLine(std::size_t line, std::u16string_view s) {
        const std::size_t close = s.rfind(u']');
        if (close == std::u16string_view::npos) return Fail(line, "key line without ]");
        std::u16string_view path = s.substr(1, close - 1);
        const bool remove = !path.empty() && path.front() == u'-';
        if (remove) path.remove_prefix(1);
        if (path.empty() || !HasKnownRoot(path)) return Fail(line, "key line without a root key");
        Apply(registry, RegSection{std::u16string(path), remove, {}});
        if (remove) {
            key.reset();
        } else {
            key = std::u16string(path);
        }
        return true;
    }

    // Returns the number of lines the value took beyond its first.
    bool ValueLine(std::size_t& line, const std::vector<std::u16string_view>& lines, std::u16string_view s) {
        if (!key) return Fail(line, "value outside a key");
        RegEntry entry;
        std::size_t at = 0;
        if (s.size() >= 2 && s[0] == u'@' && s[1] == u'=') {
            at = 1;
        } else {
            std::size_t end = 0;
            const auto name = Unquote(s.substr(1), end);
            if (!name) return Fail(line, "malformed value name");
            entry.name = *name;
            at = 1 + end;
        }
        if (at >= s.size() || s[at] != u'=') return Fail(line, "no = after the name");
        std::u16string_view data = s.substr(at + 1);

        if (TrimEnd(data) == u"-") {
            entry.remove = true;
        } else if (!data.empty() && data[0] == u'"') {
            std::size_t end = 0;
            const auto text = Unquote(data.substr(1), end);
            if (!text || !TrimEnd(data.substr(1 + end)).empty()) return Fail(line, "malformed string");
            entry.type = lark::backup::kRegSz;
            for (const char16_t c : *text) entry.data.push_back(c & 0xFF), entry.data.push_back(c >> 8);
            entry.data.push_back(0), entry.data.push_back(0);
        } else if (data.substr(0, 6) == u"dword:") {
            const std::u16string_view digits = TrimEnd(data.substr(6));
            if (digits.empty() || digits.size() > 8) return Fail(line, "malformed dword");
            std::uint32_t number = 0;
            for (const char16_t c : digits) {
                if (HexDigit(c) < 0) return Fail(line, "malformed dword");
                number = number * 16 + HexDigit(c);
            }
            entry.type = lark::backup::kRegDword;
            for (int i = 0; i < 4; ++i) entry.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
        } else {
            std::u16string_view list;
            if (data.substr(0, 4) == u"hex:") {
                entry.type = lark::backup::kRegBinary;
                list = data.substr(4);
            } else if (data.substr(0, 4) == u"hex(") {
                const std::size_t close = data.find(u"):");
                if (close == std::u16string_view::npos || close == 4 || close > 12) return Fail(line, "malformed type");
                std::uint32_t type = 0;
                for (const char16_t c : data.substr(4, close - 4)) {
                    if (HexDigit(c) < 0) return Fail(line, "malformed type");
                    type = type * 16 + HexDigit(c);
                }
                entry.type = type;
                list = data.substr(close + 2);
            } else {
                return Fail(line, "unknown data form");
            }
            bool more = false;
            if (!ParseHexList(list, entry.data, more)) return Fail(line, "malformed hex data");
            while (more) {
                if (++line >= lines.size()) return Fail(line, "hex data continued past the end");
                if (!ParseHexList(TrimStart(lines[line]), entry.data, more)) return Fail(line, "malformed hex data");
            }
        }
        Apply(registry, RegSection{*key, false, {entry}});
        return true;
    }
};

}  // namespace

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return folded;
}

void Apply(Registry& registry, const RegSection& section) {
    const std::u16string path = Folded(section.path);
    if (section.remove) {
        registry.erase(path);
        for (auto it = registry.lower_bound(path + u'\\'); it != registry.end() && it->first.starts_with(path + u'\\');) {
            it = registry.erase(it);
        }
        return;
    }
    // The key and every key above it below the root.
    for (std::size_t at = section.path.find(u'\\'); at != std::u16string::npos; at = section.path.find(u'\\', at + 1)) {
        registry.try_emplace(path.substr(0, at), StoredKey{section.path.substr(0, at), {}});
    }
    StoredKey& key = registry.try_emplace(path, StoredKey{section.path, {}}).first->second;
    for (const RegEntry& entry : section.entries) {
        if (entry.remove) {
            key.values.erase(Folded(entry.name));
        } else {
            key.values[Folded(entry.name)] = StoredValue{entry.name, entry.type, entry.data};
        }
    }
}

std::optional<Registry> Import(const std::vector<std::byte>& file, Registry start, std::string* error) {
    auto failed = [&](const std::string& why) -> std::optional<Registry> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (file.size() < 2 || file[0] != std::byte{0xFF} || file[1] != std::byte{0xFE} || file.size() % 2 != 0) {
        return failed("no UTF-16LE byte-order mark");
    }
    std::u16string text;
    for (std::size_t i = 2; i < file.size(); i += 2) {
        text += static_cast<char16_t>(std::to_integer<unsigned>(file[i]) | (std::to_integer<unsigned>(file[i + 1]) << 8));
    }
    // Lines end in CR LF, CR or LF.
    std::vector<std::u16string_view> lines;
    const std::u16string_view all(text);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] != u'\r' && all[i] != u'\n') continue;
        lines.push_back(all.substr(begin, i - begin));
        if (all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n') ++i;
        begin = i + 1;
    }
    if (begin < all.size()) lines.push_back(all.substr(begin));
    if (lines.empty() || lines[0] != kHeader) return failed("no version-5 header");

    Parser parser{start, std::nullopt, {}};
    for (std::size_t line = 1; line < lines.size(); ++line) {
        const std::u16string_view s = TrimStart(lines[line]);
        if (s.empty() || s[0] == u';' || s[0] == u'#') continue;
        const bool ok = s[0] == u'['                     ? parser.KeyLine(line, s)
                        : (s[0] == u'"' || s[0] == u'@') ? parser.ValueLine(line, lines, s)
                                                         : parser.Fail(line, "line of no known form");
        if (!ok) return failed(parser.error);
    }
    return start;
}

}  // namespace test
