#include "analysis/loop_search.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <thread>
#include <tuple>
#include <vector>

#include "analysis/loop_kernels.hpp"

namespace orlogix {

namespace {

// Greater score, or the same score later in the loop order (k, l, m).
bool beats(int64_t score, uint32_t k, uint32_t l, uint32_t m, const LoopCandidate& best) {
    if (!best.found) return true;
    if (score != best.score) return score > best.score;
    return std::tie(k, l, m) > std::tie(best.k, best.l, best.m);
}

void take(LoopCandidate& best, int64_t score, uint32_t k, uint32_t l, uint32_t m) {
    best.found = true;
    best.score = score;
    best.k = k;
    best.l = l;
    best.m = m;
}

uint32_t last_fai(const int32_t* a, const int32_t* b, int32_t d, uint32_t lo, uint32_t hi, int32_t p) {
    const int32_t least = static_cast<int32_t>(static_cast<uint32_t>(p) * 7u / 25u);
    for (uint32_t m = hi; m-- > lo;)
        if (a[m] + b[m] + d == p && a[m] >= least && b[m] >= least && d >= least) return m;
    return lo;
}

// The largest perimeter a triangle whose shortest side may be `side` can have
// and still give every side 7/25 of it: side >= P*7/25 (integer) means P <= (25 side + 24) / 7.
int64_t fai_perimeter_cap(int64_t side) { return (25 * side + 24) / 7; }

struct SharedFloor {
    std::atomic<int64_t> flat{-1};
    std::atomic<int64_t> fai{-1};
    static void raise(std::atomic<int64_t>& f, int64_t v) {
        int64_t cur = f.load(std::memory_order_relaxed);
        while (v > cur && !f.compare_exchange_weak(cur, v, std::memory_order_relaxed)) {
        }
    }
};

class TriangleWorker {
public:
    TriangleWorker(const DistanceTables& t, ClosingRule rule, uint32_t gap, SharedFloor& floor)
        : t_(t), rule_(rule), gap_(gap), floor_(floor), prefix_(t.size(), 0), keep_(t.size(), 0) {}

    // Every pair (k, l) of one first turn point k, l in steps of `stride` from k + 2.
    void first_turn_point(uint32_t k, uint32_t stride) {
        uint32_t n = static_cast<uint32_t>(t_.size());
        const int32_t* dk = t_.row(k);
        if (rule_ == ClosingRule::GapLimit) {
            // G(k, l) never falls as l grows (fewer ends to choose from), so the
            // ends that close within the gap form a run from k + 2, no longer
            // than the tables keep.
            if (k + 2 < n) {
                const int32_t* gk = t_.g_row(k);
                n = static_cast<uint32_t>(std::partition_point(gk + k + 2, gk + t_.gap_end(k), [this](int32_t g) {
                                              return int64_t{g} < int64_t{gap_};
                                          }) - gk);
            }
        }
        // prefix_[l] = max D(k, m) over k < m < l.
        int32_t run = -1;
        for (uint32_t l = k + 1; l < n; ++l) {
            prefix_[l] = run;
            if (dk[l] > run) run = dk[l];
        }
        if (k + 2 >= n) return;
        // Most pairs fall below the best so far on their bound alone; that
        // test runs for the whole row at once with the floors as they stand
        // now. Floors only rise, so a pair left out here would fail pair()'s
        // own test too.
        const int64_t flat_floor = std::max(flat.score, floor_.flat.load(std::memory_order_relaxed));
        const int64_t fai_floor = std::max(fai.score, floor_.fai.load(std::memory_order_relaxed));
        // Scores are perimeters less a gap: below 3 x the longest distance.
        if (t_.longest() < kNarrowDistance)
            triangle_pair_bounds_narrow(prefix_.data(), t_.column_max_row(k), dk, t_.g_row(k), k + 2, n,
                                        static_cast<int32_t>(flat_floor), static_cast<int32_t>(fai_floor),
                                        keep_.data());
        else
            triangle_pair_bounds(prefix_.data(), t_.column_max_row(k), dk, t_.g_row(k), k + 2, n, flat_floor,
                                 fai_floor, keep_.data());
        uint32_t checked_block = UINT32_MAX;
        for (uint32_t l = k + 2; l < n; l += stride) {
            if (stride == 1 && l + 8 <= n) {
                // Eight ends at once: most rows keep hardly any.
                uint64_t eight;
                std::memcpy(&eight, &keep_[l], sizeof eight);
                if (eight == 0) {
                    l += 7;
                    continue;
                }
            }
            if (!keep_[l]) continue;
            const uint32_t lb = l / kBlock;
            if (lb != checked_block) {
                checked_block = lb;
                fai_block_ = fai_in_end_block(k, l, lb);
                flat_block_ = flat_in_end_block(k, l, lb);
            }
            pair(k, l, dk);
        }
    }

