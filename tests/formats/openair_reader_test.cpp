// The OpenAir reader on hand-written texts: every record type, the
// coordinate and radius forms, the state rules between centres and arcs,
// and each error text with the line it names.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/airspace/openair_reader.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

struct Parsed {
    int count = 0;
    CtrList list;
    test::RecordingReporter reporter;
    std::string error() const { return reporter.last_error().text; }
};

std::unique_ptr<Parsed> parse(const std::string& text) {
    auto p = std::make_unique<Parsed>();
    p->count = parse_openair(p->reporter, text, p->list);
    return p;
}

// Parses and expects failure with exactly this message.
void expect_error(const std::string& text, const std::string& message) {
    auto p = parse(text);
    EXPECT_EQ(p->count, -1) << text;
    EXPECT_EQ(p->error(), message) << text;
    EXPECT_EQ(p->reporter.last_error().title, "Parsing CTR buffer");
    EXPECT_EQ(p->reporter.count("error"), 1);
}

const std::string kCentre = "V X=45:30:00 N 006:10:00 E\n";

TEST(OpenAirReader, RadiusUnitsAndLimits) {
    auto nm = parse("AN A\n" + kCentre + "DC 2\n");
    ASSERT_EQ(nm->count, 1) << nm->error();
    EXPECT_EQ(nm->list[0].segments[0].radius, 3704u);
    EXPECT_EQ(nm->list[0].segments[0].kind, CtrSegmentKind::Circle);
    EXPECT_DOUBLE_EQ(nm->list[0].segments[0].centre.latitude, 45.5);
    EXPECT_NEAR(nm->list[0].segments[0].centre.longitude, 6.0 + 10.0 / 60, 1e-12);

    for (const char* km : {"DC 2 km\n", "DC 2km\n", "DC 2KM\n", "DC 2,0 km\n"}) {
        auto p = parse("AN A\n" + kCentre + km);
        ASSERT_EQ(p->count, 1) << km << p->error();
        EXPECT_EQ(p->list[0].segments[0].radius, 2000u) << km;
    }
    auto half = parse("AN A\n" + kCentre + "DC 0.5 * five cables\n");
    ASSERT_EQ(half->count, 1) << half->error();
    EXPECT_EQ(half->list[0].segments[0].radius, 926u);

    expect_error("AN A\n" + kCentre + "DC 0\n", "Bad radius format on line 3");
    expect_error("AN A\n" + kCentre + "DC 10001\n", "Bad radius format on line 3");
    expect_error("AN A\n" + kCentre + "DC 0.0002\n", "Bad radius format on line 3");   // 0.37 m
    expect_error("AN A\n" + kCentre + "DC 2 km x\n", "Bad radius format on line 3");
    expect_error("AN A\n" + kCentre + "DC\n", "Bad radius format on line 3");
}

TEST(OpenAirReader, CoordinateForms) {
    const std::string text =
        "AN Forms\n"
        "DP 45.5 N 6.25 E\n"
        "DP 45,5N 006,25e\n"
        "DP 45:30.0 N 6:15.0 E\n"
        "DP 45:30:00 n 6:15:00 E * trailing comment\n"
        "DP 45:29:59.5 S 006:14:59,5 W\n"
        "DP   47:22:60 N 007:39:30 E\n"
        "DP 90:00:00 S 180:00:00.0 W\n"
        "DP 90.0 N 180.0 E\n";
    auto p = parse(text);
    ASSERT_EQ(p->count, 1) << p->error();
    const auto& s = p->list[0].segments;
    ASSERT_EQ(s.size(), 8u);
    // The pole and the date line themselves.
    EXPECT_EQ(s[6].centre.latitude, -90.0);
    EXPECT_EQ(s[6].centre.longitude, -180.0);
    EXPECT_EQ(s[7].centre.latitude, 90.0);
    EXPECT_EQ(s[7].centre.longitude, 180.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(s[i].centre.latitude, 45.5, 1e-12) << i;
        EXPECT_NEAR(s[i].centre.longitude, 6.25, 1e-12) << i;
    }
    EXPECT_NEAR(s[4].centre.latitude, -(45 + 29 / 60.0 + 59.5 / 3600), 1e-12);
    EXPECT_NEAR(s[4].centre.longitude, -(6 + 14 / 60.0 + 59.5 / 3600), 1e-12);
    // A rounded-up "60" seconds is a full minute.
    EXPECT_NEAR(s[5].centre.latitude, 47 + 23 / 60.0, 1e-12);

    const char* bad[] = {
        "DP 90:00:01 N 006:00:00 E",   // latitude no further than the pole
        "DP 91:00:00 N 006:00:00 E",
        "DP 45:00:00 N 180:00:00.1 E", // longitude no further than the date line
        "DP 45:00:00 N 181 E",
        "DP 45:60:00 N 006:00:00 E",   // minutes below 60
        "DP 45:00:61 N 006:00:00 E",   // seconds
        "DP 45:00:00 006:00:00 E",     // no hemisphere
        "DP 45:00:00 X 006:00:00 E",   // not a hemisphere letter
        "DP 45:00:00 E 006:00:00 N",   // letters swapped
        "DP 45:00:00 N006:00:00 E",    // no blank between the two
        "DP 45 N 006 E",               // neither decimals nor minutes
        "DP 45:00:00 N 006:00:00 E garbage",
        "DP 45:00:00 N 006:00:00 E,",
        "DP 45:00:00 N",
        "DP",
    };
    for (const char* line : bad) expect_error(std::string("AN A\nDP 1:0:0 N 1:0:0 E\n") + line + "\n",
                                              "Bad position format on line 3");
}

