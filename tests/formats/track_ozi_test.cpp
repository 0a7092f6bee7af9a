// OziExplorer track files: the writer's layout written out by hand, the
// reader's messages, round trips of a real flight, and gpsbabel reading ours
// and writing what we read.
#include <gtest/gtest.h>

#include "core/file_read.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/tracks/ozi.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

TrackPosition fix(double lat_deg, double lon_deg, int32_t dm, uint32_t time, uint32_t flags = 0) {
    SemicirclePair s;
    EXPECT_EQ(radians_to_semicircles({lat_deg / kRadiansToDegrees, lon_deg / kRadiansToDegrees}, s), 0);
    TrackPosition p;
    p.latitude = s.latitude;
    p.longitude = s.longitude;
    p.gps_altitude = dm;
    p.time = time;
    p.flags = flags;
    return p;
}

TEST(OziTrack, WriterLayout) {
    const uint32_t t = time_from_calendar(2019, 6, 15, 11, 57, 27);
    const std::vector<TrackPosition> in{fix(45.5, -6.25, 1000, t, kSegmentStart),
                                        fix(-0.125, 179.5, -25, t + 86400 * 200 + 1)};
    const std::string text = ozi_track_text(in, time_from_calendar(2020, 1, 2, 3, 4, 5));
    // 1000 dm = 328.084 ft -> 328; -25 dm = -8.2 ft, +0.5 truncated toward zero -> -7.
    // 2019-06-15 is day 43631 counted from 1899-12-30; 11:57:27 is .4982292 of a day.
    EXPECT_EQ(text,
              "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
              "0,2,255,02.01.20 03:04:05                  ,0,0,2,8421376\r\n"
              "2\r\n"
              "  45.500000,  -6.250000,1,    328,43631.4982292, 15-jun-19, 11:57:27\r\n"
              "  -0.125000,  179.500000,0,     -7,43831.4982407, 01-jan-20, 11:57:28\r\n");
}

TEST(OziTrack, ReadsHandWrittenFile) {
    const std::string text =
        "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
        "0,2,255,x,0,0,2,8421376\r\n2\r\n"
        "46.5,7.25,1,1000,43631.5,,\r\n"
        "-46.5,-7.25,0,-10.5,43632.25\r\n";
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    ASSERT_EQ(read_ozi_track(r, text, out), 2) << r.last_error().text;
    const uint32_t noon = time_from_calendar(2019, 6, 15, 12, 0, 0);
    EXPECT_EQ(out[0].time, noon);
    EXPECT_EQ(out[1].time, noon + 18 * 3600);
    EXPECT_EQ(out[0].gps_altitude, 3048);   // 1000 ft
    EXPECT_EQ(out[1].gps_altitude, -31);    // -10.5 ft = -32.004 dm, +0.5 truncated
    EXPECT_EQ(out[0].flags, kSegmentStart);
    EXPECT_EQ(out[1].flags, 0u);            // only the first starts a segment
    EXPECT_NEAR(semicircle_to_radians(out[1].latitude) * kRadiansToDegrees, -46.5, 1e-7);
    EXPECT_NEAR(semicircle_to_radians(out[1].longitude) * kRadiansToDegrees, -7.25, 1e-7);
    EXPECT_EQ(out[0].baro_altitude, 0);
}

struct OziCase {
    const char* name;
    std::string text;
    const char* message;
};

TEST(OziTrack, Errors) {
    const std::string head = "OziExplorer Track Point File Version 2.1\nWGS 84\na\nb\nc\n";
    const std::string good = "46.5,7.25,1,1000,43631.5\n";
    const OziCase cases[] = {
        {"empty", "", "Missing format line (1)"},
        {"format", "OziExplorer Waypoint File\nWGS 84\n", "Bad format line (1)"},
        {"no datum", "OziExplorer Track Point File Version 2.1\n", "Missing map datum line (2)"},
        {"datum", "OziExplorer Track Point File Version 2.1\nWGS 72\na\nb\nc\n1\n", "Bad map datum line (2)"},
        {"count text", head + "two\n" + good, "Bad line 6"},
        {"negative count", head + "-1\n" + good, "Bad line 6"},
        {"fewer lines", head + "3\n" + good + good, "Missing line(s)"},
        {"latitude past 90", head + "1\n90.000001,7,0,0,40000\n", "Bad line 7"},
        {"longitude past -180", head + "2\n" + good + "1,-180.000001,0,0,40000\n", "Bad line 8"},
        {"too high", head + "1\n1,1,0,30001,40000\n", "Bad line 7"},
        {"too low", head + "1\n1,1,0,-2001,40000\n", "Bad line 7"},
        {"before epoch", head + "1\n1,1,0,0,32872.9\n", "Bad line 7"},
        {"short", head + "1\n1,1,0,0\n", "Bad line 7"},
        {"huge count", head + "2147483647\n" + good, "Missing line(s)"},
    };
    for (const OziCase& c : cases) {
        test::RecordingReporter r;
        std::vector<TrackPosition> out{TrackPosition{}};
        EXPECT_EQ(read_ozi_track(r, c.text, out), -1) << c.name;
        EXPECT_EQ(r.last_error().text, c.message) << c.name;
        EXPECT_EQ(r.last_error().title, "Decoding track log file") << c.name;
        EXPECT_EQ(out.size(), 1u) << c.name << ": out must stay untouched";
    }
}

