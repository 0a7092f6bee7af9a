#include "competition/identity_position.hpp"

#include <cmath>

namespace orlogix {

namespace {
constexpr double kArcSecondToRadians = 4.848136811095e-6;
constexpr double kRadiansToArcSeconds = 206264.8062471;

// Whole arc seconds, rounded half up; -1 for a negative or non-numeric angle.
int64_t arc_seconds(double radians) {
    if (!(radians >= 0.0)) return -1;
    const double seconds = std::floor(radians * kRadiansToArcSeconds + 0.5);
    return seconds > 1e12 ? -1 : static_cast<int64_t>(seconds);
}
}  // namespace

int encode_id_position(int64_t n, SemicirclePair& out) {
    if (n < 0 || n > kIdentityNumberMax) return -1;
    const int64_t lat_seconds = n % 10 + 60 * (n / 10 % 10) + 3600 * (n / 100 % 10);
    const int64_t lon_seconds = n / 1000 % 10 + 60 * (n / 10000 % 10) + 3600 * (n / 100000);
    return radians_to_semicircles(GeoPosition{static_cast<double>(lat_seconds) * kArcSecondToRadians,
                                              static_cast<double>(lon_seconds) * kArcSecondToRadians},
                                  out);
}

int64_t decode_id_position(const GeoPosition& position) {
    const int64_t lat = arc_seconds(position.latitude);
    const int64_t lon = arc_seconds(position.longitude);
    if (lat < 0 || lon < 0) return -1;
    const int64_t lon_degrees = lon / 3600, lon_minutes = lon / 60 % 60, lon_seconds = lon % 60;
    const int64_t lat_degrees = lat / 3600, lat_minutes = lat / 60 % 60, lat_seconds = lat % 60;
    if (lon_degrees >= 180 || lon_minutes >= 10 || lon_seconds >= 10 || lat_degrees >= 10 || lat_minutes >= 10 ||
        lat_seconds >= 10)
        return -1;
    return lon_degrees * 100000 + lon_minutes * 10000 + lon_seconds * 1000 + lat_degrees * 100 + lat_minutes * 10 +
           lat_seconds;
}

}  // namespace orlogix
