// The fast optimisation must return exactly what the plain loops return.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/distance_tables.hpp"
#include "analysis/loop_kernels.hpp"
#include "analysis/optimise.hpp"
#include "flight_loader.hpp"
#include "reference_optimiser.hpp"
#include "track_builder.hpp"

namespace orlogix {
namespace {

void expect_same(const OptimisationResults& a, const OptimisationResults& b, const std::string& what) {
    const PathResult* pa[] = {&a.two, &a.three, &a.four, &a.five};
    const PathResult* pb[] = {&b.two, &b.three, &b.four, &b.five};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(pa[s]->index, pb[s]->index) << what << " free " << s + 2;
        EXPECT_EQ(pa[s]->total, pb[s]->total) << what << " free " << s + 2;
    }
    EXPECT_EQ(a.out_and_return.start, b.out_and_return.start) << what;
    EXPECT_EQ(a.out_and_return.turn, b.out_and_return.turn) << what;
    EXPECT_EQ(a.out_and_return.end, b.out_and_return.end) << what;
    EXPECT_EQ(a.out_and_return.score, b.out_and_return.score) << what;
    const TriangleResult* ta[] = {&a.flat, &a.fai};
    const TriangleResult* tb[] = {&b.flat, &b.fai};
    for (int s = 0; s < 2; ++s) {
        const char* kind = s == 0 ? " flat" : " FAI";
        EXPECT_EQ(ta[s]->start, tb[s]->start) << what << kind;
        EXPECT_EQ(ta[s]->tp1, tb[s]->tp1) << what << kind;
        EXPECT_EQ(ta[s]->tp2, tb[s]->tp2) << what << kind;
        EXPECT_EQ(ta[s]->tp3, tb[s]->tp3) << what << kind;
        EXPECT_EQ(ta[s]->end, tb[s]->end) << what << kind;
        EXPECT_EQ(ta[s]->sides, tb[s]->sides) << what << kind;
        EXPECT_EQ(ta[s]->gap, tb[s]->gap) << what << kind;
    }
}

void check(const std::vector<TrackPosition>& track, uint32_t gap, const std::string& what) {
    OptimisationResults ref;
    ASSERT_EQ(test::reference_optimise(track, gap, ref), 0);
    for (unsigned threads : {1u, 2u}) {
        OptimisationSettings s;
        s.loop_flight_gap = gap;
        s.threads = threads;
        OptimisationResults fast;
        ASSERT_EQ(optimise_track(track, s, fast), 0);
        expect_same(fast, ref, what + " threads " + std::to_string(threads));
    }
}

// Worst cases for the bounds: many equal scores, loops closed everywhere.
TEST(FastEqualsReference, EquilateralTriangles) {
    check(test::legs_track(test::equilateral(12.0), 40), 800, "equilateral");
    // Flown twice round: every triangle exists twice, the later must win.
    auto c = test::equilateral(8.0);
    std::vector<std::pair<double, double>> twice(c.begin(), c.end());
    twice.insert(twice.end(), c.begin() + 1, c.end());
    check(test::legs_track(twice, 30), 800, "equilateral twice");
}

TEST(FastEqualsReference, CirclesAndSquareLattice) {
    std::vector<TrackPosition> circle;
    for (int i = 0; i <= 360; ++i) {
        const double a = i * M_PI / 180.0;
        circle.push_back(test::fix_at(45.0 + 0.1 * std::sin(a), 6.0 + 0.14 * std::cos(a), 1000u + 5u * i));
    }
    check(circle, 800, "circle");
    check(circle, 5000, "circle wide gap");
    // A lattice walk revisits the same points: ties everywhere.
    std::vector<TrackPosition> lattice;
    uint32_t t = 1000;
    for (int round = 0; round < 3; ++round)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                lattice.push_back(test::fix_at(46.0 + 0.01 * y, 7.0 + 0.01 * ((y % 2) ? 7 - x : x), t += 10));
    check(lattice, 800, "lattice");
    check(lattice, 1200, "lattice gap 1200");
}

TEST(FastEqualsReference, RandomWalksLongerThanTheSampling) {
    std::mt19937 rng(7);
    std::normal_distribution<double> step(0.0, 0.004);
    for (int run = 0; run < 2; ++run) {
        std::vector<TrackPosition> walk;
        double lat = 45.0, lon = 6.0;
        const int count = run == 0 ? 900 : 2300;
        for (int i = 0; i < count; ++i) {
            lat += step(rng);
            lon += step(rng);
            // Pull back towards the start now and then, so that loops close.
            if (i % 300 == 299) { lat = 45.0 + step(rng) * 0.01; lon = 6.0; }
            walk.push_back(test::fix_at(lat, lon, 1000u + 2u * i));
        }
        check(walk, 800, "random walk " + std::to_string(count));
    }
}

// Soaring in a small box: every gap closes and thousands of triangles come
// within a few metres of the best, so the bounds prune almost nothing.
TEST(FastEqualsReference, SoaringInASmallBox) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-0.01, 0.01);
    std::vector<TrackPosition> box;
    for (int i = 0; i < 700; ++i) box.push_back(test::fix_at(45.0 + u(rng), 6.0 + u(rng), 1000u + 3u * i));
    check(box, 800, "box");
    check(box, 3000, "box, gap 3000");
}

