#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/flight_statistics.hpp"
#include "analysis/track_filters.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"
#include "support/recording_reporter.hpp"
#include "flight_loader.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

using test::fix_at;

std::vector<TrackPosition> climbing_line(int count, double metres, uint32_t step, int32_t climb_dm) {
    std::vector<TrackPosition> out;
    for (int i = 0; i < count; ++i)
        out.push_back(fix_at(45.0 + i * metres / 111132.0, 6.0, 1000000000u + static_cast<uint32_t>(i) * step,
                             10000 + i * climb_dm));
    out[0].flags = kSegmentStart;
    return out;
}

double legs(const std::vector<TrackPosition>& t, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += position_distance(t[i], t[i + 1]);
    return sum;
}

TEST(MeanSpeed, SecondPositionOfASegmentCoversOneLegOver60Seconds) {
    auto t = climbing_line(5, 100, 10, 20);
    t[2].flags = kSegmentStart;
    const SpeedClimb sc = mean_speed_climb_60s(t, 3);
    EXPECT_NEAR(sc.speed, position_distance(t[2], t[3]) * 0.06, 1e-9);
    EXPECT_NEAR(sc.climb, 20 * 0.001666667, 1e-12);
    EXPECT_EQ(mean_speed_climb_60s(t, 2).speed, 0.0);  // a segment start
    EXPECT_EQ(mean_speed_climb_60s(t, 0).speed, 0.0);
}

TEST(MeanSpeed, WindowEndsInsideALegWithInterpolation) {
    // Fixes every 25 s: 60 s back from index 4 covers legs 4-3, 3-2 and 10 s of 2-1.
    auto t = climbing_line(6, 250, 25, 50);
    const SpeedClimb sc = mean_speed_climb_60s(t, 4);
    const double expect = (legs(t, 2, 4) + position_distance(t[1], t[2]) * 10.0 / 25.0) * 0.06;
    EXPECT_NEAR(sc.speed, expect, 1e-9);
    // Height 60 s earlier: 10 s into the 50 dm per 25 s leg below fix 2.
    EXPECT_NEAR(sc.climb, (50 * 2 + 50 * 10.0 / 25.0) * 0.001666667, 1e-9);
    EXPECT_NEAR(top_speed_10s(t, 4), position_distance(t[3], t[4]) * 10.0 / 25.0 * 0.36, 1e-9);
}

TEST(MeanSpeed, SameTimeStampsArePassedOver) {
    auto t = climbing_line(4, 100, 10, 0);
    t.insert(t.begin() + 2, t[2]);  // a duplicate fix
    t[2].latitude += 100;           // slightly elsewhere, same time
    const double with_dup = mean_speed_climb_60s(t, 4).speed;
    // The duplicate at index 2 shares the reference's time and is skipped; the walk goes on to 1.
    EXPECT_GT(with_dup, 0.0);
    EXPECT_NEAR(with_dup, (position_distance(t[3], t[4]) + position_distance(t[1], t[3]) +
                           position_distance(t[0], t[1])) * 0.06, 1e-9);
}

// The stored legs must give exactly the walks' numbers at every position,
// also where the walks pass over equal times, stop at segment starts or meet
// time stamps that go backwards.
void expect_stored_legs_equal_walks(const std::vector<TrackPosition>& t, std::size_t every, const char* what) {
    const TrackLegs legs(t);
    for (std::size_t n = 0; n < t.size(); n += every) {
        const SpeedClimb walk = mean_speed_climb_60s(t, n), stored = legs.mean_speed_climb_60s(n);
        ASSERT_EQ(stored.speed, walk.speed) << what << " at " << n;
        ASSERT_EQ(stored.climb, walk.climb) << what << " at " << n;
        ASSERT_EQ(legs.top_speed_10s(n), top_speed_10s(t, n)) << what << " at " << n;
        if (n > 0) {
            ASSERT_EQ(legs.step(n), position_distance(t[n - 1], t[n])) << what << " at " << n;
        }
    }
}

TEST(MeanSpeed, StoredLegsEqualTheWalks) {
    auto t = climbing_line(40, 130, 7, 35);
    t[1].time = t[0].time;          // equal times before any leg
    t[2].time = t[0].time;
    t[9].time = t[8].time;          // a run of three equal times mid-track
    t[10].time = t[8].time;
    t[10].latitude += 500;
    t[15].flags = kSegmentStart;
    t[16].time = t[15].time;        // a segment start passed over for its time
    t[21].time = t[20].time - 30;   // back in time
    for (std::size_t i = 25; i < t.size(); ++i) t[i].time += 100;  // a gap longer than both windows
    t[33].time += 3;                // an uneven step
    expect_stored_legs_equal_walks(t, 1, "constructed");
    // Long enough for the distances to be shared between two threads.
    expect_stored_legs_equal_walks(test::load_igc_fixes(test::flight_path("freeflight-xcontest-465.33.igc")), 31,
                                   "freeflight");
}

