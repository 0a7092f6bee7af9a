#include "analysis/loop_search.hpp"

#include <algorithm>
#include <climits>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "analysis/loop_kernels.hpp"

namespace orlogix {

namespace {

// Runs a and b side by side when threads allow it, else one after the other.
template <typename A, typename B>
void side_by_side(unsigned threads, A&& a, B&& b) {
    std::thread helper;
    if (threads > 1) {
        try {
            helper = std::thread(std::ref(b));
        } catch (const std::system_error&) {
        }
    }
    a();
    if (helper.joinable()) helper.join();
    else b();
}

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

// The largest perimeter a triangle whose shortest side may be `side` can have
// and still give every side 7/25 of it: side >= P*7/25 (integer) means P <= (25 side + 24) / 7.
int64_t fai_perimeter_cap(int64_t side) { return (25 * side + 24) / 7; }

// A pair of blocks for the first and the last turn point, with the most any
// triangle on them can score (flat and FAI; -1: none can qualify).
struct BlockPair {
    int64_t flat, fai;
    uint32_t x, y;
};

// Sides known to lie between their extremes: the ends of the two sides at
// the turn point, a and b, and the closing side d between the corners.
struct Sides {
    int64_t a_lo, a_hi, b_lo, b_hi, d_lo, d_hi;
};

int64_t flat_bound(const Sides& s) { return s.a_hi + s.b_hi + s.d_hi; }

// The greatest perimeter an FAI triangle with such sides can have, -1 when
// none can qualify. Every side of an FAI triangle is at least P x 7 / 25
// (integer), so P is at most the cap of the shortest greatest side, and no
// side exceeds (11 P + 48) / 25.
int64_t fai_bound(const Sides& s) {
    const int64_t most =
        std::min(s.a_hi + s.b_hi + s.d_hi, fai_perimeter_cap(std::min({s.a_hi, s.b_hi, s.d_hi})));
    const int64_t longest = std::max({s.a_lo, s.b_lo, s.d_lo});
    const bool fits = 11 * most >= 25 * longest - 48 && most >= s.a_lo + s.b_lo + s.d_lo;
    return fits ? most : -1;
}

// The highest perimeters any turn point block between the corner blocks x
// and y allows.
void perimeter_bounds(const DistanceTables& t, std::size_t x, std::size_t y, int64_t& flat, int64_t& fai) {
    const int32_t *xh = t.tile_max(x), *xl = t.tile_min(x), *yh = t.tile_max(y), *yl = t.tile_min(y);
    if (t.longest() < kNarrowDistance) {
        int32_t f, a;
        pair_perimeter_bounds(xl, xh, yl, yh, xl[y], xh[y], static_cast<uint32_t>(x), static_cast<uint32_t>(y + 1), f,
                              a);
        flat = f;
        fai = a;
        return;
    }
    flat = fai = -1;
    for (std::size_t m = x; m <= y; ++m) {
        const Sides s{xl[m], xh[m], yl[m], yh[m], xl[y], xh[y]};
        flat = std::max(flat, flat_bound(s));
        fai = std::max(fai, fai_bound(s));
    }
}

// The pairs whose first block x lies in [x_from, x_to).
std::vector<BlockPair> block_pairs(const DistanceTables& t, ClosingRule rule, uint32_t gap, std::size_t x_from,
                                   std::size_t x_to) {
    const std::size_t n = t.size(), nb = t.blocks();
    std::vector<BlockPair> pairs;
    for (std::size_t x = x_from; x < x_to; ++x) {
        for (std::size_t y = x; y < nb; ++y) {
            // Room for three points in time order.
            if (std::min(n, (y + 1) * kBlock) < x * kBlock + 3) continue;
            const int64_t g = x < y ? t.least_gap(x, y) : 0;
            // The least gap never falls as the last block moves on.
            if (rule == ClosingRule::GapLimit && g >= int64_t{gap}) {
                if (x < y) break;
                continue;
            }
            int64_t flat, fai;
            perimeter_bounds(t, x, y, flat, fai);
            if (rule == ClosingRule::OneFifth) {
                if (flat <= 5 * g) continue;
                if (fai <= 5 * g) fai = g - 1;
            }
            pairs.push_back({flat - g, fai - g, static_cast<uint32_t>(x), static_cast<uint32_t>(y)});
        }
    }
    return pairs;
}

enum class Shape { Flat, Fai };

// The search for one shape over the block pairs, most promising first, so
// that good triangles are found early and the rest fall below them on their
// bounds.
class TriangleWorker {
public:
    TriangleWorker(const DistanceTables& t, ClosingRule rule, uint32_t gap, Shape shape)
        : t_(t), rule_(rule), gap_(gap), shape_(shape), narrow_(t.longest() < kNarrowDistance),
          gap_limit_(rule == ClosingRule::GapLimit ? static_cast<int32_t>(std::min<uint32_t>(gap, INT32_MAX)) : INT32_MAX),
          five_(rule == ClosingRule::OneFifth ? 5 : 0) {}

