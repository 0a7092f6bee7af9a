// The OpenAir writer's exact text in both forms, reading its output back,
// and the file step.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/file_read.hpp"
#include "formats/airspace/openair_reader.hpp"
#include "formats/airspace/openair_writer.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

Ctr sample() {
    Ctr c;
    c.name = "LSGG CTR";
    c.floor = "GND";
    c.ceiling = "FL 95";
    CtrSegment p;
    p.centre = {46.25, -6.0 - 1.0 / 36000};   // a tenth of a second west of 6 W
    c.segments.push_back(p);
    CtrSegment circle;
    circle.kind = CtrSegmentKind::Circle;
    circle.centre = {-0.5, 0.0};
    circle.radius = 3704;
    c.segments.push_back(circle);
    CtrSegment db;
    db.kind = CtrSegmentKind::ArcByEnds;
    db.direction = '-';
    db.centre = {46.0, 6.0};
    db.first = {46.1, 6.0};
    db.second = {46.0, 6.15};
    c.segments.push_back(db);
    CtrSegment da;
    da.kind = CtrSegmentKind::ArcByAngles;
    da.centre = {46.0, 6.0};
    da.radius = 1000;
    da.start_bearing = 10;
    da.end_bearing = 350.5;
    c.segments.push_back(da);
    return c;
}

const char* const kSegments =
    "DP 46:15:00.0 N   6:00:00.1 W\r\n"
    "V X = 0:30:00.0 S   0:00:00.0 E\r\n"
    "DC 2.0000\r\n"
    "V D = -\r\n"
    "V X = 46:00:00.0 N   6:00:00.0 E\r\n"
    "DB 46:06:00.0 N   6:00:00.0 E,   46:00:00.0 N   6:09:00.0 E\r\n"
    "V D = +\r\n"
    "V X = 46:00:00.0 N   6:00:00.0 E\r\n"
    "DA 0.5400, 10.00, 350.50\r\n";

TEST(OpenAirWriter, FileForm) {
    CtrList list{sample(), sample(), sample()};
    list[0].selected = true;
    list[2].selected = true;
    list[2].name = "Other";
    EXPECT_EQ(write_openair(list),
              std::string("AN LSGG CTR\r\nAL GND\r\nAH FL 95\r\n") + kSegments + "\r\nAN Other\r\nAL GND\r\nAH FL 95\r\n" +
                  kSegments);
    // Without the selection every CTR is written.
    const std::string all = write_openair(list, false);
    EXPECT_EQ(all.find("\r\n\r\nAN LSGG CTR\r\n"), std::string("AN LSGG CTR\r\nAL GND\r\nAH FL 95\r\n").size() +
                                                         std::string(kSegments).size() - 2);
    EXPECT_NE(all.find("AN Other"), std::string::npos);
}

TEST(OpenAirWriter, SingleForm) {
    EXPECT_EQ(write_openair_single(sample()),
              std::string("*Airspace name\r\nAN LSGG CTR\r\n*Airspace floor (Remark)\r\nAL GND\r\n"
                          "*Airspace ceiling\r\nAH FL 95\r\n*Use records V, DP, DA, DB or DC\r\n"
                          "*Pos. formats: DD.dd... or DD:MM.mm... or DD:MM:SS.s\r\n") +
                  kSegments);
}

TEST(OpenAirWriter, ReadsBackToTheSameCtr) {
    test::RecordingReporter r;
    CtrList back;
    ASSERT_EQ(parse_openair(r, write_openair_single(sample()), back), 1) << r.last_error().text;
    const Ctr& a = sample();
    const Ctr& b = back[0];
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.floor, a.floor);
    EXPECT_EQ(b.ceiling, a.ceiling);
    ASSERT_EQ(b.segments.size(), 4u);
    EXPECT_NEAR(b.segments[0].centre.longitude, a.segments[0].centre.longitude, 1e-9);
    EXPECT_EQ(b.segments[1].radius, 3704u);
    EXPECT_EQ(b.segments[2].direction, '-');
    EXPECT_NEAR(b.segments[2].second.longitude, 6.15, 1e-9);
    EXPECT_EQ(b.segments[3].direction, '+');
    EXPECT_EQ(b.segments[3].radius, 1000u);
    EXPECT_DOUBLE_EQ(b.segments[3].end_bearing, 350.5);
}

TEST(OpenAirWriter, PoleAndDateLineStayReadable) {
    Ctr c;
    c.name = "Edge";
    CtrSegment p;
    p.centre = {89.99999, -179.999999};
    c.segments.push_back(p);
    const std::string text = write_openair_single(c);
    EXPECT_NE(text.find("DP 89:59:59.9 N   179:59:59.9 W\r\n"), std::string::npos) << text;
    test::RecordingReporter r;
    CtrList back;
    ASSERT_EQ(parse_openair(r, text, back), 1) << r.last_error().text;
    EXPECT_NEAR(back[0].segments[0].centre.latitude, 90.0, 1.0 / 36000);
}

TEST(OpenAirWriter, NewCtrTemplateAsksForSegments) {
    test::RecordingReporter r;
    CtrList list;
    EXPECT_EQ(parse_openair(r, kNewCtrTemplate, list), -1);
    EXPECT_EQ(r.last_error().text, "No segments in airspace (line 2)");
    EXPECT_EQ(parse_openair(r, std::string(kNewCtrTemplate) + "DP 1:00:00 N 2:00:00 E\r\n", list), 1);
    EXPECT_EQ(list[0].name, "Put airspace name here");
    EXPECT_EQ(list[0].floor, "Put floor remark here");
}

TEST(OpenAirWriter, WritesSelectedCtrsToAFile) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "orlogix_openair_writer";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.txt").string();
    test::RecordingReporter r;
    CtrList list{sample(), sample()};
    list[1].name = "Second";
    EXPECT_EQ(write_openair_file(r, path, list), -1);
    EXPECT_EQ(r.last_error().title, "Write CTR");
    EXPECT_EQ(r.last_error().text, "No CTR(s) selected");
    EXPECT_FALSE(std::filesystem::exists(path));

    list[1].selected = true;
    ASSERT_EQ(write_openair_file(r, path, list), 0);
    std::string bytes;
    ASSERT_EQ(read_file(path, bytes), 0);
    CtrList back;
    ASSERT_EQ(parse_openair(r, bytes, back), 1);
    EXPECT_EQ(back[0].name, "Second");

    EXPECT_EQ(write_openair_file(r, (dir / "missing" / "x.txt").string(), list), -1);
    EXPECT_EQ(r.last_error().text, "File write error");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orlogix
