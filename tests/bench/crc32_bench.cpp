// Throughput of the updater's CRC-32 beside zlib's on the same buffer.
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "updater/crc32.h"

namespace {

template <typename F>
double MegabytesPerSecond(F crc, std::size_t bytes, std::uint32_t& result) {
    using Clock = std::chrono::steady_clock;
    int rounds = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    do {
        result = crc();
        ++rounds;
        elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(500));
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return static_cast<double>(bytes) * rounds / seconds / 1e6;
}

}  // namespace

int main() {
    // About the size of the repair program, with bytes that are not all alike.
    std::vector<unsigned char> buffer(1u << 20);
    std::uint32_t state = 12345;
    for (auto& b : buffer) {
        state = state * 1103515245u + 12345u;
        b = static_cast<unsigned char>(state >> 16);
    }
    tolvane::Crc32Table table;
    tolvane::BuildCrc32Table(table);

    std::uint32_t ours = 0, reference = 0;
    const double oursRate = MegabytesPerSecond(
        [&] { return tolvane::ComputeCrc32(table, buffer.data(), buffer.size()); }, buffer.size(), ours);
    const double zlibRate = MegabytesPerSecond(
        [&] {
            return static_cast<std::uint32_t>(
                crc32(crc32(0L, Z_NULL, 0), buffer.data(), static_cast<uInt>(buffer.size())));
        },
        buffer.size(), reference);

    std::printf("crc32 over %zu bytes\n", buffer.size());
    std::printf("  tolvane (byte-wise table): %8.1f MB/s  crc %08X\n", oursRate, static_cast<unsigned>(ours));
    std::printf("  zlib crc32:                %8.1f MB/s  crc %08X\n", zlibRate, static_cast<unsigned>(reference));
    if (ours != reference) {
        std::printf("  MISMATCH\n");
        return 1;
    }
    return 0;
}
