// GPX tracks and waypoints: the writers' layout, reading back, every reader
// error text, GPX written by gpsbabel from real flights, and gpsbabel reading ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/gpx/reader.hpp"
#include "formats/gpx/writer.hpp"
#include "formats/igc/reader.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

const uint32_t kNow = time_from_calendar(2020, 2, 29, 23, 59, 58);
const uint32_t kT0 = time_from_calendar(2019, 9, 26, 13, 39, 9);

std::vector<TrackPosition> falling(int count) {
    std::vector<TrackPosition> out;
    for (int i = 0; i < count; ++i) {
        TrackPosition p;
        p.flags = i == 0 ? kSegmentStart : 0;
        p.time = kT0 + 3 * i;
        p.latitude = 536870912 - 11930 * i;       // 45 degrees, falling
        p.longitude = -134217728 + 23860 * i;     // -11.25, rising
        p.gps_altitude = 7155 - 1000 * i;         // 715.5 m, falling below zero
        p.baro_altitude = 700;
        out.push_back(p);
    }
    return out;
}

std::string gpx(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.1\">" + body + "</gpx>\r\n";
}

std::string trkpt(const std::string& attrs, const std::string& inner) {
    return "<trkpt " + attrs + ">" + inner + "</trkpt>";
}

TEST(GpxWriter, TrackLayout) {
    const std::string text = gpx_track_text(falling(3), kNow, 10);
    EXPECT_EQ(text,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"\r\n"
              "     creator=\"Orlogix 0.10\"\r\n"
              "     version=\"1.1\"\r\n"
              "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
              "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n"
              "  <metadata>\r\n"
              "    <link href=\"https://orlogix.org/\">\r\n"
              "      <text>Orlogix, flights for your online logbook</text>\r\n"
              "    </link>\r\n"
              "    <time>2020-02-29T23:59:58Z</time>\r\n"
              "    <bounds minlat=\"44.998000\" minlon=\"-11.250000\" maxlat=\"45.000000\" maxlon=\"-11.246000\"/>\r\n"
              "  </metadata>\r\n"
              "  <trk>\r\n"
              "    <name>Track 001</name>\r\n"
              "    <trkseg>\r\n"
              "      <trkpt lat=\"45.000000\" lon=\"-11.250000\">\r\n"
              "        <ele>715.5</ele>\r\n"
              "        <time>2019-09-26T13:39:09Z</time>\r\n"
              "      </trkpt>\r\n"
              "      <trkpt lat=\"44.999000\" lon=\"-11.248000\">\r\n"
              "        <ele>615.5</ele>\r\n"
              "        <time>2019-09-26T13:39:12Z</time>\r\n"
              "      </trkpt>\r\n"
              "      <trkpt lat=\"44.998000\" lon=\"-11.246000\">\r\n"
              "        <ele>515.5</ele>\r\n"
              "        <time>2019-09-26T13:39:15Z</time>\r\n"
              "      </trkpt>\r\n"
              "    </trkseg>\r\n"
              "  </trk>\r\n"
              "</gpx>\r\n");
}

TEST(GpxWriter, WaypointLayout) {
    Waypoint w;
    w.identifier = "LZ1";
    w.comment = "Landing <main> & co";
    w.latitude = 536870912;
    w.longitude = 134217728;
    w.height = 450;
    w.time = kT0;
    w.airfield = 1;
    const std::string text = gpx_waypoint_text({w}, kNow, 123);
    EXPECT_NE(text.find("     creator=\"Orlogix 1.23\"\r\n"), std::string::npos);
    const auto at = text.find("  <wpt");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at),
              "  <wpt lat=\"45.000000\" lon=\"11.250000\">\r\n"
              "    <ele>450.0</ele>\r\n"
              "    <time>2019-09-26T13:39:09</time>\r\n"
              "    <name>LZ1</name>\r\n"
              "    <cmt>Landing &lt;main&gt; &amp; co</cmt>\r\n"
              "    <desc>Landing &lt;main&gt; &amp; co</desc>\r\n"
              "    <sym>Dot</sym>\r\n"
              "    <type>Airport</type>\r\n"
              "  </wpt>\r\n"
              "</gpx>\r\n");
}

TEST(GpxTrackReader, ReadsWhatTheWriterWrote) {
    const auto fixes = falling(40);
    test::RecordingReporter r;
    std::vector<TrackPosition> got;
    ASSERT_EQ(read_gpx_track(r, gpx_track_text(fixes, kNow), got), 40) << r.last_error().text;
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        EXPECT_EQ(got[i].time, fixes[i].time);
        EXPECT_NEAR(got[i].latitude, fixes[i].latitude, 12);
        EXPECT_NEAR(got[i].longitude, fixes[i].longitude, 12);
        EXPECT_EQ(got[i].gps_altitude, fixes[i].gps_altitude) << i;
        EXPECT_EQ(got[i].baro_altitude, 0);
        EXPECT_EQ(got[i].flags, 0u);
    }
}

