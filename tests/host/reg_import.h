// What the registry editor does with a version-5 .reg file, as a model for the host tests and the
// fuzz target: it reads the lines the way the editor reads them (key lines from the first '[' to
// the last ']', quoted names and strings with \\ and \" escapes, hex data continued over lines that
// end in a backslash, deletions) and applies them to a registry in memory. Data is stored exactly
// as the file states it. Host code: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "backup/reg_text.h"

namespace test {

struct StoredValue {
    std::u16string name;  // as written (the map key is folded)
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const StoredValue&) const = default;
};

struct StoredKey {
    std::u16string path;  // as first written
    std::map<std::u16string, StoredValue> values;  // by folded name
    bool operator==(const StoredKey&) const = default;
};

// Keys by folded path (ASCII letters in upper case, as the registry compares names).
using Registry = std::map<std::u16string, StoredKey>;

std::u16string Folded(std::u16string_view text);

// Applies one section the way an import does: [-path] deletes the key and everything below it,
// [path] creates the key and the keys above it, then each entry sets or deletes its value.
void Apply(Registry& registry, const lark::backup::RegSection& section);

// Reads the file bytes (UTF-16LE with its mark, the version-5 header first) and applies every
// line. Nothing when the file does not read as the editor would read it: a missing mark or header,
// a line of no known form, a malformed name, string or number. A failure names its line in `error`.
std::optional<Registry> Import(const std::vector<std::byte>& file, Registry start, std::string* error = nullptr);

}  // namespace test
