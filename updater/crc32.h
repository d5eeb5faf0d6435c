// CRC-32 of ISO 3309 / ITU-T V.42 (the checksum of ZIP and PNG): reflected polynomial 0xEDB88320,
// register preset to all ones, result complemented. Byte by byte through a 256-entry table.
// Plain C++: no Windows header, so that it is tested and fuzzed on the host as well.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane {

struct Crc32Table {
    std::uint32_t entries[256];
};

// Fills the table: entry n is the register after shifting the byte n through it.
void BuildCrc32Table(Crc32Table& table);

// CRC-32 of size bytes at data (data may be null when size is 0; an empty input gives 0).
std::uint32_t ComputeCrc32(const Crc32Table& table, const unsigned char* data, std::size_t size);

}  // namespace tolvane
