#include "repair/catalog_item.h"

#include <algorithm>

namespace {

// The byte at the offset, zero where the value has ended.
std::uint8_t ByteAt(std::span<const std::byte> value, std::size_t offset) {
    return offset < value.size() ? static_cast<std::uint8_t>(value[offset]) : 0;
}

std::uint32_t LittleEndian(std::span<const std::byte> value, std::size_t offset, int bytes) {
    std::uint32_t number = 0;
    for (int i = bytes - 1; i >= 0; --i) number = (number << 8) | ByteAt(value, offset + static_cast<std::size_t>(i));
    return number;
}

void AppendHex(std::wstring& text, std::uint32_t number, int minimumDigits) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    wchar_t digits[8];
    int count = 0;
    do {
        digits[count++] = kDigits[number & 0xF];
        number >>= 4;
    } while (number != 0 || count < minimumDigits);
    while (count > 0) text += digits[--count];
}

}  // namespace

CatalogItem ParseCatalogItem(std::span<const std::byte> value) {
    CatalogItem item;
    const std::size_t pathEnd = std::min(value.size(), kCatalogPathBytes);
    for (std::size_t i = 0; i < pathEnd && value[i] != std::byte{0}; ++i) {
        item.path += static_cast<char>(value[i]);
    }

    ProviderId& id = item.providerId;
    id.data1 = LittleEndian(value, kProviderIdOffset, 4);
    id.data2 = static_cast<std::uint16_t>(LittleEndian(value, kProviderIdOffset + 4, 2));
    id.data3 = static_cast<std::uint16_t>(LittleEndian(value, kProviderIdOffset + 6, 2));
    for (std::size_t i = 0; i < 8; ++i) id.data4[i] = ByteAt(value, kProviderIdOffset + 8 + i);

    for (std::size_t offset = kProtocolOffset; offset < kProtocolOffset + kProtocolBytes && offset < value.size();
         offset += 2) {
        const auto unit = static_cast<char16_t>(LittleEndian(value, offset, 2));
        if (unit == 0) break;
        item.protocol += unit;
    }
    return item;
}

std::wstring FormatProviderId(const ProviderId& id) {
    std::wstring text = L"{";
    AppendHex(text, id.data1, 1);
    text += L'-';
    AppendHex(text, id.data2, 1);
    text += L'-';
    AppendHex(text, id.data3, 1);
    text += L'-';
    AppendHex(text, id.data4[0], 1);
    AppendHex(text, id.data4[1], 1);
    text += L'-';
    for (int i = 2; i < 8; ++i) AppendHex(text, id.data4[i], 2);
    text += L'}';
    return text;
}
