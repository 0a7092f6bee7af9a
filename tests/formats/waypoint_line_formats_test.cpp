// The five line-oriented waypoint formats: writer layouts worked out by hand,
// the reading rules and their error lines, and round trips.
#include <gtest/gtest.h>

#include <cmath>

#include "core/time.hpp"
#include "core/units.hpp"
#include "formats/waypoints/line_formats.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

using test::RecordingReporter;

constexpr uint32_t kNow = 700000000;

std::vector<Waypoint> sample() {
    Waypoint a;
    a.identifier = "TAKEOF";
    a.comment = "Take off North";
    a.latitude = 536870912;    // 45 degrees
    a.longitude = -134217728;  // -11.25 degrees
    a.height = 1234;
    a.time = time_from_calendar(2011, 3, 4, 5, 6, 7);
    Waypoint b;
    b.identifier = "LZ-2";
    b.latitude = -11930;  // about -0.001 degrees
    b.longitude = 23860;  // about 0.002 degrees
    b.height = 0;
    b.airfield = 1;
    return {a, b};
}

double degrees(int32_t semicircles) { return semicircles * 180.0 / 2147483648.0; }

// Both lists hold the same points within the given precision in degrees and metres.
void expect_same_points(const std::vector<Waypoint>& want, const std::vector<Waypoint>& got, double deg,
                        int metres) {
    ASSERT_EQ(want.size(), got.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(degrees(want[i].latitude), degrees(got[i].latitude), deg);
        EXPECT_NEAR(degrees(want[i].longitude), degrees(got[i].longitude), deg);
        EXPECT_NEAR(want[i].height, got[i].height, metres);
    }
}

TEST(OziWaypoints, WriterLayout) {
    EXPECT_EQ(ozi_waypoint_text(sample()),
              "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n"
              "   1,TAKEOF        ,  45.000000, -11.250000,40606.2125810,0, 1, 3, 0, 65535,"
              "Take off North                          , 0, 0, 0, 4049\r\n"
              "   2,LZ-2          ,  -0.001000,   0.002000,32873.0000000,0, 1, 3, 0, 65535,"
              "                                        , 0, 0, 0, 0\r\n");
}

TEST(OziWaypoints, RoundTripKeepsNamesTimesAndHeights) {
    std::vector<Waypoint> in = sample();
    in[1].time = 1;  // a day count near the epoch still comes back to the second
    in[1].height = 3;
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_ozi_waypoints(r, ozi_waypoint_text(in), false, kNow, out), 2);
    expect_same_points(in, out, 1e-6, 1);
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].identifier, in[i].identifier);
        EXPECT_EQ(out[i].comment, in[i].comment);
        EXPECT_EQ(out[i].time, in[i].time);
    }
}

TEST(OziWaypoints, FieldRules) {
    const std::string head = "OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n";
    RecordingReporter r;
    std::vector<Waypoint> out;
    // Day 0 is now; before the epoch counts as the epoch; -777 feet is no height;
    // negative heights become 0; fields 11-15 may be left out as a group.
    ASSERT_EQ(read_ozi_waypoints(r,
                                 head + "1,AAA,10.5,20.25,0,0,1,3,0,65535,First,0,0,0,-777\n"
                                        "\n"
                                        "   2,  BBB,-10.5,-20.25,100,7,1,3,0,65535\r\n"
                                        "3,CCC,1,2,32874.5,0,1,3,0,65535,x,0,0,0,-50\n"
                                        "4,DDD,1,2,32873,0,1,3,0,65535,y,0,0,0,1000\n",
                                 false, kNow, out),
              4);
    EXPECT_EQ(out[0].time, kNow);
    EXPECT_EQ(out[0].height, 0);
    EXPECT_EQ(out[0].comment, "First");
    EXPECT_EQ(out[1].identifier, "BBB");
    EXPECT_EQ(out[1].time, 0u);
    EXPECT_EQ(out[1].comment, "");
    EXPECT_NEAR(degrees(out[1].latitude), -10.5, 1e-7);
    EXPECT_EQ(out[2].time, 129600u);
    EXPECT_EQ(out[2].height, 0);
    EXPECT_EQ(out[3].height, 305);  // 304.8 m
    EXPECT_EQ(r.count("error"), 0);

    struct Case {
        const char* line;
        const char* why;
    };
    for (const Case c : {Case{"1,AAA,90,0,0,0,1,3,0\n", "nine fields"},
                         Case{"1,AAA,90.000001,0,0,0,1,3,0,65535\n", "latitude past 90"},
                         Case{"1,AAA,0,-180.000001,0,0,1,3,0,65535\n", "longitude past -180"},
                         Case{"1,AAA,0,1x,0,0,1,3,0,65535\n", "longitude text"},
                         Case{"1,AAA,0,0,0,1.5,1,3,0,65535\n", "symbol not whole"},
                         Case{"1,AAA,0,0,9999999,0,1,3,0,65535\n", "date beyond the time stamp"},
                         Case{"1,AAA,0,0,0,0,1,3,0,65535,c,0,0,0,high\n", "altitude text"},
                         Case{"1,aaa,0,0,0,0,1,3,0,65535\n", "identifier needs cleaning"}}) {
        SCOPED_TRACE(c.why);
        RecordingReporter bad;
        std::vector<Waypoint> kept(1);
        EXPECT_EQ(read_ozi_waypoints(bad, head + "1,OK,1,2,0,0,1,3,0,65535\n" + c.line, false, kNow, kept), -1);
        EXPECT_EQ(kept.size(), 1u);  // nothing stored on an error
        EXPECT_EQ(bad.last_error().title, "Decoding waypoint file");
        EXPECT_EQ(bad.last_error().text, "Bad line 6");
    }
}

