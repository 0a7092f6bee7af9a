#pragma once
// The projected points of a track and the integer-metre tables every search
// works on: D (distances), G/W (best closing gap and its pair), R/Ra, C/Ca,
// and the bounds of the pruned searches.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/large_table.hpp"
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
    // Fills D, R/Ra, C/Ca and the block extremes. 0, kOptimiseNoMemory or kOptimiseHalted.
    // threads: 0 one per core (at most 2). row_done is called on the calling thread
    // with the rows finished so far, now and then and once at the end.
    int build(const std::vector<PlanePoint>& points, const HaltToken& halt, unsigned threads = 0,
              const std::function<void(std::size_t rows_done)>& row_done = {});
    // Fills G (and the column maxima and pair block bounds the pruned searches use). 0, or an error as above.
    // With a gap_limit, rows of G and of the column maxima are kept only over
    // the ends l from k + 2 to gap_end(k) (the first l with G(k, l) >= gap_limit),
    // all a search with that closing gap reads; with 0 they are kept whole.
    int build_gaps(const HaltToken& halt, unsigned threads = 0, uint32_t gap_limit = 0);
    std::size_t gap_end(std::size_t k) const { return gap_end_[k]; }

    std::size_t size() const { return n_; }
    // D is kept square and symmetric so that both a row and a column are contiguous.
    int32_t d(std::size_t i, std::size_t j) const { return d_[i * n_ + j]; }
    const int32_t* row(std::size_t i) const { return &d_[i * n_]; }
    int32_t g(std::size_t k, std::size_t l) const { return g_[upper(k, l)]; }
    // W(k, l): the pair (a x 65536 + b) that gives G(k, l). Only the winners
    // of a search need it, so it is worked out again on demand rather than kept.
    uint32_t w(std::size_t k, std::size_t l) const;
    // max over k < m < l of D(m, l), for k + 2 <= l.
    int32_t column_max_after(std::size_t k, std::size_t l) const { return colmax_[upper(k, l)]; }
    // Row k of G and of the column maxima, indexed by l (valid for l > k, l >= k + 2 for the maxima).
    const int32_t* g_row(std::size_t k) const { return &g_[upper(k, 0)]; }
    const int32_t* column_max_row(std::size_t k) const { return &colmax_[upper(k, 0)]; }

    // Block maxima of each row (blocks of kBlock columns): bounds for whole runs of turn points.
    const int32_t* block_max(std::size_t i) const { return &bmax_[i * blocks_]; }
    const int32_t* block_min(std::size_t i) const { return &bmin_[i * blocks_]; }
    std::size_t blocks() const { return blocks_; }
    // The same over super-blocks of kBlocksPerSuper blocks.
    const int32_t* super_max(std::size_t i) const { return &smax_[i * super_stride_]; }
    const int32_t* super_min(std::size_t i) const { return &smin_[i * super_stride_]; }
    std::size_t supers() const { return supers_; }
    // Extremes of D(l, m) over l in block lb and m in block mb, as a row per lb.
    const int32_t* pair_block_max(std::size_t lb) const { return &pbmax_[lb * blocks_]; }
    const int32_t* pair_block_min(std::size_t lb) const { return &pbmin_[lb * blocks_]; }

    // The greatest distance in D.
    int32_t longest() const { return longest_; }
    int32_t r(std::size_t i) const { return r_[i]; }
    const int32_t* r_data() const { return r_.data(); }
    const int32_t* c_data() const { return c_.data(); }
    uint32_t ra(std::size_t i) const { return ra_[i]; }
    int32_t c(std::size_t j) const { return c_[j]; }
    uint32_t ca(std::size_t j) const { return ca_[j]; }

private:
    std::size_t upper(std::size_t k, std::size_t l) const { return row_start_[k] + l; }

    std::size_t n_ = 0;
    int32_t longest_ = 0;
    std::size_t blocks_ = 0;
    LargeTable d_;
    std::size_t supers_ = 0;
    std::size_t super_stride_ = 0;
    // Uninitialised: every entry is written once, row by row, as D is filled.
    std::unique_ptr<int32_t[]> bmax_, bmin_, smax_, smin_;
    std::vector<int32_t> pbmax_, pbmin_;
    LargeTable g_;
    LargeTable colmax_;
    std::vector<std::size_t> row_start_;  // row k's kept cells begin at row_start_[k] + k + 1
    std::vector<std::size_t> gap_end_;
    std::vector<int32_t> r_, c_;
    std::vector<uint32_t> ra_, ca_;
};

}  // namespace orlogix
