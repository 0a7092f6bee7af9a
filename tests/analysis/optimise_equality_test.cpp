// The fast optimisation must return exactly what the plain loops return.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/distance_tables.hpp"
#include "analysis/loop_kernels.hpp"
#include "analysis/loop_search.hpp"
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

// The block bounds of the triangle search must never fall below a triangle
// whose sides lie within the extremes they are given: any perimeter for the
// flat bound, any FAI perimeter (every side at least P x 7 / 25) for the FAI one.
TEST(FastEqualsReference, PerimeterBoundsNeverFallBelowATriangleWithinTheExtremes) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> side(0, 40000);
    std::uniform_int_distribution<int32_t> spread(0, 3000);
    int fai_seen = 0;
    for (int round = 0; round < 20000; ++round) {
        int32_t lo[3], hi[3], pick[3];
        for (int s = 0; s < 3; ++s) {
            lo[s] = side(rng);
            hi[s] = lo[s] + spread(rng);
            pick[s] = std::uniform_int_distribution<int32_t>(lo[s], hi[s])(rng);
        }
        // Turn point blocks 1 and 2 of 4: the others hold extremes no triangle reaches.
        const int32_t xl[4] = {0, lo[0], lo[0], 0}, xh[4] = {0, hi[0], hi[0], 0};
        const int32_t yl[4] = {0, lo[1], lo[1], 0}, yh[4] = {0, hi[1], hi[1], 0};
        int32_t flat = 0, fai = 0;
        pair_perimeter_bounds(xl, xh, yl, yh, lo[2], hi[2], 1, 3, flat, fai);
        const int32_t p = pick[0] + pick[1] + pick[2];
        ASSERT_GE(flat, p) << "round " << round;
        const int32_t least = static_cast<int32_t>(static_cast<uint32_t>(p) * 7u / 25u);
        if (pick[0] >= least && pick[1] >= least && pick[2] >= least) {
            ++fai_seen;
            ASSERT_GE(fai, p) << "round " << round;
        }
    }
    EXPECT_GT(fai_seen, 100);
    // Sides that cannot make an FAI triangle: one far longer than the others.
    const int32_t xl[1] = {1000}, xh[1] = {1100}, yl[1] = {1000}, yh[1] = {1100};
    int32_t flat = 0, fai = 0;
    pair_perimeter_bounds(xl, xh, yl, yh, 5000, 5000, 0, 1, flat, fai);
    EXPECT_EQ(flat, 7200);
    EXPECT_EQ(fai, -1);
}

// The closing gaps are worked out from block tables when a search needs
// them; they must equal G and W as the plain row-by-row filling gives them,
// also where many pairs tie.
TEST(FastEqualsReference, ClosingGapsAndTheirPairsEqualThePlainFilling) {
    std::mt19937 rng(5);
    for (int run = 0; run < 3; ++run) {
        // Points on a coarse grid: equal distances everywhere.
        std::uniform_int_distribution<int> u(0, run == 0 ? 3 : 40);
        std::vector<PlanePoint> points;
        const std::size_t n = run == 2 ? 123 : 70;
        for (std::size_t i = 0; i < n; ++i) points.push_back({100.0 * u(rng), 100.0 * u(rng)});
        DistanceTables t;
        ASSERT_EQ(t.build(points, {}), 0);
        std::vector<int32_t> g(n * n, INT32_MAX);
        std::vector<uint32_t> w(n * n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            int32_t run_g = INT32_MAX;
            uint32_t run_w = 0;
            for (std::size_t l = n; l-- > k + 1;) {
                if (t.d(k, l) < run_g) { run_g = t.d(k, l); run_w = static_cast<uint32_t>(k * 65536 + l); }
                if (k > 0 && g[(k - 1) * n + l] < run_g) { run_g = g[(k - 1) * n + l]; run_w = w[(k - 1) * n + l]; }
                g[k * n + l] = run_g;
                w[k * n + l] = run_w;
            }
        }
        for (std::size_t k = 0; k + 1 < n; ++k)
            for (std::size_t l = k + 1; l < n; ++l) {
                ASSERT_EQ(t.g(k, l), g[k * n + l]) << "run " << run << " at " << k << ", " << l;
                ASSERT_EQ(t.w(k, l), w[k * n + l]) << "run " << run << " at " << k << ", " << l;
                if (k / kBlock < l / kBlock) {
                    ASSERT_LE(t.least_gap(k / kBlock, l / kBlock), g[k * n + l]);
                }
            }
    }
}

