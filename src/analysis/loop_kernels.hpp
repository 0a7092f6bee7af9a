#pragma once
// The inner loops over the turn point, over two contiguous rows of D.
#include <cstdint>

namespace orlogix {

// max over m in [lo, hi) of a[m] + b[m]; -1 for an empty range.
int32_t max_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi);
// max over m in [lo, hi) of P = a[m] + b[m] + d where every side (a[m], b[m], d)
// is at least P x 7 / 25; -1 when no m qualifies.
int32_t max_fai_perimeter(const int32_t* a, const int32_t* b, int32_t d, uint32_t lo, uint32_t hi);

}  // namespace orlogix
