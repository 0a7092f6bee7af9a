// The CTR menu's steps without a window: reading a file into the current
// list (keep or replace, equal names), the Edit/New CTR dialog's checks,
// and showing a CTR as waypoints.
#include <gtest/gtest.h>

#include "core/text_buffer.hpp"
#include "formats/commands/ctr.hpp"
#include "formats/airspace/ctr_list.hpp"
#include "formats/airspace/ctr_points.hpp"
#include "formats/airspace/openair_writer.hpp"
#include "kml_test_util.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

const char* const kTwo =
    "AN Alpha\nAL GND\nAH FL 95\nDP 45:00:00 N 006:00:00 E\nDP 45:10:00 N 006:00:00 E\nDP 45:10:00 N 006:10:00 E\n"
    "AN Alpha\nV X=46:00:00 N 007:00:00 E\nDC 2\n";

class CtrCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::scratch_dir("ctr_commands");
        path_ = (dir_ / "two.txt").string();
        ASSERT_EQ(write_file_atomic(path_, kTwo), 0);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::string path_;
};

CtrList one_named(const std::string& name) {
    Ctr c;
    c.name = name;
    CtrSegment s;
    s.centre = {1, 1};
    c.segments.push_back(s);
    return {c};
}

TEST_F(CtrCommands, ReadIntoAnEmptyListFixesEqualNames) {
    test::RecordingReporter r;
    r.queue_answer(kBoxYes);   // fix names
    CtrList list;
    ASSERT_EQ(read_ctr_file_into_list(r, path_, list), 2) << r.last_error().text;
    EXPECT_EQ(r.statuses().back(), "2 CTRs read");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].name, "Alpha(1)");
    // Only the names question was asked: there was no list to keep.
    EXPECT_EQ(r.count("yesno"), 1);
    EXPECT_EQ(r.boxes()[0].text, "Fix name by appending number ?");
}

