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

// The first j in [lo, hi) holding the greatest entry of the row, when that
// is above 0; whole blocks inside the range are judged by their maxima
// (block b's at block_max[b * stride]).
bool first_maximum(const int32_t* row, const int32_t* block_max, std::size_t stride, std::size_t lo, std::size_t hi,
                   int32_t& best, uint32_t& at) {
    if (lo >= hi) return false;
    const std::size_t b0 = (lo + kBlock - 1) / kBlock, b1 = hi / kBlock;  // whole blocks [b0, b1)
    int32_t top = INT32_MIN;
    if (b0 >= b1) {
        top = max_value(row, static_cast<uint32_t>(lo), static_cast<uint32_t>(hi));
    } else {
        top = max_value(row, static_cast<uint32_t>(lo), static_cast<uint32_t>(b0 * kBlock));
        for (std::size_t b = b0; b < b1; ++b) top = std::max(top, block_max[b * stride]);
        top = std::max(top, max_value(row, static_cast<uint32_t>(b1 * kBlock), static_cast<uint32_t>(hi)));
    }
    if (top <= 0) return false;
    std::size_t j = lo;
    while (j < hi && row[j] != top) {
        // Skip whole blocks that do not hold it.
        if (j % kBlock == 0 && j + kBlock <= hi && block_max[j / kBlock * stride] != top) {
            j += kBlock;
            continue;
        }
        ++j;
    }
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
    blocks_ = (n + kBlock - 1) / kBlock;
    const std::size_t nb = blocks_, wide = nb + 1;
    std::vector<double> xs, ys;
    try {
        xs.resize(n);
        ys.resize(n);
        r_.assign(n, 0);
        c_.assign(n, 0);
        ra_.assign(n, 0);
        ca_.assign(n, 0);
        // Every entry of these is written before it is read.
        tmax_ = std::make_unique_for_overwrite<int32_t[]>(nb * nb);
        tmin_ = std::make_unique_for_overwrite<int32_t[]>(nb * nb);
        corner_ = std::make_unique_for_overwrite<int32_t[]>(wide * wide);
        block_start_.resize(nb + 1);
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    // The block extremes are padded by a block, read (never used) by the
    // searches' whole-block steps; so is D.
    const std::size_t extremes = nb * n + kBlock;
    std::size_t cells = 0;
    for (std::size_t x = 0; x < nb; ++x) {
        block_start_[x] = cells;
        cells += (std::min(n, (x + 1) * kBlock) - x * kBlock) * block_stride(x);
    }
    block_start_[nb] = cells;
    if (!d_.allocate(cells + kBlock) || !sides_.allocate(2 * extremes)) return kOptimiseNoMemory;
    std::fill_n(d_.data() + cells, kBlock, 0);
    bmax_ = sides_.data();
    bmin_ = bmax_ + extremes;
    std::fill_n(bmax_ + nb * n, kBlock, 0);
    std::fill_n(bmin_ + nb * n, kBlock, 0);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = points[i].x;
        ys[i] = points[i].y;
    }
    // Blocks of rows shared out between the threads: each computes its rows
    // from its own block on (half the table; the pages of the other half are
    // never touched), so every distance is worked out once. A row's R (later
    // points) is known at once; C (earlier points) once all blocks are in. The
    // block extremes are kept a block at a time (all rows' extremes over block
    // b together), as the tables built from them read them; those of the
    // earlier points come from the columns.
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stopped{false};
    // Each worker keeps, for every point j, the greatest distance from an
    // earlier block it filled and the first such block (blocks reach a
    // worker in order): C comes from those once all are in.
    const unsigned workers = worker_count(threads);
    std::vector<std::vector<int32_t>> column_top(workers);
    std::vector<std::vector<uint32_t>> column_block(workers);
    try {
        for (unsigned w = 0; w < workers; ++w) {
            column_top[w].assign(n, 0);
            column_block[w].assign(n, UINT32_MAX);
        }
    } catch (const std::bad_alloc&) {
        return kOptimiseNoMemory;
    }
    auto fill = [&](unsigned worker) {
        const bool report = worker == 0;
        std::vector<int32_t> hi(nb), lo(nb);
        while (true) {
            const std::size_t block = next.fetch_add(1, std::memory_order_relaxed);
            if (block >= nb) return;
            if (halt.halted()) {
                stopped = true;
                return;
            }
            const std::size_t i0 = block * kBlock, i1 = std::min(n, i0 + kBlock);
            for (std::size_t i = i0; i < i1; ++i) {
                int32_t* di = row_out(i);
                distance_row(xs.data(), ys.data(), i, i0, n, di, hi.data(), lo.data());
                for (std::size_t b = block; b < nb; ++b) {
                    bmax_[b * n + i] = hi[b];
                    bmin_[b * n + i] = lo[b];
                }
                // Strictly greater replaces: ties keep the smallest index; nothing above 0 keeps the defaults.
                r_[i] = 0;
                ra_[i] = static_cast<uint32_t>(i + 1 < n ? i + 1 : n - 1);
                first_maximum(di, hi.data(), 1, i + 1, n, r_[i], ra_[i]);
            }
            column_extremes(row(i0), block_stride(block), i1 - i0, i1, n, bmax_ + block * n, bmin_ + block * n);
            raise_with_index(column_top[worker].data(), column_block[worker].data(), bmax_ + block * n,
                             static_cast<uint32_t>(block), i1, n);
            const std::size_t rows = done.fetch_add(i1 - i0, std::memory_order_relaxed) + (i1 - i0);
            // Progress goes out from the calling thread only.
            if (report && row_done) row_done(rows);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < workers; ++t) {
        try {
            pool.emplace_back(fill, t);
        } catch (const std::system_error&) {
            break;  // the calling thread does the rest
        }
    }
    fill(0);
    for (std::thread& th : pool) th.join();
    if (stopped) return kOptimiseHalted;
    longest_ = n > 0 ? *std::max_element(r_.begin(), r_.end()) : 0;  // R: each row's greatest to later points
    for (std::size_t j = 0; j < n; ++j) {
        c_[j] = 0;
        ca_[j] = static_cast<uint32_t>(j > 0 ? j - 1 : 0);
        // The greatest of the workers' columns, the first block on a tie.
        int32_t top = 0;
        uint32_t block = UINT32_MAX;
        for (unsigned w = 0; w < workers; ++w) {
            const int32_t v = column_top[w][j];
            if (v > top || (v == top && v > 0 && column_block[w][j] < block)) {
                top = v;
                block = column_block[w][j];
            }
        }
        column_first_maximum(j, top, block);
    }
    // Tile extremes over the rows of block x, then the corners of G:
    // corner(x + 1, y) adds the tiles of block x from block y on to corner(x, y).
    // (Tiles are symmetric: the blocks of all rows' extremes over block y give row y.)
    for (std::size_t y = 0; y < nb; ++y) block_extremes(&bmax_[y * n], &bmin_[y * n], n, &tmax_[y * nb], &tmin_[y * nb]);
    std::fill_n(&corner_[0], wide, INT32_MAX);
    for (std::size_t x = 0; x < nb; ++x) {
        int32_t run = INT32_MAX;
        corner_[(x + 1) * wide + nb] = INT32_MAX;
        for (std::size_t y = nb; y-- > 0;) {
            run = std::min(run, tmin_[x * nb + y]);
            corner_[(x + 1) * wide + y] = std::min(corner_[x * wide + y], run);
        }
    }
    if (row_done) row_done(n);
    return 0;
}

void DistanceTables::column_first_maximum(std::size_t j, int32_t top, uint32_t block) {
    // Strictly greater replaces: ties keep the smallest index; nothing above 0
    // keeps the defaults. top and block: the greatest over the earlier blocks
    // and the first block that holds it; j's own block comes last.
    const std::size_t j0 = j / kBlock * kBlock;
    const int32_t* own = row(j);  // the earlier points of j's own block
    int32_t own_top = 0;
    for (std::size_t i = j0; i < j; ++i) own_top = std::max(own_top, own[i]);
    std::size_t i;
    if (top > 0 && top >= own_top) {
        i = std::size_t{block} * kBlock;
        while (d(i, j) != top) ++i;
    } else if (own_top > 0) {
        top = own_top;
        i = j0;
        while (own[i] != top) ++i;
    } else {
        return;
    }
    c_[j] = top;
    ca_[j] = static_cast<uint32_t>(i);
}

void DistanceTables::gaps(std::size_t x, std::size_t y, int32_t* out) const {
    const std::size_t n = n_, wide = blocks_ + 1;
    const std::size_t k0 = x * kBlock, k1 = std::min(n, k0 + kBlock);
    const std::size_t l0 = y * kBlock, l1 = std::min(n, l0 + kBlock);
    // Column l starts from the pairs before block x: a < k0 with b >= l,
    // those with b in block y from the block minima of the columns b.
    int32_t before[kBlock], after[kBlock];
    column_minima(bmin_, n, 0, x, l0, before);
    column_minima(bmin_, n, y + 1, blocks_, k0, after);
    int32_t col[kBlock];
    int32_t run = corner_[x * wide + y + 1];
    for (std::size_t l = l1; l-- > l0;) {
        run = std::min(run, before[l - l0]);
        col[l - l0] = run;
    }
    // Then each row a of block x adds min D(a, b) over b >= l: those after
    // block y from the block minima of the row.
    for (std::size_t a = k0; a < k1; ++a) {
        const int32_t* da = row(a);
        int32_t* o = out + (a - k0) * kBlock;
        int32_t tail = after[a - k0];
        for (std::size_t l = l1; l-- > l0;) {
            tail = std::min(tail, da[l]);
            col[l - l0] = std::min(col[l - l0], tail);
            o[l - l0] = col[l - l0];
        }
    }
}

int32_t DistanceTables::g(std::size_t k, std::size_t l) const {
    int32_t cells[kBlock * kBlock];
    gaps(k / kBlock, l / kBlock, cells);
    return cells[(k % kBlock) * kBlock + l % kBlock];
}

uint32_t DistanceTables::w(std::size_t k, std::size_t l) const {
    // Filling G row by row, each from the right, keeps the pair of the
    // column to the right on a tie, then D(k, l), then the row above. So of
    // the pairs that give v = G(k, l), the one kept has the last column b
    // whose best start a <= k reaches v, and in it the last such start.
    const std::size_t x = k / kBlock;
    const int32_t v = g(k, l);
    for (std::size_t b = n_; b-- > l;) {
        int32_t least = INT32_MAX;  // starts before block x, from the block minima
        for (std::size_t z = 0; z < x; ++z) least = std::min(least, bmin_[z * n_ + b]);
        for (std::size_t a = x * kBlock; a <= k; ++a) least = std::min(least, d(a, b));
        if (least != v) continue;
        std::size_t a = k;
        while (d(a, b) != v) --a;
        return static_cast<uint32_t>(a * 65536 + b);
    }
    return 0;
}

}  // namespace orlogix
