// The trip folder byte for byte: statistics, placemarks, the FsInfo block and
// its signature, written by hand from the documented layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/kml/signature.hpp"
#include "formats/kml/trip_writer.hpp"
#include "formats/kml/sha1.hpp"

namespace orlogix {
namespace {

const uint32_t kT0 = time_from_calendar(2011, 7, 15, 10, 0, 0);

std::vector<TrackPosition> five_fixes() {
    const int32_t altitudes[5] = {15000, 15004, 15015, -15, -4};  // metres 1500, 1500, 1502, -1, 0
    std::vector<TrackPosition> out;
    for (int i = 0; i < 5; ++i) {
        TrackPosition p;
        p.time = kT0 + 5 * i;
        p.latitude = 536870912 + 11930 * i;    // 45.000 + 0.001 i degrees
        p.longitude = 134217728 + 23860 * i;   // 11.250 + 0.002 i degrees
        p.gps_altitude = altitudes[i];
        p.baro_altitude = 1450 + i;
        out.push_back(p);
    }
    return out;
}

TripStatistics signed_stats() {
    TripStatistics s;
    s.times_in_utc = true;
    s.baro_present = true;
    s.start_time = kT0;
    s.end_time = kT0 + 20;
    s.duration = 20;
    s.max_height = 1502;
    s.min_height = -1;
    s.max_mean_speed = 36.5;
    s.top_speed = 41.6;
    s.max_climb = 2.345;
    s.min_climb = -1.2;
    s.total_distance = 575.4;
    s.download_time = time_from_calendar(2011, 7, 15, 18, 30, 5);
    s.download_flag = true;
    s.pilot_ids = true;
    s.civl_pilot_id = 1234;
    s.comp_pilot_id = 56;
    auto& r = s.results;
    r.two.index = {0, 4};
    r.two.legs[0] = r.two.total = 512.3;
    r.three.index = {0, 2, 4};
    r.three.legs = {300, 300};
    r.three.total = 600;
    r.four.index = {0, 1, 2, 4};
    r.four.legs = {100, 200, 300};
    r.four.total = 600;
    r.five.index = {0, 1, 2, 3, 4};
    r.five.legs = {100, 100, 100, 100};
    r.five.total = 400;
    r.out_and_return = {0, 2, 4, 250.0, 10.0, 490.0};
    r.fai = {0, 1, 2, 3, 4, {150.0, 160.0, 170.0}, 20.0, 460.0};
    return s;
}

std::string write(std::vector<TrackPosition>& fixes, TripStatistics& stats, TripTexts texts = {}) {
    TextBuffer out;
    EXPECT_EQ(write_trip_folder(out, fixes, stats, texts), 0);
    return out.take();
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const auto a = text.find(from);
    if (a == std::string::npos) return "<missing " + from + ">";
    const auto b = text.find(to, a);
    if (b == std::string::npos) return "<missing " + to + ">";
    return text.substr(a, b + to.size() - a);
}

TEST(KmlTripWriter, HeadAndStatistics) {
    auto fixes = five_fixes();
    auto stats = signed_stats();
    TripTexts texts;
    texts.description = "Morning <b> flight & more";
    const std::string text = write(fixes, stats, texts);
    EXPECT_EQ(between(text, "  <Folder>", "    </description>\r\n"),
              "  <Folder>\r\n"
              "    <Metadata src=\"Orlogix\" v=\"0.10\" type=\"trip\"/>\r\n"
              "    <open>1</open>\r\n"
              "    <name>Trip</name>\r\n"
              "    <description><![CDATA[Morning &lt;b&gt; flight &amp; more\r\n"
              "<pre>\r\n"
              "Flight statistics\r\n"
              "Date                 2011-07-15\r\n"
              "Start/finish         10:00:00 - 10:00:20\r\n"
              "Duration             0 : 00 : 20\r\n"
              "Max./min. height     1502 / -1 m\r\n"
              "Max. mean/top speed  37 km/h / 42 km/h\r\n"
              "Max/min climb rate   2.35 / -1.20 m/s over 60s\r\n"
              "Total distance       0.58 km\r\n"
              "</pre>]]>\r\n"
              "    </description>\r\n");
    EXPECT_EQ(text.substr(0, 12), "  <Folder>\r\n");
}

TEST(KmlTripWriter, OpenDistancePlacemark) {
    auto fixes = five_fixes();
    auto stats = signed_stats();
    const std::string text = write(fixes, stats);
    EXPECT_EQ(between(text, "\r\n    <Placemark>\r\n      <Metadata src=\"Orlogix\" v=\"0.10\" type=\"distance_open\">",
                      "    </Placemark>\r\n"),
              "\r\n"
              "    <Placemark>\r\n"
              "      <Metadata src=\"Orlogix\" v=\"0.10\" type=\"distance_open\">\r\n"
              "        <FsInfo track_idx=\"0 4\" />\r\n"
              "      </Metadata>\r\n"
              "      <name>Open distance</name>\r\n"
              "      <description>\r\n"
              "        <![CDATA[\r\n"
              "<pre>\r\n"
              "Greatest distance between any 2 points\r\n"
              "\r\n"
              "Pos.      Time      Latitude         Longitude         Distance\r\n"
              " A     1  10:00:00  N 45  00  00.00  E 011  15  00.00\r\n"
              " B     5  10:00:20  N 45  00  14.40  E 011  15  28.80  0.51\r\n"
              "</pre>]]>\r\n"
              "      </description>\r\n"
              "      <LineString>\r\n"
              "        <tessellate>1</tessellate>\r\n"
              "        <coordinates>\r\n"
              "          11.250000,45.000000,1500\r\n"
              "          11.258000,45.004000,0\r\n"
              "        </coordinates>\r\n"
              "      </LineString>\r\n"
              "      <Style>\r\n"
              "        <LineStyle>\r\n"
              "          <color>FF0000FF</color>\r\n"
              "        </LineStyle>\r\n"
              "      </Style>\r\n"
              "    </Placemark>\r\n");
}

TEST(KmlTripWriter, LoopPlacemarksAndTheirOrder) {
    auto fixes = five_fixes();
    auto stats = signed_stats();
    const std::string text = write(fixes, stats);
    // Out-and-return: C, A, B as geometry and the sum line 50 blanks in.
    const std::string oar = between(text, "type=\"distance_out_and_return\"", "    </Placemark>");
    EXPECT_NE(oar.find("Out-and-return distance (max allowable gap 800)\r\n\r\n"), std::string::npos);
    EXPECT_NE(oar.find("        <FsInfo track_idx=\"0 2 4\" />"), std::string::npos);
    EXPECT_NE(oar.find(" B     3  10:00:10  N 45  00  07.20  E 011  15  14.40  0.25\r\n"
                       " C     5  10:00:20  N 45  00  14.40  E 011  15  28.80  0.01\r\n" +
                       std::string(50, ' ') + "Sum  0.49\r\n"),
              std::string::npos)
        << oar;
    EXPECT_NE(oar.find("          11.258000,45.004000,0\r\n          11.250000,45.000000,1500\r\n"
                       "          11.254000,45.002000,1502\r\n        </coordinates>"),
              std::string::npos);
    EXPECT_NE(oar.find("<color>FFFF0000</color>"), std::string::npos);
    // Flat triangle not computed: the comment and nothing else of it.
    EXPECT_NE(text.find("\r\n\r\n    <!-- Flat triangle not computed -->\r\n\r\n    <Placemark>"), std::string::npos);
    EXPECT_EQ(text.find("distance_flat_triangle"), std::string::npos);
    // FAI triangle: TP1-TP2-TP3-TP1 and start-end, two blanks further in.
    const std::string fai = between(text, "type=\"distance_fai_triangle\"", "    </Placemark>");
    EXPECT_NE(fai.find("      <MultiGeometry>\r\n        <LineString>\r\n          <tessellate>1</tessellate>\r\n"
                       "          <coordinates>\r\n            11.252000,45.001000,1500\r\n"
                       "            11.254000,45.002000,1502\r\n            11.256000,45.003000,-1\r\n"
                       "            11.252000,45.001000,1500\r\n          </coordinates>\r\n        </LineString>\r\n"
                       "        <LineString>\r\n          <tessellate>1</tessellate>\r\n          <coordinates>\r\n"
                       "            11.250000,45.000000,1500\r\n            11.258000,45.004000,0\r\n"),
              std::string::npos)
        << fai;
    EXPECT_NE(fai.find(" E     5  10:00:20  N 45  00  14.40  E 011  15  28.80  0.02\r\n"), std::string::npos);

    std::vector<std::size_t> at;
    for (const char* type : {"distance_5_point", "distance_4_point", "distance_3_point", "distance_open",
                             "distance_out_and_return", "Flat triangle not computed", "distance_fai_triangle",
                             "type=\"track\""})
        at.push_back(text.find(type));
    for (std::size_t i = 0; i < at.size(); ++i) ASSERT_NE(at[i], std::string::npos) << i;
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
}

TEST(KmlTripWriter, TrackPlacemarkAndSignature) {
    auto fixes = five_fixes();
    auto stats = signed_stats();
    TripTexts texts;
    texts.instrument = "  Flytec  6030\tv3 ";
    const std::string text = write(fixes, stats, texts);

    const std::string coordinates =
        "11.250000,45.000000,1500 11.252000,45.001000,1500 11.254000,45.002000,1502 "
        "11.256000,45.003000,-1 11.258000,45.004000,0";
    const std::string hash = sha1_hex(std::string("OrlogixTrackSignX") + "2011-07-15T10:00:00Z" + "Flytec 6030 v3" +
                                      "2011-07-15T18:30:05Z" + "0 5 10 15 20" + "1450 1451 1452 1453 1454" +
                                      coordinates);
    const std::string expected =
        "\r\n"
        "    <Placemark>\r\n"
        "      <Metadata src=\"Orlogix\" v=\"0.10\" type=\"track\">\r\n"
        "        <FsInfo time_of_first_point=\"2011-07-15T10:00:00Z\"\r\n"
        "                civl_pilot_id=\"1234\" comp_pilot_id=\"56\"\r\n"
        "                instrument=\"Flytec 6030 v3\"\r\n"
        "                downloaded=\"2011-07-15T18:30:05Z\"\r\n"
        "                hash=\"" + hash + "\">\r\n"
        "          <SecondsFromTimeOfFirstPoint>\r\n"
        "0 5 10 15 20\r\n"
        "          </SecondsFromTimeOfFirstPoint>\r\n"
        "          <PressureAltitude>\r\n"
        "1450 1451 1452 1453 1454\r\n"
        "          </PressureAltitude>\r\n"
        "        </FsInfo>\r\n"
        "      </Metadata>\r\n"
        "      <name>Tracklog</name>\r\n"
        "      <LineString>\r\n"
        "        <altitudeMode>absolute</altitudeMode>\r\n"
        "        <coordinates>\r\n" + coordinates + "\r\n"
        "        </coordinates>\r\n"
        "      </LineString>\r\n"
        "    </Placemark>\r\n"
        "  </Folder>\r\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
    EXPECT_EQ(kml_hash_prefix(), "OrlogixTrackSignX");
}

TEST(KmlTripWriter, UnsignedFolderDiffersOnlyByTheHash) {
    auto a_fixes = five_fixes(), b_fixes = five_fixes();
    auto a = signed_stats(), b = signed_stats();
    b.download_flag = false;
    std::string with = write(a_fixes, a), without = write(b_fixes, b);
    const auto at = with.find("\r\n                hash=\"");
    ASSERT_NE(at, std::string::npos);
    with.erase(at, std::string("\r\n                hash=\"\"").size() + 40);
    EXPECT_EQ(with, without);
    EXPECT_EQ(without.find("hash="), std::string::npos);
}

TEST(KmlTripWriter, PilotIdAttributes) {
    auto fixes = five_fixes();
    auto s = signed_stats();
    s.civl_pilot_id = -1;
    EXPECT_NE(write(fixes, s).find("Z\"\r\n                comp_pilot_id=\"56\"\r\n"), std::string::npos);
    s.comp_pilot_id = -1;
    EXPECT_EQ(write(fixes, s).find("pilot_id"), std::string::npos);
    s.civl_pilot_id = 7;
    EXPECT_NE(write(fixes, s).find("Z\"\r\n                civl_pilot_id=\"7\"\r\n"), std::string::npos);
    s.pilot_ids = false;
    EXPECT_EQ(write(fixes, s).find("pilot_id"), std::string::npos);
}

TEST(KmlTripWriter, InstrumentTextIsCutNormalisedAndEscaped) {
    auto fixes = five_fixes();
    auto s = signed_stats();
    EXPECT_NE(write(fixes, s).find("instrument=\"unknown\""), std::string::npos);
    TripTexts texts;
    texts.instrument = "Vario \"X\" <A&B>";
    EXPECT_NE(write(fixes, s, texts).find("instrument=\"Vario &quot;X&quot; &lt;A&amp;B&gt;\""), std::string::npos);
    const std::string long_text = std::string(78, 'a') + "bcdef";
    texts.instrument = long_text;
    EXPECT_NE(write(fixes, s, texts).find("instrument=\"" + std::string(78, 'a') + "b\""), std::string::npos);
    texts.instrument = " \t\r\n ";
    EXPECT_EQ(write(fixes, s, texts).find("instrument="), std::string::npos);
}

TEST(KmlTripWriter, LineLayoutOfLongLists) {
    for (int count : {25, 26}) {
        std::vector<TrackPosition> fixes;
        for (int i = 0; i < count; ++i) {
            TrackPosition p;
            p.time = kT0 + i;
            fixes.push_back(p);
        }
        TripStatistics s;
        const std::string text = write(fixes, s);
        const std::string seconds = between(text, "<SecondsFromTimeOfFirstPoint>\r\n", "          </Seconds");
        std::string expected = "<SecondsFromTimeOfFirstPoint>\r\n";
        for (int i = 0; i < count; ++i)
            expected += std::to_string(i) + (i + 1 == count ? "\r\n" : (i + 1) % 25 == 0 ? " \r\n" : " ");
        EXPECT_EQ(seconds, expected + "          </Seconds") << count;
        // All altitudes 0: clamped to the ground; 5 triples a line.
        EXPECT_NE(text.find("<altitudeMode>clampedToGround</altitudeMode>"), std::string::npos);
        const std::string coords = between(text, "        <coordinates>\r\n0.000000", "        </coordinates>");
        EXPECT_EQ(std::count(coords.begin(), coords.end(), '\n'), 1 + (count + 4) / 5) << coords;
        EXPECT_EQ(text.find("PressureAltitude"), std::string::npos);
    }
    std::vector<TrackPosition> five(5);
    for (int i = 0; i < 5; ++i) five[i].time = kT0 + i;
    five[3].gps_altitude = 1;
    TripStatistics s;
    const std::string text = write(five, s);
    EXPECT_NE(text.find("<altitudeMode>absolute</altitudeMode>"), std::string::npos);
    EXPECT_NE(text.find("0.000000,0.000000,0\r\n        </coordinates>\r\n      </LineString>\r\n    </Placemark>"),
              std::string::npos);
}

TEST(KmlTripWriter, InvalidTimesBecomeFiveSecondSteps) {
    auto fixes = five_fixes();
    fixes[2].time = 0xFFFFFFFFu;
    auto s = signed_stats();
    const std::string text = write(fixes, s);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(fixes[i].time, static_cast<uint32_t>(i * 5));
    EXPECT_FALSE(s.times_in_utc);
    EXPECT_NE(text.find("time_of_first_point=\"1989-12-31T00:00:00\""), std::string::npos);
    EXPECT_NE(text.find("\r\n0 5 10 15 20\r\n"), std::string::npos);
}

TEST(KmlTripWriter, Failures) {
    TripStatistics s;
    std::vector<TrackPosition> none;
    TextBuffer out;
    EXPECT_EQ(write_trip_folder(out, none, s, {}), kTripNoPositions);
    auto fixes = five_fixes();
    TripTexts texts;
    texts.description = "bad \xC3";
    EXPECT_EQ(write_trip_folder(out, fixes, s, texts), kTripBadDescription);
    // Results pointing beyond the positions are left out instead of read out of bounds.
    s.results.five.index = {0, 1, 2, 3, 99};
    TextBuffer ok;
    ASSERT_EQ(write_trip_folder(ok, fixes, s, {}), 0);
    EXPECT_EQ(ok.text().find("distance_5_point"), std::string::npos);
    EXPECT_NE(ok.text().find("distance_4_point"), std::string::npos);
}

TEST(KmlTripWriter, FromTheStatisticsRecord) {
    FlightStatistics record;
    record.positions = five_fixes();
    record.first_time = kT0;
    record.last_time = kT0 + 20;
    record.duration = 20;
    record.has_download_time = 1;
    record.download_time = calendar_from_time(kT0 + 3600);
    record.has_pilot_ids = 1;
    record.competition_id = "56";
    record.civl_id = "n/a";
    record.times_in_utc = 1;
    record.highest_altitude = 1502;
    record.lowest_altitude = -1;
    record.highest_climb = 2.5;
    record.lowest_climb = -0.5;
    record.results = signed_stats().results;
    TextBuffer out;
    ASSERT_EQ(write_trip_folder(out, record, TripTexts{}), 0);
    const std::string& text = out.text();
    EXPECT_NE(text.find("Max./min. height     1502 / -1 m\r\n"), std::string::npos);
    EXPECT_NE(text.find("Max/min climb rate   2.50 / -0.50 m/s over 60s\r\n"), std::string::npos);
    EXPECT_NE(text.find("Z\"\r\n                comp_pilot_id=\"56\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("downloaded=\"2011-07-15T11:00:00Z\"\r\n                hash=\""), std::string::npos);
    EXPECT_NE(text.find("type=\"distance_fai_triangle\""), std::string::npos);

    record.positions[1].time = 0;
    TextBuffer again;
    ASSERT_EQ(write_trip_folder(again, record, TripTexts{}), 0);
    EXPECT_EQ(record.times_in_utc, 0u);
    EXPECT_EQ(record.positions[4].time, 20u);
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

// The coordinate text must be printf's "%.6f,%.6f,%d" digit for digit: the
// ends of the ranges, the signs about zero (a tiny west longitude is
// "-0.000000") and a spread of values with every kind of rounding.
TEST(KmlTripWriter, CoordinatesArePrintfDigits) {
    std::vector<int32_t> values{0, 1, -1, 2, -2, 3, INT32_MAX, INT32_MIN, INT32_MIN + 1, 1073741824, -1073741824,
                                536870912, 134217728, -134217728, 89478485, -89478486};
    uint32_t x = 12345;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1664525u + 1013904223u;  // a fixed sequence, the same on every run
        values.push_back(static_cast<int32_t>(x));
    }
    const int32_t heights[] = {0, 4, 5, -4, -5, -15, 123456, -99999};
    std::size_t h = 0;
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        TrackPosition p;
        p.latitude = values[i] / 2;  // latitudes stay within +-90 degrees
        p.longitude = values[i + 1];
        p.gps_altitude = heights[h++ % std::size(heights)];
        const GeoPosition g = semicircles_to_radians(p.latitude, p.longitude);
        const int32_t metres = static_cast<int32_t>((int64_t{p.gps_altitude} + 5) / 10);
        ASSERT_EQ(kml_coordinate(p), strformat("%.6f,%.6f,%d", g.longitude * kRadiansToDegrees,
                                               g.latitude * kRadiansToDegrees, metres))
            << p.latitude << " " << p.longitude;
    }
}

}  // namespace
}  // namespace orlogix