    // What a triangle must reach to win: the best so far (-1 while none).
    int64_t floor() const { return best.score; }

    // Every triangle whose first turn point lies in block x and last in block y.
    void block_pair(const BlockPair& p) {
        const std::size_t n = t_.size();
        const uint32_t x = p.x, y = p.y;
        const uint32_t k0 = x * kBlock, k1 = static_cast<uint32_t>(std::min(n, (x + 1) * std::size_t{kBlock}));
        const uint32_t l0 = y * kBlock, l1 = static_cast<uint32_t>(std::min(n, (y + 1) * std::size_t{kBlock}));
        t_.gaps(x, y, gaps_);
        const int64_t least = x < y ? t_.least_gap(x, y) : 0;
        const int32_t *xh = t_.tile_max(x), *xl = t_.tile_min(x), *yh = t_.tile_max(y), *yl = t_.tile_min(y);
        // The turn point blocks by their bound, highest first.
        order_.clear();
        for (uint32_t mb = x; mb <= y; ++mb) {
            const int64_t most = bound({xl[mb], xh[mb], yl[mb], yh[mb], xl[y], xh[y]});
            if (most < 0) continue;
            if (rule_ == ClosingRule::OneFifth && most <= 5 * least) continue;
            if (most - least >= floor()) order_.push_back({most - least, mb});
        }
        std::sort(order_.begin(), order_.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [top, mb] : order_) {
            if (top < floor()) break;
            const uint32_t m0 = mb * kBlock, m1 = static_cast<uint32_t>(std::min(n, (mb + 1) * std::size_t{kBlock}));
            const int32_t* bl_lo = t_.block_min_column(mb);
            const int32_t* bl_hi = t_.block_max_column(mb);
            for (uint32_t k = k0; k < k1; ++k) {
                const int32_t ak_lo = t_.block_min(k, mb), ak = t_.block_max(k, mb);
                const uint32_t lo = std::max(m0, k + 1);
                if (lo >= m1) break;  // no turn point of the block after k, nor after a later k
                const uint32_t from = std::max(l0, lo + 1);
                if (from >= l1) continue;
                // The first turn point's own bound: its sides to the turn points
                // and to the ends as they are, the turn points' to the ends as
                // the tile has them; the closing gap at least the least.
                const Sides row_sides{ak_lo, ak, yl[mb], yh[mb], t_.block_min(k, y), t_.block_max(k, y)};
                const int64_t row_most = bound(row_sides);
                if (row_most < 0 || row_most - least < floor() ||
                    (rule_ == ClosingRule::OneFifth && row_most <= 5 * least))
                    continue;
                const int32_t* g = gaps_ + (k - k0) * kBlock;  // indexed by l - l0
                if (narrow_) {
                    // The whole block of ends side by side (the tables are padded
                    // past their last block); only those that can reach the best
                    // are looked at.
                    const int64_t f = std::clamp<int64_t>(floor(), -1, 3 * int64_t{kNarrowDistance});
                    turn_point_bounds(ak_lo, ak, bl_lo + l0, bl_hi + l0, t_.row(k) + l0, g, shape_ == Shape::Fai,
                                      static_cast<int32_t>(f), gap_limit_, five_, keep_);
                    for (uint32_t l = from; l < l1; ++l)
                        if (keep_[l - l0]) turn_points(k, l, lo, std::min(m1, l), g[l - l0], ak_lo, ak);
                } else {
                    for (uint32_t l = from; l < l1; ++l) {
                        if (rule_ == ClosingRule::GapLimit && int64_t{g[l - l0]} >= int64_t{gap_}) break;  // G grows with l
                        turn_points(k, l, lo, std::min(m1, l), g[l - l0], ak_lo, ak);
                    }
                }
            }
        }
    }

    LoopCandidate best;

private:
    int64_t bound(const Sides& s) const { return shape_ == Shape::Flat ? flat_bound(s) : fai_bound(s); }

