#include "repair/boot_code.h"

#include <cstdint>

namespace {

constexpr size_t kScannedOffsets = 512;
constexpr uint32_t kInva = 0x61766E49, kPart = 0x74726170, kDisk = 0x6B736944, kGeni = 0x696E6547;

uint32_t WordAt(const unsigned char* sector, size_t size, size_t at) {
    uint32_t word = 0;
    for (size_t k = 4; k-- > 0;) word = (word << 8) | (at + k < size ? sector[at + k] : 0u);
    return word;
}

}  // namespace

bool IsAcceptedBootCode(const unsigned char* sector, size_t size) {
    for (size_t i = 0; i < kScannedOffsets; ++i) {
        const uint32_t word = WordAt(sector, size, i);
        if (word == kInva && WordAt(sector, size, i + 8) == kPart) return true;
        if (word == kDisk && WordAt(sector, size, i + 4) == kGeni) return true;
    }
    return false;
}
