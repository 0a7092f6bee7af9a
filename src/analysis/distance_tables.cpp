#include "analysis/distance_tables.hpp"

#include <climits>
#include <cmath>
#include <new>

namespace orlogix {

std::vector<uint32_t> sample_indices(std::size_t count) {
    std::vector<uint32_t> taken;
    if (count <= kMaxProjectedPoints) {
        taken.resize(count);
        for (std::size_t i = 0; i < count; ++i) taken[i] = static_cast<uint32_t>(i);
        return taken;
    }
    // Bresenham-like accumulator: takes exactly 2000, the first and the last among them.
    taken.reserve(kMaxProjectedPoints);
    std::size_t acc = count;
    for (std::size_t i = 0; i < count; ++i) {
        acc += kMaxProjectedPoints - 1;
        if (acc >= count) {
            taken.push_back(static_cast<uint32_t>(i));
            acc -= count;
        }
    }
    return taken;
}

ProjectedTrack project_track(const std::vector<TrackPosition>& positions) {
    ProjectedTrack out;
    if (positions.empty()) return out;
    int32_t lo = positions[0].longitude, hi = lo;
    for (const TrackPosition& p : positions) {
        if (p.longitude < lo) lo = p.longitude;
        if (p.longitude > hi) hi = p.longitude;
    }
    const double lon0 = (semicircle_to_radians(lo) + semicircle_to_radians(hi)) / 2.0;
    out.position = sample_indices(positions.size());
    out.points.reserve(out.position.size());
    for (uint32_t i : out.position) {
        const TrackPosition& p = positions[i];
        out.points.push_back(tm_project(semicircles_to_radians(p.latitude, p.longitude), lon0));
    }
    return out;
}

int DistanceTables::build(const std::vector<PlanePoint>& points, const HaltToken& halt,
                          const std::function<void(std::size_t)>& row_done) {
    n_ = points.size();
    try {
        d_.assign(n_ * n_, 0);
        r_.assign(n_, 0);
        c_.assign(n_, 0);
        ra_.assign(n_, 0);
        ca_.assign(n_, 0);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    for (std::size_t i = 0; i < n_; ++i) {
        ra_[i] = static_cast<uint32_t>(i + 1 < n_ ? i + 1 : n_ - 1);
        ca_[i] = static_cast<uint32_t>(i > 0 ? i - 1 : 0);
    }
    for (std::size_t i = 0; i < n_; ++i) {
        if (halt.halted()) return kOptimiseHalted;
        int32_t* di = &d_[i * n_];
        for (std::size_t j = i + 1; j < n_; ++j) {
            const double dx = points[j].x - points[i].x;
            const double dy = points[j].y - points[i].y;
            const int32_t v = static_cast<int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
            di[j] = v;
            d_[j * n_ + i] = v;
            // Strictly greater: ties keep the smallest index.
            if (v > r_[i]) { r_[i] = v; ra_[i] = static_cast<uint32_t>(j); }
            if (v > c_[j]) { c_[j] = v; ca_[j] = static_cast<uint32_t>(i); }
        }
        if (row_done) row_done(i + 1);
    }
    return 0;
}

int DistanceTables::build_gaps(const HaltToken& halt) {
    const std::size_t n = n_;
    try {
        row_start_.assign(n, 0);
        for (std::size_t k = 0; k < n; ++k) row_start_[k] = k * n - k * (k + 1) / 2;
        const std::size_t cells = n * (n + 1) / 2;
        g_.assign(cells, 0);
        w_.assign(cells, 0);
        colmax_.assign(n > 1 ? n * (n - 1) / 2 : 0, 0);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    if (n < 2) return 0;
    // Row 0: running minimum from the right.
    {
        int32_t run = INT32_MAX;
        uint32_t pair = 0;
        for (std::size_t l = n - 1; l >= 1; --l) {
            if (d(0, l) < run) { run = d(0, l); pair = static_cast<uint32_t>(l); }
            g_[upper(0, l)] = run;
            w_[upper(0, l)] = pair;
        }
    }
    for (std::size_t k = 1; k + 2 <= n; ++k) {
        if (halt.halted()) return kOptimiseHalted;
        int32_t run = INT32_MAX;
        uint32_t pair = 0;
        for (std::size_t l = n - 1; l >= k + 1; --l) {
            const int32_t dk = d(k, l);
            if (dk < run) { run = dk; pair = static_cast<uint32_t>(k * 65536 + l); }
            const int32_t up = g_[upper(k - 1, l)];
            if (up < run) { run = up; pair = w_[upper(k - 1, l)]; }
            g_[upper(k, l)] = run;
            w_[upper(k, l)] = pair;
        }
    }
    // Column maxima above each l, read by the pruning bound of the loop searches.
    for (std::size_t l = 1; l < n; ++l) {
        if (halt.halted()) return kOptimiseHalted;
        const int32_t* dl = row(l);
        int32_t run = INT32_MIN;
        for (std::size_t m = l; m-- > 0;) {
            if (dl[m] > run) run = dl[m];
            colmax_[lower(l, m)] = run;
        }
    }
    return 0;
}

}  // namespace orlogix
