// A registry key tree in memory, read from regedit text (version 5) and written as a hive file.
// Host code: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hive {

constexpr uint32_t kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7,
                   kRegQword = 11;

struct Value {
    std::string name;  // UTF-8; empty: the key's default value
    uint32_t type = kRegNone;
    std::vector<uint8_t> data;  // as stored: strings are UTF-16LE with their terminator
};

struct Key {
    std::string name;  // UTF-8
    std::vector<Value> values;
    std::vector<Key> subkeys;
};

// Upper-case form of a name as the registry compares it (ASCII letters only; other bytes kept).
std::string UpperName(std::string_view name);
// UTF-8 to UTF-16LE bytes, without a terminator. False for malformed UTF-8.
bool Utf16Bytes(std::string_view utf8, std::vector<uint8_t>& out);

// Reads regedit version-5 text (UTF-8, optional BOM, LF or CRLF). The first key line names the
// root: `root` gets its last path component as name; every later key must lie below it, and
// missing intermediate keys are created. Keys met twice (names compared ignoring case) are merged,
// a value set twice keeps its last data. Supported data: "text", dword:, hex:, hex(N):. Deletions
// ([-key], "name"=-) are refused. False with a message naming the line on any error.
bool ParseRegText(std::string_view text, Key& root, std::string& error);

// Writes `root` as a registry hive file of format version 1.3 whose root key is `root`, padded
// with free space to exactly `size` bytes (a multiple of 4096). Subkey lists are sorted by upper-
// case name. False with a message when the tree does not fit into `size` bytes.
bool WriteHive(const Key& root, size_t size, std::vector<uint8_t>& image, std::string& error);

}  // namespace hive
