#include "analysis/distance_tables.hpp"

#include <climits>
#include <cmath>
#include <algorithm>
#include <atomic>
#include <functional>
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

namespace {

// First j in [lo, hi) holding the row's maximum, when that maximum is above 0.
bool first_maximum(const int32_t* row, std::size_t lo, std::size_t hi, int32_t& best, uint32_t& at) {
    if (lo >= hi) return false;
    const int32_t top = max_value(row, static_cast<uint32_t>(lo), static_cast<uint32_t>(hi));
    if (top <= 0) return false;
    std::size_t j = lo;
    while (row[j] != top) ++j;
    best = top;
    at = static_cast<uint32_t>(j);
    return true;
}

unsigned worker_count(unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    return threads;
}

}  // namespace

int DistanceTables::build(const std::vector<PlanePoint>& points, const HaltToken& halt, unsigned threads,
                          const std::function<void(std::size_t)>& row_done) {
    n_ = points.size();
    const std::size_t n = n_;
    std::vector<double> xs, ys;
    try {
        xs.resize(n);
        ys.resize(n);
        r_.assign(n, 0);
        c_.assign(n, 0);
        ra_.assign(n, 0);
        ca_.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    // Rows of the bound tables are padded to whole groups of eight, so that
    // the bound tests always read eight entries; the padding holds zeros.
    const std::size_t real_blocks = (n + kBlock - 1) / kBlock;
    supers_ = (real_blocks + kBlocksPerSuper - 1) / kBlocksPerSuper;
    blocks_ = supers_ * kBlocksPerSuper;
    super_stride_ = (supers_ + 7) / 8 * 8;
    bmax_.reset(new (std::nothrow) int32_t[n * blocks_]);
    bmin_.reset(new (std::nothrow) int32_t[n * blocks_]);
    smax_.reset(new (std::nothrow) int32_t[n * super_stride_]);
    smin_.reset(new (std::nothrow) int32_t[n * super_stride_]);
    if (!bmax_ || !bmin_ || !smax_ || !smin_ || !d_.allocate(n * n)) return kOptimiseNoMemory;
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = points[i].x;
        ys[i] = points[i].y;
    }
    // Whole rows (both halves of the symmetric table), shared out between the
    // threads; each row also gives its R (later points) and C (earlier points).
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stopped{false};
    auto fill = [&](bool report) {
        while (true) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= n) return;
            if (halt.halted()) {
                stopped = true;
                return;
            }
            int32_t* di = &d_[i * n];
            distance_row(xs.data(), ys.data(), i, n, di);
            // Strictly greater replaces: ties keep the smallest index; nothing above 0 keeps the defaults.
            r_[i] = 0;
            ra_[i] = static_cast<uint32_t>(i + 1 < n ? i + 1 : n - 1);
            first_maximum(di, i + 1, n, r_[i], ra_[i]);
            c_[i] = 0;
            ca_[i] = static_cast<uint32_t>(i > 0 ? i - 1 : 0);
            first_maximum(di, 0, i, c_[i], ca_[i]);
            // The row's block and super-block extremes while it is still in the cache.
            int32_t* hi = &bmax_[i * blocks_];
            int32_t* lo = &bmin_[i * blocks_];
            block_extremes(di, n, hi, lo);
            std::fill(hi + real_blocks, hi + blocks_, 0);
            std::fill(lo + real_blocks, lo + blocks_, 0);
            for (std::size_t s = 0; s < super_stride_; ++s) {
                const std::size_t from = s * kBlocksPerSuper, to = std::min(real_blocks, from + kBlocksPerSuper);
                smax_[i * super_stride_ + s] = from < to ? *std::max_element(hi + from, hi + to) : 0;
                smin_[i * super_stride_ + s] = from < to ? *std::min_element(lo + from, lo + to) : 0;
            }
            const std::size_t rows = done.fetch_add(1, std::memory_order_relaxed) + 1;
            // Progress goes out from the calling thread only.
            if (report && row_done && rows % 64 == 0) row_done(rows);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < worker_count(threads); ++t) {
        try {
            pool.emplace_back(fill, false);
        } catch (const std::system_error&) {
            break;  // the calling thread does the rest
        }
    }
    fill(true);
    for (std::thread& th : pool) th.join();
    if (stopped) return kOptimiseHalted;
    longest_ = n > 0 ? *std::max_element(r_.begin(), r_.end()) : 0;  // R: each row's greatest to later points
    if (row_done) row_done(n);
    return 0;
}

namespace {

// Runs a and b side by side when threads allow it, else one after the other.
template <typename A, typename B>
void side_by_side(unsigned threads, A&& a, B&& b) {
    std::thread helper;
    if (worker_count(threads) > 1) {
        try {
            helper = std::thread(std::ref(b));
        } catch (const std::system_error&) {
        }
    }
    a();
    if (helper.joinable()) helper.join();
    else b();
}

}  // namespace

