#include "updater/crc32.h"

namespace tolvane {

namespace {
constexpr std::uint32_t kPolynomial = 0xEDB88320u;
}

void BuildCrc32Table(Crc32Table& table) {
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t value = n;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1u) ? (value >> 1) ^ kPolynomial : value >> 1;
        table.entries[n] = value;
    }
}

std::uint32_t ComputeCrc32(const Crc32Table& table, const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) crc = table.entries[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace tolvane
