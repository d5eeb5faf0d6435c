#include "updater/update_description.h"

#include <algorithm>

namespace tolvane {

namespace {

using Text = std::wstring;
using View = std::wstring_view;

constexpr wchar_t kReplacement = 0xFFFD;

// The characters the profile functions drop around lines, names and values: ASCII's blanks and ^Z.
bool IsBlank(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

View TrimLeft(View text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

View TrimRight(View text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A name or value ends at its first NUL, as the profile functions read it as a C string.
View UpToNul(View text) { return text.substr(0, std::min(text.find(L'\0'), text.size())); }

wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(View a, View b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](wchar_t x, wchar_t y) { return FoldAscii(x) == FoldAscii(y); });
}

// UTF-8 to UTF-16; each ill-formed part becomes one U+FFFD.
Text DecodeUtf8(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned code = 0, low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        std::size_t taken = 1;
        bool complete = length > 0;
        for (; complete && taken < length; ++taken) {
            if (i + taken >= bytes.size()) {
                complete = false;
                break;
            }
            const unsigned next = static_cast<unsigned char>(bytes[i + taken]);
            if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF)) {
                complete = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        i += taken;
        if (!complete) {
            out += kReplacement;
        } else if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

// UTF-16 code units in either byte order; an odd last byte is ignored.
Text DecodeUtf16(std::string_view bytes, bool bigEndian) {
    Text out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = static_cast<unsigned char>(bytes[i]);
        const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return out;
}

Text Decode(std::string_view bytes, AnsiDecoder ansi) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return DecodeUtf8(bytes.substr(3));
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") return DecodeUtf16(bytes.substr(2), false);
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") return DecodeUtf16(bytes.substr(2), true);
    return ansi ? ansi(bytes) : Text();
}

}  // namespace

UpdateDescription UpdateDescription::Parse(std::string_view bytes, AnsiDecoder ansi) {
    UpdateDescription description;
    description.sections_.emplace_back();
    const Text text = Decode(bytes, ansi);
    const View all(text);
    // A line ends at a line feed or a carriage return, each alone or in a run.
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t stop = std::min(all.find_first_of(L"\r\n", start), all.size());
        View line = TrimRight(TrimLeft(all.substr(start, stop - start)));
        start = stop + 1;
        if (line.empty()) continue;

        if (line.front() == L'[') {
            const std::size_t close = line.rfind(L']');
            if (close != View::npos) {
                description.sections_.push_back(Section{Text(TrimRight(TrimLeft(line.substr(1, close - 1)))), {}});
                continue;
            }
        }
        Key key;
        const std::size_t equals = line.find(L'=');
        if (equals == View::npos) {
            key.name = Text(line);
        } else {
            key.name = Text(TrimRight(line.substr(0, equals)));
            key.value = Text(TrimLeft(line.substr(equals + 1)));
            key.hasValue = true;
        }
        // A nameless key right after another nameless one is dropped, as the profile functions do.
        std::vector<Key>& keys = description.sections_.back().keys;
        if (key.name.empty() && !keys.empty() && UpToNul(keys.back().name).empty()) continue;
        keys.push_back(std::move(key));
    }
    return description;
}

const UpdateDescription::Key* UpdateDescription::Find(View section, View key) const {
    section = TrimRight(TrimLeft(section));
    key = TrimRight(TrimLeft(key));
    // Only the first section of the name is looked at, even when the key is in a later one. (An
    // empty name finds the lines before the first section.)
    for (const Section& candidate : sections_) {
        if (!SameName(UpToNul(candidate.name), section)) continue;
        for (const Key& entry : candidate.keys) {
            if (SameName(UpToNul(entry.name), key)) return &entry;
        }
        return nullptr;
    }
    return nullptr;
}

std::wstring UpdateDescription::String(View section, View key, std::size_t room) const {
    if (room == 0) return {};
    const Key* found = Find(UpToNul(section), UpToNul(key));
    if (found == nullptr || !found->hasValue) return {};
    View value = UpToNul(found->value);
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return Text(value.substr(0, std::min(value.size(), room - 1)));
}

std::uint32_t UpdateDescription::Number(View section, View key) const {
    const Text text = String(section, key, 30);
    View rest(text);
    while (!rest.empty() && rest.front() <= L' ') rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == L'+' || rest.front() == L'-')) {
        negative = rest.front() == L'-';
        rest.remove_prefix(1);
    }
    std::uint32_t base = 10;
    if (rest.size() >= 2 && rest[0] == L'0') {
        if (rest[1] == L'x') base = 16;
        if (rest[1] == L'o') base = 8;
        if (rest[1] == L'b') base = 2;
        if (base != 10) rest.remove_prefix(2);
    }
    std::uint32_t total = 0;
    for (const wchar_t c : rest) {
        std::uint32_t digit = 36;
        if (c >= L'0' && c <= L'9') digit = static_cast<std::uint32_t>(c - L'0');
        if (c >= L'A' && c <= L'Z') digit = static_cast<std::uint32_t>(c - L'A' + 10);
        if (c >= L'a' && c <= L'z') digit = static_cast<std::uint32_t>(c - L'a' + 10);
        if (digit >= base) break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

std::wstring DecodeLatin1(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size());
    for (const char b : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(b));
    return out;
}

}  // namespace tolvane
