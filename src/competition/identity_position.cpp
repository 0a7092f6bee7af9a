#include "competition/identity_position.hpp"

namespace orlogix {

namespace {
constexpr double kArcSecondToRadians = 4.84813681109536e-06;  // pi / 648000
}

SemicirclePair encode_id_position(uint32_t n) {
    const uint32_t lat_seconds = n % 10 + 60 * (n / 10 % 10) + 3600 * (n / 100 % 10);
    const uint32_t lon_seconds = n / 1000 % 10 + 60 * (n / 10000 % 10) + 3600 * (n / 100000);
    SemicirclePair p;
    // Numbers beyond 179 999 999 would pass 180 degrees: they keep a zero longitude.
    if (radians_to_semicircles(GeoPosition{lat_seconds * kArcSecondToRadians, lon_seconds * kArcSecondToRadians},
                               p) != 0)
        radians_to_semicircles(GeoPosition{lat_seconds * kArcSecondToRadians, 0.0}, p);
    return p;
}

}  // namespace orlogix
