#include <gtest/gtest.h>

#include <cmath>

#include "core/geodesy.hpp"

namespace orlogix {
namespace {

constexpr double kPi = 3.14159265358979323846;
GeoPosition deg(double lat, double lon) { return GeoPosition{lat * kPi / 180, lon * kPi / 180}; }

TEST(GeodesicDistance, NearlyEqualPositionsAreZero) {
    const GeoPosition a{0.8, 0.1};
    double m = -5;
    ASSERT_EQ(geodesic_distance(a, GeoPosition{0.8 + 1.4e-9, 0.1 - 0.9e-9}, m), 0);
    EXPECT_EQ(m, 0.0);
    // Just past the latitude threshold the distance is measured (about 9.6 mm per 1.5e-9 rad).
    ASSERT_EQ(geodesic_distance(a, GeoPosition{0.8 + 1.6e-9, 0.1}, m), 0);
    EXPECT_GT(m, 0.0095);
    EXPECT_LT(m, 0.0105);
}

TEST(GeodesicDistance, AlongOneMeridianConverges) {
    // Reference values from GeodSolve -i.
    double m = 0;
    ASSERT_EQ(geodesic_distance(deg(44.5, 7), deg(45.5, 7), m), 0);
    EXPECT_NEAR(m, 111131.777653, 0.001);
    ASSERT_EQ(geodesic_distance(deg(-90, 0), deg(90, 0), m), 0);
    EXPECT_NEAR(m, 20003931.458625, 0.001);
}

TEST(GeodesicDistance, AlongTheEquatorIsTheEquatorialArc) {
    double m = 0;
    ASSERT_EQ(geodesic_distance(deg(0, 0), deg(0, 90), m), 0);
    EXPECT_NEAR(m, 6378137.0 * kPi / 2, 1e-3);
    ASSERT_EQ(geodesic_distance(deg(0, 179.5), deg(0, -179.5), m), 0);  // across the antimeridian
    EXPECT_NEAR(m, 6378137.0 * kPi / 180, 1e-3);
    EXPECT_FALSE(std::isnan(m));
}

TEST(GeodesicDistance, SymmetricAndSignIndependent) {
    double ab = 0, ba = 0;
    ASSERT_EQ(geodesic_distance(deg(46.1, 6.2), deg(-12.3, 100.4), ab), 0);
    ASSERT_EQ(geodesic_distance(deg(-12.3, 100.4), deg(46.1, 6.2), ba), 0);
    EXPECT_NEAR(ab, ba, 1e-6);
}

TEST(GeodesicDistance, NearlyAntipodalPointsDoNotConverge) {
    const double untouched = 1234.5;
    for (const auto& [a, b] : {std::pair{deg(0, 0), deg(0.5, 179.7)}, std::pair{deg(0, 0), deg(0, 179.9)},
                               std::pair{deg(10, 20), deg(-10.2, -160.1)}}) {
        double m = untouched;
        EXPECT_EQ(geodesic_distance(a, b, m), -1);
        EXPECT_EQ(m, untouched);
        EXPECT_EQ(distance_or_zero(a, b), 0.0);
    }
    EXPECT_NEAR(distance_or_zero(deg(0, 0), deg(0, 1)), 111319.49, 0.01);
    double m = untouched;
    EXPECT_EQ(geodesic_distance(GeoPosition{std::nan(""), 0}, deg(1, 1), m), -1);
    EXPECT_EQ(m, untouched);
}

TEST(TransverseMercator, WorkedExample) {
    const PlanePoint p = tm_project(deg(60, 10), 9 * kPi / 180);
    EXPECT_NEAR(p.x, 55776.27, 0.005);
    EXPECT_NEAR(p.y, 6651832.74, 0.005);
    // On the central meridian x vanishes; mirrored longitude mirrors x.
    EXPECT_NEAR(tm_project(deg(47, 9), 9 * kPi / 180).x, 0.0, 1e-9);
    EXPECT_NEAR(tm_project(deg(60, 8), 9 * kPi / 180).x, -p.x, 1e-6);
}

TEST(Utm, WorkedExample) {
    UtmPosition u;
    geo_to_utm(deg(60, 10), u);
    EXPECT_EQ(u.zone, 32);
    EXPECT_EQ(u.band, 'V');
    EXPECT_NEAR(u.easting, 555776.27, 0.005);
    EXPECT_NEAR(u.northing, 6651832.74, 0.005);
}

TEST(Utm, BandLetters) {
    EXPECT_EQ(utm_band_letter(0.0), 'N');
    EXPECT_EQ(utm_band_letter(-8 * kPi / 180), 'M');
    EXPECT_EQ(utm_band_letter(-8 * (kPi / 180)), 'M');
    EXPECT_EQ(utm_band_letter(-1e-12), 'M');
    EXPECT_EQ(utm_band_letter(deg(56, 0).latitude), 'V');
    EXPECT_EQ(utm_band_letter(deg(63.999, 0).latitude), 'V');
    EXPECT_EQ(utm_band_letter(deg(64, 0).latitude), 'W');
    EXPECT_EQ(utm_band_letter(deg(72, 0).latitude), 'X');
    EXPECT_EQ(utm_band_letter(deg(83.99, 0).latitude), 'X');
    EXPECT_EQ(utm_band_letter(deg(84, 0).latitude), 'Y');
    EXPECT_EQ(utm_band_letter(deg(-80, 0).latitude), 'C');
    EXPECT_EQ(utm_band_letter(deg(-80.01, 0).latitude), 'B');
    EXPECT_EQ(utm_band_letter(deg(-72.01, 0).latitude), 'C');
    EXPECT_EQ(utm_band_letter(deg(-72, 0).latitude), 'D');
}

TEST(Utm, EquatorHasNoFalseNorthing) {
    UtmPosition u;
    geo_to_utm(deg(0, 10), u);
    EXPECT_EQ(u.band, 'N');
    EXPECT_NEAR(u.northing, 0.0, 1e-6);
    UtmPosition s;
    geo_to_utm(deg(-0.001, 10), s);
    EXPECT_EQ(s.band, 'M');
    EXPECT_NEAR(s.northing, 9999889.453004, 0.01);  // GeoConvert
}

TEST(Utm, ZoneExceptions) {
    auto zone_of = [](double lat, double lon) {
        UtmPosition u;
        geo_to_utm(deg(lat, lon), u);
        return u.zone;
    };
    EXPECT_EQ(zone_of(60, 4), 32);
    EXPECT_EQ(zone_of(60, 2.99), 31);
    EXPECT_EQ(zone_of(60, 11.99), 32);
    EXPECT_EQ(zone_of(60, 12), 33);
    EXPECT_EQ(zone_of(55.99, 4), 31);  // below band V the rule does not apply
    EXPECT_EQ(zone_of(75, 8), 31);
    EXPECT_EQ(zone_of(75, 10), 33);
    EXPECT_EQ(zone_of(75, 20.99), 33);
    EXPECT_EQ(zone_of(75, 21), 35);
    EXPECT_EQ(zone_of(75, 33), 37);
    EXPECT_EQ(zone_of(75, 41.99), 37);
    EXPECT_EQ(zone_of(75, 42), 38);
    EXPECT_EQ(zone_of(75, -0.01), 30);
    EXPECT_EQ(zone_of(0, -180), 1);
    EXPECT_EQ(zone_of(0, 180), 60);  // the eastern edge stays in the last zone
    EXPECT_EQ(zone_of(-33.9, 151.2), 56);
}

TEST(Utm, ForcedZoneIsKeptAndBandStillComputed) {
    UtmPosition u;
    u.zone = 31;
    u.band = 'Q';
    geo_to_utm(deg(60, 10), u);
    EXPECT_EQ(u.zone, 31);
    EXPECT_EQ(u.band, 'V');
    EXPECT_GT(u.easting, 800000.0);  // 7 degrees east of zone 31's meridian
}

TEST(Utm, InverseReturnsThePosition) {
    for (const GeoPosition& p : {deg(60, 10), deg(-33.9, 151.2), deg(0.0001, -77.1), deg(-0.0001, -77.1),
                                 deg(83.5, 100.2), deg(-79.5, -1)}) {
        UtmPosition u;
        geo_to_utm(p, u);
        const GeoPosition back = utm_to_geo(u);
        EXPECT_NEAR(back.latitude, p.latitude, 1e-9);
        EXPECT_NEAR(back.longitude, p.longitude, 1e-9);
    }
}

TEST(Utm, BandLetterOnlyChoosesTheHemisphere) {
    UtmPosition u{500000, 1000000, 32, 'N'};
    const GeoPosition north = utm_to_geo(u);
    u.band = 'X';
    EXPECT_DOUBLE_EQ(utm_to_geo(u).latitude, north.latitude);
    u.band = 'M';
    const GeoPosition south = utm_to_geo(u);
    EXPECT_LT(south.latitude, 0);
    EXPECT_NEAR(south.latitude, -deg(81, 0).latitude, 0.02);
}

TEST(Rotation, StartGoesToOriginEndToTheEquator) {
    const GeoPosition s = deg(46.0, 7.0), e = deg(46.5, 8.0);
    const RotationBase base = rotation_base(s, e);
    EXPECT_NEAR(base.cos_theta * base.cos_theta + base.sin_theta * base.sin_theta, 1.0, 1e-12);

    const GeoPosition s2 = rotate_position(base, s);
    EXPECT_NEAR(s2.latitude, 0.0, 1e-12);
    EXPECT_NEAR(s2.longitude, 0.0, 1e-12);

    const GeoPosition e2 = rotate_position(base, e);
    const double angle = std::acos(std::sin(s.latitude) * std::sin(e.latitude) +
                                   std::cos(s.latitude) * std::cos(e.latitude) * std::cos(e.longitude - s.longitude));
    EXPECT_NEAR(e2.latitude, 0.0, 1e-12);
    EXPECT_NEAR(e2.longitude, angle, 1e-12);
}

TEST(Rotation, KeepsAngularDistancesAndSides) {
    const GeoPosition s = deg(10, 20), e = deg(10, 30);  // heading roughly east
    const RotationBase base = rotation_base(s, e);
    const GeoPosition north = rotate_position(base, deg(12, 25));
    const GeoPosition south = rotate_position(base, deg(8, 25));
    EXPECT_GT(north.latitude, 0);
    EXPECT_LT(south.latitude, 0);
    // A point behind the start (more than 90 degrees away) lands beyond the quarter circle.
    const GeoPosition far = rotate_position(base, deg(-5, -110));
    EXPECT_GT(std::fabs(far.longitude), kPi / 2);
    EXPECT_LE(std::fabs(far.longitude), kPi);
    const GeoPosition far_west = rotate_position(base, deg(-20, -140));
    EXPECT_LE(std::fabs(far_west.longitude), kPi);
}

TEST(Rotation, CoincidentEndsGiveNoNan) {
    const GeoPosition s = deg(46, 7);
    const RotationBase base = rotation_base(s, s);
    const GeoPosition p = rotate_position(base, deg(47, 8));
    EXPECT_FALSE(std::isnan(p.latitude));
    EXPECT_FALSE(std::isnan(p.longitude));
}

}  // namespace
}  // namespace orlogix
