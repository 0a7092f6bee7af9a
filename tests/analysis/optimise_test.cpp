#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/distance_tables.hpp"
#include "analysis/optimise.hpp"
#include "core/geodesy.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

using test::equilateral;
using test::fix_at;
using test::legs_track;

double metres(const TrackPosition& a, const TrackPosition& b) {
    double m = 0;
    geodesic_distance(semicircles_to_radians(a.latitude, a.longitude),
                      semicircles_to_radians(b.latitude, b.longitude), m);
    return m;
}

TEST(Sampling, TwoThousandAndOneBecomeTwoThousandKeepingEnds) {
    const std::vector<uint32_t> s = sample_indices(2001);
    ASSERT_EQ(s.size(), 2000u);
    EXPECT_EQ(s.front(), 0u);
    EXPECT_EQ(s.back(), 2000u);
    for (std::size_t i = 1; i < s.size(); ++i) EXPECT_LT(s[i - 1], s[i]);
}

TEST(Sampling, LongTracksSpreadEvenly) {
    for (std::size_t count : {2000u, 2002u, 4001u, 38675u}) {
        const std::vector<uint32_t> s = sample_indices(count);
        ASSERT_EQ(s.size(), std::min<std::size_t>(count, 2000)) << count;
        EXPECT_EQ(s.front(), 0u);
        EXPECT_EQ(s.back(), count - 1);
        const double step = static_cast<double>(count) / 2000.0;
        for (std::size_t i = 1; i < s.size(); ++i) EXPECT_LE(s[i] - s[i - 1], static_cast<uint32_t>(step) + 1);
    }
}

TEST(Optimise, StraightLineGivesEndToEndAndNoLoops) {
    // Along a meridian (a geodesic), fixes about 1.1 km apart: none comes back within the 800 m gap of another.
    const auto track = legs_track({{45.0, 6.0}, {45.4, 6.0}}, 40);
    OptimisationResults r;
    ASSERT_EQ(optimise_track(track, {}, r), 0);
    EXPECT_EQ(r.two.index[0], 0u);
    EXPECT_EQ(r.two.index[1], track.size() - 1);
    EXPECT_DOUBLE_EQ(r.two.total, metres(track.front(), track.back()));
    // More points cannot add length on a straight line, only split it.
    EXPECT_NEAR(r.five.total, r.two.total, 0.01);
    EXPECT_EQ(r.five.index[0], 0u);
    EXPECT_EQ(r.five.index[4], track.size() - 1);
    EXPECT_EQ(r.out_and_return.score, 0.0);
    EXPECT_EQ(r.flat.score, 0.0);
    EXPECT_EQ(r.fai.score, 0.0);
    EXPECT_EQ(r.fai.tp2, 0u);
}

TEST(Optimise, EquilateralTriangleClosedAtStartIsFai) {
    const auto track = legs_track(equilateral(20.0), 100);
    OptimisationResults r;
    ASSERT_EQ(optimise_track(track, {}, r), 0);
    const double perimeter = metres(track[0], track[100]) + metres(track[100], track[200]) +
                             metres(track[200], track[0]);
    // The later of the two equal loops wins (corners 100, 200, 300); the last
    // turn point must then stay before the end fix, one fix short of the corner.
    EXPECT_EQ(r.fai.start, 0u);
    EXPECT_EQ(r.fai.end, 300u);
    EXPECT_EQ(r.fai.tp1, 100u);
    EXPECT_EQ(r.fai.tp2, 200u);
    EXPECT_EQ(r.fai.tp3, 299u);
    EXPECT_EQ(r.fai.gap, 0.0);
    EXPECT_GT(r.fai.score, 0.99 * perimeter);
    EXPECT_LE(r.fai.score, perimeter);
    const double sides = r.fai.sides[0] + r.fai.sides[1] + r.fai.sides[2];
    for (double side : r.fai.sides) EXPECT_GT(side, 0.32 * sides);
    EXPECT_NEAR(r.flat.score, r.fai.score, 1e-6);
}

TEST(Optimise, TriangleWithAShortSideIsOnlyFlat) {
    // Sides of about 30, 30 and 6 km: the short one is 9 % of the perimeter.
    const auto track = legs_track({{45.0, 6.0}, {45.27, 6.0}, {45.27, 6.077}, {45.0, 6.0}}, 100);
    OptimisationResults r;
    ASSERT_EQ(optimise_track(track, {}, r), 0);
    const double sides = r.flat.sides[0] + r.flat.sides[1] + r.flat.sides[2];
    EXPECT_GT(sides, 60000.0);
    EXPECT_LT(std::min({r.flat.sides[0], r.flat.sides[1], r.flat.sides[2]}), 0.28 * sides);
    // Whatever FAI triangle exists lies inside the thin one and is far smaller.
    EXPECT_LT(r.fai.score, 0.5 * r.flat.score);
    EXPECT_FALSE(r.fai.tp1 == r.flat.tp1 && r.fai.tp2 == r.flat.tp2 && r.fai.tp3 == r.flat.tp3);
    for (double side : r.fai.sides) EXPECT_GE(side, 0.28 * (r.fai.sides[0] + r.fai.sides[1] + r.fai.sides[2]));
}