TEST_F(CtrCommands, KeepOrReplaceTheCurrentList) {
    test::RecordingReporter keep;
    keep.queue_answer(kBoxYes);   // keep current
    keep.queue_answer(kBoxNo);    // leave equal names
    CtrList list = one_named("Old");
    ASSERT_EQ(read_ctr_file_into_list(keep, path_, list), 2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Alpha");
    EXPECT_EQ(list[1].name, "Alpha");
    EXPECT_EQ(list[2].name, "Old");
    EXPECT_EQ(keep.boxes()[0].title, "Read CTR file");
    EXPECT_EQ(keep.boxes()[0].text, "Keep current CTR list ?");

    test::RecordingReporter replace;   // answers No to both
    list = one_named("Old");
    ASSERT_EQ(read_ctr_file_into_list(replace, path_, list), 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Alpha");

    // A bad file leaves the list as it was.
    ASSERT_EQ(write_file_atomic(path_, "AN X\nDP nonsense\n"), 0);
    EXPECT_EQ(read_ctr_file_into_list(replace, path_, list), -1);
    EXPECT_EQ(replace.last_error().text, "Bad position format on line 2");
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(CtrCommands, UploadReadSelectsEverything) {
    test::RecordingReporter r;
    CtrList list;
    ASSERT_EQ(read_ctr_file_for_upload(r, path_, list), 2);
    EXPECT_EQ(selected_count(list), 2u);
    EXPECT_EQ(read_ctr_file_for_upload(r, (dir_ / "none.txt").string(), list), -1);
    EXPECT_EQ(r.last_error().title, "Error opening CTR file");
}

TEST(CtrEdit, ChecksInOrderAndReplacesInPlace) {
    test::RecordingReporter r;
    CtrList list = one_named("A");
    list.push_back(one_named("B")[0]);
    EXPECT_EQ(ctr_to_edit(r, list), -1);
    EXPECT_EQ(r.last_error().text, "No CTR selected");
    CtrList none;
    EXPECT_EQ(ctr_to_edit(r, none), -1);
    EXPECT_EQ(r.last_error().text, "No CTR in list");
    list[1].selected = true;
    ASSERT_EQ(ctr_to_edit(r, list), 1);

    const std::string text = write_openair_single(list[1]);
    EXPECT_EQ(apply_ctr_edit(r, list, 1, "  ", text), -1);
    EXPECT_EQ(r.last_error().text, "Missing warning distance input");
    EXPECT_EQ(r.last_error().title, "Edit CTR");
    for (const char* bad : {"-5", "12a", "1.5", "123456789012345678901", "99999999999"}) {
        EXPECT_EQ(apply_ctr_edit(r, list, 1, bad, text), -1) << bad;
        EXPECT_EQ(r.last_error().text, "Bad warning distance format") << bad;
    }
    EXPECT_EQ(apply_ctr_edit(r, list, 1, "300", " \r\n"), -1);
    EXPECT_EQ(r.last_error().text, "Missing text");
    EXPECT_EQ(apply_ctr_edit(r, list, 1, "300", "AN B\nDP 91:00:00 N 1:0:0 E\n"), -1);
    EXPECT_EQ(r.last_error().text, "Bad position format on line 2");
    EXPECT_EQ(r.last_error().title, "Parsing CTR buffer");
    EXPECT_EQ(list[1].warning_distance, 200);

    // The first airspace of the text takes the place; the rest is dropped.
    ASSERT_EQ(apply_ctr_edit(r, list, 1, " 350 ", "AN B2\nDP 2:0:0 N 2:0:0 E\nAN C\nDP 3:0:0 N 3:0:0 E\n"), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "A");
    EXPECT_EQ(list[1].name, "B2");
    EXPECT_EQ(list[1].warning_distance, 350);
    EXPECT_TRUE(list[1].selected);
}

TEST(CtrEdit, NewCtrGoesToTheFront) {
    test::RecordingReporter r;
    CtrList list = one_named("A");
    EXPECT_EQ(apply_ctr_edit(r, list, std::nullopt, "200", kNewCtrTemplate), -1);
    EXPECT_EQ(r.last_error().text, "No segments in airspace (line 2)");
    EXPECT_EQ(apply_ctr_edit(r, list, std::nullopt, "200", "* only a comment\n"), -1);
    ASSERT_EQ(apply_ctr_edit(r, list, std::nullopt, "0",
                             std::string(kNewCtrTemplate) + "V X=1:0:0 N 1:0:0 E\nDC 1\n"), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Put airspace name here");
    EXPECT_EQ(list[0].warning_distance, 0);
    EXPECT_EQ(list[1].name, "A");
}

TEST(CtrShow, FirstSelectedCtrBecomesWaypointsAndTrack) {
    test::RecordingReporter r;
    CtrList list = one_named("A");
    Ctr circle;
    circle.name = "Circle";
    CtrSegment s;
    s.kind = CtrSegmentKind::Circle;
    s.centre = {45, 6};
    s.radius = 5000;
    circle.segments.push_back(s);
    list.push_back(circle);
    WaypointList waypoints;
    TrackLog log;
    log.header.saved = 1;
    EXPECT_EQ(show_ctr_as_waypoints(r, list, waypoints, log, 1000), -1);
    EXPECT_EQ(r.last_error().text, "No CTR selected");
    EXPECT_EQ(r.last_error().title, "Show CTR");
    list[1].selected = true;
    ASSERT_EQ(show_ctr_as_waypoints(r, list, waypoints, log, 1000), 37);
    EXPECT_EQ(waypoints.size(), 37u);
    EXPECT_EQ(waypoints[0].identifier, "CABAAA");
    ASSERT_EQ(log.positions.size(), 37u);
    EXPECT_EQ(log.positions[36].time, 1000u + 36 * 5);
    EXPECT_EQ(log.positions[3].latitude, waypoints[3].latitude);
    EXPECT_EQ(log.header.saved, 0u);
}

}  // namespace
}  // namespace orlogix
