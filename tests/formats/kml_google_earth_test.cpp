// Google Earth files and the command line's IGC conversion and KML check, on
// a real flight, with peers: xmllint for well-formedness and gpsbabel as an
// independent KML reader.
#include <gtest/gtest.h>

#include <sstream>

#include "core/file_read.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/igc/reader.hpp"
#include "formats/commands/kml_check.hpp"
#include "formats/commands/kml_google_earth.hpp"
#include "formats/kml/reader.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

namespace fs = std::filesystem;

// Stands in for the analysis library: values the test can find in the text.
int fake_analysis(FlightStatistics& s) {
    s.highest_altitude = 2222;
    s.lowest_altitude = -3;
    s.best_mean_speed = 30.4;
    s.top_speed = 55.5;
    s.highest_climb = 12345.0;   // beyond the printable range
    s.lowest_climb = -20000.0;
    s.total_distance = 98765.0;
    s.has_download_time = 1;     // neither may reach the file
    s.has_pilot_ids = 1;
    s.civl_id = "77";
    const uint32_t last = static_cast<uint32_t>(s.positions.size() - 1);
    s.results.two.index = {0, last};
    s.results.two.legs[0] = s.results.two.total = 5000.0;
    return 0;
}

std::vector<TrackPosition> flight(const char* name = "tri.igc") {
    IgcParsed parsed;
    IgcParseError err;
    EXPECT_GT(parse_igc(test::data_file(std::string("flights/") + name), parsed, err), 0) << err.text;
    return parsed.positions;
}

class KmlGoogleEarth : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::scratch_dir("gearth"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    fs::path dir_;
    test::RecordingReporter r_;
};

TEST_F(KmlGoogleEarth, DocumentFromPositionsAlone) {
    auto fixes = flight();
    GoogleEarthOptions o;
    o.download_flag = true;
    o.times_in_utc = true;
    o.baro_present = true;
    o.instrument = "XC Trainer";
    std::string doc;
    ASSERT_EQ(build_google_earth_document(r_, fixes, o, fake_analysis, doc), 0);
    EXPECT_EQ(doc.substr(0, 54), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<o");
    EXPECT_NE(doc.find("<![CDATA[2019-06-15\r\n<pre>"), std::string::npos);
    EXPECT_NE(doc.find("Max./min. height     2222 / -3 m"), std::string::npos);
    EXPECT_NE(doc.find("Max. mean/top speed  30 km/h / 56 km/h"), std::string::npos);
    EXPECT_NE(doc.find("Max/min climb rate   9999.00 / -9999.00 m/s over 60s"), std::string::npos);
    EXPECT_NE(doc.find("Total distance       98.77 km"), std::string::npos);
    EXPECT_EQ(doc.find("downloaded="), std::string::npos);
    EXPECT_EQ(doc.find("pilot_id"), std::string::npos);
    EXPECT_NE(doc.find("hash=\""), std::string::npos);
    const CalendarTime a = calendar_from_time(fixes.front().time), b = calendar_from_time(fixes.back().time);
    EXPECT_NE(doc.find(strformat("Start/finish         %02d:%02d:%02d - %02d:%02d:%02d", a.hour, a.minute, a.second,
                                 b.hour, b.minute, b.second)),
              std::string::npos);
    KmlTrack back;
    ASSERT_EQ(read_kml_track(r_, doc, true, back), static_cast<int>(fixes.size()));
    EXPECT_TRUE(back.signature_valid);
}

TEST_F(KmlGoogleEarth, Refusals) {
    std::vector<TrackPosition> four(4);
    std::string doc;
    EXPECT_EQ(build_google_earth_document(r_, four, {}, fake_analysis, doc), -1);
    EXPECT_EQ(r_.last_error().text, "Too few track positions");
    EXPECT_EQ(r_.last_error().title, "Write GoogleEarth file");
    auto fixes = flight();
    EXPECT_EQ(build_google_earth_document(r_, fixes, {}, [](FlightStatistics&) { return -1; }, doc), -1);
    EXPECT_EQ(r_.last_error().text, "Memory allocation error");
    EXPECT_EQ(r_.last_error().title, "Analysing track");

    const std::string out = path("old.kml");
    ASSERT_EQ(write_file_atomic(out, "keep me"), 0);
    EXPECT_EQ(write_google_earth_file(r_, out, fixes, {}, fake_analysis), -1);
    EXPECT_EQ(r_.last_error().text, "File already exists");
    std::string kept;
    read_file(out, kept);
    EXPECT_EQ(kept, "keep me");
    GoogleEarthOptions overwrite;
    overwrite.overwrite = true;
    EXPECT_EQ(write_google_earth_file(r_, out, fixes, overwrite, fake_analysis), 0);
    read_file(out, kept);
    EXPECT_NE(kept.find("<name>Tracklog</name>"), std::string::npos);
}

TEST_F(KmlGoogleEarth, IgcConversionReadsBackAndChecks) {
    const std::string igc = path("flight.igc");
    ASSERT_EQ(write_file_atomic(igc, test::data_file("flights/tri.igc")), 0);
    ASSERT_EQ(convert_igc_to_kml(r_, igc, {}, fake_analysis), 0) << r_.last_error().text;
    const std::string kml = path("flight.kml");
    ASSERT_TRUE(fs::exists(kml));
    EXPECT_EQ(kml_path_for("/a/b.c/flight.igc"), "/a/b.c/flight.kml");

    std::string text;
    ASSERT_EQ(read_file(kml, text), 0);
    const auto fixes = flight();
    KmlTrack back;
    ASSERT_EQ(read_kml_track(r_, text, false, back), static_cast<int>(fixes.size()));
    EXPECT_FALSE(back.signature_valid);  // conversions are never signed
    EXPECT_TRUE(back.baro_present);
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        ASSERT_EQ(back.positions[i].time, fixes[i].time) << i;
        ASSERT_NEAR(back.positions[i].latitude, fixes[i].latitude, 12) << i;
        ASSERT_NEAR(back.positions[i].longitude, fixes[i].longitude, 12) << i;
        ASSERT_EQ(back.positions[i].baro_altitude, fixes[i].baro_altitude) << i;
    }
    // The check: unsigned is a failure, as is a file that is not there.
    KmlCheckResult result;
    EXPECT_EQ(check_kml_file(r_, kml, &result), -1);
    EXPECT_EQ(result.positions, static_cast<int>(fixes.size()));
    EXPECT_EQ(r_.statuses().back(), std::to_string(fixes.size()) + " positions read (NO signature)");
    EXPECT_EQ(check_kml_file(r_, path("none.kml")), -1);
    EXPECT_EQ(r_.last_error().title, "Error opening track log file");
}