TEST(OpenAirReader, RecordsOfAnAirspace) {
    const std::string text =
        "* header comment\n"
        "AC D\n"
        "AN   Zone   with  spaces  \n"
        "AY CTR\n"
        "AF 123.450\n"
        "AL    GND  \n"
        "AH 4500ft    MSL\n"
        "SP 0,1,0,0,255\n"
        "V D=-\n"
        "V X=45:30:00 N 006:10:00 E\n"
        "DB 45:40:00 N 006:10:00 E, 45:30:00 N 006:20:00 E\n"
        "DP 45:20:00 N 006:10:00 E\n"
        "V X=45:00:00 N 006:00:00 E\n"
        "DA 10, 270.5, 90\n"
        "V D = +\n"
        "V X = 45:00:00 N 006:00:00 E\n"
        "DA 2km, 90, 180\n"
        "V T=anything\n"
        "V W=2\n"
        "V Z=100\n"
        "   * indented comment\n"
        "\n"
        "AN Second\n"
        "V X=10:00:00 S 020:00:00 W\n"
        "DC 1\n";
    auto p = parse(text);
    ASSERT_EQ(p->count, 2) << p->error();
    const Ctr& a = p->list[0];
    EXPECT_EQ(a.name, "Zone   with  spaces");
    EXPECT_EQ(a.floor, "GND");
    EXPECT_EQ(a.ceiling, "4500ft MSL");
    EXPECT_EQ(a.line, 3);
    EXPECT_EQ(a.warning_distance, 200);
    ASSERT_EQ(a.segments.size(), 4u);
    EXPECT_EQ(a.segments[0].kind, CtrSegmentKind::ArcByEnds);
    EXPECT_EQ(a.segments[0].direction, '-');
    EXPECT_NEAR(a.segments[0].first.latitude, 45 + 40 / 60.0, 1e-12);
    EXPECT_NEAR(a.segments[0].second.longitude, 6 + 20 / 60.0, 1e-12);
    EXPECT_NEAR(a.segments[0].centre.latitude, 45.5, 1e-12);
    EXPECT_EQ(a.segments[1].kind, CtrSegmentKind::Point);
    EXPECT_EQ(a.segments[2].kind, CtrSegmentKind::ArcByAngles);
    EXPECT_EQ(a.segments[2].radius, 18520u);
    EXPECT_DOUBLE_EQ(a.segments[2].start_bearing, 270.5);
    EXPECT_DOUBLE_EQ(a.segments[2].end_bearing, 90.0);
    EXPECT_EQ(a.segments[2].direction, '-');
    EXPECT_EQ(a.segments[3].direction, '+');
    EXPECT_EQ(a.segments[3].radius, 2000u);
    const Ctr& b = p->list[1];
    EXPECT_EQ(b.line, 23);
    // The direction starts over at each airspace.
    EXPECT_NEAR(b.segments[0].centre.longitude, -20.0, 1e-12);
    EXPECT_EQ(b.segments[0].radius, 1852u);
}

