#pragma once
// The IGC security record (G-record) shared by the writer and the check:
// our CRC-32 variant, the pad byte and the bit permutation. Changing any of
// these makes every file signed before the change fail its check.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

// Reflected CRC-32 (polynomial 0xEDB88320), started at all ones and never
// complemented at the end.
inline constexpr uint32_t kIgcCrcStart = 0xFFFFFFFFu;
uint32_t igc_crc_byte(uint32_t crc, unsigned char byte);
uint32_t igc_crc_update(uint32_t crc, std::string_view bytes);

// Fed once after the covered lines and four times into the second CRC.
inline constexpr char kIgcPadByte = 'q';

// Output bit j of byte i takes input bit kIgcBitPermutation[8 * i + j].
extern const std::array<uint8_t, 64> kIgcBitPermutation;

// Applies the permutation to an 8-byte block.
std::array<uint8_t, 8> igc_permute_block(const std::array<uint8_t, 8>& in);

// The 16 upper-case hexadecimal digits that follow "G", from the running CRC
// over the covered lines (the pad byte is added here).
std::string igc_security_code(uint32_t running_crc);

}  // namespace orlogix
