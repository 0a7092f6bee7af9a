// Cost of the shared geometry that statistics and file writers call per fix.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/coord_text.hpp"
#include "core/geodesy.hpp"

namespace {

using namespace orlogix;

std::vector<GeoPosition> track(double step_radians) {
    std::vector<GeoPosition> points;
    for (int i = 0; i < 1024; ++i)
        points.push_back(GeoPosition{0.80 + step_radians * (i % 37), 0.12 + step_radians * i});
    return points;
}

void BM_GeodesicDistanceShortHops(benchmark::State& state) {
    const auto points = track(2e-6);  // about 10 m between fixes
    double total = 0;
    for (auto _ : state) {
        for (std::size_t i = 1; i < points.size(); ++i) {
            double m = 0;
            if (geodesic_distance(points[i - 1], points[i], m) == 0) total += m;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * (points.size() - 1));
}
BENCHMARK(BM_GeodesicDistanceShortHops);

void BM_GeodesicDistanceLongLines(benchmark::State& state) {
    const auto points = track(1e-3);
    double total = 0;
    for (auto _ : state) {
        for (std::size_t i = 1; i < points.size(); ++i) {
            double m = 0;
            if (geodesic_distance(points[0], points[i], m) == 0) total += m;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * (points.size() - 1));
}
BENCHMARK(BM_GeodesicDistanceLongLines);

void BM_UtmForward(benchmark::State& state) {
    const auto points = track(2e-6);
    for (auto _ : state) {
        for (const GeoPosition& p : points) {
            UtmPosition u;
            geo_to_utm(p, u);
            benchmark::DoNotOptimize(u);
        }
    }
    state.SetItemsProcessed(state.iterations() * points.size());
}
BENCHMARK(BM_UtmForward);

void BM_ParseLatLon(benchmark::State& state) {
    for (auto _ : state) {
        double r = 0;
        benchmark::DoNotOptimize(parse_latlon("S 33 52 04.12345", Axis::Latitude, r));
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_ParseLatLon);

}  // namespace

BENCHMARK_MAIN();
