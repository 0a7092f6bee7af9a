#include "formats/igc/security.hpp"

#include <cstdio>

namespace orlogix {

namespace {

constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = make_crc_table();

}  // namespace

const std::array<uint8_t, 64> kIgcBitPermutation = {
    56, 44, 60, 55, 32, 15, 9,  6,  17, 12, 19, 26, 29, 11, 58, 45,
    48, 0,  5,  1,  46, 31, 42, 18, 10, 24, 52, 35, 22, 27, 61, 63,
    8,  30, 13, 49, 3,  4,  57, 25, 40, 37, 59, 36, 16, 54, 47, 41,
    51, 50, 33, 38, 14, 28, 39, 7,  20, 23, 62, 53, 34, 2,  43, 21,
};

uint32_t igc_crc_byte(uint32_t crc, unsigned char byte) {
    return kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

uint32_t igc_crc_update(uint32_t crc, std::string_view bytes) {
    for (char ch : bytes) crc = igc_crc_byte(crc, static_cast<unsigned char>(ch));
    return crc;
}

std::array<uint8_t, 8> igc_permute_block(const std::array<uint8_t, 8>& in) {
    std::array<uint8_t, 8> out{};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            const int k = kIgcBitPermutation[static_cast<std::size_t>(8 * i + j)];
            if ((in[static_cast<std::size_t>(k / 8)] >> (k % 8)) & 1u)
                out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(out[static_cast<std::size_t>(i)] | (1u << j));
        }
    }
    return out;
}

std::string igc_security_code(uint32_t running_crc) {
    const unsigned char pad = static_cast<unsigned char>(kIgcPadByte);
    const uint32_t c1 = igc_crc_byte(running_crc, pad);
    uint32_t c2 = kIgcCrcStart;
    for (int shift = 24; shift >= 0; shift -= 8) c2 = igc_crc_byte(c2, static_cast<unsigned char>(c1 >> shift));
    for (int i = 0; i < 4; ++i) c2 = igc_crc_byte(c2, pad);

    std::array<uint8_t, 8> block{};
    for (int i = 0; i < 4; ++i) {
        block[static_cast<std::size_t>(i)] = static_cast<uint8_t>(c1 >> (8 * i));
        block[static_cast<std::size_t>(4 + i)] = static_cast<uint8_t>(c2 >> (8 * i));
    }
    block = igc_permute_block(block);

    char digits[17];
    std::snprintf(digits, sizeof digits, "%02X%02X%02X%02X%02X%02X%02X%02X", block[7], block[6], block[5], block[4],
                  block[3], block[2], block[1], block[0]);
    return std::string(digits, 16);
}

}  // namespace orlogix
