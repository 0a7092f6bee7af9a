#pragma once
// The old DezuvaDar binary track format (.dat): big-endian 32-bit words,
// a four-word header, UTM positions of one zone, a checksum word and an
// optional validation word. Reader only.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/records.hpp"

namespace orlogix {

class Reporter;

// The 31-bit modulus the validation word is folded with.
inline constexpr uint32_t kDatValidationModulus = 0x7FFFFFFF;

// The validation word of these words (all words up to and including the
// checksum word): the complement of their fold modulo the modulus.
uint32_t dat_validation_word(std::span<const uint32_t> words);

// The count of positions, or -1 after reporting under "Decoding track log
// file" (out then unchanged).
int read_dat_track(Reporter& r, std::string_view bytes, std::vector<TrackPosition>& out);

}  // namespace orlogix