TEST(Statistics, HeightsRoundTowardZeroAfterAddingFive) {
    auto t = climbing_line(3, 100, 10, 0);
    t[0].gps_altitude = -15;
    t[1].gps_altitude = 1234;
    t[2].gps_altitude = 1236;
    FlightStatistics s;
    s.positions = t;
    fill_statistics(s, {}, {});
    EXPECT_EQ(s.lowest_altitude, -1);
    EXPECT_EQ(s.highest_altitude, 124);
    EXPECT_EQ(statistics_texts(s).lowest, "-1 m");
}

TEST(Statistics, SpeedsDistanceAndClimbs) {
    // 20 m/s, climbing 2 m/s, for 200 s; then sinking 5 m/s for 100 s.
    auto t = climbing_line(21, 200, 10, 200);
    for (int i = 21; i <= 30; ++i)
        t.push_back(fix_at(45.0 + i * 200 / 111132.0, 6.0, 1000000000u + i * 10u, t.back().gps_altitude - 500));
    FlightStatistics s;
    s.positions = t;
    fill_statistics(s, {}, {});
    EXPECT_NEAR(s.total_distance, legs(t, 0, t.size() - 1), 1e-6);
    EXPECT_EQ(s.duration, 300u);
    EXPECT_NEAR(s.average_speed, s.total_distance / 300 * 3.6, 1e-9);
    EXPECT_NEAR(s.top_speed, 72.0, 0.3);
    EXPECT_NEAR(s.best_mean_speed, 72.0, 0.3);
    EXPECT_NEAR(s.highest_climb, 2.0, 1e-3);
    EXPECT_NEAR(s.lowest_climb, -5.0, 1e-3);
    const StatisticsTexts x = statistics_texts(s);
    EXPECT_EQ(x.date, "2021-09-08");
    EXPECT_EQ(x.start, "01:46:40");
    EXPECT_EQ(x.finish, "01:51:40");
    EXPECT_EQ(x.duration, "0 : 05 : 00");
    EXPECT_EQ(x.top_speed, "72 km/h");
    EXPECT_EQ(x.total_distance, strformat("%.1f km", s.total_distance / 1000));
}

TEST(Statistics, ComputeAloneTakesTheTimesFromThePositions) {
    FlightStatistics s;
    s.positions = climbing_line(7, 100, 10, 0);
    compute_statistics(s);
    EXPECT_EQ(s.first_time, 1000000000u);
    EXPECT_EQ(s.duration, 60u);
    EXPECT_NEAR(s.average_speed, s.total_distance / 60 * 3.6, 1e-9);
    EXPECT_GT(s.average_speed, 35.0);
}

TEST(Statistics, ClimbsAreClampedAndSingleTimeHasNoAverage) {
    std::vector<TrackPosition> t{fix_at(45, 6, 1000, 0), fix_at(45, 6, 1061, 0), fix_at(45, 6, 1062, 2000000000)};
    FlightStatistics s;
    s.positions = t;
    fill_statistics(s, {}, {});
    EXPECT_EQ(s.highest_climb, 9999.0);
    std::vector<TrackPosition> same(3, fix_at(45, 6, 1000));
    FlightStatistics z;
    z.positions = same;
    fill_statistics(z, {}, {});
    EXPECT_EQ(z.average_speed, 0.0);
}

TEST(Statistics, GpsSpikeIsGoneAfterTheSpeedAnalysis) {
    auto t = climbing_line(60, 100, 10, 0);
    t[30].latitude += test::degrees_to_semicircles(0.3);  // 33 km away for one fix
    FlightStatistics raw;
    raw.positions = t;
    fill_statistics(raw, {}, {});
    EXPECT_GT(raw.top_speed, 1000.0);
    EXPECT_EQ(speed_analysis(t), 59u);
    FlightStatistics clean;
    clean.positions = t;
    fill_statistics(clean, {}, {});
    EXPECT_NEAR(clean.top_speed, 36.0, 0.2);
    EXPECT_LT(clean.total_distance, 6000.0);
}

