#include "analysis/loop_kernels.hpp"

#include <climits>
#include <cmath>

// These loops carry almost all of the optimisation's time; let them use the
// wider vectors where the processor has them (512-bit square roots take half
// the time of 256-bit ones). The build compiles this file without errno for
// sqrt, so that it vectorises, and without multiply-add contraction, so that
// every variant computes the same distances.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define ORLOGIX_KERNEL __attribute__((target_clones("avx512f", "avx2", "default"), optimize("O3", "no-math-errno")))
#else
#define ORLOGIX_KERNEL
#endif

namespace orlogix {

ORLOGIX_KERNEL
int32_t max_value(const int32_t* a, uint32_t lo, uint32_t hi) {
    int32_t best = INT32_MIN;
    for (uint32_t m = lo; m < hi; ++m) best = a[m] > best ? a[m] : best;
    return best;
}

ORLOGIX_KERNEL
void column_minima(const int32_t* table, std::size_t stride, std::size_t first_row, std::size_t end_row,
                   std::size_t column, int32_t* out) {
    for (std::size_t j = 0; j < kBlock; ++j) out[j] = INT32_MAX;
    for (std::size_t r = first_row; r < end_row; ++r) {
        const int32_t* v = table + r * stride + column;
        for (std::size_t j = 0; j < kBlock; ++j) out[j] = v[j] < out[j] ? v[j] : out[j];
    }
}

ORLOGIX_KERNEL
int32_t max_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi) {
    int32_t best = -1;
    for (uint32_t m = lo; m < hi; ++m) {
        const int32_t s = a[m] + b[m];
        best = s > best ? s : best;
    }
    return best;
}

uint32_t last_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi, int32_t sum) {
    for (uint32_t m = hi; m-- > lo;)
        if (a[m] + b[m] == sum) return m;
    return lo;
}

ORLOGIX_KERNEL
void distance_row(const double* x, const double* y, std::size_t i, std::size_t from, std::size_t n, int32_t* out,
                  int32_t* hi, int32_t* lo) {
    const double xi = x[i], yi = y[i];
    for (std::size_t j = from; j < n; ++j) {
        // The same operands in the same order for (i, j) and (j, i): the
        // squares of a difference and of its negation are equal.
        const double dx = x[j] - xi;
        const double dy = y[j] - yi;
        out[j] = static_cast<int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
    }
    // The block extremes while the row is still in the cache.
    if (from < n) block_extremes(out + from, out + from, n - from, hi + from / kBlock, lo + from / kBlock);
}

ORLOGIX_KERNEL
void column_extremes(const int32_t* first_row, std::size_t stride, std::size_t rows, std::size_t from,
                     std::size_t to, int32_t* hi, int32_t* lo) {
    for (std::size_t j = from; j < to; ++j) hi[j] = lo[j] = first_row[j];
    for (std::size_t r = 1; r < rows; ++r) {
        const int32_t* row = first_row + r * stride;
        for (std::size_t j = from; j < to; ++j) {
            hi[j] = row[j] > hi[j] ? row[j] : hi[j];
            lo[j] = row[j] < lo[j] ? row[j] : lo[j];
        }
    }
}

int32_t max_column_sum(const int32_t* a, const int32_t* column, std::size_t stride, uint32_t count) {
    int32_t best = -1;
    for (uint32_t k = 0; k < count; ++k) {
        const int32_t s = a[k] + column[k * stride];
        best = s > best ? s : best;
    }
    return best;
}

uint32_t last_column_sum(const int32_t* a, const int32_t* column, std::size_t stride, uint32_t count, int32_t sum) {
    for (uint32_t k = count; k-- > 0;)
        if (a[k] + column[k * stride] == sum) return k;
    return 0;
}

int32_t max_fai_column_perimeter(const int32_t* a, const int32_t* column, std::size_t stride, int32_t d,
                                 uint32_t count, uint32_t& at) {
    int32_t best = -1;
    at = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const int32_t b = column[k * stride];
        const uint32_t p = static_cast<uint32_t>(a[k] + b + d);
        const int32_t least = static_cast<int32_t>(p * 7u / 25u);
        if (a[k] >= least && b >= least && d >= least && static_cast<int32_t>(p) >= best) {
            best = static_cast<int32_t>(p);
            at = k;
        }
    }
    return best;
}

ORLOGIX_KERNEL
void raise_with_index(int32_t* best, uint32_t* at, const int32_t* v, uint32_t index, std::size_t from, std::size_t to) {
    for (std::size_t j = from; j < to; ++j) {
        const bool higher = v[j] > best[j];
        best[j] = higher ? v[j] : best[j];
        at[j] = higher ? index : at[j];
    }
}

