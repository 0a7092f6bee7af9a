// The CRC variant, the permutation and the security code against values
// worked out independently of this code.
#include <gtest/gtest.h>

#include <set>

#include "formats/igc/security.hpp"

namespace orlogix {
namespace {

TEST(IgcCrc, ReflectedCrc32WithoutFinalComplement) {
    // The standard check value of "123456789" is 0xCBF43926 after the final
    // complement, which this variant leaves out.
    EXPECT_EQ(igc_crc_update(kIgcCrcStart, "123456789"), ~0xCBF43926u);
    EXPECT_EQ(igc_crc_update(kIgcCrcStart, ""), kIgcCrcStart);
    // One zero byte from all ones: table[0xFF] ^ 0x00FFFFFF.
    EXPECT_EQ(igc_crc_byte(kIgcCrcStart, 0), 0x2D02EF8Du ^ 0x00FFFFFFu);
    // Feeding in pieces is the same as feeding at once.
    EXPECT_EQ(igc_crc_update(igc_crc_update(kIgcCrcStart, "1234"), "56789"), ~0xCBF43926u);
}

TEST(IgcPermutation, EveryBitIndexOnce) {
    std::set<int> seen(kIgcBitPermutation.begin(), kIgcBitPermutation.end());
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 63);
}

TEST(IgcPermutation, EachInputBitLandsWhereTheTableSays) {
    for (int k = 0; k < 64; ++k) {
        std::array<uint8_t, 8> in{};
        in[static_cast<std::size_t>(k / 8)] = static_cast<uint8_t>(1u << (k % 8));
        const std::array<uint8_t, 8> out = igc_permute_block(in);
        int set_bits = 0;
        int where = -1;
        for (int b = 0; b < 64; ++b) {
            if ((out[static_cast<std::size_t>(b / 8)] >> (b % 8)) & 1u) {
                ++set_bits;
                where = b;
            }
        }
        ASSERT_EQ(set_bits, 1) << "input bit " << k;
        EXPECT_EQ(kIgcBitPermutation[static_cast<std::size_t>(where)], k);
    }
}

TEST(IgcSecurityCode, KnownValues) {
    // Worked out with a separate script from the description of the record.
    EXPECT_EQ(igc_security_code(kIgcCrcStart), "9F9533B970D0079E");
    const std::string code = igc_security_code(igc_crc_update(kIgcCrcStart, "123456789"));
    ASSERT_EQ(code.size(), 16u);
    EXPECT_EQ(code.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_NE(code, igc_security_code(igc_crc_update(kIgcCrcStart, "123456780")));
}

}  // namespace
}  // namespace orlogix