// The row-wide pair bound of the triangle search tests its FAI caps without
// division; it must keep exactly the pairs whose bound, worked out the plain
// way, reaches a floor, also at the edges of the integer steps.
TEST(FastEqualsReference, PairBoundKeepsThePairsThatCanReachTheFloors) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> small(0, 60), large(0, 3000000);
    const uint32_t n = 4000;
    std::vector<int32_t> a(n), b(n), d(n), g(n);
    std::vector<uint8_t> keep(n, 2);
    auto cap = [](int64_t side) { return (25 * side + 24) / 7; };
    for (int round = 0; round < 40; ++round) {
        auto& pick = round % 2 ? large : small;
        for (uint32_t l = 0; l < n; ++l) {
            a[l] = pick(rng);
            b[l] = pick(rng);
            d[l] = pick(rng);
            g[l] = pick(rng) / 4;
        }
        const int64_t flat_floor = round % 5 == 0 ? -1 : pick(rng) * 2, fai_floor = pick(rng);
        // The 64-bit kernel and the 32-bit one (every value here is in its range).
        for (bool narrow : {false, true}) {
            std::fill(keep.begin(), keep.end(), 2);
            if (narrow)
                triangle_pair_bounds_narrow(a.data(), b.data(), d.data(), g.data(), 3, n - 1,
                                            static_cast<int32_t>(flat_floor), static_cast<int32_t>(fai_floor),
                                            keep.data());
            else
                triangle_pair_bounds(a.data(), b.data(), d.data(), g.data(), 3, n - 1, flat_floor, fai_floor,
                                     keep.data());
            for (uint32_t l = 3; l < n - 1; ++l) {
                const int64_t most = int64_t{a[l]} + b[l] + d[l];
                const int64_t fai_most = std::min({most, cap(a[l]), cap(b[l]), cap(d[l])});
                const bool expect = most - g[l] >= flat_floor || fai_most - g[l] >= fai_floor;
                ASSERT_EQ(keep[l], expect ? 1 : 0) << "round " << round << " end " << l << " narrow " << narrow;
            }
            EXPECT_EQ(keep[2], 2);  // outside the range: untouched
            EXPECT_EQ(keep[n - 1], 2);
        }
    }
}

// Tables built for one closing gap keep G and the column maxima only where a
// search of that gap reads them; there they must equal the whole tables, and
// each row must end at the first end whose G reaches the gap.
TEST(FastEqualsReference, GapLimitedTablesKeepTheCellsTheSearchReads) {
    // A track that drifts away with some noise: rows end at every place.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-0.0005, 0.0005);
    std::vector<TrackPosition> wander;
    for (int i = 0; i < 300; ++i) wander.push_back(test::fix_at(45.0 + u(rng) + i * 1e-4, 6.0 + u(rng), 1000u + 3u * i));
    const ProjectedTrack proj = project_track(wander);
    DistanceTables whole;
    ASSERT_EQ(whole.build(proj.points, {}), 0);
    ASSERT_EQ(whole.build_gaps({}), 0);
    for (uint32_t gap : {1u, 800u, 3000u, 20000u}) {
        DistanceTables kept;
        ASSERT_EQ(kept.build(proj.points, {}), 0);
        ASSERT_EQ(kept.build_gaps({}, 0, gap), 0);
        const std::size_t n = kept.size();
        for (std::size_t k = 0; k + 2 < n; ++k) {
            std::size_t end = k + 2;
            while (end < n && whole.g(k, end) < static_cast<int32_t>(gap)) ++end;
            ASSERT_EQ(kept.gap_end(k), end) << "gap " << gap << " row " << k;
            for (std::size_t l = k + 2; l < end; ++l) {
                ASSERT_EQ(kept.g(k, l), whole.g(k, l)) << "gap " << gap << " at " << k << ", " << l;
                ASSERT_EQ(kept.column_max_after(k, l), whole.column_max_after(k, l)) << "gap " << gap << " at " << k << ", " << l;
            }
        }
    }
}

// Every flight of the data folder. The reference takes seconds on the closed
// flights (about half a minute for all of them in an optimised build); under
// the sanitizers it is several times slower, so there only the short flights
// run and the benchmark, which checks every flight before timing it, covers the rest.
TEST(FastEqualsReference, RealFlights) {
#if defined(__SANITIZE_ADDRESS__)
    const char* const flights[] = {"d3p.igc", "line.igc", "record_de_france.igc", "trifai-xcontest-189.65.igc"};
#else
    const auto& flights = test::kFlights;
#endif
    for (const char* name : flights) {
        const auto track = test::load_igc_fixes(test::flight_path(name));
        ASSERT_GT(track.size(), 1000u) << name;
        check(track, 800, name);
    }
}

}  // namespace
}  // namespace orlogix
