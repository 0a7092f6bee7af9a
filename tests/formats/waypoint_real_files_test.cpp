// Waypoint files made by other programs, recognised by their content and read
// to the points they hold; the same points in several formats must agree.
#include <gtest/gtest.h>

#include <sstream>

#include "core/units.hpp"
#include "formats/commands/waypoint_file.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using test::RecordingReporter;

std::string data(const char* name) { return std::string(ORLOGIX_TEST_DATA) + "/waypoints/" + name; }

double degrees(int32_t semicircles) { return semicircles * 180.0 / 2147483648.0; }

// Reads with every identifier question answered "Yes to &All".
std::vector<Waypoint> read_all(const char* name) {
    RecordingReporter r;
    r.queue_answer(1);
    std::vector<Waypoint> out;
    EXPECT_GT(read_waypoint_file(r, data(name), true, out), 0) << name << ": " << r.last_error().text;
    EXPECT_EQ(r.count("error"), 0) << name;
    return out;
}

void expect_agree(const std::vector<Waypoint>& a, const std::vector<Waypoint>& b, double deg, int metres) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(degrees(a[i].latitude), degrees(b[i].latitude), deg);
        EXPECT_NEAR(degrees(a[i].longitude), degrees(b[i].longitude), deg);
        EXPECT_NEAR(a[i].height, b[i].height, metres);
    }
}

TEST(RealWaypointFiles, FivePointsAgreeAcrossFormats) {
    const std::vector<Waypoint> cup = read_all("waypoints.cup");
    ASSERT_EQ(cup.size(), 5u);
    EXPECT_EQ(cup[0].identifier, "ACONCA");
    EXPECT_EQ(cup[0].comment, "Aconcagua");
    EXPECT_NEAR(degrees(cup[0].latitude), -(32 + 39.2 / 60), 1e-7);
    EXPECT_NEAR(degrees(cup[0].longitude), -(70 + 0.7 / 60), 1e-7);
    EXPECT_EQ(cup[0].height, 6962);
    EXPECT_EQ(cup[1].identifier, "");  // its code is empty
    EXPECT_EQ(cup[1].height, 488);
    EXPECT_EQ(cup[1].airfield, 1);  // style 5
    EXPECT_EQ(cup[2].identifier, "GGB");
    EXPECT_EQ(cup[2].airfield, 0);  // style 14

    const std::vector<Waypoint> dat = read_all("waypoints.dat");
    ASSERT_EQ(dat.size(), 5u);
    EXPECT_EQ(dat[1].identifier, "553");
    EXPECT_EQ(dat[1].comment, "Bergneustadt");
    EXPECT_EQ(dat[1].airfield, 1);

    const std::vector<Waypoint> ozi = read_all("waypoints_ozi.wpt");
    ASSERT_EQ(ozi.size(), 5u);
    EXPECT_EQ(ozi[2].identifier, "GOLDEN");
    EXPECT_EQ(ozi[2].comment, "Golden Gate Bridge");
    EXPECT_EQ(ozi[0].time, 672130511u);  // day 40652.2883218 = 2011-04-19 06:55:11 UTC

    const std::vector<Waypoint> geo = read_all("waypoints_geo.wpt");
    ASSERT_EQ(geo.size(), 5u);
    EXPECT_EQ(geo[1].identifier, "BERGNE");
    EXPECT_EQ(geo[1].comment, "Bergneustadt");
    EXPECT_EQ(geo[1].airfield, 1);

    const std::vector<Waypoint> utm = read_all("waypoints_utm.wpt");
    ASSERT_EQ(utm.size(), 5u);
    EXPECT_EQ(utm[1].airfield, 1);

    // Minutes to three places, seconds to hundredths, UTM to the metre, Ozi
    // heights in whole feet.
    expect_agree(cup, dat, 1.0 / 3600, 0);
    expect_agree(cup, ozi, 1e-5, 1);
    expect_agree(cup, geo, 1e-5, 0);
    expect_agree(cup, utm, 2e-5, 0);
}

TEST(RealWaypointFiles, OurUtmMatchesTheirUtm) {
    // Their UTM file was computed by another program from the same points.
    std::vector<Waypoint> geo = read_all("waypoints_geo.wpt");
    std::istringstream theirs(test::file_bytes(data("waypoints_utm.wpt")));
    std::istringstream ours(utm_waypoint_text(geo));
    std::string line_ours, line_theirs;
    std::getline(ours, line_ours);
    std::getline(theirs, line_theirs);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(std::getline(ours, line_ours));
        ASSERT_TRUE(std::getline(theirs, line_theirs));
        // Identifiers fill the first nine columns.
        std::istringstream a(line_ours.substr(9)), b(line_theirs.substr(9));
        std::string zone_a, zone_b;
        long easting_a = 0, easting_b = 0, northing_a = 0, northing_b = 0;
        a >> zone_a >> easting_a >> northing_a;
        b >> zone_b >> easting_b >> northing_b;
        EXPECT_EQ(zone_a, zone_b);
        EXPECT_NEAR(easting_a, easting_b, 1);
        EXPECT_NEAR(northing_a, northing_b, 1);
    }
}

TEST(RealWaypointFiles, CompetitionSetAgreesAcrossFormats) {
    const std::vector<Waypoint> cup = read_all("euregio9.cup");
    ASSERT_EQ(cup.size(), 99u);  // the task section after the points is not read
    EXPECT_EQ(cup[0].identifier, "01AACH");
    EXPECT_EQ(cup[0].comment, "01Aachen -Pumpstation-");
    EXPECT_EQ(cup[0].height, 189);

    const std::vector<Waypoint> ozi = read_all("euregio9_ozi.wpt");
    ASSERT_EQ(ozi.size(), 99u);
    EXPECT_EQ(ozi[0].identifier, "AACHEN");
    EXPECT_EQ(ozi[0].comment, "PUMPSTATION GAFOR-34");
    expect_agree(cup, ozi, 2e-5, 1);

    const std::vector<Waypoint> dat = read_all("euregio9.dat");
    ASSERT_EQ(dat.size(), 99u);  // remarks and the closing Ctrl-Z are not points
    EXPECT_EQ(dat[0].identifier, "1");
    EXPECT_EQ(dat[0].comment, "Aachen");
    expect_agree(cup, dat, 1.0 / 3600, 0);
    EXPECT_EQ(dat[2].airfield, 0);  // "TA": the first letter decides
}

TEST(RealWaypointFiles, WithoutAnyoneToAskLongNamesAreBadLines) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    EXPECT_EQ(read_waypoint_file(r, data("waypoints_geo.wpt"), false, out), -1);
    EXPECT_EQ(r.last_error().text, "Bad line 2");
    EXPECT_TRUE(out.empty());
}

TEST(RealWaypointFiles, UnknownFormatIsRefused) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    EXPECT_EQ(read_waypoint_file(r, data("waypoints_compe_geo.wpt"), false, out), -1);
    EXPECT_EQ(r.last_error().title, "Decoding WinPilot file");
    EXPECT_EQ(r.last_error().text, "Bad line 1");
}

}  // namespace
}  // namespace orlogix