TEST(Statistics, DownloadFlagsComeFromTheHeader) {
    TrackLogHeader h;
    h.track_log_source = 1;
    h.times_in_utc = 1;
    h.baro_present = 1;
    CalendarTime now;
    now.year = 2026;
    FlightStatistics s;
    s.positions = climbing_line(3, 10, 1, 0);
    fill_statistics(s, h, now);
    EXPECT_EQ(s.has_download_time, 1);
    EXPECT_EQ(s.download_time.year, 2026);
    EXPECT_EQ(s.times_in_utc, 1u);
    EXPECT_EQ(s.baro_present, 1u);
    h.track_log_source = 0;
    fill_statistics(s, h, now);
    EXPECT_EQ(s.has_download_time, 0);
}

TEST(Clipboard, LineFormatAndHeights) {
    std::vector<TrackPosition> t{fix_at(45.5, -6.25, 1000000000u, -15), fix_at(45.5009, -6.25, 1000000010u, 1234)};
    const std::string text = clipboard_text(t);
    const std::string speed = strformat("%.1f", position_distance(t[0], t[1]) * 0.06);
    EXPECT_EQ(text, "2021-09-08, 01:46:40, 45.500000, -6.250000, -1.5, 0.0\r\n"
                    "2021-09-08, 01:46:50, 45.500900, -6.250000,  123.4, " + speed + "\r\n");
}

TEST(Clipboard, ResultFieldsInKilometres) {
    OptimisationResults r;
    r.two.total = 12345.0;
    r.fai.score = 999.0;
    const auto f = result_texts(r);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0], "12.35");
    EXPECT_EQ(f[1], "0.00");
    EXPECT_EQ(f[6], "1.00");
}

TEST(Rotate, StartGoesToOriginAndEndToTheEquator) {
    std::vector<TrackPosition> t{fix_at(46.0, 7.0, 1), fix_at(46.2, 7.3, 2), fix_at(46.1, 7.6, 3)};
    const GeoPosition s = semicircles_to_radians(t[0].latitude, t[0].longitude);
    const GeoPosition e = semicircles_to_radians(t[2].latitude, t[2].longitude);
    const double before = position_distance(t[0], t[1]);
    ASSERT_EQ(rotate_positions(t, s, e), 0);
    EXPECT_NEAR(t[0].latitude, 0, 2);
    EXPECT_NEAR(t[0].longitude, 0, 2);
    EXPECT_NEAR(t[2].latitude, 0, 2);
    EXPECT_GT(t[2].longitude, 0);
    EXPECT_GT(t[1].latitude, 0);  // left of the base line stays north of it
    EXPECT_NEAR(position_distance(t[0], t[1]), before, before * 0.01);
    TrackLog log;
    log.header.source_protocol_type = 5;
    log.header.instrument_description = "Flymaster F1";
    install_rotated(log, t);
    EXPECT_EQ(log.positions.size(), 3u);
    EXPECT_EQ(log.header.source_protocol_type, 0);
    EXPECT_EQ(log.header.instrument_description, "");
}

}  // namespace
}  // namespace orlogix

namespace orlogix {
namespace {

TEST(Rotate, CommandChecksAndAsksOnASinglePosition) {
    TrackLog log;
    test::RecordingReporter rep;
    const GeoPosition s{0.8, 0.12}, e{0.801, 0.125};
    EXPECT_EQ(rotate_track(rep, log, {fix_at(46, 7, 1)}, s, e), -1);
    EXPECT_EQ(rep.last_error().text, "No positions loaded");
    log.positions = {fix_at(46, 7, 1), fix_at(46.1, 7, 2)};
    EXPECT_EQ(rotate_track(rep, log, {}, s, e), -1);
    EXPECT_EQ(rep.last_error().text, "No position(s) selected");
    // A single position: No keeps the log, Yes rotates it.
    rep.queue_answer(kBoxNo);
    EXPECT_EQ(rotate_track(rep, log, {fix_at(46, 7, 1)}, s, e), -1);
    EXPECT_EQ(log.positions.size(), 2u);
    EXPECT_EQ(rep.boxes().back().text, "Only one position selected, continue ?");
    rep.queue_answer(kBoxYes);
    EXPECT_EQ(rotate_track(rep, log, {fix_at(46, 7, 1)}, s, e), 0);
    EXPECT_EQ(log.positions.size(), 1u);
    EXPECT_NE(log.positions[0].latitude, test::degrees_to_semicircles(46));
}

}  // namespace
}  // namespace orlogix
