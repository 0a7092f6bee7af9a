#pragma once
// Pilot numbers carried as waypoint positions: the digits of the number
// become degrees, minutes and seconds of a position north and east.
#include <cstdint>

#include "core/units.hpp"

namespace orlogix {

// The largest number a position holds: its longitude degrees (n / 100000)
// stay below 180.
inline constexpr int64_t kIdentityNumberMax = 17999999;

// latitude = n%10 + 60 (n/10%10) + 3600 (n/100%10) arc-seconds,
// longitude = n/1000%10 + 60 (n/10000%10) + 3600 (n/100000) arc-seconds.
// 0, or -1 for a number below 0 or above kIdentityNumberMax.
int encode_id_position(int64_t n, SemicirclePair& out);

// The number a position (radians) holds, or -1: negative or non-numeric
// coordinates, 180 longitude degrees or more, or any other digit of 10 or more.
int64_t decode_id_position(const GeoPosition& position);

}  // namespace orlogix
