#include "analysis/loop_kernels.hpp"

#include <climits>
#include <cmath>

// These loops carry almost all of the optimisation's time; let them use the
// wider vectors where the processor has them. Only "avx2" is named, never
// "fma", so that no multiply-add contraction can change a distance. The
// build compiles this file without errno for sqrt, so that it vectorises.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define ORLOGIX_KERNEL __attribute__((target_clones("avx2", "default"), optimize("O3", "no-math-errno")))
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
int32_t max_fai_perimeter(const int32_t* a, const int32_t* b, int32_t d, uint32_t lo, uint32_t hi) {
    int32_t best = -1;
    for (uint32_t m = lo; m < hi; ++m) {
        const uint32_t p = static_cast<uint32_t>(a[m] + b[m] + d);
        const int32_t least = static_cast<int32_t>(p * 7u / 25u);
        const int32_t v = (a[m] >= least && b[m] >= least && d >= least) ? static_cast<int32_t>(p) : -1;
        best = v > best ? v : best;
    }
    return best;
}

ORLOGIX_KERNEL
void distance_row(const double* x, const double* y, std::size_t i, std::size_t n, int32_t* out) {
    const double xi = x[i], yi = y[i];
    for (std::size_t j = 0; j < n; ++j) {
        // The same operands in the same order for (i, j) and (j, i): the
        // squares of a difference and of its negation are equal.
        const double dx = x[j] - xi;
        const double dy = y[j] - yi;
        out[j] = static_cast<int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
    }
}

ORLOGIX_KERNEL
void block_extremes(const int32_t* row, std::size_t n, int32_t* hi, int32_t* lo) {
    // Whole blocks with a fixed trip count, which the compiler turns into a
    // few vector operations per block; then the short block at the end.
    const std::size_t whole = n / kBlock;
    for (std::size_t b = 0; b < whole; ++b) {
        const int32_t* p = row + b * kBlock;
        int32_t mx = p[0], mn = p[0];
        for (std::size_t k = 1; k < kBlock; ++k) {
            mx = p[k] > mx ? p[k] : mx;
            mn = p[k] < mn ? p[k] : mn;
        }
        hi[b] = mx;
        lo[b] = mn;
    }
    for (std::size_t b = whole; b * kBlock < n; ++b) {
        const std::size_t from = b * kBlock, to = from + kBlock < n ? from + kBlock : n;
        int32_t mx = row[from], mn = row[from];
        for (std::size_t k = from + 1; k < to; ++k) {
            mx = row[k] > mx ? row[k] : mx;
            mn = row[k] < mn ? row[k] : mn;
        }
        hi[b] = mx;
        lo[b] = mn;
    }
}

ORLOGIX_KERNEL
uint32_t flag_blocks8(const int32_t* kmax, const int32_t* kmin, const int32_t* lmax, const int32_t* lmin,
                      uint32_t first, uint32_t last, const BlockNeeds& need, int32_t* flags) {
    const int32_t d = need.d, flat_sum = need.flat_sum, fai_sum = need.fai_sum;
    int32_t count = 0;
    // Fixed width and no branches, so that the eight tests run side by side.
    for (int32_t b = 0; b < 8; ++b) {
        const int32_t top = kmax[b] + lmax[b];
        const int32_t flat = top >= flat_sum;
        // An FAI turn point m has every side at least 7/25 of P = a + b + d,
        // so none above 11/25 of P plus rounding: 14 a <= 11 (b + d) + 48.
        const int32_t least = static_cast<int32_t>(static_cast<uint32_t>(kmin[b] + lmin[b] + d) * 7u / 25u);
        const int32_t fai = (top >= fai_sum) & (14 * kmin[b] <= 11 * (lmax[b] + d) + 48) &
                            (14 * d <= 11 * top + 48) &
                            (14 * lmin[b] <= 11 * (kmax[b] + d) + 48) & (kmax[b] >= least) & (lmax[b] >= least) &
                            (d >= least);
        const int32_t in = (b >= static_cast<int32_t>(first)) & (b <= static_cast<int32_t>(last));
        const int32_t f = (flat | (fai << 1)) & -in;
        flags[b] = f;
        count += f != 0;
    }
    return static_cast<uint32_t>(count);
}

ORLOGIX_KERNEL
bool sum_possible(const int32_t* kmax, const int32_t* emax, uint32_t first, uint32_t last, int32_t need) {
    int32_t any = 0;
    for (uint32_t b = first; b <= last; ++b) any |= kmax[b] + emax[b] >= need;
    return any != 0;
}

ORLOGIX_KERNEL
bool fai_possible(const int32_t* kmax, const int32_t* kmin, const int32_t* emax, const int32_t* emin, uint32_t first,
                  uint32_t last, int32_t need, int32_t dmin, int32_t dmax) {
    int32_t any = 0;
    // The tests of flag_blocks8, each side taken at its most favourable end.
    for (uint32_t b = first; b <= last; ++b) {
        const int32_t top = kmax[b] + emax[b];
        const int32_t least = static_cast<int32_t>(static_cast<uint32_t>(kmin[b] + emin[b] + dmin) * 7u / 25u);
        any |= (top >= need) & (14 * kmin[b] <= 11 * (emax[b] + dmax) + 48) &
               (14 * emin[b] <= 11 * (kmax[b] + dmax) + 48) & (14 * dmin <= 11 * top + 48) & (kmax[b] >= least) &
               (emax[b] >= least) & (dmax >= least);
    }
    return any != 0;
}

ORLOGIX_KERNEL
void triangle_pair_bounds(const int32_t* prefix, const int32_t* colmax, const int32_t* d, const int32_t* g,
                          uint32_t lo, uint32_t hi, int64_t flat_floor, int64_t fai_floor, uint8_t* keep) {
    for (uint32_t l = lo; l < hi; ++l) {
        const int64_t a = prefix[l], b = colmax[l], c = d[l];
        const int64_t need = g[l] + fai_floor;
        const int64_t over = a + b + c - g[l];
        // cap(x) = (25 x + 24) / 7 reaches need exactly when 25 x + 24 reaches 7 need (x >= 0).
        const int64_t seven = 7 * need;
        const int64_t fai = (over >= fai_floor) & (25 * a + 24 >= seven) & (25 * b + 24 >= seven) &
                            (25 * c + 24 >= seven);
        keep[l] = static_cast<uint8_t>((over >= flat_floor) | fai);
    }
}

ORLOGIX_KERNEL
void triangle_pair_bounds_narrow(const int32_t* prefix, const int32_t* colmax, const int32_t* d, const int32_t* g,
                                 uint32_t lo, uint32_t hi, int32_t flat_floor, int32_t fai_floor, uint8_t* keep) {
    for (uint32_t l = lo; l < hi; ++l) {
        const int32_t a = prefix[l], b = colmax[l], c = d[l];
        const int32_t seven = 7 * (g[l] + fai_floor);
        const int32_t over = a + b + c - g[l];
        const int32_t fai = (over >= fai_floor) & (25 * a + 24 >= seven) & (25 * b + 24 >= seven) &
                            (25 * c + 24 >= seven);
        keep[l] = static_cast<uint8_t>((over >= flat_floor) | fai);
    }
}

}  // namespace orlogix
