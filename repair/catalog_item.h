// The fields the LSP page reads from a Winsock catalogue entry's "PackedCatalogItem" value: the
// provider path, the ProviderId and the protocol name. Pure byte work: no Windows header, built in
// both presets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr std::size_t kCatalogPathBytes = 260;       // at offset 0, ANSI, NUL-terminated
inline constexpr std::size_t kProviderIdOffset = 280;       // a GUID, 16 bytes, little-endian fields
inline constexpr std::size_t kProtocolOffset = 376;         // szProtocol, UTF-16, NUL-terminated
inline constexpr std::size_t kProtocolBytes = 512;          // 256 characters
inline constexpr std::size_t kCatalogItemSize = 888;        // the standard length of the value

struct ProviderId {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0, data3 = 0;
    std::uint8_t data4[8] = {};
};

struct CatalogItem {
    std::string path;          // the path's bytes up to its NUL, at most 260 (none there: all 260)
    ProviderId providerId;
    std::u16string protocol;   // the name's units up to its NUL, at most 256 (none there: all 256)
};

// Reads the three fields from the value's bytes and nothing past them: a value shorter than the
// standard 888 bytes reads as if the missing bytes were zero. Bytes after 888 are not looked at.
CatalogItem ParseCatalogItem(std::span<const std::byte> value);

// "{%X-%X-%X-%X%X-%02X%02X%02X%02X%02X%02X}" of Data1, Data2, Data3 and the eight Data4 bytes:
// the first five fields without leading zeros, the last six bytes two digits each; upper case.
// At most 38 characters.
std::wstring FormatProviderId(const ProviderId& id);