TEST(OpenAirReader, LongTextsAreCut) {
    const std::string name(60, 'N'), floor(55, 'F');
    auto p = parse("AN " + name + "\nAL " + floor + "\nAH " + std::string(51, 'C') + "\nDP 1:0:0 N 1:0:0 E\n");
    ASSERT_EQ(p->count, 1) << p->error();
    EXPECT_EQ(p->list[0].name, name.substr(0, 50));
    EXPECT_EQ(p->list[0].floor, floor.substr(0, 50));
    EXPECT_EQ(p->list[0].ceiling.size(), 50u);
    // A cut never leaves a blank at the end.
    auto blank = parse("AN " + std::string(49, 'N') + " NAME\nAL " + std::string(49, 'F') + "   G\nDP 1:0:0 N 1:0:0 E\n");
    ASSERT_EQ(blank->count, 1);
    EXPECT_EQ(blank->list[0].name, std::string(49, 'N'));
    EXPECT_EQ(blank->list[0].floor, std::string(49, 'F'));
}

TEST(OpenAirReader, CentreAndArcStates) {
    expect_error("AN A\nV X=45:30:00 N 006:10:00 E\nDP 45:00:00 N 006:00:00 E\n",
                 "Expected a DB or DC record (line 3)");
    expect_error("AN A\n" + kCentre + kCentre + "DC 1\n", "Multiple V record types");
    // Two arcs around one centre leave it pending again.
    expect_error("AN A\n" + kCentre + "DA 1, 0, 90\nDA 1, 90, 180\n", "Missing DB or DC segment (line 1)");
    expect_error("AN A\n" + kCentre + "DA 1, 0, 90\nDA 1, 90, 180\nDP 45:00:00 N 006:00:00 E\n",
                 "Expected a DB or DC record (line 5)");
    expect_error("AN A\nDP 1:0:0 N 1:0:0 E\nDA 1, 0, 90\n", "Missing centre for DB record (line 3)");
    expect_error("AN A\nDP 1:0:0 N 1:0:0 E\nDB 1:0:0 N 1:0:0 E, 1:1:0 N 1:0:0 E\n",
                 "Missing centre for DB record (line 3)");
    expect_error("AN A\nDC 1\n", "Missing centre for DC record (line 2)");
    expect_error("AN A\n" + kCentre + "DA 1, 0, 90\nDC 1\n", "Missing centre for DC record (line 4)");
    expect_error("AN A\n" + kCentre + "AN B\n", "No segments in airspace (line 1)");

    // After one arc a point may follow; a new centre after an arc is fine.
    auto ok = parse("AN A\n" + kCentre + "DA 1, 0, 90\nDP 1:0:0 N 1:0:0 E\n" + kCentre + "DB 45:40:00 N 6:10:00 E, "
                    "45:30:00 N 6:20:00 E\n" + kCentre + "DC 1\n");
    ASSERT_EQ(ok->count, 1) << ok->error();
    EXPECT_EQ(ok->list[0].segments.size(), 4u);
}

TEST(OpenAirReader, ArcFormats) {
    const std::string head = "AN A\n" + kCentre;
    for (const char* line : {"DA 1, 0", "DA 1, 0, 361", "DA 1 0 90", "DA 1, 0, 90 x", "DA 1,5, 0, 90", "DA x",
                             "DB 45:40:00 N 006:10:00 E", "DB 45:40:00 N 006:10:00 E 45:30:00 N 006:20:00 E",
                             "DB 45:40:00 N 006:10:00 E, 45:30:00 N 006:20:00 E, x"})
        expect_error(head + line + "\n", "Bad arc position format on line 3");
    auto ok = parse(head + "DA 1.5,0,360 * full turn\n");
    ASSERT_EQ(ok->count, 1) << ok->error();
    EXPECT_EQ(ok->list[0].segments[0].radius, 2778u);
}

TEST(OpenAirReader, Variables) {
    const std::string head = "AN A\nDP 1:0:0 N 1:0:0 E\n";
    for (const char* line : {"V", "V Q=1", "V D", "V D=", "V D+", "V X 45:00:00 N 006:00:00 E"})
        expect_error(head + line + "\n", "Bad variable assignment format on line 3");
    for (const char* line : {"V D=*", "V D=+x", "V D=++"}) expect_error(head + line + "\n", "Bad direction format on line 3");
    expect_error(head + "V X=45:00:00 N\n", "Bad position format on line 3");
}