TEST(OziWaypoints, IdentifierQuestion) {
    const std::string text = "OziExplorer Waypoint File Version 1.0\nWGS 84\nReserved 2\nReserved 3\n"
                             "1,Aconcagua,1,2,0,0,1,3,0,65535\n2,skip me,1,2,0,0,1,3,0,65535\n"
                             "3,ok,1,2,0,0,1,3,0,65535\n";
    RecordingReporter r;
    r.queue_answer(0);  // "&Yes" for the first
    r.queue_answer(2);  // "&No (skip)" for the second
    r.queue_answer(1);  // "Yes to &All": no further questions
    std::vector<Waypoint> out;
    ASSERT_EQ(read_ozi_waypoints(r, text, true, kNow, out), 2);
    EXPECT_EQ(out[0].identifier, "ACONCA");
    EXPECT_EQ(out[1].identifier, "OK");

    RecordingReporter cancel;
    cancel.queue_answer(3);  // "&Cancel" makes it a bad line
    EXPECT_EQ(read_ozi_waypoints(cancel, text, true, kNow, out), -1);
    EXPECT_EQ(cancel.last_error().text, "Bad line 5");
}

TEST(GeoWaypoints, WriterLayout) {
    EXPECT_EQ(geo_waypoint_text(sample()),
              "$FormatGEO\r\n"
              "TAKEOF    N 45 00 00.00    W 011 15 00.00  1234  Take off North\r\n"
              "LZ-2      S 00 00 03.60    E 000 00 07.20     0   [A]\r\n");
}

TEST(GeoWaypoints, ReaderRules) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_geo_waypoints(r,
                                 "$FormatGEO\n"
                                 "PT1  N 45 30 36.00    E 006 07 08.09   -12  Field by the road [a]\n"
                                 "PT2  S 10.5 W 20 30 -0.4 [B]\n"
                                 "PT3 N 1.0 E 2.0 99.5\n",
                                 false, kNow, out),
              3);
    EXPECT_NEAR(degrees(out[0].latitude), 45.51, 1e-7);
    EXPECT_NEAR(degrees(out[0].longitude), 6 + 7 / 60.0 + 8.09 / 3600, 1e-7);
    EXPECT_EQ(out[0].height, 0);
    EXPECT_EQ(out[0].comment, "Field by the road");
    EXPECT_EQ(out[0].airfield, 1);
    EXPECT_EQ(out[0].time, kNow);
    EXPECT_NEAR(degrees(out[1].latitude), -10.5, 1e-7);
    EXPECT_NEAR(degrees(out[1].longitude), -20.5, 1e-7);
    EXPECT_EQ(out[1].airfield, 0);
    EXPECT_EQ(out[1].comment, "");
    EXPECT_EQ(out[2].height, 100);
    EXPECT_EQ(out[2].comment, "");

    for (const char* line : {"PT1 N 90 00 00.01 E 000 00 00.00 5 x\n", "PT1 N 45 60 00.00 E 6 5 x\n",
                             "PT1 N 45 E 180 00 00.01 5 x\n", "PT1 N 91 E 6 5 x\n",
                             "PT1 E 45 N 6 5 x\n", "PT1 N 45 E 6 five x\n", "PT1 N 45 E 6\n"}) {
        SCOPED_TRACE(line);
        RecordingReporter bad;
        EXPECT_EQ(read_geo_waypoints(bad, std::string("$FormatGEO\r\n\r\n") + line, false, kNow, out), -1);
        EXPECT_EQ(bad.last_error().text, "Bad line 3");
        EXPECT_EQ(bad.last_error().title, "Decoding waypoint file");
    }
}

