// Flytec/Brauniger waypoints: the upload sentence (golden bytes written out
// by hand) and the download's byte decoder with its error numbers.
#include <gtest/gtest.h>

#include <cmath>

#include "core/units.hpp"
#include "protocols/flytec/waypoint_decoder.hpp"
#include "protocols/flytec/waypoint_upload.hpp"

namespace orlogix::flytec {
namespace {

constexpr double kRad = 3.14159265358979323846 / 180.0;

Waypoint at(double lat, double lon, int height, std::string comment) {
    Waypoint w;
    SemicirclePair s;
    EXPECT_EQ(degrees_to_semicircles(lat, lon, s), 0);
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    w.height = height;
    w.comment = std::move(comment);
    return w;
}

TEST(FlytecWaypoints, UploadSentences) {
    const double lat = 47 + 12.345 / 60, lon = 11 + 28.5 / 60;
    EXPECT_EQ(waypoint_upload_sentence(at(lat, lon, -5, "TAKEOFF MOUNTAIN RIDGE")),
              "$PBRWPR,4712.345,N,01128.500,E,,TAKEOFF MOUNTAIN ,0000*50\r\n");
    EXPECT_EQ(waypoint_upload_sentence(at(-0.5, -(70 + 5.25 / 60), 12000, "TAKEOFF MOUNTAIN")),
              "$PBRWPR,0030.000,S,07005.250,W,,TAKEOFF MOUNTAIN ,9999*54\r\n");
    // Separators, line ends and other bytes become blanks before padding; a UTF-8 character counts once.
    EXPECT_EQ(waypoint_upload_sentence(at(lat, lon, 100, "A,B\r\nC*D$\x01\xC3\x89" "E")),
              "$PBRWPR,4712.345,N,01128.500,E,,A B  C D   E     ,0100*4F\r\n");
}

// Feeds bytes; the first non-zero result.
int run(WaypointDecoder& d, std::string_view bytes) {
    for (char c : bytes)
        if (const int r = d.feed(c)) return r;
    return 0;
}

TEST(FlytecWaypoints, DecodesSentences) {
    WaypointDecoder d;
    // Other sentences and a broken prefix are skipped; the "$" that broke it starts the real one.
    ASSERT_EQ(run(d, "$GPGGA,1*00\r\n$PBRWP$PBRWPS,4712.345,N,01128.500,E,TKOFF,Takeoff  Mountain,1234*25\r\n"), 1);
    const WaypointSentence& s = d.sentence();
    EXPECT_NEAR(s.latitude, (47 + 12.345 / 60) * kRad, 1e-12);
    EXPECT_NEAR(s.longitude, (11 + 28.5 / 60) * kRad, 1e-12);
    EXPECT_EQ(s.identifier, "TKOFF");
    EXPECT_EQ(s.long_name, "Takeoff  Mountain");
    EXPECT_EQ(s.altitude, 1234);
    Waypoint w = waypoint_from_sentence(s, 77);
    EXPECT_EQ(w.identifier, "TKOFF");
    EXPECT_EQ(w.comment, "TAKEOFF MOUNTAIN");
    EXPECT_EQ(w.height, 1234);
    EXPECT_EQ(w.time, 77u);

    ASSERT_EQ(run(d, "$PBRWPS,4712.345,S,01128.500,W,,,-012*1F\r\n"), 1);
    w = waypoint_from_sentence(d.sentence(), 0);
    EXPECT_LT(w.latitude, 0);
    EXPECT_LT(w.longitude, 0);
    EXPECT_EQ(w.height, -12);
    EXPECT_EQ(w.identifier, "Z");   // both names empty

    ASSERT_EQ(run(d, "$PBRWPS,4712.345,N,01128.500,E,,ab cd,0100*2B\r\n"), 1);
    EXPECT_EQ(waypoint_from_sentence(d.sentence(), 0).identifier, "AB");   // from the long name
    ASSERT_EQ(run(d, "$PBRWPS,4712.345,N,01128.500,E,t off*35\r\n"), 1);   // "*" right after the identifier
    EXPECT_EQ(d.sentence().long_name, "");
    EXPECT_EQ(waypoint_from_sentence(d.sentence(), 0).identifier, "T");
    ASSERT_EQ(run(d, "$PBRWPS,8959.999,N,17959.999,E,,,0000*0D\r\n"), 1);   // the largest values
}

TEST(FlytecWaypoints, ErrorNumbers) {
    const std::string head = "$PBRWPS,4712.345,N,01128.500,E,";
    const std::pair<std::string, int> cases[] = {
        {"$PBRWPS,8960", 1},          {"$PBRWPS,4760.000,", 1},      {"$PBRWPS,47x", 2},
        {"$PBRWPS,4712.3x", 3},       {"$PBRWPS,4712.345,Q", 4},     {"$PBRWPS,4712.345,NX", 5},
        {"$PBRWPS,4712.345,N,17960", 6}, {"$PBRWPS,4712.345,N,01160,", 6}, {"$PBRWPS,4712.345,N,011x", 7},
        {"$PBRWPS,4712.345,N,01128.5x", 8}, {"$PBRWPS,4712.345,N,01128.500,Q", 9},
        {"$PBRWPS,4712.345,N,01128.500,E;", 10},
        {head + "AB\r", 11},          {head + "ABCDEFG", 12},        {head + "AB,NAME\n", 13},
        {head + "AB,ABCDEFGHIJKLMNOPQR", 14}, {head + "AB,N,12*", 15}, {head + "AB,N,1234x", 16},
        {head + "AB,N,1234*G", 17},   {head + "AB,N,1234*4g", 18},   {head + "AB,N,1234*47\n", 19},
        {head + "AB,N,1234*46\r", 20}, {head + "AB,N,1234*47\rX", 21},
    };
    for (const auto& [bytes, error] : cases) {
        WaypointDecoder d;
        EXPECT_EQ(run(d, bytes), -error) << bytes;
        // After an error the decoder takes the next sentence.
        EXPECT_EQ(run(d, head + "AB,N,1234*47\r\n"), 1) << bytes;
    }
}

}  // namespace
}  // namespace orlogix::flytec
