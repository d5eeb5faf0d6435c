// The boot-code scan on buffers of exactly the given size (the sanitiser catches a read past the
// end): matches that need bytes past the end do not count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "repair/boot_code.h"

namespace {

bool Scan(size_t size, size_t at, const char* text) {
    auto bytes = std::make_unique<unsigned char[]>(size);  // exactly `size` bytes on the heap
    std::memset(bytes.get(), 0x90, size);
    std::memcpy(bytes.get() + at, text, std::min(std::strlen(text), size - at));
    return IsAcceptedBootCode(bytes.get(), size);
}

TEST(BootCodeScan, MatchesOnlyWithinTheBytesGiven) {
    struct Case {
        size_t size, at;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {512, 0x12C, "Invalid partition table", true},
        {512, 0, "DiskGenius", true},
        {512, 500, "Invalid part", true},   // ends at byte 511
        {512, 501, "Invalid part", false},  // "part" cut at the end
        {512, 504, "DiskGeni", true},
        {512, 505, "DiskGeni", false},
        {12, 0, "Invalid part", true},      // a buffer shorter than the scanned offsets
        {11, 0, "Invalid part", false},
        {8, 0, "DiskGeni", true},
        {4096, 511, "Invalid part", true},  // a larger sector supplies the bytes after 511
        {4096, 512, "DiskGeni", false},     // offsets past 511 are not scanned
        {512, 100, "invalid part", false},  // case matters
        {512, 100, "Inva", false},
        {0, 0, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scan(c.size, c.at, c.text), c.accepted) << c.size << " " << c.at << " " << c.text;
    }
}

}  // namespace
