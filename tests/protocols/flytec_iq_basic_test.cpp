// The IQ Basic and Flytec 6015 commands and reply lines, written out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "core/units.hpp"
#include "protocols/flytec/iq_basic_commands.hpp"
#include "protocols/flytec/iq_basic_lines.hpp"

namespace orlogix::flytec {
namespace {

TEST(FlytecIqBasic, ParameterReplies) {
    const std::tuple<const char*, int, RpaReply, uint32_t> cases[] = {
        {"RPA_02_5104", 2, RpaReply::Value, 1105},          {"RPA_00_71040000", 0, RpaReply::Value, 1137},
        {"RPA_00_  7104", 0, RpaReply::Value, 1137},        {"RPA_01_", 1, RpaReply::Value, 0},
        {"RPA_00_ffffffff", 0, RpaReply::Value, 0xFFFFFFFF}, {"RPA_01_00", 0, RpaReply::WrongReply, 0},
        {"RPA_00_710", 0, RpaReply::BadValue, 0},           {"RPA_00_71x4", 0, RpaReply::BadValue, 0},
        {"RPA_00_7104 ", 0, RpaReply::BadValue, 0},         {"RPA_00_7104000001", 0, RpaReply::BadValue, 0},
    };
    for (const auto& [line, parameter, reply, value] : cases) {
        uint32_t v = 0;
        EXPECT_EQ(parse_rpa_reply(line, parameter, v), reply) << line;
        EXPECT_EQ(v, value) << line;
    }
    EXPECT_EQ(iq_device_identity({1137, 0, 1105}), "6015, SW 1.1.05, S/N 1137");
    EXPECT_EQ(iq_device_identity({7, 3, 2010}), "IQ-BASIC, SW 2.0.10, S/N 7");
    EXPECT_EQ(iq_track_request(0x1F), "ACT_21_1F\r\n");
    EXPECT_EQ(iq_track_request(256), "");
}

TEST(FlytecIqBasic, WaypointUploadLine) {
    Waypoint w;
    SemicirclePair s;
    ASSERT_EQ(degrees_to_semicircles(47 + 12.345 / 60, 11 + 28.5 / 60, s), 0);
    w.latitude = s.latitude;
    w.longitude = s.longitude;
    w.height = 12000;
    w.comment = "TAKEOFF;MOUNTAIN RIDGE";
    EXPECT_EQ(iq_waypoint_upload(w), "ACT_32_00\r\nTAKEOFF MOUNTAIN;N  47'12.345;E 011'28.500; 10000;   400\r\n");
    w.latitude = -w.latitude;
    w.longitude = -w.longitude;
    w.height = -3000;
    w.comment = "A";
    EXPECT_EQ(iq_waypoint_upload(w), "ACT_32_00\r\nA               ;S  47'12.345;W 011'28.500; -2000;   400\r\n");
}

TEST(FlytecIqBasic, WaypointLines) {
    Waypoint w;
    int error = 0;
    ASSERT_EQ(parse_iq_waypoint("TAKEOFF  MOUNTAIN;N  47'12.345;E 011'28.500;  1234.6", 5, w, error),
              IqWaypointLine::Waypoint);
    EXPECT_EQ(w.identifier, "TAKEOF");
    EXPECT_EQ(w.comment, "TAKEOFF MOUNTAIN");
    EXPECT_EQ(w.height, 1235);
    EXPECT_EQ(w.time, 5u);
    SemicirclePair s;
    ASSERT_EQ(degrees_to_semicircles(47 + 12.345 / 60, 11 + 28.5 / 60, s), 0);
    EXPECT_NEAR(w.latitude, s.latitude, 1);
    EXPECT_NEAR(w.longitude, s.longitude, 1);
    ASSERT_EQ(parse_iq_waypoint("lake;s 5'30;w 70'05.25", 0, w, error), IqWaypointLine::Waypoint);
    EXPECT_EQ(w.identifier, "LAKE");
    EXPECT_EQ(w.height, 0);
    EXPECT_LT(w.latitude, 0);
    EXPECT_LT(w.longitude, 0);
    // Negative altitudes round to the nearest metre too.
    for (const auto& [text, metres] : {std::pair{"-12", -12}, {"-12.6", -13}, {"-0.4", 0}}) {
        ASSERT_EQ(parse_iq_waypoint(std::string("x;s 5'30;w 70'05.25;") + text, 0, w, error), IqWaypointLine::Waypoint);
        EXPECT_EQ(w.height, metres) << text;
    }
    EXPECT_EQ(parse_iq_waypoint("Done", 0, w, error), IqWaypointLine::End);
    EXPECT_EQ(parse_iq_waypoint("no data", 0, w, error), IqWaypointLine::End);

    const std::pair<const char*, int> errors[] = {
        {" ;N 1'0;E 1'0", 1},     {"A;N 1'0", 2},          {"A;N 1'0;E 1'0;12x", 3}, {"A;N 90'0;E 1'0", 4},
        {"A;N 1'60;E 1'0", 4},    {"A;X 1'0;E 1'0", 4},    {"A;N 1'0;E 180'0", 5},   {"A;N 1'0;E 1'0x", 5},
    };
    for (const auto& [line, number] : errors) {
        error = 0;
        EXPECT_EQ(parse_iq_waypoint(line, 0, w, error), IqWaypointLine::Error) << line;
        EXPECT_EQ(error, number) << line;
    }
}

TEST(FlytecIqBasic, TrackEntriesAndLines) {
    IqTrackEntry e;
    ASSERT_TRUE(parse_iq_track_entry("3;  15.06.19;09:00:00;x; 1:30:05", e));
    EXPECT_EQ(e.number, 3u);
    EXPECT_EQ(e.text[0], "15.06.19");
    EXPECT_EQ(e.text[2], "1:30:05");
    EXPECT_EQ(e.duration, 5405u);
    for (const char* ignored : {"256;a;b;c;1:00:00", "3;a;b;c", "3;a;b;c;25:00:00", "x;a;b;c;1:00:00"})
        EXPECT_FALSE(parse_iq_track_entry(ignored, e)) << ignored;

    IqLineAssembler a;
    std::vector<std::string> lines;
    for (char c : std::string("RPA_00_7104\r junk\nNEXT\r\n"))
        if (a.feed(c)) lines.emplace_back(a.line());
    EXPECT_EQ(lines, (std::vector<std::string>{"RPA_00_7104", "NEXT"}));
}

}  // namespace
}  // namespace orlogix::flytec
