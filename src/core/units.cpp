#include "core/units.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orlogix {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSemicircleToCentiArcsec = 0.030174851417541504;
constexpr double kSemicircleToMilliminutes = 0.005029141902924;
constexpr int64_t kHalfTurn = int64_t{1} << 31;

}  // namespace

int64_t round_half_away(double v) {
    // Values a 64-bit integer cannot hold would be undefined to convert; they
    // saturate instead (NaN gives 0). Callers range-check before this matters.
    if (std::isnan(v)) return 0;
    if (v >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (v <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v < 0.0 ? v - 0.5 : v + 0.5);
}

double semicircle_to_radians(int32_t v) { return v * kSemicircleToRadians; }

GeoPosition semicircles_to_radians(int32_t latitude, int32_t longitude) {
    return GeoPosition{semicircle_to_radians(latitude), semicircle_to_radians(longitude)};
}

double semicircle_to_degrees(int32_t v) { return v * kSemicircleToRadians * kRadiansToDegrees; }

LatLonDegrees semicircles_to_degrees(int32_t latitude, int32_t longitude) {
    return LatLonDegrees{semicircle_to_degrees(latitude), semicircle_to_degrees(longitude)};
}

int radians_to_semicircle(double radians, int32_t& out) {
    if (!(std::fabs(radians) <= kPi)) return -1;  // also refuses NaN
    int64_t v = round_half_away(radians * kRadiansToSemicircles);
    if (v == kHalfTurn) v = -kHalfTurn;  // 180 degrees east is 180 degrees west
    if (v > kHalfTurn || v < -kHalfTurn) return -1;
    out = static_cast<int32_t>(v);
    return 0;
}

int radians_to_semicircles(const GeoPosition& p, SemicirclePair& out) {
    if (!(std::fabs(p.latitude) <= kPi / 2)) return -1;
    SemicirclePair r;
    if (radians_to_semicircle(p.latitude, r.latitude) < 0) return -1;
    if (radians_to_semicircle(p.longitude, r.longitude) < 0) return -1;
    out = r;
    return 0;
}

int degrees_to_semicircles(double latitude, double longitude, SemicirclePair& out) {
    if (!(std::fabs(latitude) <= 90.0) || !(std::fabs(longitude) <= 180.0)) return -1;
    // The degree factor is a hair below 180/pi, so 90 and 180 degrees would
    // come out just beyond the limits they stand for.
    const GeoPosition g{std::clamp(latitude / kRadiansToDegrees, -kPi / 2, kPi / 2),
                        std::clamp(longitude / kRadiansToDegrees, -kPi, kPi)};
    return radians_to_semicircles(g, out);
}

SemicirclePair semicircles_to_centi_arcsec(int32_t latitude, int32_t longitude) {
    return SemicirclePair{static_cast<int32_t>(round_half_away(latitude * kSemicircleToCentiArcsec)),
                          static_cast<int32_t>(round_half_away(longitude * kSemicircleToCentiArcsec))};
}

SemicirclePair semicircles_to_milliminutes(int32_t latitude, int32_t longitude) {
    return SemicirclePair{static_cast<int32_t>(round_half_away(latitude * kSemicircleToMilliminutes)),
                          static_cast<int32_t>(round_half_away(longitude * kSemicircleToMilliminutes))};
}

int32_t milliminutes_to_semicircles(int32_t v) {
    // Angles wrap modulo a full turn, so 180 degrees east becomes -2^31 and
    // nothing overflows; callers that must refuse such values use the checked form.
    const int64_t s = round_half_away(v * kMilliminutesToSemicircles);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(s)));
}

int milliminutes_to_semicircles(int32_t v, int32_t& out) {
    if (v > 10800000 || v < -10800000) return -1;  // beyond 180 degrees
    out = milliminutes_to_semicircles(v);
    return 0;
}

}  // namespace orlogix