TEST(GeoWaypoints, RoundTripWithinAHundredthOfASecond) {
    std::vector<Waypoint> in = sample();
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_geo_waypoints(r, geo_waypoint_text(in), false, kNow, out), 2);
    expect_same_points(in, out, 0.006 / 3600, 0);
    EXPECT_EQ(out[0].comment, "Take off North");
    EXPECT_EQ(out[0].airfield, 0);
    EXPECT_EQ(out[1].identifier, "LZ-2");
    EXPECT_EQ(out[1].airfield, 1);
}

TEST(UtmWaypoints, WriterLayoutAgreesWithGeoConvert) {
    // Eastings and northings as GeographicLib's GeoConvert gives them.
    EXPECT_EQ(utm_waypoint_text(sample()),
              "$FormatUTM\r\n"
              "TAKEOF   29T   0322666   4985413   1234  Take off North\r\n"
              "LZ-2     31M   0166244   9999889      0   [A]\r\n");
}

TEST(UtmWaypoints, ReaderRulesAndRoundTrip) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_utm_waypoints(r, utm_waypoint_text(sample()), false, kNow, out), 2);
    expect_same_points(sample(), out, 2e-5, 0);  // a metre is about 1e-5 degrees
    EXPECT_EQ(out[1].airfield, 1);
    EXPECT_EQ(out[0].comment, "Take off North");

    ASSERT_EQ(read_utm_waypoints(r, "$FormatUTM\nA 32u 500000 0 -5\n", false, kNow, out), 1);
    EXPECT_NEAR(degrees(out[0].latitude), 0.0, 1e-7);
    EXPECT_NEAR(degrees(out[0].longitude), 9.0, 1e-7);
    EXPECT_EQ(out[0].height, 0);

    for (const char* line : {"A 32Y 500000 0 5\n", "A 61U 500000 0 5\n", "A 32U 1000001 0 5\n",
                             "A 32U 500000 20000001 5\n", "A 32U 500000 0 5.5\n", "A 32U 500000\n"}) {
        SCOPED_TRACE(line);
        RecordingReporter bad;
        EXPECT_EQ(read_utm_waypoints(bad, std::string("$FormatUTM\n") + line, false, kNow, out), -1);
        EXPECT_EQ(bad.last_error().text, "Bad line 2");
    }
}

TEST(SeeYouWaypoints, WriterLayout) {
    EXPECT_EQ(seeyou_waypoint_text(sample()),
              "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc\r\n"
              "\"Take off North\",TAKEOF,,4500.000N,01115.000W,1234.0m,1,,,,\r\n"
              "\"LZ-2\",LZ-2,,0000.060S,00000.120E,0.0m,2,,,,\r\n");
}

