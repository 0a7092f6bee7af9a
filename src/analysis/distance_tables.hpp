#pragma once
// The projected points of a track and the integer-metre tables every search
// works on: D (distances), R/Ra and C/Ca, the extremes of D over blocks of
// points, and the block minima from which any closing gap G(k, l) is worked
// out when a search needs it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/large_table.hpp"
#include "analysis/loop_kernels.hpp"
#include "analysis/optimisation_results.hpp"
#include "core/geodesy.hpp"
#include "core/records.hpp"

namespace orlogix {

inline constexpr std::size_t kMaxProjectedPoints = 2000;

struct ProjectedTrack {
    std::vector<PlanePoint> points;   // metres about the track's central meridian
    std::vector<uint32_t> position;   // projected point -> position index
};

// At most 2000 points, spread evenly, first and last position always included.
ProjectedTrack project_track(const std::vector<TrackPosition>& positions);
// The indices project_track samples from a track of count positions.
std::vector<uint32_t> sample_indices(std::size_t count);

class DistanceTables {
public:
    // Fills every table. 0, kOptimiseNoMemory or kOptimiseHalted.
    // threads: 0 one per core (at most 2). row_done is called on the calling thread
    // with the rows finished so far, now and then and once at the end.
    int build(const std::vector<PlanePoint>& points, const HaltToken& halt, unsigned threads = 0,
              const std::function<void(std::size_t rows_done)>& row_done = {});

    std::size_t size() const { return n_; }
    // D keeps each row from its own block on (j >= i - i % kBlock), the rows
    // of a block side by side: row(i)[j] for those j. The points m of block x
    // before l are down a column: D(m, l) = block_column(x, l)[(m - x kBlock)
    // x block_stride(x)].
    int32_t d(std::size_t i, std::size_t j) const { return i <= j ? row(i)[j] : row(j)[i]; }
    const int32_t* row(std::size_t i) const {
        const std::size_t x = i / kBlock;
        return d_.data() + block_start_[x] + (i - x * kBlock) * block_stride(x) - x * kBlock;
    }
    const int32_t* block_column(std::size_t x, std::size_t l) const { return row(x * kBlock) + l; }
    std::size_t block_stride(std::size_t x) const { return n_ - x * kBlock; }

    // Extremes of row i over block b (kBlock columns).
    int32_t block_max(std::size_t i, std::size_t b) const { return bmax_[b * n_ + i]; }
    int32_t block_min(std::size_t i, std::size_t b) const { return bmin_[b * n_ + i]; }
    // Every row's extremes over block b, indexed by row.
    const int32_t* block_max_column(std::size_t b) const { return &bmax_[b * n_]; }
    const int32_t* block_min_column(std::size_t b) const { return &bmin_[b * n_]; }
    std::size_t blocks() const { return blocks_; }
    // Extremes of D(a, b) over a in block x and b in block y (symmetric), as a row per x.
    const int32_t* tile_max(std::size_t x) const { return &tmax_[x * blocks_]; }
    const int32_t* tile_min(std::size_t x) const { return &tmin_[x * blocks_]; }

    // G(k, l): the smallest D(a, b) over a <= k and b >= l (the best closing
    // gap of a loop whose turn points lie from k to l), for k < l.
    int32_t g(std::size_t k, std::size_t l) const;
    // The smallest G(k, l) of k in block x, l in block y, x < y.
    int32_t least_gap(std::size_t x, std::size_t y) const { return corner_[(x + 1) * (blocks_ + 1) + y]; }
    // G(k, l) of every k in block x and l in block y (x <= y) at
    // out[(k - x kBlock) kBlock + l - y kBlock]; cells with k >= l are not meaningful.
    void gaps(std::size_t x, std::size_t y, int32_t* out) const;
    // W(k, l): the pair (a x 65536 + b) that gives G(k, l) when G is filled
    // row by row from the right, the smaller value replacing. Only the winners
    // of a search need it, so it is worked out on demand.
    uint32_t w(std::size_t k, std::size_t l) const;

    // The greatest distance in D.
    int32_t longest() const { return longest_; }
    int32_t r(std::size_t i) const { return r_[i]; }
    const int32_t* r_data() const { return r_.data(); }
    const int32_t* c_data() const { return c_.data(); }
    uint32_t ra(std::size_t i) const { return ra_[i]; }
    int32_t c(std::size_t j) const { return c_[j]; }
    uint32_t ca(std::size_t j) const { return ca_[j]; }

private:
    void column_first_maximum(std::size_t j, int32_t top, uint32_t block);

    int32_t* row_out(std::size_t i) { return const_cast<int32_t*>(row(i)); }

    std::size_t n_ = 0;
    std::size_t blocks_ = 0;
    std::vector<std::size_t> block_start_;  // where each block's rows begin in d_
    int32_t longest_ = 0;
    LargeTable d_;
    // The block tables over all rows share one large allocation beside D's.
    LargeTable sides_;
    int32_t* bmax_ = nullptr;
    int32_t* bmin_ = nullptr;
    std::unique_ptr<int32_t[]> tmax_, tmin_;
    // Block extremes, block by block: bmax_[b n + i] is row i's over block b.
    // corner_(x, y): min D(a, b) over a < x kBlock, b >= y kBlock.
    std::unique_ptr<int32_t[]> corner_;
    std::vector<int32_t> r_, c_;
    std::vector<uint32_t> ra_, ca_;
};

}  // namespace orlogix
