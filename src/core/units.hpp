#pragma once
// Conversions between the stored integer angles and radians, with the exact
// constants and rounding the stored files and instruments rely on.
#include <cstdint>

namespace orlogix {

// Latitude then longitude, double radians, north and east positive.
struct GeoPosition {
    double latitude = 0.0;
    double longitude = 0.0;
};

// Latitude then longitude in degrees, north and east positive.
struct LatLonDegrees {
    double latitude = 0.0;
    double longitude = 0.0;
};

struct SemicirclePair {
    int32_t latitude = 0;
    int32_t longitude = 0;
};

inline constexpr double kSemicircleToRadians = 1.4629180792671596e-09;   // pi / 2^31
inline constexpr double kRadiansToSemicircles = 683565275.5764316;       // 2^31 / pi
inline constexpr double kRadiansToDegrees = 57.29577951307999939;
inline constexpr double kMilliminutesToSemicircles = 198.8410785185;     // 1/60000 degree

// Add 0.5 (or subtract it for negative values), then truncate toward zero.
int64_t round_half_away(double v);

GeoPosition semicircles_to_radians(int32_t latitude, int32_t longitude);
double semicircle_to_radians(int32_t v);
// Degrees as every written file shows them: through radians first, so each
// file keeps the last digit it has always had.
double semicircle_to_degrees(int32_t v);
LatLonDegrees semicircles_to_degrees(int32_t latitude, int32_t longitude);

// One angle in radians to semicircles. +pi (180 degrees) wraps to -2^31.
// Returns -1 for a value that is not a number or lies beyond +-pi.
int radians_to_semicircle(double radians, int32_t& out);
// Both fields; -1 when either is out of range (a latitude beyond +-pi/2 too).
int radians_to_semicircles(const GeoPosition& p, SemicirclePair& out);
// Degrees to semicircles, the latitude within +-90 and the longitude within
// +-180, the limits themselves included (180 east wraps to -2^31). -1 otherwise.
int degrees_to_semicircles(double latitude, double longitude, SemicirclePair& out);

SemicirclePair semicircles_to_centi_arcsec(int32_t latitude, int32_t longitude);
SemicirclePair semicircles_to_milliminutes(int32_t latitude, int32_t longitude);
// 1/60000 degree units (instrument minutes with three decimals) to semicircles.
int32_t milliminutes_to_semicircles(int32_t v);
// Checked form: -1 for a value beyond 180 degrees, else 0 and the semicircles.
int milliminutes_to_semicircles(int32_t v, int32_t& out);

}  // namespace orlogix