TEST(SeeYouWaypoints, ReaderRules) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    const std::string text =
        "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc\r\n"
        "\"Hill, north top\",\"hill top\",DE,4530.500N,00610.250E,1500ft,5,,,,\"a, b\"\r\n"
        "\"B\",\"b\",,4530.500S,00610.250W,,2\r\n"
        "\"C\",\"A,B\",,0000.000N,00000.000E, 12.4M ,  \r\n"
        "-----Related Tasks-----\r\n"
        "\"not\",\"read\",,bad\r\n";
    ASSERT_EQ(read_seeyou_waypoints(r, text, kNow, out), 3);
    EXPECT_EQ(out[0].comment, "Hill- north top");
    EXPECT_EQ(out[0].identifier, "HILL");
    EXPECT_EQ(out[0].height, 457);  // 1500 ft
    EXPECT_EQ(out[0].airfield, 1);
    EXPECT_NEAR(degrees(out[0].latitude), 45 + 30.5 / 60, 1e-7);
    EXPECT_NEAR(degrees(out[1].longitude), -(6 + 10.25 / 60), 1e-7);
    EXPECT_EQ(out[1].height, 0);
    EXPECT_EQ(out[1].airfield, 1);
    EXPECT_EQ(out[2].identifier, "A-B");  // a separator never reaches an identifier
    EXPECT_EQ(out[2].height, 12);
    EXPECT_EQ(out[2].airfield, 0);
    EXPECT_EQ(out[2].time, kNow);

    // A first line without a quoted name ends the reading with nothing.
    EXPECT_EQ(read_seeyou_waypoints(r, "name\nA,B,,4530.500N,00610.250E,1m,1\n", kNow, out), 0);
    EXPECT_EQ(r.count("error"), 0);

    for (const char* line : {"\"X\",X,,4530.500N,00610.250E,1500,1\n", "\"X\",X,,4530.500N,00610.250E,1m\n",
                             "X,X,,4530.500N,00610.250E,1m,1\n", "\"X\",X,,9000.001N,00610.250E,1m,1\n",
                             "\"X\",X,,4530.500N,18000.001W,1m,1\n",
                             "\"X\",X,,4530.500N,00610.250E,1m,two\n", "\"X\",X,,4530.500E,00610.250E,1m,1\n"}) {
        SCOPED_TRACE(line);
        RecordingReporter bad;
        EXPECT_EQ(read_seeyou_waypoints(bad, std::string("Title\n\"OK\",OK,,0000.000N,00000.000E,0m,1\n") + line,
                                        kNow, out),
                  -1);
        EXPECT_EQ(bad.last_error().title, "Decoding SeeYou file");
        EXPECT_EQ(bad.last_error().text, "Bad line 3");
    }
}

TEST(SeeYouWaypoints, RoundTripWithinAThousandthOfAMinute) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_seeyou_waypoints(r, seeyou_waypoint_text(sample()), kNow, out), 2);
    expect_same_points(sample(), out, 0.0006 / 60, 0);
    EXPECT_EQ(out[0].identifier, "TAKEOF");
    EXPECT_EQ(out[0].comment, "Take off North");
    EXPECT_EQ(out[1].comment, "LZ-2");  // the name stands in for an empty comment
    EXPECT_EQ(out[1].airfield, 1);
}

TEST(WinPilotWaypoints, WriterLayout) {
    std::vector<Waypoint> in = sample();
    in[0].comment = "Take off North side";
    EXPECT_EQ(winpilot_waypoint_text(in),
              "1,45:00.000N,11:15.000W,1234,T,TAKEOF,Take off Nor\r\n"
              "2,0:00.060S,0:00.120E,0,A,LZ-2,\r\n");
}

TEST(WinPilotWaypoints, ReaderRules) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_winpilot_waypoints(r,
                                      "* remark line, with commas\n"
                                      "  12 b,45:30.500n,006:10:15.5e,1500F,AT,Some Field,ignored,x\r\n"
                                      "x,1:00.000S,2:00:00W,-3.7,T,c\n"
                                      "y,1:00.000S,2:00:00W,,t,\n",
                                      kNow, out),
              3);
    EXPECT_EQ(out[0].identifier, "12");
    EXPECT_NEAR(degrees(out[0].latitude), 45 + 30.5 / 60, 1e-7);
    EXPECT_NEAR(degrees(out[0].longitude), 6 + 10 / 60.0 + 15.5 / 3600, 1e-7);
    EXPECT_EQ(out[0].height, 457);
    EXPECT_EQ(out[0].airfield, 1);
    EXPECT_EQ(out[0].comment, "Some Field");
    EXPECT_EQ(out[1].identifier, "X");
    EXPECT_EQ(out[1].height, -3);  // +0.5 and truncated
    EXPECT_EQ(out[1].airfield, 0);
    EXPECT_EQ(out[2].height, 0);
    EXPECT_EQ(out[2].time, kNow);

    for (const char* line : {"1,45:30.500N,006:10.250E,5,T\n", "1,90:00.001N,006:10.250E,5,T,c\n",
                             "1,45:60.000N,006:10.250E,5,T,c\n", "1,45:30:60N,006:10.250E,5,T,c\n",
                             "1,45:30.500N,180:00:01E,5,T,c\n", "1,91:00.000N,006:10.250E,5,T,c\n",
                             "1,45:30.500X,006:10.250E,5,T,c\n",
                             "1,45:30.500N,006:10.250E,5ft,T,c\n", "1,45.5N,006:10.250E,5,T,c\n"}) {
        SCOPED_TRACE(line);
        RecordingReporter bad;
        EXPECT_EQ(read_winpilot_waypoints(bad, std::string("1,0:00.000N,0:00.000E,0,T,ok\n") + line, kNow, out), -1);
        EXPECT_EQ(bad.last_error().title, "Decoding WinPilot file");
        EXPECT_EQ(bad.last_error().text, "Bad line 2");
    }
}