ORLOGIX_KERNEL
void block_extremes(const int32_t* hi_in, const int32_t* lo_in, std::size_t n, int32_t* hi, int32_t* lo) {
    // Whole blocks with a fixed trip count, which become a few vector
    // operations each; then the short block at the end.
    const std::size_t whole = n / kBlock;
    for (std::size_t b = 0; b < whole; ++b) {
        const int32_t* h = hi_in + b * kBlock;
        const int32_t* l = lo_in + b * kBlock;
        int32_t mx = h[0], mn = l[0];
        for (std::size_t k = 1; k < kBlock; ++k) {
            mx = h[k] > mx ? h[k] : mx;
            mn = l[k] < mn ? l[k] : mn;
        }
        hi[b] = mx;
        lo[b] = mn;
    }
    if (whole * kBlock < n) {
        int32_t mx = hi_in[whole * kBlock], mn = lo_in[whole * kBlock];
        for (std::size_t j = whole * kBlock + 1; j < n; ++j) {
            mx = hi_in[j] > mx ? hi_in[j] : mx;
            mn = lo_in[j] < mn ? lo_in[j] : mn;
        }
        hi[whole] = mx;
        lo[whole] = mn;
    }
}

ORLOGIX_KERNEL
void raise_to_sums(int32_t* best, const int32_t* row, int32_t add, std::size_t count) {
    for (std::size_t j = 0; j < count; ++j) {
        const int32_t s = row[j] + add;
        best[j] = s > best[j] ? s : best[j];
    }
}

ORLOGIX_KERNEL
void pair_perimeter_bounds(const int32_t* xl, const int32_t* xh, const int32_t* yl, const int32_t* yh, int32_t d_lo,
                           int32_t d_hi, uint32_t from, uint32_t to, int32_t& flat, int32_t& fai) {
    int32_t best_flat = -1, best_fai = -1;
    for (uint32_t m = from; m < to; ++m) {
        const int32_t sum = xh[m] + yh[m] + d_hi;
        best_flat = sum > best_flat ? sum : best_flat;
        // The cap of the shortest greatest side bounds P; the longest least
        // side must fit under it (11 P >= 25 y - 48) and so must the least sum.
        int32_t shortest = xh[m] < yh[m] ? xh[m] : yh[m];
        shortest = shortest < d_hi ? shortest : d_hi;
        const int32_t cap = (25 * shortest + 24) / 7;
        const int32_t most = sum < cap ? sum : cap;
        int32_t longest = xl[m] > yl[m] ? xl[m] : yl[m];
        longest = longest > d_lo ? longest : d_lo;
        const int32_t ok = (11 * most >= 25 * longest - 48) & (most >= xl[m] + yl[m] + d_lo);
        const int32_t v = ok ? most : -1;
        best_fai = v > best_fai ? v : best_fai;
    }
    flat = best_flat;
    fai = best_fai;
}

ORLOGIX_KERNEL
void turn_point_bounds(int32_t a_lo, int32_t a_hi, const int32_t* __restrict b_lo, const int32_t* __restrict b_hi,
                       const int32_t* __restrict d, const int32_t* __restrict g, bool fai, int32_t floor, int32_t gap,
                       int32_t five, uint8_t* __restrict keep) {
    // A fixed count: a few whole vectors, no loop set-up.
    constexpr uint32_t count = kBlock;
    if (!fai) {
        for (uint32_t l = 0; l < count; ++l) {
            const int32_t sum = a_hi + b_hi[l] + d[l];
            keep[l] = static_cast<uint8_t>((sum - g[l] >= floor) & (g[l] < gap) & (sum > five * g[l]));
        }
        return;
    }
    // Without division: an FAI perimeter P of these sides needs P >= floor + g,
    // P <= the sum of the greatest sides, 7 P <= 25 x + 24 for the shortest
    // greatest side x, and 11 P >= 25 y - 48 for the longest least side y.
    for (uint32_t l = 0; l < count; ++l) {
        const int32_t sum = a_hi + b_hi[l] + d[l];
        int32_t shortest = a_hi < b_hi[l] ? a_hi : b_hi[l];
        shortest = shortest < d[l] ? shortest : d[l];
        int32_t longest = a_lo > b_lo[l] ? a_lo : b_lo[l];
        longest = longest > d[l] ? longest : d[l];
        const int32_t low_sum = a_lo + b_lo[l] + d[l];
        const int32_t need = floor + g[l];
        const int32_t top = 25 * shortest + 24;
        const int32_t ok = (sum >= need) & (7 * need <= top) & (7 * low_sum <= top) & (11 * sum >= 25 * longest - 48) &
                           (11 * shortest + 24 >= 7 * longest) & (g[l] < gap) & (sum > five * g[l]);
        keep[l] = static_cast<uint8_t>(ok);
    }
}

}  // namespace orlogix
