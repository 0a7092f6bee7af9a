#include "analysis/large_table.hpp"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orlogix {

namespace {
constexpr std::size_t kAlign = 2 * 1024 * 1024;
}

void LargeTable::Free::operator()(int32_t* p) const { std::free(p); }

bool LargeTable::allocate(std::size_t count) {
    data_.reset();
    std::size_t bytes = count * sizeof(int32_t);
    bytes = (bytes + kAlign - 1) / kAlign * kAlign;
    if (bytes == 0) bytes = kAlign;
    void* p = std::aligned_alloc(kAlign, bytes);
    if (p == nullptr) return false;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, bytes, MADV_HUGEPAGE);  // a hint only: failure changes nothing
#endif
    data_.reset(static_cast<int32_t*>(p));
    return true;
}

}  // namespace orlogix
