#pragma once
// An uninitialised array for the multi-megabyte tables: aligned so that the
// system may back it with large pages, which saves thousands of page faults
// per optimisation.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orlogix {

class LargeTable {
public:
    LargeTable() = default;
    // false when the memory cannot be had.
    bool allocate(std::size_t count);
    int32_t* data() { return data_.get(); }
    const int32_t* data() const { return data_.get(); }
    int32_t& operator[](std::size_t i) { return data_.get()[i]; }
    const int32_t& operator[](std::size_t i) const { return data_.get()[i]; }

private:
    struct Free {
        void operator()(int32_t* p) const;
    };
    std::unique_ptr<int32_t, Free> data_;
};

}  // namespace orlogix
