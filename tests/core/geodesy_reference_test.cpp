// Distances and UTM coordinates against GeographicLib's tools; the tables are
// made by scripts/make-geodesy-reference and read here.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/geodesy.hpp"

namespace orlogix {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<std::string> data_lines(const char* name) {
    std::ifstream in(std::string(ORLOGIX_TEST_DATA) + "/geodesy/" + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

TEST(GeodesyReference, VincentyAgreesWithGeodSolve) {
    const auto lines = data_lines("geodesic.txt");
    ASSERT_GE(lines.size(), 400u);
    int long_lines = 0;
    for (const std::string& line : lines) {
        std::istringstream f(line);
        double lat1, lon1, lat2, lon2, expected;
        ASSERT_TRUE(f >> lat1 >> lon1 >> lat2 >> lon2 >> expected) << line;
        double m = -1;
        ASSERT_EQ(geodesic_distance(GeoPosition{lat1 * kPi / 180, lon1 * kPi / 180},
                                    GeoPosition{lat2 * kPi / 180, lon2 * kPi / 180}, m),
                  0)
            << line;
        const double tolerance = expected <= 1000000.0 ? 0.001 : 0.01;
        EXPECT_NEAR(m, expected, tolerance) << line;
        if (expected > 10000000.0) ++long_lines;
    }
    EXPECT_GT(long_lines, 50);  // the table really spans the globe
}

TEST(GeodesyReference, UtmAgreesWithGeoConvertBothWays) {
    const auto lines = data_lines("utm.txt");
    ASSERT_GE(lines.size(), 300u);
    for (const std::string& line : lines) {
        std::istringstream f(line);
        double lat, lon, easting, northing;
        std::string zone_text;
        ASSERT_TRUE(f >> lat >> lon >> zone_text >> easting >> northing) << line;
        const int zone = std::stoi(zone_text);
        const bool north = zone_text.back() == 'n';
        const GeoPosition p{lat * kPi / 180, lon * kPi / 180};

        UtmPosition u;
        u.zone = zone;
        geo_to_utm(p, u);
        EXPECT_NEAR(u.easting, easting, 0.01) << line;
        EXPECT_NEAR(u.northing, northing, 0.01) << line;
        EXPECT_EQ(u.band > 'M', north) << line;

        const GeoPosition back = utm_to_geo(UtmPosition{easting, northing, zone, north ? 'N' : 'M'});
        const double north_error = (back.latitude - p.latitude) * 6367000.0;
        const double east_error = (back.longitude - p.longitude) * 6378137.0 * std::cos(p.latitude);
        EXPECT_LT(std::hypot(north_error, east_error), 0.01) << line;
    }
}

}  // namespace
}  // namespace orlogix
