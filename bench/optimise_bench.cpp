// Times optimise_track on every real flight against the plain-loop reference,
// after checking that both return the same result, and prints the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "analysis/optimise.hpp"
#include "flight_loader.hpp"
#include "reference_optimiser.hpp"

namespace {

using namespace orlogix;

bool same(const OptimisationResults& a, const OptimisationResults& b) {
    auto path = [](const PathResult& x, const PathResult& y) { return x.index == y.index && x.total == y.total; };
    auto tri = [](const TriangleResult& x, const TriangleResult& y) {
        return x.start == y.start && x.tp1 == y.tp1 && x.tp2 == y.tp2 && x.tp3 == y.tp3 && x.end == y.end &&
               x.sides == y.sides && x.gap == y.gap;
    };
    return path(a.two, b.two) && path(a.three, b.three) && path(a.four, b.four) && path(a.five, b.five) &&
           a.out_and_return.start == b.out_and_return.start && a.out_and_return.turn == b.out_and_return.turn &&
           a.out_and_return.end == b.out_and_return.end && a.out_and_return.score == b.out_and_return.score &&
           tri(a.flat, b.flat) && tri(a.fai, b.fai);
}

struct Row {
    std::size_t fixes = 0;
    double reference_ms = 0, fast_ms = 0, fast_cpu_ms = 0;
    bool equal = false;
};
std::map<std::string, Row> g_rows;

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration) continue;
            const std::string name = r.benchmark_name();
            const double ms = r.GetAdjustedRealTime();  // in the benchmark's unit (ms)
            // "fast/<flight>/min_time:..." or "reference/<flight>/iterations:..."
            const std::size_t slash = name.find('/');
            const std::size_t end = name.find('/', slash + 1);
            const std::string kind = name.substr(0, slash);
            const std::string flight = name.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
            if (kind == "fast") {
                g_rows[flight].fast_ms = ms;
                g_rows[flight].fast_cpu_ms = r.GetAdjustedCPUTime();
            }
            if (kind == "reference") g_rows[flight].reference_ms = ms;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    static std::map<std::string, std::vector<TrackPosition>> tracks;
    for (const char* f : test::kFlights) {
        tracks[f] = test::load_igc_fixes(test::flight_path(f));
        Row& row = g_rows[f];
        row.fixes = tracks[f].size();
        OptimisationResults fast, ref;
        optimise_track(tracks[f], {}, fast);
        test::reference_optimise(tracks[f], 800, ref);
        row.equal = same(fast, ref);
        std::fprintf(stderr, "%-32s %s\n", f, row.equal ? "fast == reference" : "FAST DIFFERS FROM REFERENCE");
    }
    for (const char* f : test::kFlights) {
        const std::vector<TrackPosition>* t = &tracks[f];
        benchmark::RegisterBenchmark((std::string("fast/") + f).c_str(), [t](benchmark::State& st) {
            for (auto _ : st) {
                OptimisationResults r;
                benchmark::DoNotOptimize(optimise_track(*t, {}, r));
            }
        })->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->MinTime(1.0);
        benchmark::RegisterBenchmark((std::string("reference/") + f).c_str(), [t](benchmark::State& st) {
            for (auto _ : st) {
                OptimisationResults r;
                benchmark::DoNotOptimize(test::reference_optimise(*t, 800, r));
            }
        })->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("\nLoad average at the end: %.2f %.2f %.2f (2 cores)\n", load[0], load[1], load[2]);
    std::printf("\n| flight | fixes | reference ms | fast ms | fast CPU ms (both threads) | ratio | equal |\n"
                "|---|---:|---:|---:|---:|---:|---|\n");
    bool all_equal = true;
    for (const auto& [name, row] : g_rows) {
        if (row.fast_ms <= 0) continue;
        all_equal = all_equal && row.equal;
        std::printf("| %s | %zu | %.1f | %.2f | %.2f | %.1f | %s |\n", name.c_str(), row.fixes, row.reference_ms,
                    row.fast_ms, row.fast_cpu_ms, row.reference_ms / row.fast_ms, row.equal ? "yes" : "NO");
    }
    benchmark::Shutdown();
    return all_equal ? 0 : 1;
}