TEST(GpxTrackReader, PointWithoutElevationAndOddPaths) {
    const std::string text = gpx("<trk><name>x</name><trkseg>" +
                                 trkpt("lon=\"7.5\"  lat='45.25'", "<time>2019-09-26T13:39:09Z</time>") +
                                 trkpt("lat=\"45.3\" lon=\"7.6\"",
                                       "<ele>-1.5</ele><time>2019-09-26T13:39:10+01:00</time><extensions><ele>9</ele></extensions>") +
                                 "</trkseg></trk>"
                                 // A trkpt outside gpx/trk/trkseg is not a position.
                                 "<rte><trkseg><trkpt lat=\"1\" lon=\"1\"><time>2019-09-26T13:39:09Z</time></trkpt></trkseg></rte>");
    test::RecordingReporter r;
    std::vector<TrackPosition> got;
    ASSERT_EQ(read_gpx_track(r, text, got), 2) << r.last_error().text;
    EXPECT_EQ(got[0].gps_altitude, 0);
    EXPECT_EQ(got[1].gps_altitude, 90);  // the last ele inside the point counts
    EXPECT_EQ(got[1].time, kT0 + 1 - 3600);
}

TEST(GpxTrackReader, ChoiceBetweenTracks) {
    const std::string a = "<trk><trkseg>" + trkpt("lat=\"1\" lon=\"2\"", "<time>2019-09-26T13:39:09Z</time>") +
                          "</trkseg></trk>";
    const std::string b = "<trk><trkseg>" + trkpt("lat=\"3\" lon=\"4\"", "<time>2019-09-27T01:02:03Z</time>") +
                          trkpt("lat=\"3\" lon=\"4\"", "<time>2019-09-27T01:02:04Z</time>") + "</trkseg><trkseg></trkseg></trk>";
    test::RecordingReporter r;
    r.queue_answer(1);
    std::vector<TrackPosition> got;
    ASSERT_EQ(read_gpx_track(r, gpx(a + b), got), 2);
    EXPECT_EQ(r.boxes().at(0).title, "Track List");
    EXPECT_EQ(r.boxes().at(0).text, "2019-09-26   13:39:09\n2019-09-27   01:02:03\n");
    r.queue_answer(-1);
    std::vector<TrackPosition> untouched(7);
    EXPECT_EQ(read_gpx_track(r, gpx(a + b), untouched), 0);
    EXPECT_EQ(untouched.size(), 7u);
    EXPECT_EQ(r.count("error"), 0);
}

TEST(GpxTrackReader, ErrorTexts) {
    auto one = [](const std::string& attrs, const std::string& inner) {
        return gpx("<trk><trkseg>" + trkpt("lat=\"1\" lon=\"2\"", "<time>2019-09-26T13:39:09Z</time>") +
                   trkpt(attrs, inner) + "</trkseg></trk>");
    };
    const std::string t = "<time>2019-09-26T13:39:09Z</time>";
    std::string many;
    for (int i = 0; i < 101; ++i) many += "<trkseg>" + trkpt("lat=\"1\" lon=\"2\"", t) + "</trkseg>";
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "No tags found"},
        {"<gpx></gpx>", "Missing opening tag '<?xml>'"},
        {"\xFE\xFF<?xml?><gpx/>", "Unknown BOM before opening tag '<?xml>'"},
        {gpx(""), "No tracks found"},
        {gpx("<trk><trkseg></trkseg></trk>"), "No tracks found"},
        {"<?xml?><gpx><trk></gpx>", "Tag <trk> is terminated by <gpx>"},
        {"<?xml?><gpx><trk>", "Nesting level not zero at end-of-file"},
        {"<?xml?><gpx></gpx>junk", "Data found after last tag"},
        {"<?xml?><gpx><trk", "End-of-file encountered within a tag"},
        {one("lat=\"1\" lon=\"2\"", ""), "Missing tag(s) for position 2"},
        {"<?xml?><gpx><trk><trkseg><trkpt>" + t + "</trkpt></trkseg></trk></gpx>", "Missing tag(s) for position 1"},
        {one("lat=\"1\" lon=\"2\"", "<time> </time>"), "Missing data for position 2"},
        {one("lat=\"1\" lon=\"2\"", "<time>2019-13-26T13:39:09Z</time>"), "Bad time data for position 2"},
        {one("lat=\"1\" lon=\"2\"", "<ele>12m</ele>" + t), "Bad height data for position 2"},
        {one("lat=\"abc\" lon=\"2\"", t), "Missing/bad latitude data in position 2"},
        {one("lat=\"95\" lon=\"2\"", t), "Missing/bad latitude data in position 2"},
        {one("lat=\"nan\" lon=\"2\"", t), "Missing/bad latitude data in position 2"},
        {one("lon=\"2\"", t), "Missing/bad latitude data in position 2"},
        {one("lat=\"1\" lon=\"1e999\"", t), "Missing/bad longitude data in position 2"},
        {one("lat=\"1\" lon=\"-180.5\"", t), "Missing/bad longitude data in position 2"},
        {gpx("<trk>" + many + "</trk>"), "Too many track segments"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        std::vector<TrackPosition> got;
        EXPECT_EQ(read_gpx_track(r, c.text, got), 0) << c.message;
        EXPECT_EQ(r.last_error().text, c.message);
        EXPECT_EQ(r.last_error().title, "Parsing track log file");
        EXPECT_TRUE(got.empty());
    }
}