// The triangle and out-and-return searches on their own, under both closing
// rules, against the plain loops over every (k, l, m) on the same table:
// small tracks on a coarse grid, so that many triangles tie.
TEST(FastEqualsReference, TriangleSearchesUnderBothClosingRules) {
    struct Plain {
        LoopCandidate flat, fai;
    };
    auto plain = [](const DistanceTables& t, ClosingRule rule, int64_t gap) {
        Plain best;
        const uint32_t n = static_cast<uint32_t>(t.size());
        for (uint32_t k = 0; k + 2 < n; ++k)
            for (uint32_t l = k + 2; l < n; ++l) {
                const int64_t g = t.g(k, l);
                if (rule == ClosingRule::GapLimit && g >= gap) continue;
                for (uint32_t m = k + 1; m < l; ++m) {
                    const int64_t a = t.d(k, m), b = t.d(m, l), d = t.d(k, l), p = a + b + d;
                    if (rule == ClosingRule::OneFifth && 5 * g >= p) continue;
                    const int64_t least = static_cast<int64_t>(static_cast<uint32_t>(p) * 7u / 25u);
                    for (LoopCandidate* c : {&best.flat, &best.fai}) {
                        if (c == &best.fai && (a < least || b < least || d < least)) continue;
                        if (!c->found || p - g >= c->score) *c = LoopCandidate{true, p - g, k, l, m};
                    }
                }
            }
        return best;
    };
    std::mt19937 rng(23);
    for (int run = 0; run < 12; ++run) {
        std::uniform_int_distribution<int> u(0, run % 3 == 0 ? 4 : 30);
        std::vector<PlanePoint> points;
        const std::size_t n = 40 + 13 * run;
        for (std::size_t i = 0; i < n; ++i) points.push_back({150.0 * u(rng), 150.0 * u(rng)});
        DistanceTables t;
        ASSERT_EQ(t.build(points, {}), 0);
        const std::string what = "run " + std::to_string(run);
        for (const auto& [rule, gap] : {std::pair{ClosingRule::GapLimit, 800u}, std::pair{ClosingRule::GapLimit, 200u},
                                        std::pair{ClosingRule::OneFifth, 0u}}) {
            const Plain want = plain(t, rule, gap);
            for (unsigned threads : {1u, 2u}) {
                const TriangleSearch got = search_triangles(t, rule, gap, threads, {});
                for (const auto& [g, w] : {std::pair{&got.flat, &want.flat}, std::pair{&got.fai, &want.fai}}) {
                    ASSERT_EQ(g->found, w->found) << what;
                    if (!w->found) continue;
                    EXPECT_EQ(std::tie(g->score, g->k, g->l, g->m), std::tie(w->score, w->k, w->l, w->m))
                        << what << " rule " << static_cast<int>(rule) << " gap " << gap << (g == &got.fai ? " FAI" : " flat");
                }
            }
        }
        // The online contest's out-and-return: D(i, j) below the limit, D(i, k) + D(k, j) above 0.
        LoopCandidate want;
        for (uint32_t i = 0; i + 2 < n; ++i)
            for (uint32_t j = i + 2; j < n; ++j) {
                if (t.d(i, j) >= 400) continue;
                for (uint32_t k = i + 1; k < j; ++k) {
                    const int64_t s = int64_t{t.d(i, k)} + t.d(k, j);
                    if (!want.found || s > want.score ||
                        (s == want.score && std::tie(i, j, k) > std::tie(want.k, want.l, want.m)))
                        want = LoopCandidate{true, s, i, j, k};
                }
            }
        if (want.found && want.score <= 0) want = LoopCandidate{};
        bool halted = false;
        const LoopCandidate got = search_olc_out_and_return(t, 400, {}, halted);
        ASSERT_EQ(got.found, want.found) << what;
        if (want.found) {
            EXPECT_EQ(std::tie(got.score, got.k, got.l, got.m), std::tie(want.score, want.k, want.l, want.m)) << what;
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
