#pragma once
// Pilot numbers carried as waypoint positions: the digits of the number
// become degrees, minutes and seconds of a position north and east.
#include <cstdint>

#include "core/units.hpp"

namespace orlogix {

// latitude = n%10 + 60 (n/10%10) + 3600 (n/100%10) arc-seconds,
// longitude = n/1000%10 + 60 (n/10000%10) + 3600 (n/100000) arc-seconds.
SemicirclePair encode_id_position(uint32_t n);

}  // namespace orlogix
