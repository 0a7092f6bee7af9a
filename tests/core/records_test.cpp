#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "core/records.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(GpsAltitude, RoundsHalfAwayFromZeroToWholeMetres) {
    EXPECT_EQ(gps_altitude_metres(-15), -2);
    EXPECT_EQ(gps_altitude_metres(-14), -1);
    EXPECT_EQ(gps_altitude_metres(14), 1);
    EXPECT_EQ(gps_altitude_metres(15), 2);
    EXPECT_EQ(gps_altitude_metres(-5), -1);
    EXPECT_EQ(gps_altitude_metres(-4), 0);
    EXPECT_EQ(gps_altitude_metres(INT32_MAX), 214748365);
    EXPECT_EQ(gps_altitude_metres(INT32_MIN), -214748365);
}

// Each rule on the halves and on the edges of the 32-bit decimetre field.
// The edge values are exact in binary, so x 10 lands where the name says.
TEST(GpsAltitude, MetresToDecimetresByEachRuleWithinTheField) {
    constexpr int64_t kOut = INT64_MIN;  // refused
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        double metres;
        int64_t away, half_up, add_half, truncated, tolerant;
    };
    const Case cases[] = {
        {123.45, 1235, 1235, 1235, 1234, 1234},
        {123.44, 1234, 1234, 1234, 1234, 1234},
        {1000.0, 10000, 10000, 10000, 10000, 10000},
        {-0.05, -1, 0, 0, 0, 0},
        {0.25, 3, 3, 3, 2, 2},
        {-0.25, -3, -2, -2, -2, -2},
        {-0.375, -4, -4, -3, -3, -3},
        {0.29999999, 3, 3, 3, 2, 3},
        {-0.29999999, -3, -3, -2, -2, -3},
        {214748364.25, 2147483643, 2147483643, 2147483643, 2147483642, 2147483642},
        {214748364.75, kOut, kOut, kOut, 2147483647, 2147483647},
        {214748364.875, kOut, kOut, kOut, kOut, kOut},
        {-214748364.75, -2147483648, -2147483647, -2147483647, -2147483647, -2147483647},
        {-214748364.875, kOut, kOut, -2147483648, -2147483648, -2147483648},
        {-214748364.9375, kOut, kOut, -2147483648, kOut, kOut},
        {-214748365.0, kOut, kOut, kOut, kOut, kOut},
        {1e9, kOut, kOut, kOut, kOut, kOut},   // a float altitude a receiver may send
        {1e10, kOut, kOut, kOut, kOut, kOut},
        {1.0e25, kOut, kOut, kOut, kOut, kOut},  // Garmin's "unknown"
        {kInf, kOut, kOut, kOut, kOut, kOut},
        {-kInf, kOut, kOut, kOut, kOut, kOut},
        {std::nan(""), kOut, kOut, kOut, kOut, kOut},
    };
    for (const Case& c : cases) {
        const std::pair<DecimetreRounding, int64_t> rules[] = {
            {DecimetreRounding::HalfAwayFromZero, c.away},   {DecimetreRounding::HalfUp, c.half_up},
            {DecimetreRounding::AddHalfTruncated, c.add_half}, {DecimetreRounding::Truncated, c.truncated},
            {DecimetreRounding::TruncatedTolerant, c.tolerant},
        };
        for (const auto& [rule, want] : rules) {
            SCOPED_TRACE(testing::Message() << c.metres << " m, rule " << static_cast<int>(rule));
            int32_t out = 77;
            EXPECT_EQ(metres_to_decimetres(c.metres, rule, out), want != kOut);
            EXPECT_EQ(out, want == kOut ? 77 : want);
        }
    }
}

Waypoint make_waypoint(const std::string& id, const std::string& comment = "") {
    Waypoint w;
    w.identifier = id;
    w.comment = comment;
    return w;
}

TEST(WaypointList, GrowsFromFiftyByDoublingAndKeepsContents) {
    WaypointList list;
    EXPECT_EQ(list.capacity(), 0u);
    list.append(make_waypoint("W0"));
    EXPECT_EQ(list.capacity(), 50u);
    for (int i = 1; i < 50; ++i) list.append(make_waypoint("W" + std::to_string(i)));
    EXPECT_EQ(list.capacity(), 50u);
    list.append(make_waypoint("W50"));
    EXPECT_EQ(list.capacity(), 100u);
    ASSERT_EQ(list.size(), 51u);
    for (int i = 0; i < 51; ++i) EXPECT_EQ(list[i].identifier, "W" + std::to_string(i));
}

TEST(WaypointList, ReplaceSetsCapacityToCount) {
    WaypointList list;
    list.replace({make_waypoint("A"), make_waypoint("B"), make_waypoint("C")});
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.capacity(), 3u);
    list.append(make_waypoint("D"));
    EXPECT_EQ(list.capacity(), 6u);
}

TEST(InsertWaypoint, AppendsNewIdentifierWithoutAsking) {
    test::RecordingReporter r;
    WaypointList list;
    ASSERT_EQ(insert_waypoint(r, list, make_waypoint("ABC", "one")), 0);
    ASSERT_EQ(insert_waypoint(r, list, make_waypoint("abc", "case differs")), 0);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(r.boxes().empty());
}

TEST(InsertWaypoint, YesOverwritesTheMatchInPlace) {
    test::RecordingReporter r;
    WaypointList list;
    list.append(make_waypoint("A", "first"));
    list.append(make_waypoint("B", "second"));
    r.queue_answer(kBoxYes);
    ASSERT_EQ(insert_waypoint(r, list, make_waypoint("B", "new")), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].comment, "new");
    auto boxes = r.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Insert waypoint");
    EXPECT_EQ(boxes[0].text, "Waypoint B already exists, overwrite ?");
}

