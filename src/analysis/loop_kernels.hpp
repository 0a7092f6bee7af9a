#pragma once
// The inner loops of the searches, over contiguous rows of the distance table.
#include <cstddef>
#include <cstdint>

namespace orlogix {

// max over m in [lo, hi) of a[m]; INT32_MIN for an empty range.
int32_t max_value(const int32_t* a, uint32_t lo, uint32_t hi);
// max over m in [lo, hi) of a[m] + b[m]; -1 for an empty range.
int32_t max_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi);
// Last m in [lo, hi) with a[m] + b[m] == sum (lo when there is none).
uint32_t last_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi, int32_t sum);
// max over m in [lo, hi) of P = a[m] + b[m] + d where every side (a[m], b[m], d)
// is at least P x 7 / 25; -1 when no m qualifies.
int32_t max_fai_perimeter(const int32_t* a, const int32_t* b, int32_t d, uint32_t lo, uint32_t hi);
// One row of the distance table: out[j] = planar distance from (x[i], y[i]) to (x[j], y[j])
// in whole metres (0.5 added, then truncated), j in [0, n).
void distance_row(const double* x, const double* y, std::size_t i, std::size_t n, int32_t* out);
// hi[b] / lo[b] = max / min of the b-th block of kBlock entries of row (within n).
void block_extremes(const int32_t* row, std::size_t n, int32_t* hi, int32_t* lo);

// Which blocks [first, last] of turn points may hold a triangle on the corners
// (k, l) that reaches the needs; flags[b] gets bit 1 (flat) and bit 2 (FAI).
// kmax/kmin, lmax/lmin are the block extremes of rows k and l, d = D(k, l).
// Returns the number of flagged blocks.
struct BlockNeeds {
    int32_t flat_sum;  // a + b a flat candidate must reach (INT32_MAX: no flat search)
    int32_t fai_sum;   // a + b an FAI candidate must reach (INT32_MAX: no FAI search)
    int32_t d;
};
// Exactly eight blocks are read; only first..last (0..7) may be flagged.
uint32_t flag_blocks8(const int32_t* kmax, const int32_t* kmin, const int32_t* lmax, const int32_t* lmin,
                      uint32_t first, uint32_t last, const BlockNeeds& need, int32_t* flags);

// Whether a block of ends may hold any FAI triangle with first turn point k:
// for turn points in blocks first..last, a from row k's block extremes, b from
// the extremes over the end block, d between dmin and dmax; sides a + b must
// reach `need`.
bool fai_possible(const int32_t* kmax, const int32_t* kmin, const int32_t* emax, const int32_t* emin, uint32_t first,
                  uint32_t last, int32_t need, int32_t dmin, int32_t dmax);

// Whether some turn point block first..last may reach sums a + b of `need`.
bool sum_possible(const int32_t* kmax, const int32_t* emax, uint32_t first, uint32_t last, int32_t need);

// The pair bound of the triangle search for one first turn point k over the
// ends l in [lo, hi), four ends a step: with a = max D(k, m) before l (prefix),
// b = max D(m, l) after k (colmax), d = D(k, l) and the gap g, the perimeter is
// at most a + b + d, and an FAI perimeter at most (25 x side + 24) / 7 for each
// of the three. keep[l] = 1 when that bound less g reaches flat_floor (flat) or
// fai_floor (FAI, every side's cap too), else 0. Sums are 64-bit.
void triangle_pair_bounds(const int32_t* prefix, const int32_t* colmax, const int32_t* d, const int32_t* g,
                          uint32_t lo, uint32_t hi, int64_t flat_floor, int64_t fai_floor, uint8_t* keep);
// The same in 32-bit arithmetic, twice as many ends a step, for tables whose
// distances are all below kNarrowDistance (33 554 km) and floors below
// 4 x kNarrowDistance, where no sum or product can overflow.
inline constexpr int32_t kNarrowDistance = 1 << 25;
void triangle_pair_bounds_narrow(const int32_t* prefix, const int32_t* colmax, const int32_t* d, const int32_t* g,
                                 uint32_t lo, uint32_t hi, int32_t flat_floor, int32_t fai_floor, uint8_t* keep);

inline constexpr std::size_t kBlock = 16;
inline constexpr std::size_t kBlocksPerSuper = 8;  // super-blocks of 128 turn points

}  // namespace orlogix