TEST(Optimise, OutAndReturnTurnsAtTheFarEnd) {
    const auto track = legs_track({{45.0, 6.0}, {45.0, 6.3}, {45.0, 6.0}}, 150);
    OptimisationResults r;
    ASSERT_EQ(optimise_track(track, {}, r), 0);
    EXPECT_EQ(r.out_and_return.turn, 150u);
    EXPECT_NEAR(r.out_and_return.leg, metres(track[0], track[150]), 1e-6);
    EXPECT_NEAR(r.out_and_return.score, 2 * r.out_and_return.leg - r.out_and_return.gap, 1e-9);
    EXPECT_LE(r.out_and_return.gap, 800.0);
}

TEST(Optimise, GapZeroOrNoLoopOptLeavesLoopsAtZero) {
    const auto track = legs_track(equilateral(10.0), 60);
    for (int variant = 0; variant < 2; ++variant) {
        OptimisationSettings s;
        if (variant == 0) s.loop_flight_gap = 0;
        else s.no_loop_opt = true;
        OptimisationResults r;
        ASSERT_EQ(optimise_track(track, s, r), 0);
        EXPECT_GT(r.two.total, 9000.0);
        EXPECT_GT(r.five.total, 25000.0);
        EXPECT_EQ(r.out_and_return.score, 0.0);
        EXPECT_EQ(r.out_and_return.turn, 0u);
        EXPECT_EQ(r.flat.score, 0.0);
        EXPECT_EQ(r.fai.score, 0.0);
        EXPECT_EQ(r.fai.sides[0], 0.0);
    }
}

TEST(Optimise, EqualTwoPointCandidatesTakeTheLaterStart) {
    // 0 -> 1 and 1 -> 2 are the same length and nothing is longer.
    std::vector<TrackPosition> t{fix_at(45.0, 6.0, 100), fix_at(45.0, 6.01, 110), fix_at(45.0, 6.0, 120)};
    OptimisationResults r;
    ASSERT_EQ(optimise_track(t, {}, r), 0);
    EXPECT_EQ(r.two.index[0], 1u);
    EXPECT_EQ(r.two.index[1], 2u);
}

TEST(Optimise, ProgressTextsInOrderAndCompletionTime) {
    const auto track = legs_track(equilateral(5.0), 30);
    std::vector<std::string> texts;
    OptimisationResults r;
    ASSERT_EQ(optimise_track(track, {}, r, [&](std::string_view t) { texts.emplace_back(t); }), 0);
    const std::vector<std::string> expect{"Computing distance matrix",
                                          "Computing greatest distance (2 points)",
                                          "Computing greatest distance (3 points)",
                                          "Computing greatest distance (4 points)",
                                          "Computing greatest distance (5 points)",
                                          "Computing out-and-return distance",
                                          "Computing triangle distance"};
    ASSERT_EQ(texts.size(), expect.size() + 1);
    for (std::size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(texts[i], expect[i]);
    // "Computing completed (%d.%03d secs)"
    const std::string& done = texts.back();
    const std::string head = "Computing completed (", tail = " secs)";
    ASSERT_EQ(done.rfind(head, 0), 0u) << done;
    ASSERT_GT(done.size(), head.size() + tail.size());
    EXPECT_EQ(done.substr(done.size() - tail.size()), tail);
    const std::string number = done.substr(head.size(), done.size() - head.size() - tail.size());
    const std::size_t dot = number.find('.');
    ASSERT_NE(dot, std::string::npos) << done;
    EXPECT_EQ(number.size() - dot - 1, 3u) << done;
    EXPECT_EQ(number.find_first_not_of("0123456789."), std::string::npos) << done;
}

TEST(Optimise, HaltIsHonouredInEveryStep) {
    const auto track = legs_track(equilateral(5.0), 30);
    const std::vector<std::string> steps{"Computing distance matrix", "Computing greatest distance (2 points)",
                                         "Computing greatest distance (5 points)",
                                         "Computing out-and-return distance", "Computing triangle distance"};
    for (const std::string& step : steps) {
        std::atomic<bool> halt{false};
        OptimisationResults r;
        r.two.total = 123.0;
        const int rc = optimise_track(
            track, {}, r, [&](std::string_view t) { if (t == step) halt = true; }, HaltToken(&halt));
        EXPECT_EQ(rc, kOptimiseHalted) << step;
        EXPECT_EQ(r.two.total, 0.0) << step;
        EXPECT_EQ(r.fai.score, 0.0) << step;
    }
}

}  // namespace
}  // namespace orlogix
