// CSV track files: our layout, headers found by name with "," or ";",
// quoted fields, every message with its line number, our own file read back
// with its heights, and gpsbabel on both sides.
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/tracks/csv.hpp"
#include "track_test_util.hpp"

namespace orlogix {
namespace {

TEST(CsvTrack, WriterLayout) {
    TrackPosition a;
    a.time = time_from_calendar(2011, 5, 1, 12, 0, 0);
    SemicirclePair s;
    ASSERT_EQ(radians_to_semicircles({45.25 / kRadiansToDegrees, -6.5 / kRadiansToDegrees}, s), 0);
    a.latitude = s.latitude;
    a.longitude = s.longitude;
    a.gps_altitude = 15;     // 1.5 m -> 2
    a.baro_altitude = -7;
    TrackPosition b = a;
    b.time += 61;
    b.gps_altitude = -15;    // -1.5 m -> -2
    TrackPosition c = a;
    c.gps_altitude = -14;    // -1.4 m -> -1
    EXPECT_EQ(csv_track_text({a, b, c}),
              "Date/time,Latitude,Longitude,H-GPS,H-Baro\r\n"
              "2011-05-01T12:00:00Z,45.250000,-6.500000,2,-7\r\n"
              "2011-05-01T12:01:01Z,45.250000,-6.500000,-2,-7\r\n"
              "2011-05-01T12:00:00Z,45.250000,-6.500000,-1,-7\r\n");
}

TEST(CsvTrack, OwnFileOpensAgainWithItsHeights) {
    const auto flight = test::igc_flight("d3p.igc");
    test::RecordingReporter r;
    CsvTrack back;
    ASSERT_EQ(read_csv_track(r, csv_track_text(flight), back), static_cast<int>(flight.size()))
        << r.last_error().text;
    // Whole metres: within half a metre of the decimetres.
    test::expect_same_points(flight, back.positions, {test::kMicroDegree, 5, 0});
    EXPECT_TRUE(back.baro_present);
    for (std::size_t i = 0; i < flight.size(); ++i) ASSERT_EQ(back.positions[i].baro_altitude, flight[i].baro_altitude);
    for (const TrackPosition& p : back.positions) ASSERT_EQ(p.flags, 0u);
}

TEST(CsvTrack, SemicolonHeaderQuotesAndAltitude) {
    const std::string text =
        "\"Point\";\"Time\";\"Lat Itude\";\"Latitude\";\"Longitude\";\"Altitude\"\r\n"
        "1;\"2011-07-15T12:30:05.5+02:00\";x;  46.5 ; \"-7.25\";1234.56\r\n"
        "2;2011-07-15T12:30:07Z;x;46.5;-7.25;-3.99\r\n"
        "3;2011-07-15T12:30:08Z;x;46.5;-7.25;0";   // last line without LF
    test::RecordingReporter r;
    CsvTrack out;
    ASSERT_EQ(read_csv_track(r, text, out), 3) << r.last_error().text;
    EXPECT_EQ(out.positions[0].time, time_from_calendar(2011, 7, 15, 10, 30, 6));
    EXPECT_EQ(out.positions[0].gps_altitude, 12345);   // metres x 10, truncated
    EXPECT_EQ(out.positions[1].gps_altitude, -39);
    EXPECT_NEAR(semicircle_to_radians(out.positions[0].latitude) * kRadiansToDegrees, 46.5, 1e-7);
    EXPECT_NEAR(semicircle_to_radians(out.positions[0].longitude) * kRadiansToDegrees, -7.25, 1e-7);
    EXPECT_FALSE(out.baro_present);
}

TEST(CsvTrack, HeaderWithoutAltitudeGivesZero) {
    test::RecordingReporter r;
    CsvTrack out;
    ASSERT_EQ(read_csv_track(r, "date,latitude,longitude\n2011-01-01T00:00:00,1,2\n", out), 1);
    EXPECT_EQ(out.positions[0].gps_altitude, 0);
}

struct CsvCase {
    const char* name;
    std::string text;
    const char* message;
};

TEST(CsvTrack, Errors) {
    const std::string h = "Time,Latitude,Longitude,Height\n";
    const CsvCase cases[] = {
        {"no header", "", "Could not determine items from header"},
        {"no longitude", "Time,Latitude,Lon\n", "Could not determine items from header"},
        {"one column twice", "Date Latitude Longitude\n", "Could not determine items from header"},
        {"quote inside", h + "2011-01-01T00:00:00,4\"6,7,0\n", "Error parsing line 2"},
        {"open quote", h + "2011-01-01T00:00:00,\"46,7,0\n", "Error parsing line 2"},
        {"missing column", h + "2011-01-01T00:00:00,46,7,0\n2011-01-01T00:00:01,46,7\n", "Error parsing line 3"},
        {"time", h + "yesterday,46,7,0\n", "Error decoding time on line 2"},
        {"latitude", h + "2011-01-01T00:00:00,N46,7,0\n", "Error decoding latitude on line 2"},
        {"latitude past 90", h + "2011-01-01T00:00:00,-90.000001,7,0\n", "Latitude out of range on line 2"},
        {"longitude", h + "2011-01-01T00:00:00,46,7E,0\n", "Error decoding longitude on line 2"},
        {"longitude past 180", h + "2011-01-01T00:00:00,46,180.000001,0\n", "Longitude out of range on line 2"},
        {"height", h + "2011-01-01T00:00:00,46,7,high\n", "Bad height data on line 2"},
        {"height huge", h + "2011-01-01T00:00:00,46,7,999999999999\n", "Bad height data on line 2"},
    };
    for (const CsvCase& c : cases) {
        test::RecordingReporter r;
        CsvTrack out;
        out.positions.resize(1);
        EXPECT_EQ(read_csv_track(r, c.text, out), -1) << c.name;
        EXPECT_EQ(r.last_error().text, c.message) << c.name;
        EXPECT_EQ(r.last_error().title, "Read CSV track log file") << c.name;
        EXPECT_EQ(out.positions.size(), 1u) << c.name;
    }
}

TEST(CsvTrack, GpsbabelWrittenFileReadsAsTheFlight) {
    // Written by gpsbabel's xcsv with tests/data/tracks/iso_time_csv.style.
    const auto flight = test::igc_flight("d3p.igc");
    test::RecordingReporter r;
    CsvTrack got;
    ASSERT_EQ(read_csv_track(r, test::data_file("tracks/d3p_gpsbabel.csv"), got), static_cast<int>(flight.size()))
        << r.last_error().text;
    test::expect_same_points(flight, got.positions, {test::kMicroDegree, 0, 0});
}

TEST(CsvTrack, GpsbabelReadsOurs) {
    if (!test::peer_available("gpsbabel")) return;
    const auto dir = test::scratch_dir("csv");
    const auto flight = test::igc_flight("tri.igc");
    const std::string path = (dir / "ours.csv").string();
    ASSERT_EQ(write_file_atomic(path, csv_track_text(flight)), 0);
    std::vector<TrackPosition> seen;
    // gpsbabel's universal CSV takes our time and coordinates; it has no name
    // for our height columns, so heights are not compared.
    ASSERT_EQ(test::gpsbabel_points("unicsv", path, "-x transform,trk=wpt,del", (dir / "seen.gpx").string(), seen),
              static_cast<int>(flight.size()));
    test::expect_same_points(flight, seen, {test::kMicroDegree, -1, 0});
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
