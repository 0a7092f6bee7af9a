#pragma once
// Little-endian fields of Garmin records; callers check the record size first.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orlogix::garmin::wire {

inline uint16_t get_u16(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
inline uint32_t get_u32(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
inline int32_t get_i32(std::span<const uint8_t> d, std::size_t at) { return static_cast<int32_t>(get_u32(d, at)); }
inline float get_float(std::span<const uint8_t> d, std::size_t at) { return std::bit_cast<float>(get_u32(d, at)); }

inline void put_u16(std::vector<uint8_t>& d, std::size_t at, uint16_t v) {
    d[at] = static_cast<uint8_t>(v);
    d[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put_u32(std::vector<uint8_t>& d, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put_float(std::vector<uint8_t>& d, std::size_t at, float v) { put_u32(d, at, std::bit_cast<uint32_t>(v)); }

// What receivers send for a float they do not know.
inline constexpr float kUnknownFloat = 1.0e25f;

}  // namespace orlogix::garmin::wire
