#include "analysis/loop_kernels.hpp"

// The two loops carry almost all of the triangle search; let them use the
// wider vectors where the processor has them.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define ORLOGIX_KERNEL __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define ORLOGIX_KERNEL
#endif

namespace orlogix {

ORLOGIX_KERNEL
int32_t max_pair_sum(const int32_t* a, const int32_t* b, uint32_t lo, uint32_t hi) {
    int32_t best = -1;
    for (uint32_t m = lo; m < hi; ++m) {
        const int32_t s = a[m] + b[m];
        best = s > best ? s : best;
    }
    return best;
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

}  // namespace orlogix