TEST(WinPilotWaypoints, RoundTripNumbersBecomeIdentifiers) {
    RecordingReporter r;
    std::vector<Waypoint> out;
    ASSERT_EQ(read_winpilot_waypoints(r, winpilot_waypoint_text(sample()), kNow, out), 2);
    expect_same_points(sample(), out, 0.0006 / 60, 0);
    EXPECT_EQ(out[0].identifier, "1");
    EXPECT_EQ(out[1].identifier, "2");
    EXPECT_EQ(out[0].comment, "TAKEOF");
    EXPECT_EQ(out[1].comment, "LZ-2");
    EXPECT_EQ(out[1].airfield, 1);
}

TEST(LineFormats, LineEndsAndBlankLines) {
    // CR alone, LF alone and blank lines: numbers still match an editor's.
    RecordingReporter r;
    std::vector<Waypoint> out;
    EXPECT_EQ(read_winpilot_waypoints(r, "1,1:00.000N,2:00.000E,0,T,a\r\r\n   \n\t\n2,bad\n", kNow, out), -1);
    EXPECT_EQ(r.last_error().text, "Bad line 5");
    RecordingReporter ok;
    EXPECT_EQ(read_winpilot_waypoints(ok, "1,1:00.000N,2:00.000E,0,T,a\r2,1:00.000N,2:00.000E,0,T,b", kNow, out), 2);
}

// Names from an instrument are not cleaned as file names are: a separator,
// a quote, a line end or a trailing "[A]" in them must not shift or split the
// fields or make an airfield. Each writer replaces them; its reader then
// gets the whole comment and the fields after it.
// The readers with and without the identifier question, as one kind of call.
using Reader = int (*)(RecordingReporter&, const std::string&, std::vector<Waypoint>&);
template <auto read>
int asking(RecordingReporter& r, const std::string& text, std::vector<Waypoint>& out) {
    return read(r, text, false, kNow, out);
}
template <auto read>
int not_asking(RecordingReporter& r, const std::string& text, std::vector<Waypoint>& out) {
    return read(r, text, kNow, out);
}

TEST(LineFormats, SeparatorsInNamesAndCommentsKeepTheFields) {
    struct Case {
        const char* format;
        std::string (*write)(const std::vector<Waypoint>&);
        Reader read;
        const char* identifier;       // given
        const char* read_identifier;  // read back
        const char* read_comment;
    };
    const char* kComment = "Lake, \"north\"\r\nshore [A]";
    const char* kCleaned = "Lake- -north-  shore -A-";
    const Case cases[] = {
        {"Ozi", ozi_waypoint_text, asking<read_ozi_waypoints>, "AB,C", "AB-C", kCleaned},
        {"SeeYou", seeyou_waypoint_text, not_asking<read_seeyou_waypoints>, "AB,C\"", "AB-C-", kCleaned},
        // WinPilot's reader numbers the points and takes the identifier column as the comment.
        {"WinPilot", winpilot_waypoint_text, not_asking<read_winpilot_waypoints>, "AB,C", "1", "AB-C"},
        {"GEO", geo_waypoint_text, asking<read_geo_waypoints>, "AB-C", "AB-C", kCleaned},
        {"UTM", utm_waypoint_text, asking<read_utm_waypoints>, "AB-C", "AB-C", kCleaned},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Waypoint w = sample()[0];
        w.identifier = c.identifier;
        w.comment = kComment;
        const std::string text = c.write({w, sample()[1]});
        RecordingReporter r;
        std::vector<Waypoint> out;
        if (c.read(r, text, out) != 2) {
            ADD_FAILURE() << r.last_error().text << "\n" << text;
            continue;
        }
        EXPECT_EQ(out[0].identifier, c.read_identifier);
        EXPECT_EQ(out[0].comment, c.read_comment);
        EXPECT_NEAR(out[0].height, w.height, 1);
        EXPECT_EQ(out[0].airfield, 0);
        expect_same_points({w, sample()[1]}, out, 2e-5, 1);
    }
}

}  // namespace
}  // namespace orlogix
