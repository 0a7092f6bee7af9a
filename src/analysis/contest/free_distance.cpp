#include "analysis/contest/free_distance.hpp"

#include <algorithm>
#include <thread>

#include "analysis/contest/contest_rules.hpp"

namespace orlogix {

FarthestIndex::FarthestIndex(const FixTree& tree, const std::vector<int32_t>& weights, bool before)
    : t_(tree), w_(weights), before_(before) {
    const int top = t_.top_level();
    most_.resize(top + 1);
    reach_.resize(top + 1);
    for (int l = 0; l <= top; ++l) {
        most_[l].assign(t_.blocks(l), 0);
        reach_[l].assign(t_.blocks(l), 0.0);
        for (std::size_t b = 0; b < t_.blocks(l); ++b) {
            const std::size_t first = t_.block_first(l, b), last = t_.block_last(l, b);
            const double* end = t_.point(before_ ? last : first);
            int32_t most = w_[first];
            double reach = 0.0;
            for (std::size_t i = first; i <= last; ++i) {
                most = std::max(most, w_[i]);
                reach = std::max(reach, 10.0 * w_[i] + t_.surface_bound(chord(t_.point(i), end)));
            }
            most_[l][b] = most;
            reach_[l][b] = reach;
        }
    }
}

int64_t FarthestIndex::bound(int level, std::size_t block, const double* p, int64_t best) const {
    const int64_t boxed = most_[level][block] + hundredths_of_km(t_.surface_bound(max_chord(t_.box(level, block), p)));
    if (boxed <= best) return boxed;
    // Through the block's end: w(i) + leg(i, j) <= (10 w(i) + d(i, end) + d(end, j)) / 10 + 0.5,
    // which is tight where the track runs on towards j; the box bound is tight where it does not.
    const double* end = t_.point(before_ ? t_.block_last(level, block) : t_.block_first(level, block));
    const int64_t through = hundredths_of_km(reach_[level][block] + t_.surface_bound(chord(end, p)));
    return std::min(through, boxed);
}

void FarthestIndex::consider(std::size_t i, std::size_t j, Best& best) const {
    const double c = chord(t_.point(i), t_.point(j));
    const int64_t most = w_[i] + hundredths_of_km(t_.surface_bound(c));
    if (most <= best.value) return;
    const int64_t value = w_[i] + t_.hundredths(i, j);
    if (value > best.value) best = {value, static_cast<uint32_t>(i)};
}

FarthestIndex::Best FarthestIndex::query(std::size_t j, std::size_t hint) const {
    Best best{w_[j], static_cast<uint32_t>(j)};
    if (before_ ? hint < j : (hint > j && hint < t_.size())) consider(hint, j, best);
    const double* p = t_.point(j);
    struct Item {
        int level;
        uint32_t block;
        int64_t bound;
    };
    // Depth first, the higher bound of two children first: at most two items a level wait.
    Item stack[2 * 64 + 2];
    int size = 0;
    stack[size++] = {t_.top_level(), 0, INT64_MAX};
    while (size > 0) {
        const Item it = stack[--size];
        if (it.bound <= best.value) continue;
        if (it.level == 0) {
            if (it.block != j) consider(it.block, j, best);
            continue;
        }
        const int l = it.level - 1;
        Item kids[2];
        int count = 0;
        for (uint32_t x = 0; x < 2; ++x) {
            const uint32_t b = 2 * it.block + x;
            if (b >= t_.blocks(l)) continue;
            if (before_ ? t_.block_first(l, b) > j : t_.block_last(l, b) < j) continue;
            const int64_t ub = l == 0 ? INT64_MAX : bound(l, b, p, best.value);
            if (ub > best.value) kids[count++] = {l, b, ub};
        }
        if (count == 2 && kids[0].bound > kids[1].bound) std::swap(kids[0], kids[1]);
        for (int k = 0; k < count; ++k) stack[size++] = kids[k];
    }
    return best;
}

namespace {

struct Stage {
    std::vector<int32_t> value;
    std::vector<uint32_t> from;
};

// One stage over every fix, in the order that lets each answer seed the next.
bool run_stage(const FixTree& t, const std::vector<int32_t>& weights, bool before, Stage& out,
               const std::function<bool()>& stop) {
    const std::size_t n = t.size();
    const FarthestIndex index(t, weights, before);
    out.value.assign(n, 0);
    out.from.assign(n, 0);
    std::size_t hint = before ? 0 : n - 1;
    for (std::size_t k = 0; k < n; ++k) {
        if ((k & 255) == 255 && stop()) return false;
        const std::size_t j = before ? k : n - 1 - k;
        const FarthestIndex::Best b = index.query(j, hint);
        out.value[j] = static_cast<int32_t>(b.value);
        out.from[j] = b.fix;
        hint = b.fix;
    }
    return true;
}

}  // namespace

FreeDistance solve_free_distance(const FixTree& t, const std::function<bool()>& stop) {
    FreeDistance result;
    const std::size_t n = t.size();
    if (n == 0) {
        result.complete = true;
        return result;
    }
    const std::vector<int32_t> zero(n, 0);
    // The start and first turn point before every fix on this thread, the
    // finish and last turn point after it on another.
    Stage out1, out2, back1, back2;
    bool back_done = false;
    std::thread other([&] {
        back_done = run_stage(t, zero, false, back1, stop) && run_stage(t, back1.value, false, back2, stop);
    });
    const bool out_done = run_stage(t, zero, true, out1, stop) && run_stage(t, out1.value, true, out2, stop);
    other.join();
    if (!out_done || !back_done) return result;
    std::size_t mid = 0;
    for (std::size_t j = 1; j < n; ++j) {
        if (out2.value[j] + back2.value[j] > out2.value[mid] + back2.value[mid]) mid = j;
    }
    const uint32_t t1 = out2.from[mid], t3 = back2.from[mid];
    result.complete = true;
    result.value = out2.value[mid] + back2.value[mid];
    result.fixes = {out1.from[t1], t1, static_cast<uint32_t>(mid), t3, back1.from[t3]};
    return result;
}

}  // namespace orlogix
