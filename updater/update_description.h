// The update description as Tolvane reads it: the bytes of the one download, parsed in memory
// by the rules of the system's profile functions (GetPrivateProfileStringW, GetPrivateProfileIntW),
// so that a description reads exactly as it did from a file. Nothing is written anywhere.
// Plain C++: no Windows header, so that it is tested and fuzzed on the host as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// Turns bytes without a byte-order mark into UTF-16 text (the system's ANSI code page in the
// program). Every byte sequence must give some text; nothing is thrown.
using AnsiDecoder = std::wstring (*)(std::string_view bytes);

class UpdateDescription {
public:
    // The text is read as UTF-8 after an EF BB BF mark, as UTF-16 after FF FE (little-endian) or
    // FE FF (big-endian), otherwise through the decoder. Lines end at line feeds and carriage
    // returns; blanks (ASCII's, and ^Z) around a line are dropped. "[name]" (up to the last "]")
    // starts a section, its name without the blanks inside the brackets; any other line is a key:
    // the name before the first "=" and the value after it, both without the blanks next to the
    // "="; a line without "=" is a key without a value. Lines before the first section belong to a
    // section without a name.
    static UpdateDescription Parse(std::string_view bytes, AnsiDecoder ansi);

    // As GetPrivateProfileStringW(section, key, "", buffer, room): the value of the first key of
    // that name in the first section of that name (both names compared without their surrounding
    // blanks, ignoring the case of ASCII letters; names and values end at a NUL), with one pair of
    // matching single or double quotes around it removed, cut to room - 1 characters. Empty when
    // there is no such key, the key has no value, or room is 0.
    std::wstring String(std::wstring_view section, std::wstring_view key, std::size_t room) const;

    // As GetPrivateProfileIntW(section, key, 0): the value as String reads it with room for 30
    // characters, converted as RtlUnicodeStringToInteger with base 0 converts (characters up to the
    // blank skipped, an optional sign, a "0x", "0o" or "0b" prefix for base 16, 8 or 2, then digits
    // up to the first that does not belong to the base; wrapping modulo 2^32, a minus sign negating
    // the result). 0 when String gives an empty value.
    std::uint32_t Number(std::wstring_view section, std::wstring_view key) const;

private:
    struct Key {
        std::wstring name;
        std::wstring value;
        bool hasValue = false;
    };
    struct Section {
        std::wstring name;
        std::vector<Key> keys;
    };
    const Key* Find(std::wstring_view section, std::wstring_view key) const;

    std::vector<Section> sections_;  // the first holds the lines before any header and has no name
};

// The decoder of the host's tests and fuzz targets: every byte is the character of that number.
std::wstring DecodeLatin1(std::string_view bytes);

}  // namespace tolvane