int DistanceTables::build_gaps(const HaltToken& halt, unsigned threads, uint32_t gap_limit) {
    const std::size_t n = n_;
    // Room for whole rows; a limited build writes only the front of it, and
    // the pages it does not reach are never touched.
    const std::size_t most_cells = 1 + n * (n + 1) / 2;
    const std::size_t real_blocks = (n + kBlock - 1) / kBlock;
    std::vector<int32_t> scratch;
    try {
        row_start_.assign(n, 0);
        gap_end_.assign(n, n);
        pbmax_.assign(blocks_ * blocks_, 0);
        pbmin_.assign(blocks_ * blocks_, 0);
        scratch.assign(n, INT32_MAX);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    if (!g_.allocate(most_cells) || !colmax_.allocate(most_cells)) return kOptimiseNoMemory;
    std::atomic<bool> stopped{false};
    // G row by row from the top, each row from the right: the running value,
    // D(k, l), then G(k-1, l) (none above row 0). The rows are worked out
    // whole in `scratch`; what is kept of row k, l from k + 1 to gap_end(k),
    // follows the kept part of row k - 1, so the offsets are known as G is.
    auto gaps = [&] {
        std::size_t offset = 1;  // keeps upper(k, l) >= 0 for every kept cell
        for (std::size_t k = 0; k < n; ++k) {
            if (halt.halted()) {
                stopped = true;
                return;
            }
            row_start_[k] = offset - (k + 1);
            if (k + 2 > n) break;  // the last row keeps nothing
            const int32_t* dk = row(k);
            int32_t run = INT32_MAX;
            for (std::size_t l = n - 1; l >= k + 1; --l) {
                run = std::min(run, std::min(dk[l], scratch[l]));
                scratch[l] = run;
            }
            // G never falls as l grows, so the ends below the limit are a run from k + 2.
            if (gap_limit > 0)
                gap_end_[k] = static_cast<std::size_t>(
                    std::partition_point(scratch.begin() + static_cast<std::ptrdiff_t>(k + 2), scratch.end(),
                                         [gap_limit](int32_t g) { return int64_t{g} < int64_t{gap_limit}; }) -
                    scratch.begin());
            std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(k + 1),
                      scratch.begin() + static_cast<std::ptrdiff_t>(gap_end_[k]), &g_[offset]);
            offset += gap_end_[k] - (k + 1);
        }
    };
    // Extremes of D over a block of ends times a block of turn points.
    auto pair_blocks = [&] {
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t lb = i / kBlock;
            for (std::size_t mb = 0; mb < real_blocks; ++mb) {
                int32_t& hi = pbmax_[lb * blocks_ + mb];
                int32_t& lo = pbmin_[lb * blocks_ + mb];
                const int32_t bh = bmax_[i * blocks_ + mb], bl = bmin_[i * blocks_ + mb];
                if (i % kBlock == 0 || bh > hi) hi = bh;
                if (i % kBlock == 0 || bl < lo) lo = bl;
            }
        }
    };
    side_by_side(threads, gaps, pair_blocks);
    if (stopped) return kOptimiseHalted;
    if (n < 3) return 0;

    // CM(k, l) = max D(m, l) over k < m < l, kept over the same cells as G
    // (l from k + 2) so that the pair loop of a search reads it in order.
    // Row k comes from row k + 1, column by column; gap_end never falls
    // from one row to the next, so the cells a row needs below are kept.
    // The columns are split between the threads at the half of the cells.
    std::vector<std::size_t> per_column(n + 1, 0);
    for (std::size_t k = 0; k + 2 < n; ++k) {
        ++per_column[k + 2];
        --per_column[gap_end_[k]];  // unsigned wrap-around cancels in the running sum
    }
    std::size_t total = 0;
    for (std::size_t k = 0; k + 2 < n; ++k) total += gap_end_[k] - (k + 2);
    std::size_t split = n, seen = 0, open = 0;
    for (std::size_t l = 0; l < n && split == n; ++l) {
        open += per_column[l];
        seen += open;
        if (2 * seen >= total) split = l + 1;
    }
    auto columns = [&](std::size_t from_column, std::size_t to_column) {
        for (std::size_t k = n - 2; k-- > 0;) {
            if (halt.halted()) {
                stopped = true;
                return;
            }
            const int32_t* next = row(k + 1);
            int32_t* out = &colmax_[upper(k, 0)];
            const int32_t* below = &colmax_[upper(k + 1, 0)];
            std::size_t l = std::max(from_column, k + 2);
            const std::size_t end = std::min(to_column, gap_end_[k]);
            if (l == k + 2 && l < end) {
                out[l] = next[l];
                ++l;
            }
            for (; l < end; ++l) out[l] = std::max(below[l], next[l]);
        }
    };
    side_by_side(threads, [&] { columns(0, split); }, [&] { columns(split, n); });
    if (stopped) return kOptimiseHalted;
    return 0;
}

uint32_t DistanceTables::w(std::size_t k, std::size_t l) const {
    // G(k, l) depends only on rows 0..k and columns l..n-1, so the recurrence
    // is run again over that corner, this time carrying the pairs: first the
    // running value, then D(r, c), then the row above, strictly smaller replacing.
    const std::size_t n = n_, width = n - l;
    std::vector<int32_t> g(width), g_next(width);
    std::vector<uint32_t> w(width), w_next(width);
    int32_t run = INT32_MAX;
    uint32_t pair = 0;
    for (std::size_t c = n; c-- > l;) {
        if (d(0, c) < run) { run = d(0, c); pair = static_cast<uint32_t>(c); }
        g[c - l] = run;
        w[c - l] = pair;
    }
    for (std::size_t r = 1; r <= k; ++r) {
        run = INT32_MAX;
        pair = 0;
        for (std::size_t c = n; c-- > l;) {
            if (d(r, c) < run) { run = d(r, c); pair = static_cast<uint32_t>(r * 65536 + c); }
            if (g[c - l] < run) { run = g[c - l]; pair = w[c - l]; }
            g_next[c - l] = run;
            w_next[c - l] = pair;
        }
        g.swap(g_next);
        w.swap(w_next);
    }
    return w[0];
}

}  // namespace orlogix
