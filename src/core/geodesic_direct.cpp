#include "core/geodesic_direct.hpp"

#include "core/ellipsoid.hpp"

#include <cmath>

namespace orlogix {

using namespace wgs84;

namespace {

double normalised_azimuth(double a) {
    a = std::fmod(a, 2 * kPi);
    return a < 0 ? a + 2 * kPi : a;
}

}  // namespace

GeoPosition geodesic_destination(const GeoPosition& start, double azimuth, double metres) {
    const double sin_a1 = std::sin(azimuth), cos_a1 = std::cos(azimuth);
    const double tan_u1 = kOneMinusF * std::tan(start.latitude);
    const double cos_u1 = 1 / std::sqrt(1 + tan_u1 * tan_u1), sin_u1 = tan_u1 * cos_u1;
    const double sigma1 = std::atan2(tan_u1, cos_a1);
    const double sin_alpha = cos_u1 * sin_a1;
    const double cos2_alpha = 1 - sin_alpha * sin_alpha;
    const double u2 = cos2_alpha * kEp2;
    const double big_a = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
    const double big_b = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));

    const double sigma0 = metres / (kSemiMinor * big_a);
    double sigma = sigma0, sin_sigma = 0, cos_sigma = 0, cos_2sm = 0;
    for (int pass = 0; pass < 100; ++pass) {
        cos_2sm = std::cos(2 * sigma1 + sigma);
        sin_sigma = std::sin(sigma);
        cos_sigma = std::cos(sigma);
        const double delta =
            big_b * sin_sigma *
            (cos_2sm + big_b / 4 *
                           (cos_sigma * (-1 + 2 * cos_2sm * cos_2sm) -
                            big_b / 6 * cos_2sm * (-3 + 4 * sin_sigma * sin_sigma) * (-3 + 4 * cos_2sm * cos_2sm)));
        const double next = sigma0 + delta;
        const bool done = std::fabs(next - sigma) < 1e-13;
        sigma = next;
        if (done) break;
    }
    cos_2sm = std::cos(2 * sigma1 + sigma);
    sin_sigma = std::sin(sigma);
    cos_sigma = std::cos(sigma);

    const double tmp = sin_u1 * sin_sigma - cos_u1 * cos_sigma * cos_a1;
    const double lat = std::atan2(sin_u1 * cos_sigma + cos_u1 * sin_sigma * cos_a1,
                                  kOneMinusF * std::sqrt(sin_alpha * sin_alpha + tmp * tmp));
    const double lambda = std::atan2(sin_sigma * sin_a1, cos_u1 * cos_sigma - sin_u1 * sin_sigma * cos_a1);
    const double c = kFlattening / 16 * cos2_alpha * (4 + kFlattening * (4 - 3 * cos2_alpha));
    const double l = lambda - (1 - c) * kFlattening * sin_alpha *
                                  (sigma + c * sin_sigma * (cos_2sm + c * cos_sigma * (-1 + 2 * cos_2sm * cos_2sm)));
    double lon = start.longitude + l;
    // Keep the longitude within -pi..pi.
    lon = std::remainder(lon, 2 * kPi);
    return {lat, lon};
}

double geodesic_azimuth(const GeoPosition& a, const GeoPosition& b) {
    const double u1 = std::atan(kOneMinusF * std::tan(a.latitude));
    const double u2 = std::atan(kOneMinusF * std::tan(b.latitude));
    const double sin_u1 = std::sin(u1), cos_u1 = std::cos(u1);
    const double sin_u2 = std::sin(u2), cos_u2 = std::cos(u2);
    const double l = std::remainder(b.longitude - a.longitude, 2 * kPi);
    double lambda = l;
    for (int pass = 0; pass < 200; ++pass) {
        const double sin_l = std::sin(lambda), cos_l = std::cos(lambda);
        const double p = cos_u2 * sin_l;
        const double q = cos_u1 * sin_u2 - sin_u1 * cos_u2 * cos_l;
        const double sin_sigma = std::sqrt(p * p + q * q);
        if (sin_sigma == 0) return 0.0;   // the same point: any bearing will do
        const double cos_sigma = sin_u1 * sin_u2 + cos_u1 * cos_u2 * cos_l;
        const double sigma = std::atan2(sin_sigma, cos_sigma);
        const double sin_alpha = cos_u1 * cos_u2 * sin_l / sin_sigma;
        const double cos2_alpha = 1 - sin_alpha * sin_alpha;
        const double cos_2sm = cos2_alpha == 0 ? 0 : cos_sigma - 2 * sin_u1 * sin_u2 / cos2_alpha;
        const double c = kFlattening / 16 * cos2_alpha * (4 + kFlattening * (4 - 3 * cos2_alpha));
        const double next =
            l + (1 - c) * kFlattening * sin_alpha *
                    (sigma + c * sin_sigma * (cos_2sm + c * cos_sigma * (-1 + 2 * cos_2sm * cos_2sm)));
        const bool done = std::fabs(next - lambda) < 1e-13;
        lambda = next;
        if (done) {
            const double sl = std::sin(lambda), cl = std::cos(lambda);
            return normalised_azimuth(std::atan2(cos_u2 * sl, cos_u1 * sin_u2 - sin_u1 * cos_u2 * cl));
        }
        if (!std::isfinite(lambda)) break;
    }
    // Spherical bearing: good enough where the ellipsoidal iteration fails.
    const double dl = b.longitude - a.longitude;
    return normalised_azimuth(std::atan2(std::sin(dl) * std::cos(b.latitude),
                                         std::cos(a.latitude) * std::sin(b.latitude) -
                                             std::sin(a.latitude) * std::cos(b.latitude) * std::cos(dl)));
}

}  // namespace orlogix
