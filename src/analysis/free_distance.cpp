#include "analysis/free_distance.hpp"

#include <vector>

#include "analysis/loop_kernels.hpp"

namespace orlogix {

namespace {

MatrixPath two_points(const DistanceTables& t) {
    MatrixPath out;
    const std::size_t n = t.size();
    if (n < 2) return out;
    for (std::size_t i = 0; i + 2 <= n; ++i) {
        if (t.r(i) >= out.length) {
            out.length = t.r(i);
            out.point = {static_cast<uint32_t>(i), t.ra(i)};
        }
    }
    return out;
}

MatrixPath three_points(const DistanceTables& t) {
    MatrixPath out;
    const std::size_t n = t.size();
    if (n < 3) return out;
    for (std::size_t m = 1; m + 2 <= n; ++m) {
        const int64_t v = int64_t{t.c(m)} + t.r(m);
        if (v >= out.length) {
            out.length = v;
            out.point = {t.ca(m), static_cast<uint32_t>(m), t.ra(m)};
        }
    }
    return out;
}

}  // namespace

std::array<MatrixPath, 4> free_distances(const DistanceTables& t) {
    std::array<MatrixPath, 4> out{two_points(t), three_points(t), MatrixPath{}, MatrixPath{}};
    const uint32_t n = static_cast<uint32_t>(t.size());
    if (n < 4) return out;
    const int32_t* r = t.r_data();
    const int32_t* cc = t.c_data();
    // after[b]: the greatest D(b, c) + R(c) over c in b+1..n-2, the last two
    // legs from b on. The 4-point search ends there from its second point,
    // the 5-point one from its middle point.
    // before[c]: the greatest C(b) + D(b, c) over b in 1..c-1, the first two
    // legs up to c from a start before its first point b.
    // Both come from the rows' later points, each row read once from memory.
    std::vector<int32_t> after(n, -1), before(n, -1);
    for (uint32_t b = 1; b + 1 < n; ++b) {
        const int32_t* row = t.row(b);
        if (b + 3 <= n) after[b] = max_pair_sum(row, r, b + 1, n - 1);
        raise_to_sums(&before[b + 1], row + b + 1, cc[b], n - b - 1);
    }
    // Every comparison is greater-or-equal, so the winner is the last
    // candidate with the greatest length; its inner points are found last.
    MatrixPath& four = out[2];
    uint32_t four_b = 0;
    for (uint32_t b = 1; b + 3 <= n; ++b) {
        const int64_t v = int64_t{t.c(b)} + after[b];
        if (v >= four.length) {
            four.length = v;
            four_b = b;
        }
    }
    const uint32_t c4 = last_pair_sum(t.row(four_b), r, four_b + 1, n - 1, after[four_b]);
    four.point = {t.ca(four_b), four_b, c4, t.ra(c4)};
    if (n < 5) return out;
    MatrixPath& five = out[3];
    uint32_t five_c = 0;
    for (uint32_t c = 2; c + 3 <= n; ++c) {
        if (int64_t{before[c]} + after[c] >= five.length) {
            five.length = int64_t{before[c]} + after[c];
            five_c = c;
        }
    }
    uint32_t b5 = five_c - 1;
    while (b5 > 1 && cc[b5] + t.d(b5, five_c) != before[five_c]) --b5;
    const uint32_t d5 = last_pair_sum(t.row(five_c), r, five_c + 1, n - 1, after[five_c]);
    five.point = {t.ca(b5), b5, five_c, d5, t.ra(d5)};
    return out;
}

}  // namespace orlogix
