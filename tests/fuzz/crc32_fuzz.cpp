// The updater's CRC-32 against zlib's on any input.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>

#include "updater/crc32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tolvane::Crc32Table table = [] {
        tolvane::Crc32Table t;
        tolvane::BuildCrc32Table(t);
        return t;
    }();
    const std::uint32_t ours = tolvane::ComputeCrc32(table, data, size);
    const std::uint32_t reference =
        static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
    if (ours != reference) std::abort();
    return 0;
}