    LoopCandidate flat, fai;

private:
    // Whether any end from l to the end of block lb can give an FAI triangle
    // above the best so far; lets whole blocks of ends skip the FAI tests.
    bool fai_in_end_block(uint32_t k, uint32_t l, uint32_t lb) const {
        const int64_t fai_floor = std::max(fai.score, floor_.fai.load(std::memory_order_relaxed));
        const int64_t g = t_.g(k, l);  // the smallest gap of the block: G grows with l
        const int32_t dmax = t_.block_max(k)[lb], dmin = t_.block_min(k)[lb];
        int64_t need = fai_floor + g - dmax;
        if (rule_ == ClosingRule::OneFifth) need = std::max(need, 5 * g - dmax + 1);
        need = std::clamp<int64_t>(need, -1, INT32_MAX);
        return fai_possible(t_.block_max(k), t_.block_min(k), t_.pair_block_max(lb), t_.pair_block_min(lb),
                            (k + 1) / kBlock, lb, static_cast<int32_t>(need), dmin, dmax);
    }

    // The same for any triangle at all.
    bool flat_in_end_block(uint32_t k, uint32_t l, uint32_t lb) const {
        const int64_t flat_floor = std::max(flat.score, floor_.flat.load(std::memory_order_relaxed));
        const int64_t g = t_.g(k, l);
        const int32_t dmax = t_.block_max(k)[lb];
        int64_t need = flat_floor + g - dmax;
        if (rule_ == ClosingRule::OneFifth) need = std::max(need, 5 * g - dmax + 1);
        need = std::clamp<int64_t>(need, -1, INT32_MAX);
        return sum_possible(t_.block_max(k), t_.pair_block_max(lb), (k + 1) / kBlock, lb, static_cast<int32_t>(need));
    }

