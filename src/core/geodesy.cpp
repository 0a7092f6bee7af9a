#include "core/geodesy.hpp"

#include "core/ellipsoid.hpp"

#include <algorithm>
#include <cmath>

namespace orlogix {

using namespace wgs84;

namespace {

constexpr double kDegree = kPi / 180.0;

// UTM, with the exact values every stored position was computed with.
constexpr double kScaledA = 6375585.7452;                    // 0.9996 x a
constexpr double kInvScaledA = 1.5684833362218868e-07;       // 1 / (0.9996 x a)
constexpr double kFalseEasting = 500000.0;
constexpr double kFalseNorthingSouth = 10000000.0;
constexpr double kThreeDegrees = 0.05235987755982989;
constexpr double kZonesPerRadian = 9.54929658551372;         // 30 / pi

double clamp_unit(double v) { return std::clamp(v, -1.0, 1.0); }

}  // namespace

int geodesic_distance(const GeoPosition& a, const GeoPosition& b, double& metres) {
    if (std::fabs(a.latitude - b.latitude) < 1.5e-9 && std::fabs(a.longitude - b.longitude) < 1e-9) {
        metres = 0.0;
        return 0;
    }
    const double u1 = std::atan(kOneMinusF * std::tan(a.latitude));
    const double u2 = std::atan(kOneMinusF * std::tan(b.latitude));
    const double sin_u1 = std::sin(u1), cos_u1 = std::cos(u1);
    const double sin_u2 = std::sin(u2), cos_u2 = std::cos(u2);

    double l = b.longitude - a.longitude;
    // On one meridian the azimuth is degenerate; a tiny offset lets the loop converge.
    if (std::fabs(l) < 1e-10) l = 1e-10;
    double lambda = l;

    double sin_sigma = 0, cos_sigma = 0, sigma = 0, cos2_alpha = 0, cos_2sigma_m = 0;
    bool converged = false;
    for (int pass = 1; pass <= 100; ++pass) {
        const double sin_lambda = std::sin(lambda), cos_lambda = std::cos(lambda);
        const double p = cos_u2 * sin_lambda;
        const double q = cos_u1 * sin_u2 - sin_u1 * cos_u2 * cos_lambda;
        sin_sigma = std::sqrt(p * p + q * q);
        cos_sigma = sin_u1 * sin_u2 + cos_u1 * cos_u2 * cos_lambda;
        const double quotient = sin_sigma / cos_sigma;
        sigma = std::atan(quotient);
        if (quotient < 0) sigma += kPi;
        const double sin_alpha = cos_u1 * cos_u2 * sin_lambda / sin_sigma;
        const double cos_alpha = std::cos(std::asin(sin_alpha));
        cos2_alpha = cos_alpha * cos_alpha;
        // Along the equator cos^2 alpha vanishes and so does every term it scales.
        cos_2sigma_m = cos2_alpha == 0.0 ? 0.0 : cos_sigma - 2 * sin_u1 * sin_u2 / cos2_alpha;
        const double c = kFOver16 * cos2_alpha * (4 + kFlattening * (4 - 3 * cos2_alpha));
        const double next =
            l + (1 - c) * kFlattening * sin_alpha *
                    (sigma + c * sin_sigma * (cos_2sigma_m + c * cos_sigma * (2 * cos_2sigma_m * cos_2sigma_m - 1)));
        const bool done = pass >= 2 && std::fabs((next - lambda) / next) < 1e-10;
        lambda = next;
        if (done) {
            converged = true;
            break;
        }
    }
    if (!converged) return -1;

    const double u_sq = cos2_alpha * kEp2;
    const double big_a = 1 + u_sq * (0.25 + u_sq * (-0.046875 + u_sq * (0.01953125 - 0.01068115234375 * u_sq)));
    const double big_b = u_sq * (0.25 + u_sq * (-0.125 + u_sq * (0.072265625 - 0.0458984375 * u_sq)));
    const double c2m2 = cos_2sigma_m * cos_2sigma_m;
    const double delta_sigma =
        big_b * sin_sigma *
        (cos_2sigma_m + big_b / 4 *
                            (cos_sigma * (2 * c2m2 - 1) -
                             big_b / 6 * cos_2sigma_m * (4 * sin_sigma * sin_sigma - 3) * (4 * c2m2 - 3)));
    const double d = kSemiMinor * big_a * (sigma - delta_sigma);
    if (!std::isfinite(d)) return -1;
    metres = d;
    return 0;
}

double distance_or_zero(const GeoPosition& a, const GeoPosition& b) {
    double m = 0.0;
    return geodesic_distance(a, b, m) == 0 ? m : 0.0;
}

PlanePoint tm_project(const GeoPosition& p, double lon0) {
    const double w = p.longitude - lon0;
    const double s = std::sin(p.latitude);
    const double c = std::cos(p.latitude);
    const double tn = std::tan(p.latitude);
    const double t2 = tn * tn, t4 = t2 * t2, t6 = t4 * t2;
    const double big_w = 1 - kE2 * s * s;
    const double nu = 1 / std::sqrt(big_w);
    const double psi = big_w * kOnePlusEp2;
    const double psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;
    const double a2 = w * w * c * c;

    PlanePoint r;
    r.x = kScaledA * nu * w * c *
          (1 + a2 * ((psi - t2) / 6 +
                     a2 * ((4 * psi3 * (1 - 6 * t2) + psi2 * (1 + 8 * t2) - 2 * psi * t2 + t4) / 120 +
                           a2 * (61 - 479 * t2 + 179 * t4 - t6) / 5040)));
    const double lat = p.latitude;
    const double m = 0.9983242984527952 * lat - 0.002514607060518705 * std::sin(2 * lat) +
                     2.6390465943376217e-06 * std::sin(4 * lat) - 3.4180460865957886e-09 * std::sin(6 * lat);
    r.y = kScaledA *
          (m + nu * s * c * w * w *
                   (0.5 + a2 * ((4 * psi2 + psi - t2) / 24 +
                                a2 * ((8 * psi4 * (11 - 24 * t2) - 28 * psi3 * (1 - 6 * t2) + psi2 * (1 - 32 * t2) -
                                       2 * psi * t2 + t4) / 720 +
                                      a2 * (1385 - 3111 * t2 + 543 * t4 - t6) / 40320))));
    return r;
}

char utm_band_letter(double latitude_radians) {
    static constexpr char kBands[] = "CDEFGHJKLMNPQRSTUVWX";
    const double deg = latitude_radians / kDegree;
    if (std::isnan(deg) || deg < -80.0) return 'B';
    if (deg >= 84.0) return 'Y';
    if (deg >= 72.0) return 'X';  // the last band is 12 degrees tall
    return kBands[static_cast<int>(std::floor((deg + 80.0) / 8.0))];
}

void geo_to_utm(const GeoPosition& p, UtmPosition& utm) {
    utm.band = utm_band_letter(p.latitude);
    if (utm.zone == 0) {
        const double lon = p.longitude / kDegree;
        int zone = 0;
        if (utm.band == 'V' && lon >= 3.0 && lon < 12.0) {
            zone = 32;  // south-west Norway
        } else if (utm.band == 'X' && lon >= 0.0 && lon < 42.0) {
            // Svalbard: the even zones are folded into their neighbours
            zone = lon < 9.0 ? 31 : lon < 21.0 ? 33 : lon < 33.0 ? 35 : 37;
        } else {
            const double z = p.longitude * kZonesPerRadian + 30;
            zone = std::isnan(z) ? 1 : static_cast<int>(std::clamp(z, 0.0, 60.0)) + 1;
        }
        utm.zone = std::clamp(zone, 1, 60);
    }
    const double lon0 = (2 * utm.zone - 61) * kThreeDegrees;
    const PlanePoint xy = tm_project(p, lon0);
    utm.easting = xy.x + kFalseEasting;
    utm.northing = xy.y + (p.latitude < 0 ? kFalseNorthingSouth : 0.0);
}

GeoPosition utm_to_geo(const UtmPosition& utm) {
    const double n = utm.band > 'M' ? utm.northing : utm.northing - kFalseNorthingSouth;
    const double mu = n * 1.571116057864735e-07;
    const double lat1 = mu + 0.0025188265843906882 * std::sin(2 * mu) + 3.700949035620534e-06 * std::sin(4 * mu) +
                        7.447813767503948e-09 * std::sin(6 * mu) + 1.703599323859631e-11 * std::sin(8 * mu);
    const double s1 = std::sin(lat1);
    const double big_w = 1 - kE2 * s1 * s1;
    const double d1 = std::sqrt(big_w) * (utm.easting - kFalseEasting) * kInvScaledA;
    const double d = d1 * d1;
    const double psi = big_w * kOnePlusEp2;
    const double psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;
    const double t = std::tan(lat1);
    const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;

    GeoPosition r;
    r.latitude =
        lat1 + t * psi * d *
                   (-0.5 + d * (psi * (3.0 / 8 - 3 * t2 / 8 - psi / 6) + t2 / 2) +
                    d * d *
                        (psi4 * (0.26666666666666666 * t2 - 0.12222222222222222) +
                         psi3 * (0.35 - 1.1833333333333333 * t2) +
                         psi2 * (2.0416666666666665 * t2 - 0.3125 * t4 - 0.3125) + psi * (0.75 * t4 - 1.25 * t2) -
                         0.5 * t4) +
                    d * d * d * (1385 + 3633 * t2 + 4095 * t4 + 1575 * t6) / 40320);
    r.longitude = (2 * utm.zone - 61) * kThreeDegrees +
                  (d1 / std::cos(lat1)) *
                      (1 - d * (psi / 6 + t2 / 3) +
                       d * d * (psi3 * (0.2 * t2 - 1.0 / 30) + psi2 * (0.075 - 0.5666666666666667 * t2) +
                                0.6 * psi * t2 + 0.2 * t4) -
                       d * d * d * (61 + 662 * t2 + 1320 * t4 + 720 * t6) / 5040);
    return r;
}

RotationBase rotation_base(const GeoPosition& start, const GeoPosition& end) {
    RotationBase base;
    base.start = start;
    const double dlon = end.longitude - start.longitude;
    const double y = std::sin(end.latitude) * std::cos(start.latitude) -
                     std::sin(start.latitude) * std::cos(end.latitude) * std::cos(dlon);
    const double x = std::cos(end.latitude) * std::sin(dlon);
    const double r = std::sqrt(x * x + y * y);
    // Coincident ends have no bearing; keep the identity rather than divide by zero.
    if (r > 0 && std::isfinite(r)) {
        base.cos_theta = y / r;
        base.sin_theta = x / r;
    }
    return base;
}

GeoPosition rotate_position(const RotationBase& base, const GeoPosition& p) {
    const GeoPosition& s = base.start;
    const double dlon = p.longitude - s.longitude;
    const double y = std::sin(p.latitude) * std::cos(s.latitude) -
                     std::sin(s.latitude) * std::cos(p.latitude) * std::cos(dlon);
    const double x = std::cos(p.latitude) * std::sin(dlon);
    GeoPosition r;
    r.latitude = std::asin(clamp_unit(y * base.sin_theta - x * base.cos_theta));
    r.longitude = std::asin(clamp_unit(y * base.cos_theta + x * base.sin_theta));
    const double cos_dist = std::sin(p.latitude) * std::sin(s.latitude) +
                            std::cos(s.latitude) * std::cos(p.latitude) * std::cos(dlon);
    if (cos_dist < 0) {
        r.longitude = 3.14159265358979 - r.longitude;
        // Behind the start and west of the base line: bring it back into (-pi, pi].
        if (r.longitude > kPi) r.longitude -= 2 * kPi;
    }
    return r;
}

}  // namespace orlogix