TEST(GpxWaypointReader, ReadsWhatTheWriterWrote) {
    std::vector<Waypoint> in(2);
    in[0] = {536870912, -134217728, 1234, "TAKEOF", "Take off North", kT0, 0};
    in[1] = {-11930, 23860, -3, "LZ-2", "", kT0 + 60, 1};
    test::RecordingReporter r;
    std::vector<Waypoint> got;
    ASSERT_EQ(read_gpx_waypoints(r, gpx_waypoint_text(in, kNow), false, got), 2) << r.last_error().text;
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i].identifier, in[i].identifier);
        EXPECT_EQ(got[i].comment, in[i].comment);
        EXPECT_EQ(got[i].height, in[i].height);
        EXPECT_EQ(got[i].time, in[i].time);  // written without "Z", read as the same value
        EXPECT_EQ(got[i].airfield, in[i].airfield);
        EXPECT_NEAR(got[i].latitude, in[i].latitude, 12);
        EXPECT_NEAR(got[i].longitude, in[i].longitude, 12);
    }
}

TEST(GpxWaypointReader, FieldsFromOtherPrograms) {
    test::RecordingReporter r;
    r.queue_answer(0);  // "&Yes" to cleaning "A&B"
    std::vector<Waypoint> got;
    const uint32_t before = time_now();
    ASSERT_EQ(read_gpx_waypoints(r,
                                 gpx("<wpt lat=\"45.5\" lon=\"7.25\"><name>A&amp;B</name><cmt>comment</cmt>"
                                     "<desc>description wins</desc><type>airport</type><ele> 99.5 </ele></wpt>"
                                     "<wpt lat=\"1\" lon=\"2\"><name>X2</name><cmt>only cmt</cmt></wpt>"
                                     "<rte><wpt lat=\"1\" lon=\"2\"><name>NOTME</name></wpt></rte>"),
                                 true, got),
              2)
        << r.last_error().text;
    EXPECT_EQ(got[0].comment, "description wins");
    EXPECT_EQ(got[0].airfield, 1);
    EXPECT_EQ(got[0].height, 100);
    EXPECT_EQ(got[0].identifier, "A-B");
    EXPECT_EQ(r.count("choose"), 1);
    EXPECT_EQ(got[1].comment, "only cmt");
    EXPECT_EQ(got[1].height, 0);
    EXPECT_GE(got[1].time, before);
}

