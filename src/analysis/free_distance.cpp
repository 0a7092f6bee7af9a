#include "analysis/free_distance.hpp"

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
    const std::size_t n = t.size();
    if (n < 4) return out;
    for (std::size_t b = 1; b + 3 <= n; ++b) {
        const int32_t* db = t.row(b);
        const int64_t cb = t.c(b);
        for (std::size_t c = b + 1; c + 2 <= n; ++c) {
            const int64_t v = cb + db[c] + t.r(c);
            if (v >= out.length) {
                out.length = v;
                out.point = {t.ca(b), static_cast<uint32_t>(b), static_cast<uint32_t>(c), t.ra(c)};
            }
        }
    }
    return out;
}

MatrixPath free_distance_5(const DistanceTables& t) {
    MatrixPath out;
    const std::size_t n = t.size();
    if (n < 5) return out;
    for (std::size_t c = 2; c + 3 <= n; ++c) {
        const int32_t* dc = t.row(c);
        int64_t left = -1, right = -1;
        std::size_t bb = 0, bd = 0;
        for (std::size_t b = 1; b < c; ++b) {
            const int64_t v = int64_t{t.c(b)} + dc[b];
            if (v >= left) { left = v; bb = b; }
        }
        for (std::size_t d = c + 1; d + 2 <= n; ++d) {
            const int64_t v = int64_t{dc[d]} + t.r(d);
            if (v >= right) { right = v; bd = d; }
        }
        if (left + right >= out.length) {
            out.length = left + right;
            out.point = {t.ca(bb), static_cast<uint32_t>(bb), static_cast<uint32_t>(c), static_cast<uint32_t>(bd),
                         t.ra(bd)};
        }
    }
    return out;
}

}  // namespace orlogix
