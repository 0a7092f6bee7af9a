#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/track_filters.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

using test::fix_at;

// Fixes due north along a meridian, `metres` apart, `step` seconds apart.
std::vector<TrackPosition> meridian(int count, double metres, uint32_t step, uint32_t start = 1000000000u) {
    std::vector<TrackPosition> out;
    for (int i = 0; i < count; ++i)
        out.push_back(fix_at(45.0 + i * metres / 111132.0, 6.0, start + static_cast<uint32_t>(i) * step));
    return out;
}

TEST(VarioFilter, SameTimeStampsLeaveOnlyTheFirst) {
    std::vector<TrackPosition> t(6, fix_at(45, 6, 5000));
    for (int i = 0; i < 6; ++i) t[i].gps_altitude = 1000 + i;
    EXPECT_EQ(vario_filter(t, 3), 5u);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].gps_altitude, 1000);
}

TEST(VarioFilter, RateAtTheThresholdIsRemovedAndTheReferenceStays) {
    std::vector<TrackPosition> t{fix_at(45, 6, 100, 10000), fix_at(45, 6, 110, 10290),  // 2.9 m/s: kept
                                 fix_at(45, 6, 120, 10590),                             // 3.0 m/s: removed
                                 fix_at(45, 6, 130, 10870)};  // 2.9 m/s from the last kept (20 s, 58 m): kept
    EXPECT_EQ(vario_filter(t, 3), 1u);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].time, 110u);
    EXPECT_EQ(t[2].time, 130u);
}

TEST(VarioFilter, ZeroThresholdOrTooFewIsOff) {
    std::vector<TrackPosition> t(4, fix_at(45, 6, 100));
    EXPECT_EQ(vario_filter(t, 0), 0u);
    EXPECT_EQ(t.size(), 4u);
    std::vector<TrackPosition> one{fix_at(45, 6, 100)};
    EXPECT_EQ(vario_filter(one, 1), 0u);
}

TEST(SplitAtGaps, TwentyOneMinutePauseGivesTwoPartsNewestFirst) {
    auto t = meridian(10, 50, 10);
    auto later = meridian(8, 50, 10, t.back().time + 21 * 60);
    t.insert(t.end(), later.begin(), later.end());
    const std::vector<TrackPosition> original = t;
    std::vector<std::string> seen;
    std::string seen_title;
    const std::size_t n = split_at_gaps(t, kDefaultTrackGapTime, "Split track (GPSMAP)",
                                        [&](const std::string& title, const std::vector<std::string>& lines,
                                            std::vector<bool>& chosen) {
                                            seen_title = title;
                                            seen = lines;
                                            chosen.assign(lines.size(), true);
                                            return true;
                                        });
    EXPECT_EQ(seen_title, "Split track (GPSMAP)");
    ASSERT_EQ(seen.size(), 2u);
    // 1000000000 s after 1989-12-31 is 2021-09-08 01:46:40 (checked with date(1)).
    EXPECT_EQ(seen[1], "08-09-21   01:46:40   0:01:30");
    EXPECT_EQ(seen[0], "08-09-21   02:09:10   0:01:10");
    ASSERT_EQ(n, original.size());
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(t[i].time, original[i].time);
}

TEST(SplitAtGaps, ChosenPartOnlyAndCancel) {
    auto t = meridian(10, 50, 10);
    auto later = meridian(8, 50, 10, t.back().time + 1201);
    t.insert(t.end(), later.begin(), later.end());
    auto copy = t;
    EXPECT_EQ(split_at_gaps(copy, 1200, "x",
                            [](const std::string&, const std::vector<std::string>& lines, std::vector<bool>& chosen) {
                                chosen.assign(lines.size(), false);
                                chosen[0] = true;  // the newest
                                return true;
                            }),
              8u);
    EXPECT_EQ(copy.front().time, later.front().time);
    copy = t;
    EXPECT_EQ(split_at_gaps(copy, 1200, "x",
                            [](const std::string&, const std::vector<std::string>&, std::vector<bool>&) {
                                return false;
                            }),
              0u);
    EXPECT_EQ(copy.size(), t.size());
}

