#pragma once
// The WGS-84 ellipsoid with exactly the constants every computation uses.
namespace orlogix::wgs84 {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kSemiMinor = 6356752.314245179;       // b, metres
inline constexpr double kFlattening = 0.0033528106647474805;  // f
inline constexpr double kOneMinusF = 0.9966471893352525;
inline constexpr double kFOver16 = 0.00020955066654671753;
inline constexpr double kE2 = 0.006694379990141317;           // first eccentricity squared
inline constexpr double kEp2 = 0.006739496742276435;          // second eccentricity squared
inline constexpr double kOnePlusEp2 = 1.0067394967422765;

}  // namespace orlogix::wgs84