    void pair(uint32_t k, uint32_t l, const int32_t* dk) {
        const int64_t g = t_.g(k, l);
        if (rule_ == ClosingRule::GapLimit && g >= int64_t{gap_}) return;
        const int64_t d = dk[l];
        const int64_t a = prefix_[l];
        const int64_t b = t_.column_max_after(k, l);
        const int64_t most = a + b + d;
        if (rule_ == ClosingRule::OneFifth && most <= 5 * g) return;

        const int64_t flat_floor = std::max(flat.score, floor_.flat.load(std::memory_order_relaxed));
        const int64_t fai_floor = std::max(fai.score, floor_.fai.load(std::memory_order_relaxed));
        const int64_t fai_most =
            std::min({most, fai_perimeter_cap(d), fai_perimeter_cap(a), fai_perimeter_cap(b)});
        // Skip only when the bound is strictly below the best: an equal score
        // later in the loop order still wins.
        const bool try_flat = flat_block_ && most - g >= flat_floor;
        const bool try_fai = fai_block_ && fai_most - g >= fai_floor;
        if (!try_flat && !try_fai) return;

        const int32_t* dl = t_.row(l);
        const uint32_t lo = k + 1, hi = l;
        const uint32_t first_block = lo / kBlock, last_block = (hi - 1) / kBlock;
        // Sums a + b a turn point must reach for its triangle not to fall below the best.
        int64_t need_flat = flat_floor + g - d;
        int64_t need_fai = fai_floor + g - d;
        if (rule_ == ClosingRule::OneFifth) {
            need_flat = std::max(need_flat, 5 * g - d + 1);
            need_fai = std::max(need_fai, 5 * g - d + 1);
        }
        auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -1, INT32_MAX)); };
        const BlockNeeds needs{try_flat ? clamp(need_flat) : INT32_MAX, try_fai ? clamp(need_fai) : INT32_MAX,
                               static_cast<int32_t>(d)};
        // Super-blocks first (eight at a time), then the blocks inside those
        // that may hold a candidate.
        const uint32_t first_super = first_block / kBlocksPerSuper, last_super = last_block / kBlocksPerSuper;
        int32_t best_sum = -1, best_p = -1;
        uint32_t sum_at = 0, p_at = 0;
        for (uint32_t group = first_super / 8; group <= last_super / 8; ++group) {
            const uint32_t base = group * 8;
            const uint32_t fs = std::max(first_super, base) - base, ls = std::min(last_super, base + 7) - base;
            if (flag_blocks8(t_.super_max(k) + base, t_.super_min(k) + base, t_.super_max(l) + base,
                             t_.super_min(l) + base, fs, ls, needs, super_flags_) == 0)
                continue;
            for (uint32_t s8 = fs; s8 <= ls; ++s8) {
                const int32_t sf = super_flags_[s8];
                if (sf == 0) continue;
                const uint32_t bbase = (base + s8) * kBlocksPerSuper;
                const uint32_t fb = std::max(first_block, bbase) - bbase;
                const uint32_t lb = std::min(last_block, bbase + 7) - bbase;
                if (flag_blocks8(t_.block_max(k) + bbase, t_.block_min(k) + bbase, t_.block_max(l) + bbase,
                                 t_.block_min(l) + bbase, fb, lb, needs, flags_) == 0)
                    continue;
                for (uint32_t b8 = fb; b8 <= lb; ++b8) {
                    const int32_t f = flags_[b8] & sf;
                    if (f == 0) continue;
                    const uint32_t blk = bbase + b8;
                    const uint32_t from = std::max<uint32_t>(lo, blk * kBlock);
                    const uint32_t to = std::min<uint32_t>(hi, blk * kBlock + kBlock);
                    if (f & 1) {
                        const int32_t s = max_pair_sum(dk, dl, from, to);
                        if (s >= best_sum) {  // a later block wins a tie
                            best_sum = s;
                            sum_at = last_pair_sum(dk, dl, from, to, s);
                        }
                    }
                    if (f & 2) {
                        const int32_t p = max_fai_perimeter(dk, dl, static_cast<int32_t>(d), from, to);
                        if (p >= 0 && p >= best_p) {
                            best_p = p;
                            p_at = last_fai(dk, dl, static_cast<int32_t>(d), from, to, p);
                        }
                    }
                }
            }
        }
        // Blocks left out lie strictly below the need, so a maximum at or
        // above it is the maximum of the whole range.
        if (try_flat && best_sum >= 0 && best_sum >= need_flat) {
            const int64_t s = best_sum + d - g;
            if (beats(s, k, l, sum_at, flat)) {
                take(flat, s, k, l, sum_at);
                SharedFloor::raise(floor_.flat, s);
            }
        }
        if (try_fai && best_p >= 0 && best_p - d >= need_fai) {
            const int64_t s = best_p - g;
            if (beats(s, k, l, p_at, fai)) {
                take(fai, s, k, l, p_at);
                SharedFloor::raise(floor_.fai, s);
            }
        }
    }

    const DistanceTables& t_;
    ClosingRule rule_;
    uint32_t gap_;
    SharedFloor& floor_;
    std::vector<int32_t> prefix_;
    std::vector<uint8_t> keep_;
    bool fai_block_ = true;
    bool flat_block_ = true;
    int32_t flags_[8] = {};
    int32_t super_flags_[8] = {};
};

void merge(LoopCandidate& into, const LoopCandidate& from) {
    if (from.found && beats(from.score, from.k, from.l, from.m, into)) into = from;
}

}  // namespace

LoopCandidate search_out_and_return(const DistanceTables& t, uint32_t gap, const HaltToken& halt, bool& halted) {
    LoopCandidate best;
    halted = false;
    const std::size_t n = t.size();
    int64_t best_score = -1000000000;
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        if (halt.halted()) {
            halted = true;
            return LoopCandidate{};
        }
        const int32_t* di = t.row(i);
        const int32_t* bmax = t.block_max(i);
        const int32_t* bmin = t.block_min(i);
        // For a fixed start the best turn point of every end is the last
        // farthest point before it, carried along as the end moves on.
        int64_t far = -1;
        uint32_t far_at = 0;
        auto step = [&](std::size_t from, std::size_t to) {
            for (std::size_t j = from; j < to; ++j) {
                if (j >= i + 2 && int64_t{di[j]} < int64_t{gap}) {
                    const int64_t s = 2 * far - di[j];
                    if (s >= best_score) {
                        best_score = s;
                        take(best, s, static_cast<uint32_t>(i), static_cast<uint32_t>(j), far_at);
                    }
                }
                if (di[j] >= far) {
                    far = di[j];
                    far_at = static_cast<uint32_t>(j);
                }
            }
        };
        // Up to the first whole block past i + 1 one end at a time; then a
        // block none of whose ends closes within the gap only moves the
        // farthest point on, to the last place of its maximum (as the
        // one-at-a-time walk, where an equal distance replaces, would).
        const std::size_t first_block = (i + 2 + kBlock - 1) / kBlock;
        step(i + 1, std::min(n, first_block * kBlock));
        for (std::size_t b = first_block; b * kBlock < n; ++b) {
            const std::size_t from = b * kBlock, to = std::min(n, from + kBlock);
            if (int64_t{bmin[b]} < int64_t{gap}) {
                step(from, to);
                continue;
            }
            if (bmax[b] >= far) {
                far = bmax[b];
                std::size_t j = to - 1;
                while (di[j] != bmax[b]) --j;
                far_at = static_cast<uint32_t>(j);
            }
        }
    }
    if (best.found && best.score < 0) best = LoopCandidate{};
    return best;
}

