// Waypoint KML: the writer's layout, reading it back, the folder-name rule,
// the identifier question and the error texts.
#include <gtest/gtest.h>

#include "core/time.hpp"
#include "formats/kml/reader.hpp"
#include "formats/kml/waypoint_writer.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

std::vector<Waypoint> sample() {
    Waypoint a;
    a.identifier = "TAKEOF";
    a.comment = "Take off North";
    a.latitude = 536870912;   // 45 degrees
    a.longitude = -134217728; // -11.25 degrees
    a.height = 1234;
    Waypoint b;
    b.identifier = "LZ-2";
    b.comment = "";
    b.latitude = -11930;
    b.longitude = 23860;
    b.height = -3;
    return {a, b};
}

std::string placemark(const std::string& name, const std::string& coordinates, const std::string& extra = "") {
    return "<Placemark><name>" + name + "</name>" + extra + "<Point><coordinates>" + coordinates +
           "</coordinates></Point></Placemark>";
}

std::string doc(const std::string& placemarks, const std::string& folder_name = "Waypoints") {
    return "<?xml version=\"1.0\"?><kml xmlns=\"http://earth.google.com/kml/2.1\"><Document><Folder><name>" +
           folder_name + "</name>" + placemarks + "</Folder></Document></kml>";
}

TEST(KmlWaypointWriter, Layout) {
    EXPECT_EQ(kml_waypoint_text({sample()[0]}),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<kml xmlns=\"http://earth.google.com/kml/2.1\">\r\n"
              "  <Document>\r\n"
              "    <Folder>\r\n"
              "      <name>Waypoints</name>\r\n"
              "      <Placemark>\r\n"
              "        <name>TAKEOF</name>\r\n"
              "        <description>Take off North</description>\r\n"
              "        <Point>\r\n"
              "        <coordinates>-11.250000,45.000000,1234.000000</coordinates>\r\n"
              "        </Point>\r\n"
              "      </Placemark>\r\n"
              "    </Folder>\r\n"
              "  </Document>\r\n"
              "</kml>\r\n");
    Waypoint odd = sample()[0];
    odd.comment = "<b>&</b>";
    EXPECT_NE(kml_waypoint_text({odd}).find("<description>&lt;b&gt;&amp;&lt;/b&gt;</description>"),
              std::string::npos);
}

TEST(KmlWaypointReader, ReadsWhatTheWriterWrote) {
    test::RecordingReporter r;
    std::vector<Waypoint> got;
    const uint32_t before = time_now();
    ASSERT_EQ(read_kml_waypoints(r, kml_waypoint_text(sample()), false, got), 2) << r.last_error().text;
    const auto want = sample();
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i].identifier, want[i].identifier);
        EXPECT_EQ(got[i].comment, want[i].comment);
        EXPECT_EQ(got[i].height, want[i].height) << i;  // also -3: halves round away from zero
        EXPECT_NEAR(got[i].latitude, want[i].latitude, 12);
        EXPECT_NEAR(got[i].longitude, want[i].longitude, 12);
        EXPECT_GE(got[i].time, before);
        EXPECT_EQ(got[i].airfield, 0);
    }
}

TEST(KmlWaypointReader, OnlyTheFolderNamedWaypoints) {
    test::RecordingReporter r;
    std::vector<Waypoint> got(3);
    EXPECT_EQ(read_kml_waypoints(r, doc(placemark("A1", "7,45,100"), "waypoints"), false, got), 0);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(r.count("error"), 0);
    // A placemark outside the path kml/Document/Folder is not a waypoint either.
    EXPECT_EQ(read_kml_waypoints(r, "<kml><Document><Folder><name>Waypoints</name><Folder>" + placemark("A1", "7,45") +
                                        "</Folder></Folder></Document></kml>",
                                 false, got),
              0);
}

TEST(KmlWaypointReader, Errors) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {doc(placemark("A1", "7,45,1") + "<Placemark><name>B</name></Placemark>"), "Missing tag(s) for waypoint 2"},
        {doc(placemark("  ", "7,45,1")), "Missing data for waypoint 1"},
        {doc(placemark("A1", " ")), "Missing data for waypoint 1"},
        {doc(placemark("bad name", "7,45,1")), "Bad ID for waypoint 1"},
        {doc(placemark("A1", "7;45;1")), "Bad <coordinates> in waypoint A1"},
        {doc(placemark("A1", "190,45,1")), "Bad <coordinates> in waypoint A1"},
        {doc(placemark("A1", "7,45,1 8,46,2")), "Bad <coordinates> in waypoint A1"},
        {doc(placemark("A1", "7,45,1,9")), "Bad <coordinates> in waypoint A1"},
        {doc(placemark("A1", "7,45,1")) + "x", "Data found after last tag"},
    };
    for (const auto& c : cases) {
        test::RecordingReporter r;
        std::vector<Waypoint> got;
        EXPECT_EQ(read_kml_waypoints(r, c.text, false, got), -1) << c.message;
        EXPECT_EQ(r.last_error().text, c.message);
        EXPECT_EQ(r.last_error().title, "Parsing waypoint file");
    }
}

TEST(KmlWaypointReader, IdentifierQuestion) {
    const std::string text = doc(placemark("abc", "7,45,1", "<description>First one</description>") +
                                 placemark("toolongname", "7,45,1") + placemark("x y", "7,45,1 "));
    {
        test::RecordingReporter r;
        r.queue_answer(0);  // Yes
        r.queue_answer(2);  // No (skip)
        r.queue_answer(0);  // Yes
        std::vector<Waypoint> got;
        ASSERT_EQ(read_kml_waypoints(r, text, true, got), 2);
        EXPECT_EQ(got[0].identifier, "ABC");
        EXPECT_EQ(got[0].comment, "First one");
        EXPECT_EQ(got[1].identifier, "X");
        EXPECT_EQ(r.count("choose"), 3);
    }
    {
        test::RecordingReporter r;
        r.queue_answer(1);  // Yes to All: no more questions
        std::vector<Waypoint> got;
        ASSERT_EQ(read_kml_waypoints(r, text, true, got), 3);
        EXPECT_EQ(got[1].identifier, "TOOLON");
        EXPECT_EQ(r.count("choose"), 1);
    }
    {
        test::RecordingReporter r;
        r.queue_answer(3);  // Cancel: nothing, no message
        std::vector<Waypoint> got(1);
        EXPECT_EQ(read_kml_waypoints(r, text, true, got), -1);
        EXPECT_EQ(got.size(), 1u);
        EXPECT_EQ(r.count("error"), 0);
    }
}

}  // namespace
}  // namespace orlogix
