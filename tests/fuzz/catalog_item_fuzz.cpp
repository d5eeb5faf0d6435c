// Any bytes as the value of a catalogue entry: the planted entry of a stranger's.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "repair/catalog_item.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the given bytes, in a buffer of their own, so that a read past them is caught.
    std::vector<std::byte> value(size);
    if (size != 0) std::memcpy(value.data(), data, size);
    const CatalogItem item = ParseCatalogItem(std::span<const std::byte>(value.data(), value.size()));
    if (item.path.size() > kCatalogPathBytes || item.path.find('\0') != std::string::npos) __builtin_trap();
    if (item.protocol.size() > kProtocolBytes / 2 || item.protocol.find(u'\0') != std::u16string::npos) {
        __builtin_trap();
    }
    if (FormatProviderId(item.providerId).size() > 38) __builtin_trap();
    return 0;
}