TEST(InsertWaypoint, NoContinuesWithTheNextMatchThenAppends) {
    test::RecordingReporter r;
    WaypointList list;
    list.append(make_waypoint("D", "one"));
    list.append(make_waypoint("D", "two"));
    r.queue_answer(kBoxNo);
    r.queue_answer(kBoxYes);
    ASSERT_EQ(insert_waypoint(r, list, make_waypoint("D", "three")), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].comment, "one");
    EXPECT_EQ(list[1].comment, "three");

    r.queue_answer(kBoxNo);
    r.queue_answer(kBoxNo);
    ASSERT_EQ(insert_waypoint(r, list, make_waypoint("D", "four")), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].comment, "four");
    EXPECT_EQ(r.count("yesno"), 4);
}

TEST(TrackFromWaypoints, FiveSecondStepsFirstIsSegmentStartFlagsCleared) {
    TrackLog log;
    log.header.track_log_source = 1;
    log.header.times_in_utc = 1;
    log.header.saved = 1;
    log.header.baro_present = 1;
    log.header.source_protocol_type = 12;
    log.positions.resize(7);
    std::vector<Waypoint> w(3);
    for (int i = 0; i < 3; ++i) {
        w[i].latitude = 1000 * (i + 1);
        w[i].longitude = -2000 * (i + 1);
        w[i].height = 500;
    }
    track_log_from_waypoints(log, w, 1000);
    ASSERT_EQ(log.positions.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto& p = log.positions[i];
        EXPECT_EQ(p.time, 1000u + 5u * i);
        EXPECT_EQ(p.flags, i == 0 ? kSegmentStart : 0u);
        EXPECT_EQ(p.latitude, 1000 * (i + 1));
        EXPECT_EQ(p.longitude, -2000 * (i + 1));
        EXPECT_EQ(p.gps_altitude, 0);
        EXPECT_EQ(p.baro_altitude, 0);
        EXPECT_EQ(p.depth, 0u);
    }
    EXPECT_EQ(log.header.track_log_source, 0u);
    EXPECT_EQ(log.header.times_in_utc, 0u);
    EXPECT_EQ(log.header.saved, 0u);
    EXPECT_EQ(log.header.baro_present, 0u);
    EXPECT_EQ(log.header.source_protocol_type, 0);
}

TEST(UploadNaming, EachModeSetsTheCommentSent) {
    WaypointList list;
    list.append(make_waypoint("ABC", std::string(40, 'x')));
    list.append(make_waypoint("EMPTY", ""));
    std::vector<std::size_t> rows{0, 1};

    auto plain = copy_selected_waypoints(list, rows, UploadNaming::Plain);
    EXPECT_EQ(plain[0].comment, std::string(40, 'x'));
    EXPECT_EQ(plain[1].comment, "");

    auto name = copy_selected_waypoints(list, rows, UploadNaming::OnlyName);
    EXPECT_EQ(name[0].comment, std::string(40, 'x'));
    EXPECT_EQ(name[1].comment, "EMPTY");

    auto both = copy_selected_waypoints(list, rows, UploadNaming::IdAndName);
    EXPECT_EQ(both[0].comment, "ABC " + std::string(36, 'x'));
    EXPECT_EQ(both[1].comment, "EMPTY ");

    auto id = copy_selected_waypoints(list, rows, UploadNaming::OnlyId);
    EXPECT_EQ(id[0].comment, "ABC");
    EXPECT_EQ(id[1].comment, "EMPTY");
    // The list itself is never changed by a copy.
    EXPECT_EQ(list[1].comment, "");
}

TEST(UploadNaming, SelectionKeepsListOrderOfTheRowsGiven) {
    WaypointList list;
    for (const char* id : {"A", "B", "C", "D"}) list.append(make_waypoint(id));
    auto out = copy_selected_waypoints(list, {3, 1}, UploadNaming::Plain);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].identifier, "D");
    EXPECT_EQ(out[1].identifier, "B");
}

TEST(PositionCopies, SplitChoiceMayReduceOrCancel) {
    TrackLog log;
    for (uint32_t t = 0; t < 10; ++t) log.positions.push_back(TrackPosition{0, t, 0, 0, 0, 0, 0});
    auto all = copy_all_positions(log, nullptr);
    EXPECT_EQ(all.size(), 10u);
    auto half = copy_all_positions(log, [](std::vector<TrackPosition>& p) {
        p.resize(5);
        return true;
    });
    EXPECT_EQ(half.size(), 5u);
    auto cancelled = copy_all_positions(log, [](std::vector<TrackPosition>&) { return false; });
    EXPECT_TRUE(cancelled.empty());
    auto selected = copy_selected_positions(log, {2, 4, 9}, nullptr);
    ASSERT_EQ(selected.size(), 3u);
    EXPECT_EQ(selected[2].time, 9u);
}

TEST(BackwardsTime, ComparesWithTheLargestTimeSeen) {
    auto make = [](std::initializer_list<uint32_t> times) {
        std::vector<TrackPosition> v;
        for (uint32_t t : times) v.push_back(TrackPosition{0, t, 0, 0, 0, 0, 0});
        return v;
    };
    EXPECT_EQ(first_backwards_time(make({1, 2, 3})), 0u);
    EXPECT_EQ(first_backwards_time(make({1, 2, 2, 3})), 0u);
    EXPECT_EQ(first_backwards_time(make({1, 5, 3})), 3u);
    // 4 is above its neighbour but below the largest seen (5).
    EXPECT_EQ(first_backwards_time(make({1, 5, 6, 4})), 4u);
    EXPECT_EQ(first_backwards_time({}), 0u);
}

}  // namespace
}  // namespace orlogix