TEST_F(KmlGoogleEarth, CheckOfSignedAndTamperedFiles) {
    GoogleEarthOptions o;
    o.download_flag = true;
    o.baro_present = true;
    const std::string kml = path("signed.kml");
    ASSERT_EQ(write_google_earth_file(r_, kml, flight(), o, fake_analysis), 0);
    KmlCheckResult result;
    EXPECT_EQ(check_kml_file(r_, kml, &result), 0);
    EXPECT_TRUE(result.signature_valid);
    EXPECT_NE(r_.statuses().back().find("positions read (Signature OK)"), std::string::npos);
    std::string text;
    read_file(kml, text);
    ASSERT_NE(text.find("<PressureAltitude>\r\n"), std::string::npos);
    const auto at = text.find("<PressureAltitude>\r\n") + 20;
    text[at] = text[at] == '9' ? '8' : '9';
    ASSERT_EQ(write_file_atomic(kml, text), 0);
    EXPECT_EQ(check_kml_file(r_, kml, &result), -1);
    EXPECT_FALSE(result.signature_valid);
    ASSERT_EQ(write_file_atomic(kml, ""), 0);
    EXPECT_EQ(check_kml_file(r_, kml), -1);
    EXPECT_EQ(r_.last_error().text, "File is empty");
}

TEST_F(KmlGoogleEarth, WellFormedForXmllint) {
    if (!test::peer_available("xmllint")) return;
    auto fixes = flight("fai.igc");
    GoogleEarthOptions o;
    o.download_flag = true;
    o.instrument = "Odd <\"instrument\"> & co";
    const std::string kml = path("fai.kml");
    // Every placemark kind, and a description with markup in it.
    auto all = [](FlightStatistics& s) {
        fake_analysis(s);
        const uint32_t n = static_cast<uint32_t>(s.positions.size());
        s.results.five.index = {0, n / 5, 2 * n / 5, 3 * n / 5, n - 1};
        s.results.four.index = {0, n / 4, n / 2, n - 1};
        s.results.three.index = {0, n / 2, n - 1};
        s.results.out_and_return = {0, n / 2, n - 1, 1000.0, 10.0, 1990.0};
        s.results.flat = {0, n / 4, n / 2, 3 * n / 4, n - 1, {1, 2, 3}, 1, 5};
        s.results.fai = s.results.flat;
        return 0;
    };
    ASSERT_EQ(write_google_earth_file(r_, kml, fixes, o, all), 0);
    std::string out;
    EXPECT_EQ(test::run_command("xmllint --noout " + kml + " 2>&1", out), 0) << out;
}

// The track as gpsbabel reads it: one "lat,lon,alt" line per point of the
// LineString named Tracklog.
TEST_F(KmlGoogleEarth, GpsbabelReadsTheSameTrack) {
    if (!test::peer_available("gpsbabel")) return;
    const auto fixes = flight("d3p.igc");
    const std::string kml = path("d3p.kml");
    ASSERT_EQ(write_google_earth_file(r_, kml, fixes, {}, fake_analysis), 0);
    std::string out;
    ASSERT_EQ(test::run_command("gpsbabel -t -i kml -f " + kml + " -o gpx -F - 2>&1", out), 0) << out;
    // Our own GPX track reader would be no independent peer here; gpsbabel's
    // GPX is simple enough to pick the trkpt attributes out directly.
    const auto track_at = out.find("<name>Tracklog</name>");
    ASSERT_NE(track_at, std::string::npos) << out.substr(0, 2000);
    std::vector<std::pair<double, double>> points;
    for (auto at = out.find("<trkpt ", track_at); at != std::string::npos && at < out.find("</trk>", track_at);
         at = out.find("<trkpt ", at + 1)) {
        const auto lat = out.find("lat=\"", at) + 5, lon = out.find("lon=\"", at) + 5;
        points.emplace_back(std::stod(out.substr(lat)), std::stod(out.substr(lon)));
    }
    ASSERT_EQ(points.size(), fixes.size());
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const GeoPosition g = semicircles_to_radians(fixes[i].latitude, fixes[i].longitude);
        ASSERT_NEAR(points[i].first, g.latitude * kRadiansToDegrees, 1.5e-6) << i;
        ASSERT_NEAR(points[i].second, g.longitude * kRadiansToDegrees, 1.5e-6) << i;
    }
}

}  // namespace
}  // namespace orlogix