TEST(OziTrack, CountZeroReadsEveryPointLine) {
    // Other programs write 0 for "not counted"; trailing empty lines are no points.
    const std::string text = "OziExplorer Track Point File Version 2.1\nWGS 84\na\nb\nc\n0\n"
                             "46.5,7.25,1,1000,43631.5\n46.6,7.25,0,1000,43631.6\n\n";
    test::RecordingReporter r;
    std::vector<TrackPosition> out;
    EXPECT_EQ(read_ozi_track(r, text, out), 2) << r.last_error().text;
}

TEST(OziTrack, RoundTripOfRealFlight) {
    const auto flight = test::igc_flight("d3p.igc");
    test::RecordingReporter r;
    std::vector<TrackPosition> back;
    ASSERT_EQ(read_ozi_track(r, ozi_track_text(flight, time_now()), back), static_cast<int>(flight.size()));
    // Feet are whole: half a foot each way is 1.5 dm, plus the truncations.
    test::expect_same_points(flight, back, {test::kMicroDegree, 4, 0});
}

TEST(OziTrack, GpsbabelWrittenFileReadsAsTheFlight) {
    const auto flight = test::igc_flight("d3p.igc");
    test::RecordingReporter r;
    std::vector<TrackPosition> got;
    ASSERT_EQ(read_ozi_track(r, test::data_file("tracks/d3p_gpsbabel.plt"), got), static_cast<int>(flight.size()))
        << r.last_error().text;
    // gpsbabel writes feet with one decimal: 0.05 ft is well below a decimetre.
    test::expect_same_points(flight, got, {test::kMicroDegree, 1, 0});
}

TEST(OziTrack, GpsbabelReadsOurs) {
    if (!test::peer_available("gpsbabel")) return;
    const auto dir = test::scratch_dir("ozi");
    const auto flight = test::igc_flight("tri.igc");
    ASSERT_EQ(write_file_atomic((dir / "ours.plt").string(), ozi_track_text(flight, time_now())), 0);
    std::vector<TrackPosition> seen;
    ASSERT_EQ(test::gpsbabel_points("ozi", (dir / "ours.plt").string(), "", (dir / "seen.gpx").string(), seen),
              static_cast<int>(flight.size()));
    // GPX elevations pass through whole feet here: 1.5 dm each way and rounding.
    // gpsbabel truncates the day fraction, which holds the second to 0.009 s:
    // a time may read one second early.
    test::expect_same_points(flight, seen, {test::kMicroDegree, 5, 1});
    std::filesystem::remove_all(dir);
}

TEST(OziTrack, GpsbabelWritesWhatWeRead) {
    if (!test::peer_available("gpsbabel")) return;
    const auto dir = test::scratch_dir("ozi");
    const std::string igc = std::string(ORLOGIX_TEST_DATA) + "/flights/tri.igc";
    const std::string plt = (dir / "babel.plt").string();
    std::string out;
    ASSERT_EQ(test::run_command("gpsbabel -t -i igc -f '" + igc + "' -x track,name=GNSSALTTRK -o ozi -F '" + plt + "'",
                                out),
              0);
    std::string bytes;
    ASSERT_EQ(read_file(plt, bytes), 0);
    test::RecordingReporter r;
    std::vector<TrackPosition> got;
    const auto flight = test::igc_flight("tri.igc");
    ASSERT_EQ(read_ozi_track(r, bytes, got), static_cast<int>(flight.size())) << r.last_error().text;
    test::expect_same_points(flight, got, {test::kMicroDegree, 1, 0});
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
