#pragma once
// The free distance (start, three turn points, finish; four legs of whole
// 0.01 km) of a track, exactly, by a dynamic programme over the fixes: the
// best start before every fix, the best start and first turn point before
// every fix, and the same from the finish backwards; the flight is the best
// sum of both at the middle turn point. Each stage asks, for every fix j,
// the greatest w(i) + leg(i, j) over the fixes i on one side of j, by branch
// and bound over the fix tree.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/contest/fix_tree.hpp"

namespace orlogix {

// One stage's question over a track and per-fix weights (0.01 km).
class FarthestIndex {
public:
    FarthestIndex(const FixTree& tree, const std::vector<int32_t>& weights, bool before);

    struct Best {
        int64_t value = 0;  // the greatest weight[i] + leg(i, j), 0.01 km
        uint32_t fix = 0;   // an i that gives it
    };
    // Over i <= j (before) or i >= j; hint, a fix on that side, is tried first
    // (the answer for a neighbouring fix is a good start).
    Best query(std::size_t j, std::size_t hint) const;

private:
    // Of a block, an upper bound of weight[i] + leg(i, j) over its fixes (once
    // at most best, any bound that is).
    int64_t bound(int level, std::size_t block, const double* p, int64_t best) const;
    void consider(std::size_t i, std::size_t j, Best& best) const;

    const FixTree& t_;
    const std::vector<int32_t>& w_;
    bool before_;
    // Per block: the greatest weight, and the greatest 10 x weight + distance
    // (metres) from its fixes to its end nearest the fixes it is asked from.
    std::vector<std::vector<int32_t>> most_;
    std::vector<std::vector<double>> reach_;
};

struct FreeDistance {
    bool complete = false;         // false when stopped before the end
    int64_t value = 0;             // 0.01 km, before the rules' final rounding
    std::array<uint32_t, 5> fixes{};  // start, turn points, finish
};

// stop is asked now and then, from both threads; when it says yes the
// search ends incomplete.
FreeDistance solve_free_distance(const FixTree& tree, const std::function<bool()>& stop);

}  // namespace orlogix
