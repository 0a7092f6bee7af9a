#include "analysis/free_distance.hpp"

#include "analysis/loop_kernels.hpp"

namespace orlogix {

// Every comparison is greater-or-equal, so among equal lengths the last
// candidate in loop order wins.

MatrixPath free_distance_2(const DistanceTables& t) {
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

MatrixPath free_distance_3(const DistanceTables& t) {
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

MatrixPath free_distance_4(const DistanceTables& t) {
    MatrixPath out;
    const uint32_t n = static_cast<uint32_t>(t.size());
    if (n < 4) return out;
    const int32_t* r = t.r_data();
    for (uint32_t b = 1; b + 3 <= n; ++b) {
        // The inner loop's winner: the last c with the greatest D(b, c) + R(c).
        const int32_t* db = t.row(b);
        const int32_t best_c = max_pair_sum(db, r, b + 1, n - 1);
        const int64_t v = int64_t{t.c(b)} + best_c;
        if (v >= out.length) {
            const uint32_t c = last_pair_sum(db, r, b + 1, n - 1, best_c);
            out.length = v;
            out.point = {t.ca(b), b, c, t.ra(c)};
        }
    }
    return out;
}

MatrixPath free_distance_5(const DistanceTables& t) {
    MatrixPath out;
    const uint32_t n = static_cast<uint32_t>(t.size());
    if (n < 5) return out;
    const int32_t* r = t.r_data();
    const int32_t* cc = t.c_data();
    for (uint32_t c = 2; c + 3 <= n; ++c) {
        const int32_t* dc = t.row(c);
        const int32_t left = max_pair_sum(cc, dc, 1, c);
        const int32_t right = max_pair_sum(dc, r, c + 1, n - 1);
        if (int64_t{left} + right >= out.length) {
            const uint32_t b = last_pair_sum(cc, dc, 1, c, left);
            const uint32_t d = last_pair_sum(dc, r, c + 1, n - 1, right);
            out.length = int64_t{left} + right;
            out.point = {t.ca(b), b, c, d, t.ra(d)};
        }
    }
    return out;
}

}  // namespace orlogix
