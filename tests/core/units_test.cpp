#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/units.hpp"

namespace orlogix {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Units, RoundHalfAwayFromZero) {
    EXPECT_EQ(round_half_away(2.5), 3);
    EXPECT_EQ(round_half_away(-2.5), -3);
    EXPECT_EQ(round_half_away(2.4999), 2);
    EXPECT_EQ(round_half_away(-2.4999), -2);
    EXPECT_EQ(round_half_away(-0.4), 0);
    // Out-of-range doubles saturate instead of being undefined.
    EXPECT_EQ(round_half_away(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(round_half_away(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(round_half_away(std::nan("")), 0);
}

TEST(Units, SemicirclesAndRadians) {
    const GeoPosition p = semicircles_to_radians(1 << 30, -(1 << 30));
    EXPECT_DOUBLE_EQ(p.latitude, kPi / 2);
    EXPECT_DOUBLE_EQ(p.longitude, -kPi / 2);

    SemicirclePair s;
    ASSERT_EQ(radians_to_semicircles(GeoPosition{kPi / 2, -kPi / 4}, s), 0);
    EXPECT_EQ(s.latitude, 1 << 30);
    EXPECT_EQ(s.longitude, -(1 << 29));

    // Every stored value survives the trip through radians.
    for (int32_t v : {0, 1, -1, 123456789, -987654321, 2147483647, -2147483647 - 1}) {
        int32_t back = 0;
        ASSERT_EQ(radians_to_semicircle(semicircle_to_radians(v), back), 0) << v;
        EXPECT_EQ(back, v);
        // and through the degrees the files show.
        const LatLonDegrees d = semicircles_to_degrees(v / 2, v);
        ASSERT_EQ(degrees_to_semicircles(d.latitude, d.longitude, s), 0) << v;
        EXPECT_EQ(s.latitude, v / 2);
        EXPECT_EQ(s.longitude, v);
    }
    // The degree factor is a hair below 180/pi; six decimals do not show it.
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", semicircle_to_degrees(1 << 30));
    EXPECT_STREQ(text, "90.000000");
}

TEST(Units, HalfTurnWrapsAndOutOfRangeIsRefused) {
    int32_t v = 0;
    ASSERT_EQ(radians_to_semicircle(kPi, v), 0);
    EXPECT_EQ(v, std::numeric_limits<int32_t>::min());
    ASSERT_EQ(radians_to_semicircle(-kPi, v), 0);
    EXPECT_EQ(v, std::numeric_limits<int32_t>::min());

    v = 77;
    EXPECT_EQ(radians_to_semicircle(3.2, v), -1);
    EXPECT_EQ(radians_to_semicircle(-3.2, v), -1);
    EXPECT_EQ(radians_to_semicircle(std::nan(""), v), -1);
    EXPECT_EQ(radians_to_semicircle(std::numeric_limits<double>::infinity(), v), -1);
    EXPECT_EQ(v, 77);

    SemicirclePair s{5, 6};
    EXPECT_EQ(radians_to_semicircles(GeoPosition{1.6, 0.0}, s), -1);  // past the pole
    EXPECT_EQ(radians_to_semicircles(GeoPosition{0.0, 4.0}, s), -1);
    EXPECT_EQ(radians_to_semicircles(GeoPosition{std::nan(""), 0.0}, s), -1);
    EXPECT_EQ(s.latitude, 5);
    EXPECT_EQ(s.longitude, 6);
}

// Degree texts of 90 and 180 (which writers round onto) stand for the limits
// themselves, though the degree factor puts them a hair beyond in radians.
TEST(Units, DegreesTakeThePolesAndTheDateLine) {
    struct Case {
        double latitude, longitude;
        int rc;
        int32_t lat_out, lon_out;
    };
    const Case cases[] = {
        {90.0, 180.0, 0, 1 << 30, INT32_MIN},
        {-90.0, -180.0, 0, -(1 << 30), INT32_MIN},
        {45.0, -11.25, 0, 1 << 29, -(1 << 27)},
        {90.000001, 0.0, -1, 5, 6},
        {0.0, -180.000001, -1, 5, 6},
        {std::nan(""), 0.0, -1, 5, 6},
        {0.0, std::numeric_limits<double>::infinity(), -1, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latitude << " " << c.longitude);
        SemicirclePair s{5, 6};
        EXPECT_EQ(degrees_to_semicircles(c.latitude, c.longitude, s), c.rc);
        EXPECT_EQ(s.latitude, c.lat_out);
        EXPECT_EQ(s.longitude, c.lon_out);
    }
}

TEST(Units, DisplayUnits) {
    // 45.5 degrees: 16380000 centi-arc-seconds, 2730000 milli-minutes.
    const int32_t deg45_5 = static_cast<int32_t>(round_half_away(45.5 / 180.0 * 2147483648.0));
    const SemicirclePair cas = semicircles_to_centi_arcsec(deg45_5, -deg45_5);
    EXPECT_EQ(cas.latitude, 16380000);
    EXPECT_EQ(cas.longitude, -16380000);
    const SemicirclePair mm = semicircles_to_milliminutes(deg45_5, -deg45_5);
    EXPECT_EQ(mm.latitude, 2730000);
    EXPECT_EQ(mm.longitude, -2730000);
}

TEST(Units, MilliminutesToSemicircles) {
    EXPECT_EQ(milliminutes_to_semicircles(2730000), 542836144);  // 2730000 x 198.8410785185 = 542836144.36
    EXPECT_EQ(milliminutes_to_semicircles(-2730000), -542836144);
    EXPECT_EQ(milliminutes_to_semicircles(1), 199);
    EXPECT_EQ(milliminutes_to_semicircles(5400000), 1 << 30);  // 90 degrees
    // 180 degrees east is the same semicircle value as 180 west.
    EXPECT_EQ(milliminutes_to_semicircles(10800000), std::numeric_limits<int32_t>::min());

    int32_t out = 3;
    EXPECT_EQ(milliminutes_to_semicircles(10800001, out), -1);
    EXPECT_EQ(milliminutes_to_semicircles(-10800001, out), -1);
    EXPECT_EQ(milliminutes_to_semicircles(std::numeric_limits<int32_t>::max(), out), -1);
    EXPECT_EQ(out, 3);
    ASSERT_EQ(milliminutes_to_semicircles(-5400000, out), 0);
    EXPECT_EQ(out, -(1 << 30));
}

}  // namespace
}  // namespace orlogix
