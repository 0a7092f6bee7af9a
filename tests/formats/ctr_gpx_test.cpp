// CTR outlines as GPX: one track per selected CTR, names escaped, the
// bounds over every point, ceiling and floor on each point, and the file
// step that may hand the last outline to the track log.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "formats/airspace/ctr_gpx.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

Ctr square(const std::string& name, double lat, double lon) {
    Ctr c;
    c.name = name;
    c.floor = "1000 ft";
    c.ceiling = "2000m";
    for (auto [dl, dn] : {std::pair{0.0, 0.0}, {0.1, 0.0}, {0.1, 0.1}, {0.0, 0.1}}) {
        CtrSegment s;
        s.centre = {lat + dl, lon + dn};
        c.segments.push_back(s);
    }
    return c;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(CtrGpx, TracksForSelectedCtrsWithEscapedNames) {
    CtrList list{square("A<B & \"C\" 'D'>", 45, 6), square("skipped", 10, 10), square("Caf\xE9", -33, 151)};
    list[0].selected = list[2].selected = true;
    std::vector<Waypoint> last;
    const std::string text = ctr_gpx_text(list, time_from_calendar(2021, 6, 1, 12, 0, 0), &last, 10);
    EXPECT_EQ(count(text, "<trk>"), 2u);
    EXPECT_NE(text.find("<name>A&lt;B &amp; &quot;C&quot; &apos;D&apos;&gt;</name>"), std::string::npos);
    // A Latin-1 byte becomes UTF-8.
    EXPECT_NE(text.find("<name>Caf\xC3\xA9</name>"), std::string::npos);
    EXPECT_EQ(text.find("skipped"), std::string::npos);
    EXPECT_NE(text.find("    <time>2021-06-01T12:00:00Z</time>\r\n"), std::string::npos);
    // Bounds over both CTRs, maxima first.
    EXPECT_NE(text.find("    <bounds maxlat=\"45.100000\" maxlon=\"151.100000\" minlat=\"-33.000000\" "
                        "minlon=\"6.000000\"/>\r\n"),
              std::string::npos)
        << text.substr(0, 800);
    EXPECT_EQ(count(text, "<trkpt "), 10u);   // 4 corners closed, twice
    EXPECT_EQ(count(text, "<ele>2000.000000</ele>"), 10u);
    EXPECT_EQ(count(text, "<gpxx:Depth>304.800000</gpxx:Depth>"), 10u);
    EXPECT_EQ(count(text, "<gpxx:DisplayColor>Transparent</gpxx:DisplayColor>"), 2u);
    EXPECT_NE(text.find("      <trkpt lat=\"-33.000000\" lon=\"151.000000\">\r\n"), std::string::npos);
    ASSERT_EQ(last.size(), 5u);
    EXPECT_EQ(last[0].identifier, "CACAAA");

}

TEST(CtrGpx, FileIsWellFormedAndTakesTheTrackLogOnlyWhenAsked) {
    const auto dir = test::scratch_dir("ctr_gpx");
    const std::string path = (dir / "ctr.gpx").string();
    CtrList list{square("Name with <markup> & more", 46, 7)};
    test::RecordingReporter r;
    TrackLog log;
    log.positions.resize(3);
    EXPECT_EQ(write_ctr_gpx_file(r, path, list, &log), -1);
    EXPECT_EQ(r.last_error().text, "No CTR(s) selected");
    EXPECT_EQ(r.last_error().title, "Save CTR(s) in .gpx file");

    list[0].selected = true;
    ASSERT_EQ(write_ctr_gpx_file(r, path, list, nullptr), 0);
    EXPECT_EQ(log.positions.size(), 3u);
    EXPECT_EQ(r.statuses().back(), path + " written");
    if (test::peer_available("xmllint")) {
        std::string out;
        EXPECT_EQ(test::run_command("xmllint --noout " + path + " 2>&1", out), 0) << out;
    }
    // gpsbabel reads the outline back: five points, the name unescaped.
    if (test::peer_available("gpsbabel")) {
        std::string out;
        ASSERT_EQ(test::run_command("gpsbabel -t -i gpx -f " + path + " -o unicsv -F - 2>&1", out), 0) << out;
        EXPECT_NE(out.find("46.100000,7.100000,2000.0"), std::string::npos) << out;
        std::size_t lines = 0;
        for (char ch : out) lines += ch == '\n';
        EXPECT_EQ(lines, 6u) << out;
        ASSERT_EQ(test::run_command("gpsbabel -t -i gpx -f " + path + " -o gpx -F - 2>&1", out), 0) << out;
        EXPECT_NE(out.find("<name>Name with &lt;markup&gt; &amp; more</name>"), std::string::npos) << out;
    }
    ASSERT_EQ(write_ctr_gpx_file(r, path, list, &log), 0);
    ASSERT_EQ(log.positions.size(), 5u);
    EXPECT_EQ(log.positions[0].flags & kSegmentStart, kSegmentStart);
    EXPECT_EQ(log.positions[1].time, log.positions[0].time + 5);

    EXPECT_EQ(write_ctr_gpx_file(r, (dir / "no" / "x.gpx").string(), list, nullptr), -1);
    EXPECT_EQ(r.last_error().text, "File write error");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
