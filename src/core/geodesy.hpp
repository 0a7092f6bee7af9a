#pragma once
// Distances and projections on the WGS-84 ellipsoid. Every distance, speed and
// score that the program reports comes from geodesic_distance.
#include "core/units.hpp"

namespace orlogix {

struct UtmPosition {
    double easting = 0.0;    // metres, false easting included
    double northing = 0.0;   // metres, false northing included
    int zone = 0;            // 1..60; 0 as input to geo_to_utm: choose from the position
    char band = 0;           // latitude band letter
};

struct PlanePoint {
    double x = 0.0;  // east, metres
    double y = 0.0;  // north, metres
};

// Vincenty's inverse formula. 0 and the distance in metres, or -1 when it does
// not converge within 100 iterations (metres is then left untouched).
int geodesic_distance(const GeoPosition& a, const GeoPosition& b, double& metres);
// The distance where one that does not converge counts as 0 m (nearly
// antipodal points, which no flight or airspace spans).
double distance_or_zero(const GeoPosition& a, const GeoPosition& b);

// Transverse Mercator (Redfearn's series, scale 0.9996) about lon0, no false origin.
PlanePoint tm_project(const GeoPosition& p, double lon0);

// Fills utm; utm.zone preset to 0 chooses the zone, any other value forces it.
void geo_to_utm(const GeoPosition& p, UtmPosition& utm);
char utm_band_letter(double latitude_radians);
GeoPosition utm_to_geo(const UtmPosition& utm);

// Rotation of positions onto the base line from S to E (S -> (0,0), E on the equator).
struct RotationBase {
    GeoPosition start;
    double cos_theta = 1.0;
    double sin_theta = 0.0;
};
RotationBase rotation_base(const GeoPosition& start, const GeoPosition& end);
GeoPosition rotate_position(const RotationBase& base, const GeoPosition& p);

}  // namespace orlogix