TEST(GpxWaypointReader, ErrorTexts) {
    const struct {
        std::string body;
        const char* message;
    } cases[] = {
        {"<wpt><name>A</name></wpt>", "Missing position data for waypoint 1"},
        {"<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt><wpt lat=\"1\" lon=\"2\"></wpt>", "Missing name data for waypoint 2"},
        {"<wpt lat=\"1\" lon=\"2\"><name> </name></wpt>", "Missing name data for waypoint 1"},
        {"<wpt lat=\"1\" lon=\"2\"><name>lower</name></wpt>", "Bad ID for waypoint 1"},
        {"<wpt lat=\"1\" lon=\"2\"><name>A</name><time>yesterday</time></wpt>", "Bad time data for waypoint 1"},
        {"<wpt lat=\"1\" lon=\"2\"><name>A</name><ele>high</ele></wpt>", "Bad height data for waypoint 1"},
        {"<wpt lat=\"x\" lon=\"2\"><name>A</name></wpt>", "Missing/bad latitude data in waypoint 1"},
        {"<wpt lat=\"1\" lon=\"999\"><name>A</name></wpt>", "Missing/bad longitude data in waypoint 1"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        std::vector<Waypoint> got;
        EXPECT_EQ(read_gpx_waypoints(r, gpx(c.body), false, got), -1) << c.message;
        EXPECT_EQ(r.last_error().text, c.message);
        EXPECT_EQ(r.last_error().title, "Parsing waypoint file");
    }
}

// Every point gpsbabel wrote must be a fix of the flight it came from.
void expect_points_of_flight(const std::vector<TrackPosition>& got, const char* igc) {
    IgcParsed parsed;
    IgcParseError err;
    ASSERT_GT(parse_igc(test::data_file(std::string("flights/") + igc), parsed, err), 0);
    std::size_t j = 0;
    for (const TrackPosition& p : got) {
        while (j < parsed.positions.size() && parsed.positions[j].time != p.time) ++j;
        ASSERT_LT(j, parsed.positions.size()) << "no fix at the time of a point";
        // Nine decimals of a degree: within a semicircle of the fix.
        EXPECT_NEAR(p.latitude, parsed.positions[j].latitude, 1);
        EXPECT_NEAR(p.longitude, parsed.positions[j].longitude, 1);
    }
}

TEST(GpxTrackReader, GpxWrittenByGpsbabel) {
    {
        test::RecordingReporter r;
        r.queue_answer(1);
        std::vector<TrackPosition> got;
        ASSERT_EQ(read_gpx_track(r, test::data_file("gpx/d3p_gpsbabel_gpx11.gpx"), got), 150) << r.last_error().text;
        const auto boxes = r.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Track List");
        EXPECT_EQ(boxes[0].text, "2019-06-15   13:53:15\n2019-06-15   13:53:15\n");
        expect_points_of_flight(got, "d3p.igc");
    }
    {
        test::RecordingReporter r;
        std::vector<TrackPosition> got;
        ASSERT_EQ(read_gpx_track(r, test::data_file("gpx/flat-8.01_gpsbabel_gpx10.gpx"), got), 150)
            << r.last_error().text;
        EXPECT_EQ(r.boxes().size(), 0u);
        EXPECT_EQ(got.front().gps_altitude, 7150);
        expect_points_of_flight(got, "flat-xcontest-8.01.igc");
    }
}

TEST(GpxTrackReader, GpsbabelReadsOurTracksAndWaypoints) {
    if (!test::peer_available("gpsbabel")) return;
    const auto dir = test::scratch_dir("gpx");
    const auto fixes = falling(30);
    test::RecordingReporter r;
    const std::string track = (dir / "track.gpx").string();
    ASSERT_EQ(write_gpx_track_file(r, track, fixes), 0);
    std::string out;
    ASSERT_EQ(test::run_command("gpsbabel -t -i gpx -f " + track + " -o unicsv -F - 2>&1", out), 0) << out;
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "No,Latitude,Longitude,Altitude,Date,Time");
    for (const TrackPosition& p : fixes) {
        ASSERT_TRUE(std::getline(lines, line));
        const GeoPosition g = semicircles_to_radians(p.latitude, p.longitude);
        const CalendarTime c = calendar_from_time(p.time);
        EXPECT_EQ(line.substr(line.find(',') + 1),
                  strformat("%.6f,%.6f,%.1f,%d/%02d/%02d,%02d:%02d:%02d", g.latitude * kRadiansToDegrees,
                            g.longitude * kRadiansToDegrees, p.gps_altitude * 0.1, c.year, c.month, c.day, c.hour,
                            c.minute, c.second));
    }
    EXPECT_FALSE(std::getline(lines, line));

    std::vector<Waypoint> w(1);
    w[0] = {536870912, 134217728, 450, "LZ1", "Landing", kT0, 0};
    const std::string points = (dir / "points.gpx").string();
    ASSERT_EQ(write_gpx_waypoint_file(r, points, w), 0);
    ASSERT_EQ(test::run_command("gpsbabel -w -i gpx -f " + points + " -o unicsv -F - 2>&1", out), 0) << out;
    EXPECT_NE(out.find("1,45.000000,11.250000,\"LZ1\",450.0,\"Landing\",\"Dot\",2019/09/26,13:39:09"),
              std::string::npos)
        << out;
    fs::remove_all(dir);
}

TEST(GpxWriter, WriteFailureIsReported) {
    test::RecordingReporter r;
    EXPECT_EQ(write_gpx_track_file(r, "/nonexistent-dir/x.gpx", falling(2)), -1);
    EXPECT_EQ(r.last_error().title, "Save GPX track log file");
    EXPECT_EQ(r.last_error().text, "File write error");
    EXPECT_EQ(write_gpx_waypoint_file(r, "/nonexistent-dir/x.gpx", {}), -1);
    EXPECT_EQ(r.last_error().title, "Save GPX waypoint file");
}

}  // namespace
}  // namespace orlogix
