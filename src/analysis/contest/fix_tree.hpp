#pragma once
// The fixes of a track as points on the ellipsoid in earth-centred
// coordinates, with bounding boxes over aligned index blocks of every size
// (block b of level L holds fixes b 2^L .. (b + 1) 2^L - 1) and over every
// prefix and suffix. The boxes give bounds on ellipsoidal distances that
// hold for every pair of fixes inside them: a straight chord never exceeds
// the surface distance, and no geodesic curves more than the ellipsoid's
// sharpest meridian, which limits how much longer than its chord it can be.
#include <cstdint>
#include <vector>

#include "core/units.hpp"

namespace orlogix {

struct FixBox {
    double lo[3], hi[3];
};

// Least and greatest chord between any point of a and any point of b, metres.
double min_chord(const FixBox& a, const FixBox& b);
double max_chord(const FixBox& a, const FixBox& b);
// The surface distance is never below the chord and never above this.
double surface_upper_bound(double chord_metres);

struct FixPair {
    double metres = 0.0;
    uint32_t a = 0, b = 0;
};

class FixTree {
public:
    explicit FixTree(std::vector<GeoPosition> geo);  // radians, time order

    std::size_t size() const { return geo_.size(); }
    int top_level() const { return static_cast<int>(levels_.size()) - 1; }
    std::size_t blocks(int level) const { return levels_[level].size(); }
    const FixBox& box(int level, std::size_t block) const { return levels_[level][block]; }
    std::size_t block_first(int level, std::size_t block) const { return block << level; }
    std::size_t block_last(int level, std::size_t block) const;
    const FixBox& prefix(std::size_t i) const { return prefix_[i]; }  // fixes 0 .. i
    const FixBox& suffix(std::size_t j) const { return suffix_[j]; }  // fixes j .. n-1
    const GeoPosition& geo(std::size_t i) const { return geo_[i]; }

    // The ellipsoidal distance of two fixes.
    double distance(std::size_t i, std::size_t j) const;
    // The closest pair a <= i, b >= j, searched only below cap metres: when no
    // pair is closer than cap, metres is cap or more and a, b mean nothing.
    FixPair closest_around(std::size_t i, std::size_t j, double cap) const;
    // The fix a <= i farthest from i (b = i), and the fix b >= j farthest from j (a = j).
    FixPair farthest_before(std::size_t i) const { return farthest(i, true); }
    FixPair farthest_after(std::size_t j) const { return farthest(j, false); }
    // Greatest weight[k] + distance(k, from) over k <= from (before) or k >= from,
    // given the weights' maxima over every block (weight_max[level][block]).
    // With a grain (metres), each distance counts rounded to the nearest
    // multiple of it. The fix found is a (before) or b. hint, a fix on the right
    // side of from, is tried first (the answer for a neighbouring fix is a good
    // start). Only sums above floor are searched: when none is, metres is floor.
    FixPair farthest(std::size_t from, bool before, const std::vector<std::vector<double>>* weight_max = nullptr,
                     double grain = 0.0, std::size_t hint = kNoHint, double floor = -1.0) const;
    static constexpr std::size_t kNoHint = static_cast<std::size_t>(-1);

private:

    std::vector<GeoPosition> geo_;
    std::vector<std::vector<FixBox>> levels_;
    std::vector<FixBox> prefix_, suffix_;
};

}  // namespace orlogix