TEST(SplitAtGaps, GapOfExactlyTheLimitDoesNotCutButASegmentStartDoes) {
    auto t = meridian(6, 50, 10);
    t[3].time = t[2].time + 1200;
    for (int i = 4; i < 6; ++i) t[i].time = t[i - 1].time + 10;
    EXPECT_EQ(find_parts(t, 1200).size(), 1u);
    t[4].flags = kSegmentStart;
    const auto parts = find_parts(t, 1200);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].last, 3u);
    EXPECT_EQ(parts[1].first, 4u);
}

TEST(SplitAtGaps, EarlierTimesLeaveTheReferenceAlone) {
    // The fix stamped back does not become the reference, so the next one is
    // measured from 1000, not from 500.
    std::vector<TrackPosition> t{fix_at(45, 6, 1000), fix_at(45, 6, 500), fix_at(45, 6, 1700)};
    EXPECT_EQ(find_parts(t, 1200).size(), 1u);
}

TEST(SplitAtGaps, AtMostAHundredParts) {
    std::vector<TrackPosition> t;
    for (int i = 0; i < 150; ++i) t.push_back(fix_at(45, 6, 1000u + 5000u * i));
    const auto parts = find_parts(t, 1200);
    ASSERT_EQ(parts.size(), 100u);
    EXPECT_EQ(parts.back().first, 99u);
    EXPECT_EQ(parts.back().last, 149u);
}

TEST(SplitAtGaps, TitleForms) {
    EXPECT_EQ(split_title("COM3", ""), "Split track (COM3)");
    EXPECT_EQ(split_title("/dev/ttyUSB0", "eTrex Vista"), "Split track (/dev/ttyUSB0, eTrex Vista)");
}

TEST(Backwards, CountFirstAndDrop) {
    std::vector<TrackPosition> t{fix_at(45, 6, 100), fix_at(45, 6, 200), fix_at(45, 6, 150), fix_at(45, 6, 300),
                                 fix_at(45, 6, 250), fix_at(45, 6, 300)};
    std::size_t first = 99;
    EXPECT_EQ(count_backwards(t, first), 2u);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(backwards_warning(t), "One or more points (the first at pos. 3) go backwards in time");
    EXPECT_EQ(drop_backwards(t), 4u);
    const uint32_t expect[] = {100, 200, 300, 300};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t[i].time, expect[i]);
    EXPECT_EQ(backwards_warning(t), "");
}

TEST(SpeedAnalysis, TenSlowPositionsNeedEveryPairSlow) {
    auto t = meridian(10, 50, 10);
    EXPECT_EQ(speed_analysis(t), 10u);
    // One fast pair in the middle breaks the only possible run of nine.
    auto u = meridian(10, 50, 10);
    for (int i = 5; i < 10; ++i) u[i].latitude += test::degrees_to_semicircles(0.5);
    EXPECT_EQ(speed_analysis(u), 0u);
}

TEST(SpeedAnalysis, ThresholdFromTheHistogram) {
    auto t = meridian(100, 105, 10);  // 10.5 m/s everywhere: bucket 10 holds all 99 pairs
    EXPECT_EQ(speed_threshold(t), 31u);
}

TEST(SpeedAnalysis, OutlierFiftyKilometresAwayIsDroppedBeforeAndAfterTheAnchor) {
    for (std::size_t spike : {3u, 30u}) {
        auto t = meridian(40, 50, 10);
        const uint32_t kept_time = t[spike].time;
        t[spike].latitude += test::degrees_to_semicircles(50.0 / 111.132);
        EXPECT_EQ(speed_analysis(t), 39u) << spike;
        for (const TrackPosition& p : t) EXPECT_NE(p.time, kept_time) << spike;
    }
}

}  // namespace
}  // namespace orlogix
