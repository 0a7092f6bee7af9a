#include "analysis/distance_tables.hpp"

#include <climits>
#include <cmath>
#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>

#include "analysis/loop_kernels.hpp"

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

int DistanceTables::build(const std::vector<PlanePoint>& points, const HaltToken& halt, unsigned threads,
                          const std::function<void(std::size_t)>& row_done) {
    n_ = points.size();
    const std::size_t n = n_;
    std::vector<double> xs, ys;
    try {
        d_.reset(new int32_t[n * n]);
        xs.resize(n);
        ys.resize(n);
        r_.assign(n, 0);
        c_.assign(n, 0);
        ra_.assign(n, 0);
        ca_.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = points[i].x;
        ys[i] = points[i].y;
    }
    if (threads == 0) threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    // Whole rows (both halves of the symmetric table), rows shared out between the threads.
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stopped{false};
    auto fill = [&] {
        while (true) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= n) return;
            if (halt.halted()) {
                stopped = true;
                return;
            }
            distance_row(xs.data(), ys.data(), i, n, &d_[i * n]);
            const std::size_t finished = done.fetch_add(1, std::memory_order_relaxed) + 1;
            (void)finished;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(fill);
        } catch (const std::system_error&) {
            break;  // the calling thread does the rest
        }
    }
    fill();
    for (std::thread& th : pool) th.join();
    if (stopped) return kOptimiseHalted;
    if (row_done) row_done(n);

    for (std::size_t i = 0; i < n; ++i) {
        const int32_t* di = &d_[i * n];
        // R(i): farthest later point, the first of equals; Ra(i) = i + 1 while none is above 0.
        int32_t best = 0;
        uint32_t at = static_cast<uint32_t>(i + 1 < n ? i + 1 : n - 1);
        for (std::size_t j = i + 1; j < n; ++j)
            if (di[j] > best) { best = di[j]; at = static_cast<uint32_t>(j); }
        r_[i] = best;
        ra_[i] = at;
        // C(i): farthest earlier point, the first of equals.
        best = 0;
        at = static_cast<uint32_t>(i > 0 ? i - 1 : 0);
        for (std::size_t j = 0; j < i; ++j)
            if (di[j] > best) { best = di[j]; at = static_cast<uint32_t>(j); }
        c_[i] = best;
        ca_[i] = at;
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
        colmax_.assign(cells, 0);
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
    blocks_ = (n + kBlock - 1) / kBlock;
    try {
        bmax_.assign(n * blocks_, 0);
        bmin_.assign(n * blocks_, 0);
        supers_ = (blocks_ + kBlocksPerSuper - 1) / kBlocksPerSuper;
        smax_.assign(n * supers_, 0);
        smin_.assign(n * supers_, 0);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    for (std::size_t i = 0; i < n; ++i) {
        int32_t* hi = &bmax_[i * blocks_];
        int32_t* lo = &bmin_[i * blocks_];
        block_extremes(row(i), n, hi, lo);
        for (std::size_t s = 0; s < supers_; ++s) {
            const std::size_t from = s * kBlocksPerSuper, to = std::min(blocks_, from + kBlocksPerSuper);
            smax_[i * supers_ + s] = *std::max_element(hi + from, hi + to);
            smin_[i * supers_ + s] = *std::min_element(lo + from, lo + to);
        }
    }
    // Column maxima: CM(k, l) = max D(m, l) over k < m < l, kept row by row like
    // G so that the pair loop of a search reads it in order.
    for (std::size_t k = n - 2; k-- > 0;) {
        if (halt.halted()) return kOptimiseHalted;
        const int32_t* next = row(k + 1);
        int32_t* out = &colmax_[upper(k, 0)];
        const int32_t* below = &colmax_[upper(k + 1, 0)];
        out[k + 2] = next[k + 2];
        for (std::size_t l = k + 3; l < n; ++l) out[l] = std::max(below[l], next[l]);
    }
    return 0;
}

}  // namespace orlogix
