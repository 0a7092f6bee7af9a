#include "analysis/optimise.hpp"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "analysis/distance_tables.hpp"
#include "analysis/free_distance.hpp"
#include "analysis/loop_search.hpp"
#include "analysis/polish.hpp"
#include "core/geodesy.hpp"
#include "core/report.hpp"

namespace orlogix {

std::vector<GeoPosition> positions_in_radians(const std::vector<TrackPosition>& positions) {
    std::vector<GeoPosition> geo;
    geo.reserve(positions.size());
    for (const TrackPosition& p : positions) geo.push_back(semicircles_to_radians(p.latitude, p.longitude));
    return geo;
}

PathResult finish_path(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& position_index,
                       std::size_t slots) {
    PathResult out;
    const PolishOutcome best = polish(geo, position_index, slots, PolishRule::FreeDistance, 0.0);
    for (std::size_t s = 0; s < slots; ++s) out.index[s] = best.index[s];
    for (std::size_t s = 0; s + 1 < slots; ++s) {
        out.legs[s] = distance_or_zero(geo[out.index[s]], geo[out.index[s + 1]]);
        out.total += out.legs[s];
    }
    return out;
}

namespace {

void say(const ProgressText& progress, const char* text) {
    if (progress) progress(text);
}

std::array<uint32_t, 5> to_positions(const ProjectedTrack& proj, const std::array<uint32_t, 5>& points,
                                     std::size_t slots) {
    std::array<uint32_t, 5> out{};
    for (std::size_t s = 0; s < slots; ++s) out[s] = proj.position[points[s]];
    return out;
}

void store_triangle(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& idx, TriangleResult& out) {
    out.start = idx[0];
    out.tp1 = idx[1];
    out.tp2 = idx[2];
    out.tp3 = idx[3];
    out.end = idx[4];
    out.sides[0] = distance_or_zero(geo[idx[1]], geo[idx[2]]);
    out.sides[1] = distance_or_zero(geo[idx[2]], geo[idx[3]]);
    out.sides[2] = distance_or_zero(geo[idx[1]], geo[idx[3]]);
    out.gap = distance_or_zero(geo[idx[0]], geo[idx[4]]);
    out.score = out.sides[0] + out.sides[1] + out.sides[2] - out.gap;
}

}  // namespace

// Triangle search result (TP1 = k, TP2 = m, TP3 = l, start/end from W) as position indices.
static std::array<uint32_t, 5> triangle_points(const DistanceTables& t, const ProjectedTrack& proj,
                                               const LoopCandidate& c) {
    const uint32_t w = t.w(c.k, c.l);
    return to_positions(proj, {w / 65536, c.k, c.m, c.l, w % 65536}, 5);
}

int optimise_track(const std::vector<TrackPosition>& positions, const OptimisationSettings& settings,
                   OptimisationResults& out, const ProgressText& progress, const HaltToken& halt) {
    const auto started = std::chrono::steady_clock::now();
    out = OptimisationResults{};
    // Filled privately and handed over only when complete, so a halted run leaves zeros.
    OptimisationResults results;
    say(progress, "Computing distance matrix");
    const ProjectedTrack proj = project_track(positions);
    DistanceTables tables;
    int rc = tables.build(proj.points, halt, settings.threads);
    if (rc != 0) return rc;
    const std::vector<GeoPosition> geo = positions_in_radians(positions);

    const uint32_t gap = settings.no_loop_opt ? 0 : settings.loop_flight_gap;
    // The out-and-return search reads only the tables: a second core runs it
    // while this one runs the free distances.
    LoopCandidate oar;
    bool oar_halted = false;
    auto out_and_return = [&] { oar = search_out_and_return(tables, gap, halt, oar_halted); };
    std::thread oar_worker;
    const unsigned cores = settings.threads != 0 ? settings.threads : std::min(2u, std::thread::hardware_concurrency());
    if (gap > 0 && cores > 1) {
        try {
            oar_worker = std::thread(out_and_return);
        } catch (const std::system_error&) {
        }
    }
    struct JoinOnExit {
        std::thread& t;
        ~JoinOnExit() {
            if (t.joinable()) t.join();
        }
    } join_on_exit{oar_worker};

    static const char* const kSteps[] = {"Computing greatest distance (2 points)",
                                         "Computing greatest distance (3 points)",
                                         "Computing greatest distance (4 points)",
                                         "Computing greatest distance (5 points)"};
    // The four searches share their passes over the table: done at once,
    // reported step by step.
    if (halt.halted()) return kOptimiseHalted;
    say(progress, kSteps[0]);
    const std::array<MatrixPath, 4> paths = free_distances(tables);
    PathResult* slots_out[] = {&results.two, &results.three, &results.four, &results.five};
    for (std::size_t s = 0; s < 4; ++s) {
        if (halt.halted()) return kOptimiseHalted;
        if (s > 0) say(progress, kSteps[s]);
        if (paths[s].length < 0) continue;
        *slots_out[s] = finish_path(geo, to_positions(proj, paths[s].point, s + 2), s + 2);
    }

    if (gap > 0) {
        if (halt.halted()) return kOptimiseHalted;
        say(progress, "Computing out-and-return distance");
        if (oar_worker.joinable()) oar_worker.join();
        else out_and_return();
        if (oar_halted) return kOptimiseHalted;
        if (oar.found) {
            std::array<uint32_t, 5> idx = to_positions(proj, {oar.k, oar.m, oar.l}, 3);
            const PolishOutcome p = polish(geo, idx, 3, PolishRule::OutAndReturn, gap);
            if (p.found && p.score > 0) idx = p.index;
            OutAndReturnResult& o = results.out_and_return;
            o.start = idx[0];
            o.turn = idx[1];
            o.end = idx[2];
            o.leg = distance_or_zero(geo[idx[0]], geo[idx[1]]);
            o.gap = distance_or_zero(geo[idx[0]], geo[idx[2]]);
            o.score = 2 * o.leg - o.gap;
        }

        if (halt.halted()) return kOptimiseHalted;
        say(progress, "Computing triangle distance");
        const TriangleSearch tri = search_triangles(tables, ClosingRule::GapLimit, gap, settings.threads, halt);
        if (tri.halted) return kOptimiseHalted;
        if (tri.flat.found) {
            std::array<uint32_t, 5> idx = triangle_points(tables, proj, tri.flat);
            const PolishOutcome p = polish(geo, idx, 5, PolishRule::FlatTriangle, gap);
            if (p.found && p.score > 0) idx = p.index;
            store_triangle(geo, idx, results.flat);
        }
        if (tri.fai.found) {
            std::array<uint32_t, 5> idx = triangle_points(tables, proj, tri.fai);
            const PolishOutcome p = polish(geo, idx, 5, PolishRule::FaiTriangle, gap);
            if (p.found && p.score > 0) idx = p.index;
            store_triangle(geo, idx, results.fai);
        }
    }

    out = results;
    if (progress) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
                            .count();
        progress(strformat("Computing completed (%d.%03d secs)", static_cast<int>(ms / 1000),
                           static_cast<int>(ms % 1000)));
    }
    return 0;
}

}  // namespace orlogix
