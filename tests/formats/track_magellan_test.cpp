// Magellan track logs: sentences with checksums worked out by hand, fixes
// that are skipped or end the data, every kind of bad line, and a log written
// by gpsbabel from a real flight.
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/tracks/magellan.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

double degrees(int32_t v) { return semicircle_to_radians(v) * kRadiansToDegrees; }

TEST(MagellanLog, ReadsFixesUntilTheEnd) {
    const std::string text =
        "$PMGNFMT,%TRK,LAT,HEMI,LON,HEMI,ALT,UNIT,TIME,VALID,NAME,%META,ASCII\r\n"
        "$PMGNTRK,4630.000,N,00715.000,W,01234,M,123456.50,A,,150711*65\r\n"
        "$PMGNTRK,4630.000,N,00715.000,E,1,M,000000,V,,010100*4A\r\n"          // not valid: skipped
        "$PMGNTRK,4630.000,S,00715.000,E,100,F,235959.49,A,name,010100*6E\r\n"
        "$PMGNCMD,END*3D\r\n"
        "garbage after the end\r\n";
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_magellan_log(r, text, out), 2) << r.last_error().text;
    EXPECT_NEAR(degrees(out[0].latitude), 46.5, 1e-7);
    EXPECT_NEAR(degrees(out[0].longitude), -7.25, 1e-7);
    EXPECT_EQ(out[0].gps_altitude, 12340);
    EXPECT_EQ(out[0].time, time_from_calendar(2011, 7, 15, 12, 34, 57));   // .50 adds a second
    EXPECT_EQ(out[0].flags, kSegmentStart);
    EXPECT_NEAR(degrees(out[1].latitude), -46.5, 1e-7);
    EXPECT_EQ(out[1].gps_altitude, 305);                                   // 100 ft = 30.48 m
    EXPECT_EQ(out[1].time, time_from_calendar(2000, 1, 1, 23, 59, 59));    // .49 does not
    EXPECT_EQ(out[1].flags, 0u);
}

TEST(MagellanLog, ThePolesAndTheDateLineThemselves) {
    const std::string text = "$PMGNTRK,9000.000,N,18000.000,W,1,M,000000,A,,010100*4D\n"
                             "$PMGNTRK,9000.000,S,18000.000,E,1,M,000000,A,,010100*42\n";
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_magellan_log(r, text, out), 2) << r.last_error().text;
    EXPECT_EQ(out[0].latitude, 1 << 30);
    EXPECT_EQ(out[0].longitude, INT32_MIN);
    EXPECT_EQ(out[1].latitude, -(1 << 30));
    EXPECT_EQ(out[1].longitude, INT32_MIN);  // 180 E is 180 W
}

TEST(MagellanLog, EmptyLineEndsTheData) {
    const std::string text = "$PMGNTRK,4630.000,N,00715.000,W,01234,M,123456.50,A,,150711*65\n\nnot a sentence\n";
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    EXPECT_EQ(read_magellan_log(r, text, out), 1);
}

TEST(MagellanLog, BadLines) {
    const std::string good = "$PMGNTRK,4630.000,N,00715.000,W,01234,M,123456.50,A,,150711*65\n";
    const std::pair<const char*, std::string> cases[] = {
        {"checksum", "$PMGNTRK,4630.000,N,00715.000,W,01234,M,123456.50,A,,150711*66\n"},
        {"no checksum", "$PMGNTRK,4630.000,N,00715.000,W,01234,M,123456.50,A,,150711\n"},
        {"other sentence", "$GPGGA,1,2*55\n"},
        {"latitude past 90", "$PMGNTRK,9000.001,N,00715.000,E,1,M,000000,A,,010100*54\n"},
        {"longitude past 180", "$PMGNTRK,4630.000,N,18000.001,E,1,M,000000,A,,010100*56\n"},
        {"hemisphere", "$PMGNTRK,4630.000,X,00715.000,E,1,M,000000,A,,010100*4B\n"},
        {"unit", "$PMGNTRK,4630.000,N,00715.000,E,1,K,000000,A,,010100*5B\n"},
        {"month 13", "$PMGNTRK,4630.000,N,00715.000,E,1,M,000000,A,,011300*5E\n"},
        {"hour 24", "$PMGNTRK,4630.000,N,00715.000,E,1,M,240000,A,,010100*5B\n"},
        {"five digit date", "$PMGNTRK,4630.000,N,00715.000,E,1,M,000000,A,,01010*6D\n"},
        {"format line later", good + "$PMGNFMT,x\n"},
    };
    for (const auto& [name, body] : cases) {
        const std::string text = good + body;
        const int bad_line = std::string(name) == "format line later" ? 3 : 2;
        test::RecordingReporter r;
        std::vector<TrackPosition> out(4);
        EXPECT_EQ(read_magellan_log(r, text, out), -1) << name;
        EXPECT_EQ(r.last_error().text, strformat("Bad line %d", bad_line)) << name;
        EXPECT_EQ(r.last_error().title, "Decoding track log file") << name;
        EXPECT_EQ(out.size(), 4u) << name;
    }
}

TEST(MagellanLog, GpsbabelWrittenLogReadsAsTheFlight) {
    const auto flight = test::igc_flight("d3p.igc");
    test::RecordingReporter r;
    std::vector<TrackPosition> got;
    ASSERT_EQ(read_magellan_log(r, test::data_file("tracks/d3p_gpsbabel.log"), got), static_cast<int>(flight.size()))
        << r.last_error().text;
    // Both carry 1/1000 minute and whole metres.
    test::expect_same_points(flight, got, {test::kMilliMinute, 0, 0});
}

}  // namespace
}  // namespace orlogix
