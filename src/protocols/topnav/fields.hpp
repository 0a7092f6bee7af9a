#pragma once
// Field readers shared by the Top Navigator and XC Trainer records: hex and
// decimal columns, the 24-bit coordinates in 1/6000 degree and the
// exclusive-or checksums of the MXP lines and the waypoint packets.
#include <cstdint>
#include <string_view>

namespace orlogix::topnav {

inline constexpr uint8_t kXon = 0x11;
inline constexpr uint8_t kXoff = 0x13;

// Upper- or lower-case hex digits only; false for an empty or bad field.
bool hex_field(std::string_view text, uint32_t& out);
bool hex_field(std::string_view text);
// Decimal digits only.
bool decimal_field(std::string_view text, uint32_t& out);
bool decimal_field(std::string_view text);

// Two's-complement values of 24 and 16 bits.
int32_t signed24(uint32_t v);
int32_t signed16(uint32_t v);

// 1/6000 degree to semicircles (x 1988.410785185, rounded half away from zero).
int32_t sixthousandths_to_semicircles(int32_t v);
// Semicircles to 1/6000 degree for the waypoint packet (x 0.0005029141902924, rounded).
int32_t semicircles_to_sixthousandths(int32_t v);

// Latitudes within +-90 and longitudes within +-180 degrees, in 1/6000 degree.
inline constexpr int32_t kLatitudeLimit = 540000;
inline constexpr int32_t kLongitudeLimit = 1080000;

uint8_t xor_of(std::string_view bytes);

}  // namespace orlogix::topnav
