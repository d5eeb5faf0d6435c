// The text of a .reg file as the registry editor exports it (version 5: UTF-16LE with a byte-order
// mark, CRLF line ends), made from keys and values in memory. No Windows header: the host tests and
// the fuzz target build it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lark::backup {

inline constexpr std::uint32_t kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4,
                               kRegMultiSz = 7, kRegQword = 11;

// One line below a key: a value set to exactly these bytes, or a value deleted ("name"=-).
struct RegEntry {
    std::u16string name;  // empty: the key's default value (@)
    bool remove = false;
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

// One key line and the lines below it: [path] with its entries, or [-path] (the key with
// everything below it deleted; entries are not allowed then).
struct RegSection {
    std::u16string path;  // root name first: u"HKEY_LOCAL_MACHINE\\SOFTWARE\\..."
    bool remove = false;
    std::vector<RegEntry> entries;
};

// Whether a key path or value name can stand in a .reg file: the importer reads line by line and
// knows no escape for a line break, and a NUL ends its strings. Every other character can.
bool IsRepresentable(std::u16string_view name);

// The whole file text, header first, one blank line after every section. Strings that are
// well-formed text (one terminating NUL, no other NUL, no control character, no lone surrogate)
// are written in quotes, DWORDs of four bytes as dword:; everything else as hex(N): with the exact
// bytes, broken into lines of at most 80 characters as the registry editor does. Nothing when a
// path or a name is not representable, or a deletion section has entries.
std::optional<std::u16string> FormatRegText(const std::vector<RegSection>& sections);

// The text as file bytes: the UTF-16LE byte-order mark, then the text in UTF-16LE.
std::vector<std::byte> RegFileBytes(std::u16string_view text);

}  // namespace lark::backup
