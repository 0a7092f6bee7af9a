#pragma once
// The two geodesic problems beside the distance (airspace outlines use them):
// where a bearing and a ground distance lead, and the bearing of one point
// seen from another. Vincenty's formulas on WGS-84, as geodesic_distance.
#include "core/units.hpp"

namespace orlogix {

// The point at the given ground distance (metres) along the geodesic that
// leaves start at azimuth (radians clockwise from north).
GeoPosition geodesic_destination(const GeoPosition& start, double azimuth, double metres);

// The azimuth (radians, 0 to 2 pi, clockwise from north) at a of the
// geodesic to b. Falls back to the spherical bearing where Vincenty's
// iteration does not settle (nearly antipodal points).
double geodesic_azimuth(const GeoPosition& a, const GeoPosition& b);

}  // namespace orlogix
