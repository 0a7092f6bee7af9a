#pragma once
// The inner loops of the searches, over contiguous rows of the distance table.
#include <cstddef>
#include <cstdint>

namespace orlogix {

// max over m in [lo, hi) of a[m]; INT32_MIN for an empty range.
int32_t max_value(const int32_t* a, uint32_t lo, uint32_t hi);
// out[j] = min of table[r x stride + column + j] over the rows r in
// [first_row, end_row) (INT32_MAX when none), j in [0, kBlock).
void column_minima(const int32_t* table, std::size_t stride, std::size_t first_row, std::size_t end_row,
                   std::size_t column, int32_t* out);
// max over m in [lo, hi) of a[m] + b[m]; -1 for an empty range.
int32_t max_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi);
// Last m in [lo, hi) with a[m] + b[m] == sum (lo when there is none).
uint32_t last_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi, int32_t sum);
// Part of a row of the distance table: out[j] = planar distance from (x[i], y[i])
// to (x[j], y[j]) in whole metres (0.5 added, then truncated), j in [from, n),
// from a multiple of kBlock; hi[b] / lo[b] get the max / min of the b-th block
// of kBlock entries from there on.
void distance_row(const double* x, const double* y, std::size_t i, std::size_t from, std::size_t n, int32_t* out,
                  int32_t* hi, int32_t* lo);
// hi[j] / lo[j] = max / min of first_row[r x stride + j] over the rows r in
// [0, rows), j in [from, to).
void column_extremes(const int32_t* first_row, std::size_t stride, std::size_t rows, std::size_t from,
                     std::size_t to, int32_t* hi, int32_t* lo);
// The same as max_pair_sum and last_pair_sum over k in [0, count) with the
// second operand read down a column: b[k] = column[k x stride] (last: the
// offset, 0 when none); and the greatest P = a[k] + b[k] + d where every side
// is at least P x 7 / 25, with the last k that gives it (-1 and 0 when no k
// qualifies).
int32_t max_column_sum(const int32_t* a, const int32_t* column, std::size_t stride, uint32_t count);
uint32_t last_column_sum(const int32_t* a, const int32_t* column, std::size_t stride, uint32_t count, int32_t sum);
int32_t max_fai_column_perimeter(const int32_t* a, const int32_t* column, std::size_t stride, int32_t d,
                                 uint32_t count, uint32_t& at);
// Where v[j] > best[j]: best[j] = v[j] and at[j] = index; j in [from, to).
void raise_with_index(int32_t* best, uint32_t* at, const int32_t* v, uint32_t index, std::size_t from, std::size_t to);
// hi[b] = max of hi_in, lo[b] = min of lo_in over the b-th block of kBlock entries (within n).
void block_extremes(const int32_t* hi_in, const int32_t* lo_in, std::size_t n, int32_t* hi, int32_t* lo);
// best[j] = max(best[j], row[j] + add), j in [0, count).
void raise_to_sums(int32_t* best, const int32_t* row, int32_t add, std::size_t count);

// The highest perimeters of any flat and FAI triangle whose turn point lies
// in a block m in [from, to): its sides to the corners lie between xl[m] and
// xh[m], and yl[m] and yh[m], the closing side between d_lo and d_hi. fai is
// -1 where no FAI triangle fits the extremes (every side at least P x 7 / 25,
// integer). 32-bit: every value below kNarrowDistance.
void pair_perimeter_bounds(const int32_t* xl, const int32_t* xh, const int32_t* yl, const int32_t* yh, int32_t d_lo,
                           int32_t d_hi, uint32_t from, uint32_t to, int32_t& flat, int32_t& fai);
inline constexpr int32_t kNarrowDistance = 1 << 25;

// For the kBlock ends l of a first turn point k and a block of turn
// points m: D(k, m) lies from a_lo to a_hi, D(m, l) from b_lo[l] to b_hi[l],
// D(k, l) = d[l], the closing gap is g[l]. keep[l] = 0 only when no triangle
// (FAI when fai, else any) of such sides can score floor or more (perimeter
// less g[l]), or g[l] >= gap, or no perimeter can exceed five x g[l].
// 32-bit: values below kNarrowDistance, floor below 3 x kNarrowDistance.
void turn_point_bounds(int32_t a_lo, int32_t a_hi, const int32_t* b_lo, const int32_t* b_hi, const int32_t* d,
                       const int32_t* g, bool fai, int32_t floor, int32_t gap, int32_t five, uint8_t* keep);

// Points are grouped in blocks of this many for the bounds of the searches.
inline constexpr std::size_t kBlock = 16;

}  // namespace orlogix