    // The turn points m in [lo, hi) of corners k, l with gap g; D(k, m) lies from ak_lo to ak there.
    void turn_points(uint32_t k, uint32_t l, uint32_t lo, uint32_t hi, int64_t g, int64_t ak_lo, int64_t ak) {
        const int32_t* dk = t_.row(k);
        const std::size_t mb = lo / kBlock, stride = t_.block_stride(mb);
        // D(m, l) of the turn points m from lo on, down a column.
        const int32_t* dl = t_.block_column(mb, l) + (lo - mb * kBlock) * stride;
        const uint32_t count = hi - lo;
        const int64_t d = dk[l];
        const int64_t most = bound({ak_lo, ak, t_.block_min(l, mb), t_.block_max(l, mb), d, d});
        const bool five = rule_ == ClosingRule::OneFifth;
        // Skip only when the bound is strictly below the best: an equal score
        // later in the loop order still wins.
        if (most - g < floor() || (five && most <= 5 * g)) return;
        int64_t p;
        uint32_t m;
        if (shape_ == Shape::Flat) {
            const int32_t s = max_column_sum(dk + lo, dl, stride, count);
            p = s + d;
            m = lo + last_column_sum(dk + lo, dl, stride, count, s);
        } else {
            uint32_t at = 0;
            p = max_fai_column_perimeter(dk + lo, dl, stride, static_cast<int32_t>(d), count, at);
            if (p < 0) return;
            m = lo + at;
        }
        if (five && p <= 5 * g) return;
        if (beats(p - g, k, l, m, best)) take(best, p - g, k, l, m);
    }

