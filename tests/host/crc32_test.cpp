// The updater's CRC-32: the standard check values and the table's known entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "updater/crc32.h"

namespace {

std::uint32_t Crc(const std::string& text) {
    tolvane::Crc32Table table;
    tolvane::BuildCrc32Table(table);
    return tolvane::ComputeCrc32(table, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

TEST(Crc32, KnownValues) {
    struct {
        std::string input;
        std::uint32_t crc;
    } cases[] = {
        {"123456789", 0xCBF43926u},  // the check value of the standard
        {"", 0u},
        {"a", 0xE8B7BE43u},
        {std::string(1, '\0'), 0xD202EF8Du},
        {std::string(4, '\xFF'), 0xFFFFFFFFu},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases) EXPECT_EQ(Crc(c.input), c.crc) << '"' << c.input << '"';
}

TEST(Crc32, EmptyInputNeedsNoData) {
    tolvane::Crc32Table table;
    tolvane::BuildCrc32Table(table);
    EXPECT_EQ(tolvane::ComputeCrc32(table, nullptr, 0), 0u);
}

TEST(Crc32, TableHoldsTheReflectedPolynomial) {
    tolvane::Crc32Table table;
    std::memset(&table, 0xA5, sizeof(table));
    tolvane::BuildCrc32Table(table);
    EXPECT_EQ(table.entries[0], 0u);
    EXPECT_EQ(table.entries[1], 0x77073096u);
    EXPECT_EQ(table.entries[128], 0xEDB88320u);
    EXPECT_EQ(table.entries[255], 0x2D02EF8Du);
}

}  // namespace
