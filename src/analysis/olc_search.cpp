#include "analysis/olc_search.hpp"

#include <cmath>

#include "analysis/distance_tables.hpp"
#include "analysis/free_distance.hpp"
#include "analysis/loop_search.hpp"
#include "analysis/optimise.hpp"
#include "analysis/polish.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"

namespace orlogix {

OlcBest choose_best(double f, double t, double a) {
    if (f > t && f > a) return OlcBest::FreeDistance;
    if (t >= f && t > a) return OlcBest::FreeTriangle;
    return OlcBest::FaiTriangle;
}

std::string best_text(OlcBest best, double points) {
    switch (best) {
    case OlcBest::FreeDistance: return strformat("Best result is free distance with %.2f points", points);
    case OlcBest::FreeTriangle: return strformat("Best result is free triangle with %.2f points", points);
    case OlcBest::FaiTriangle: return strformat("Best result is FAI triangle with %.2f points", points);
    case OlcBest::None: break;
    }
    return {};
}

std::string progress_text(double done, double total) {
    if (total <= 0.0) return {};
    const double percent = done / total * 100.0;
    if (percent > 99.0) return "Done:";
    return strformat("%d %%", static_cast<int>(std::lround(percent)));
}

namespace {

void say(const ProgressText& status, const char* text) {
    if (status) status(text);
}

OlcScore path_score(const std::vector<GeoPosition>& geo, const ProjectedTrack& proj, const MatrixPath& path,
                    std::size_t slots) {
    OlcScore s;
    if (path.length < 0) return s;
    std::array<uint32_t, 5> idx{};
    for (std::size_t i = 0; i < slots; ++i) idx[i] = proj.position[path.point[i]];
    const PathResult r = finish_path(geo, idx, slots);
    s.found = true;
    s.index = r.index;
    s.legs = r.legs;
    s.total = r.total;
    return s;
}

OlcScore triangle_score(const std::vector<GeoPosition>& geo, const DistanceTables& t, const ProjectedTrack& proj,
                        const LoopCandidate& c, PolishRule rule, double factor) {
    OlcScore s;
    if (!c.found) return s;
    const uint32_t w = t.w(c.k, c.l);
    std::array<uint32_t, 5> idx{proj.position[w / 65536], proj.position[c.k], proj.position[c.m], proj.position[c.l],
                                proj.position[w % 65536]};
    const PolishOutcome p = polish(geo, idx, 5, rule, 0.0);
    if (p.found && p.score > 0) idx = p.index;
    s.found = true;
    s.index = idx;
    s.legs[0] = distance_or_zero(geo[idx[1]], geo[idx[2]]);
    s.legs[1] = distance_or_zero(geo[idx[2]], geo[idx[3]]);
    s.legs[2] = distance_or_zero(geo[idx[1]], geo[idx[3]]);
    s.legs[3] = distance_or_zero(geo[idx[0]], geo[idx[4]]);
    s.total = s.legs[0] + s.legs[1] + s.legs[2] - s.legs[3];
    s.points = s.total * factor;
    return s;
}

}  // namespace

int olc_search(const std::vector<TrackPosition>& positions, OlcResults& out, const ProgressText& status,
               const HaltToken& halt, OlcProgress* progress, unsigned threads) {
    out = OlcResults{};
    OlcResults res;
    say(status, "Computing distance matrix");
    const ProjectedTrack proj = project_track(positions);
    const std::size_t n = proj.points.size();
    if (progress) {
        progress->done = 0.0;
        progress->total = static_cast<double>(n) * (n + 1) / 2 * 0.00001;
    }
    DistanceTables tables;
    int rc = tables.build(proj.points, halt, threads, [&](std::size_t rows) {
        if (progress) progress->done = static_cast<double>(rows) * (n + 1) / 2 * 0.00001;
    });
    if (rc == kOptimiseHalted) {
        say(status, "Computation halted");
        return rc;
    }
    if (rc != 0) return rc;
    const std::vector<GeoPosition> geo = positions_in_radians(positions);

    say(status, "Max. distance search");
    if (halt.halted()) {
        say(status, "Max. distance search aborted");
        return kOptimiseHalted;
    }
    const std::array<MatrixPath, 4> paths = free_distances(tables);
    res.two = path_score(geo, proj, paths[0], 2);
    if (halt.halted()) {
        say(status, "Max. distance search aborted");
        return kOptimiseHalted;
    }
    res.free_distance = path_score(geo, proj, paths[3], 5);
    res.free_distance.points = res.free_distance.total * 0.0015;

    say(status, "Out-and-return search");
    bool halted = false;
    const LoopCandidate oar = search_olc_out_and_return(tables, kOlcOutAndReturnGap, halt, halted);
    if (halted) {
        say(status, "Out-and-return search aborted");
        return kOptimiseHalted;
    }
    if (oar.found) {
        std::array<uint32_t, 5> idx{proj.position[oar.k], proj.position[oar.m], proj.position[oar.l]};
        const PolishOutcome p = polish(geo, idx, 3, PolishRule::OlcOutAndReturn, kOlcOutAndReturnGap);
        if (p.found && p.score > 0) idx = p.index;
        OlcScore& s = res.out_and_return;
        s.found = true;
        s.index = idx;
        s.legs[0] = distance_or_zero(geo[idx[0]], geo[idx[1]]);
        s.legs[1] = distance_or_zero(geo[idx[1]], geo[idx[2]]);
        s.legs[2] = distance_or_zero(geo[idx[0]], geo[idx[2]]);
        s.total = s.legs[0] + s.legs[1];
    }

    say(status, "Triangle search");
    std::atomic<uint64_t> triples{0};
    if (progress) {
        progress->done = 0.0;
        progress->total = (static_cast<double>(n) - 1) * (static_cast<double>(n) - 2) * n * 1.6666666666666668e-7;
    }
    // Progress follows the worker's count of triples (one unit per million).
    std::atomic<bool> searching{true};
    std::thread ticker;
    if (progress) {
        try {
            ticker = std::thread([&] {
                while (searching) {
                    progress->done = static_cast<double>(triples.load()) * 1e-6;
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            });
        } catch (const std::system_error&) {
        }
    }
    const TriangleSearch tri = search_triangles(tables, ClosingRule::OneFifth, 0, threads, halt, &triples);
    searching = false;
    if (ticker.joinable()) ticker.join();
    if (tri.halted) {
        say(status, "Triangle search aborted");
        return kOptimiseHalted;
    }
    res.free_triangle = triangle_score(geo, tables, proj, tri.flat, PolishRule::OlcFlatTriangle, 0.00175);
    res.fai_triangle = triangle_score(geo, tables, proj, tri.fai, PolishRule::OlcFaiTriangle, 0.002);
    if (progress) progress->done = progress->total.load();

    say(status, "Optimization completed");
    res.best = choose_best(res.free_distance.points, res.free_triangle.points, res.fai_triangle.points);
    const OlcScore& best = res.best == OlcBest::FreeDistance   ? res.free_distance
                           : res.best == OlcBest::FreeTriangle ? res.free_triangle
                                                               : res.fai_triangle;
    res.olc_points = best.index;
    res.best_text = best_text(res.best, best.points);
    say(status, res.best_text.c_str());
    out = res;
    return 0;
}

OlcSession::~OlcSession() { stop(); }

void OlcSession::stop() {
    halt_ = true;
    if (worker_.joinable()) worker_.join();
}

int OlcSession::start(Reporter& r, std::vector<TrackPosition> positions, ProgressText status) {
    stop();
    if (positions.size() < 5) {
        r.error_box("Initialize OLC statistics", "Number of positions must be 5 or more");
        return -1;
    }
    positions_ = std::move(positions);
    halt_ = false;
    finished_ = false;
    try {
        worker_ = std::thread([this, status = std::move(status), &r] {
            const int rc = olc_search(positions_, results_, status, HaltToken(&halt_), &progress_);
            if (rc == kOptimiseNoMemory)
                r.error_box("Initialize OLC statistics dialog box", "Could not allocate memory for distance table");
            if (rc == 0) finished_ = true;
        });
    } catch (const std::system_error&) {
        r.error_box("Initialize OLC statistics dialog box", "Could not create optimisation thread");
        return -1;
    }
    return 0;
}

}  // namespace orlogix