LoopCandidate search_olc_out_and_return(const DistanceTables& t, int32_t limit, const HaltToken& halt,
                                        bool& halted) {
    LoopCandidate best;
    halted = false;
    const uint32_t n = static_cast<uint32_t>(t.size());
    std::vector<int32_t> prefix(n, 0);
    for (uint32_t i = 0; i + 3 <= n; ++i) {
        if (halt.halted()) {
            halted = true;
            return LoopCandidate{};
        }
        const int32_t* di = t.row(i);
        int32_t run = -1;
        for (uint32_t j = i + 1; j < n; ++j) {
            prefix[j] = run;
            if (di[j] > run) run = di[j];
        }
        for (uint32_t j = i + 2; j < n; ++j) {
            if (di[j] >= limit) continue;
            const int64_t most = int64_t{prefix[j]} + t.column_max_after(i, j);
            if (best.found && most < best.score) continue;
            const int32_t* dj = t.row(j);
            const int32_t* bi = t.block_max(i);
            const int32_t* bj = t.block_max(j);
            const int64_t need = best.found ? best.score : 0;
            int32_t s = -1;
            uint32_t k = 0;
            for (uint32_t blk = (i + 1) / kBlock; blk <= (j - 1) / kBlock; ++blk) {
                if (int64_t{bi[blk]} + bj[blk] < need) continue;
                const uint32_t from = std::max<uint32_t>(i + 1, blk * kBlock);
                const uint32_t to = std::min<uint32_t>(j, blk * kBlock + kBlock);
                const int32_t here = max_pair_sum(di, dj, from, to);
                if (here >= s) {
                    s = here;
                    k = last_pair_sum(di, dj, from, to, here);
                }
            }
            if (s >= need && beats(s, i, j, k, best)) take(best, s, i, j, k);
        }
    }
    if (best.found && best.score <= 0) best = LoopCandidate{};
    return best;
}

TriangleSearch search_triangles(const DistanceTables& t, ClosingRule rule, uint32_t gap, unsigned threads,
                                const HaltToken& halt, std::atomic<uint64_t>* triples_done) {
    TriangleSearch out;
    const uint32_t n = static_cast<uint32_t>(t.size());
    if (n < 3) return out;
    if (threads == 0) threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));

    SharedFloor floor;
    // A coarse first pass finds good triangles early, so that the full pass
    // can skip most pairs by their bound.
    {
        constexpr uint32_t kStride = 16;
        TriangleWorker seed(t, rule, gap, floor);
        for (uint32_t k = 0; k + 2 < n; k += kStride) {
            if (halt.halted()) {
                out.halted = true;
                return out;
            }
            seed.first_turn_point(k, kStride);
        }
        out.flat = seed.flat;
        out.fai = seed.fai;
    }

    std::atomic<uint32_t> next{0};
    std::atomic<bool> stopped{false};
    std::vector<TriangleWorker> workers;
    workers.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) workers.emplace_back(t, rule, gap, floor);
    auto run = [&](TriangleWorker& w) {
        while (true) {
            const uint32_t k = next.fetch_add(1, std::memory_order_relaxed);
            if (k + 2 >= n) return;
            if (halt.halted()) {
                stopped.store(true);
                return;
            }
            w.first_turn_point(k, 1);
            if (triples_done) {
                const uint64_t rest = n - k - 1;
                triples_done->fetch_add(rest * (rest - 1) / 2, std::memory_order_relaxed);
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) pool.emplace_back(run, std::ref(workers[i]));
    run(workers[0]);
    for (std::thread& th : pool) th.join();
    if (stopped.load()) {
        out.halted = true;
        out.flat = out.fai = LoopCandidate{};
        return out;
    }
    for (const TriangleWorker& w : workers) {
        merge(out.flat, w.flat);
        merge(out.fai, w.fai);
    }
    return out;
}

}  // namespace orlogix