    const DistanceTables& t_;
    ClosingRule rule_;
    uint32_t gap_;
    Shape shape_;
    bool narrow_;
    int32_t gap_limit_, five_;
    int32_t gaps_[kBlock * kBlock] = {};
    uint8_t keep_[kBlock] = {};
    std::vector<std::pair<int64_t, uint32_t>> order_;
};


// Greater score, or the same score from a later start (ends within a row
// are walked in order, so the row's own tie rule is kept).
bool row_beats(int64_t score, uint32_t i, const LoopCandidate& best) {
    if (!best.found) return true;
    if (score != best.score) return score > best.score;
    return i > best.k;
}

// The out-and-return of one start i: the last (end, turn point) with the
// greatest 2 D(i, turn) - D(i, end), among those that reach `floor` (the
// others cannot win).
LoopCandidate out_and_return_row(const DistanceTables& t, uint32_t i, uint32_t gap, int64_t floor) {
    LoopCandidate best;
    const std::size_t n = t.size();
    const int32_t* di = t.row(i);
    // For a fixed start the best turn point of every end is the last
    // farthest point before it, carried along as the end moves on.
    int64_t far = -1;
    uint32_t far_at = 0;
    auto step = [&](std::size_t from, std::size_t to) {
        for (std::size_t j = from; j < to; ++j) {
            if (j >= i + 2 && int64_t{di[j]} < int64_t{gap}) {
                const int64_t s = 2 * far - di[j];
                if (s >= floor && (!best.found || s >= best.score)) take(best, s, i, static_cast<uint32_t>(j), far_at);
            }
            if (di[j] >= far) {
                far = di[j];
                far_at = static_cast<uint32_t>(j);
            }
        }
    };
    // Up to the first whole block past i + 1 one end at a time; then a
    // block that cannot reach the best (none of its ends closes within the
    // gap, or its bound is below) only moves the farthest point on, to the
    // last place of its maximum (as the one-at-a-time walk, where an equal
    // distance replaces, would).
    const std::size_t first_block = (i + 2 + kBlock - 1) / kBlock;
    step(i + 1, std::min(n, first_block * kBlock));
    for (std::size_t b = first_block; b * kBlock < n; ++b) {
        const std::size_t from = b * kBlock, to = std::min(n, from + kBlock);
        const int32_t top = t.block_max(i, b), least = t.block_min(i, b);
        const int64_t most = 2 * std::max<int64_t>(far, top) - least;
        if (int64_t{least} < int64_t{gap} && most >= std::max(floor, best.found ? best.score : floor)) {
            step(from, to);
            continue;
        }
        if (top >= far) {
            far = top;
            std::size_t j = to - 1;
            while (di[j] != top) --j;
            far_at = static_cast<uint32_t>(j);
        }
    }
    return best;
}

}  // namespace

LoopCandidate search_out_and_return(const DistanceTables& t, uint32_t gap, const HaltToken& halt, bool& halted) {
    LoopCandidate best;
    halted = false;
    const std::size_t n = t.size();
    if (n < 3) return best;
    // No score of start i exceeds 2 R(i): the starts are taken from the
    // farthest-reaching down, until no later one can reach the best.
    std::vector<uint32_t> starts(n - 2);
    for (uint32_t i = 0; i < starts.size(); ++i) starts[i] = i;
    std::sort(starts.begin(), starts.end(), [&t](uint32_t a, uint32_t b) {
        return t.r(a) != t.r(b) ? t.r(a) > t.r(b) : a > b;
    });
    for (const uint32_t i : starts) {
        if (best.found && (2 * int64_t{t.r(i)} < best.score || (2 * int64_t{t.r(i)} == best.score && i < best.k)))
            break;
        if (halt.halted()) {
            halted = true;
            return LoopCandidate{};
        }
        const LoopCandidate row = out_and_return_row(t, i, gap, best.found ? best.score : INT64_MIN);
        if (row.found && row_beats(row.score, i, best)) best = row;
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
            // C(j) bounds D(m, j) of every earlier m.
            const int64_t most = int64_t{prefix[j]} + t.c(j);
            if (best.found && most < best.score) continue;
            const int64_t need = best.found ? best.score : 0;
            int32_t s = -1;
            uint32_t k = 0;
            for (uint32_t blk = (i + 1) / kBlock; blk <= (j - 1) / kBlock; ++blk) {
                if (int64_t{t.block_max(i, blk)} + t.block_max(j, blk) < need) continue;
                const uint32_t from = std::max<uint32_t>(i + 1, blk * kBlock);
                const uint32_t to = std::min<uint32_t>(j, blk * kBlock + kBlock);
                const std::size_t stride = t.block_stride(blk);
                const int32_t* dj = t.block_column(blk, j) + (from - blk * kBlock) * stride;
                const int32_t here = max_column_sum(di + from, dj, stride, to - from);
                if (here >= s) {
                    s = here;
                    k = from + last_column_sum(di + from, dj, stride, to - from, here);
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

    // The pairs and their bounds, the first blocks shared out so that both
    // halves hold about as many pairs (a first block x has about (nb - x)^2 / 2
    // turn point blocks to bound).
    const std::size_t nb = t.blocks();
    std::size_t split = 0;
    {
        double total = 0.0, seen = 0.0;
        for (std::size_t x = 0; x < nb; ++x) total += double(nb - x) * double(nb - x);
        while (split < nb && 2.0 * seen < total) {
            seen += double(nb - split) * double(nb - split);
            ++split;
        }
    }
    std::vector<BlockPair> pairs, later;
    side_by_side(threads, [&] { pairs = block_pairs(t, rule, gap, 0, split); },
                 [&] { later = block_pairs(t, rule, gap, split, nb); });
    pairs.insert(pairs.end(), later.begin(), later.end());
    // Flat and FAI triangles are two searches, each over the block pairs in
    // the order of its own bound; with two threads each takes one.
    std::vector<BlockPair> fai_pairs;
    TriangleWorker flat(t, rule, gap, Shape::Flat);
    TriangleWorker fai(t, rule, gap, Shape::Fai);
    std::atomic<bool> stopped{false};
    auto run = [&](TriangleWorker& w, std::vector<BlockPair>& list, Shape shape) {
        auto key = [shape](const BlockPair& p) { return shape == Shape::Flat ? p.flat : p.fai; };
        auto higher = [&key](const BlockPair& a, const BlockPair& b) { return key(a) > key(b); };
        // Visits list[from, to) in order until a bound falls below the best;
        // false when that happened (or the search was halted).
        auto visit = [&](std::size_t from, std::size_t to) {
            for (std::size_t at = from; at < to; ++at) {
                const BlockPair& p = list[at];
                // Bounds strictly below the best can hold no winner; equal ones
                // may still hold a later triangle of the same score.
                if (key(p) < w.floor()) return false;
                if (halt.halted() || stopped.load(std::memory_order_relaxed)) {
                    stopped.store(true);
                    return false;
                }
                w.block_pair(p);
                if (triples_done) {
                    const uint64_t span = (std::size_t{p.y} - p.x + 1) * kBlock;
                    triples_done->fetch_add(kBlock * kBlock * span / 2, std::memory_order_relaxed);
                }
            }
            return true;
        };
        // The most promising few in order first; of the rest only those that
        // can still reach the best found are ordered and visited.
        const std::size_t head = std::min<std::size_t>(list.size(), 64);
        std::partial_sort(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(head), list.end(), higher);
        if (!visit(0, head)) return;
        const int64_t floor = w.floor();
        const auto end = std::partition(list.begin() + static_cast<std::ptrdiff_t>(head), list.end(),
                                        [&](const BlockPair& p) { return key(p) >= floor; });
        std::sort(list.begin() + static_cast<std::ptrdiff_t>(head), end, higher);
        visit(head, static_cast<std::size_t>(end - list.begin()));
    };
    fai_pairs = pairs;
    side_by_side(threads, [&] { run(flat, pairs, Shape::Flat); }, [&] { run(fai, fai_pairs, Shape::Fai); });
    if (stopped.load()) {
        out.halted = true;
        return out;
    }
    out.flat = flat.best;
    out.fai = fai.best;
    return out;
}

}  // namespace orlogix