TEST(OpenAirReader, NamesAndClosingRecords) {
    expect_error("AN   \nDP 1:0:0 N 1:0:0 E\n", "Missing airspace name");
    expect_error("AN A\nTO\n", "No segments in airspace (line 1)");
    expect_error("AN A\nV X=1:0:0 N 1:0:0 E\nXX 1\n", "Unknown record type on line 3");
    expect_error("AN A\nV X=1:0:0 N 1:0:0 E\n", "Missing DB or DC segment (line 1)");
    expect_error("AN A\n", "No segments in airspace (line 1)");
    // Keywords are case-sensitive.
    expect_error("AN A\ndp 1:0:0 N 1:0:0 E\n", "Unknown record type on line 2");

    // TO/TC close the airspace: what follows up to the next AN is skipped,
    // and so is everything before the first AN.
    auto p = parse("XX before\nDP nonsense\nAN A\nDP 1:0:0 N 1:0:0 E\nTC\nDP nonsense\nXX 2\nAN B\n"
                   "DP 2:0:0 N 2:0:0 E\nTO\n");
    ASSERT_EQ(p->count, 2) << p->error();
    EXPECT_EQ(p->list[0].segments.size(), 1u);
    EXPECT_EQ(p->list[1].name, "B");

    auto empty = parse("* nothing but comments\n\n");
    EXPECT_EQ(empty->count, 0);
    EXPECT_TRUE(empty->list.empty());
    EXPECT_EQ(empty->reporter.count("error"), 0);
}

TEST(OpenAirReader, LineNumbersCountLineFeeds) {
    // CR LF ends count once; a lone CR ends a record without a new number.
    auto crlf = parse("AN A\r\nDP 1:0:0 N 1:0:0 E\r\n\r\n*c\r\nDP 1:0:0 N 1:0:0\r\n");
    EXPECT_EQ(crlf->error(), "Bad position format on line 5");
    auto cr = parse("AN A\rDP 1:0:0 N 1:0:0 E\rDP x\n");
    EXPECT_EQ(cr->error(), "Bad position format on line 1");
    auto ok = parse("AN A\r\nDP 1:0:0 N 1:0:0 E\r\nAN B\r\nDP 1:0:0 N 1:0:0 E");
    ASSERT_EQ(ok->count, 2);
    EXPECT_EQ(ok->list[1].line, 3);
}

TEST(OpenAirReader, DyDropsTheAirspace) {
    const std::string text =
        "AN First\nDP 1:0:0 N 1:0:0 E\n"
        "AN Second\nDP 1:0:0 N 1:0:0 E\nDY 1:0:0 N 1:0:0 E\nDP 1:0:0 N 1:0:0 E\n"
        "AN Third\nDP 1:0:0 N 1:0:0 E\n"
        "AN Fourth\nDY x\n";
    auto p = parse(text);
    ASSERT_EQ(p->count, 2) << p->error();
    EXPECT_EQ(p->list[0].name, "First");
    EXPECT_EQ(p->list[1].name, "Third");
    const auto boxes = p->reporter.boxes();
    ASSERT_EQ(p->reporter.count("warning"), 2);
    EXPECT_EQ(boxes[0].title, "CTR error notification");
    EXPECT_EQ(boxes[0].text, "CTR at line 3:  DY record (not implemented)");
    EXPECT_EQ(boxes[1].text, "CTR at line 9:  DY record (not implemented)");

    // "Skip further notifications" holds for the rest of the text.
    test::RecordingReporter r;
    std::vector<std::string> notices;
    CtrList list;
    const int n = parse_openair(r, text, list, [&](std::string_view t) {
        notices.emplace_back(t);
        return true;
    });
    EXPECT_EQ(n, 2);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(r.count("warning"), 0);
}

TEST(OpenAirReader, AFailureLeavesTheListAlone) {
    test::RecordingReporter r;
    CtrList list(1);
    list[0].name = "kept";
    EXPECT_EQ(parse_openair(r, "AN A\nDP 1:0:0 N 1:0:0 E\nAN B\nDP bad\n", list), -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "kept");
    EXPECT_EQ(parse_openair(r, "AN A\nDP 1:0:0 N 1:0:0 E\n", list), 1);
    EXPECT_EQ(list[0].name, "A");
}

}  // namespace
}  // namespace orlogix
