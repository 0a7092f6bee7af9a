#pragma once
// The fixes of a track as points in space (earth-centred coordinates turned
// to the track's own east, north and up, so that the boxes of a flight lie
// flat), with bounding boxes over aligned index blocks of every size (block b
// of level L holds fixes b 2^L .. (b + 1) 2^L - 1). The boxes give bounds on
// ellipsoidal distances that hold for every pair of fixes inside them: a
// straight chord never exceeds the surface distance, and no geodesic between
// two fixes curves more than the ellipsoid's sharpest meridian among their
// latitudes, which limits how much longer than its chord it can be.
#include <algorithm>
#include <cmath>
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
inline double max_chord(const FixBox& a, const double p[3]) {
    double s = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double span = std::max(a.hi[k] - p[k], p[k] - a.lo[k]);
        s += span * span;
    }
    return std::sqrt(s);
}
inline double chord(const double a[3], const double b[3]) {
    const double x = a[0] - b[0], y = a[1] - b[1], z = a[2] - b[2];
    return std::sqrt(x * x + y * y + z * z);
}

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
    const double* point(std::size_t i) const { return levels_[0][i].lo; }
    const GeoPosition& geo(std::size_t i) const { return geo_[i]; }

    // The surface distance between two fixes of this track whose chord is
    // chord_metres is never above this (nor below the chord).
    double surface_bound(double chord_metres) const {
        // A curve whose curvature never exceeds 1/r is at most as long as the arc of radius r
        // over the same chord; 1 mm more covers the inverse formula's own error and rounding.
        const double x = chord_metres / (2.0 * radius_);
        // asin(x) / x = 1 + x^2 / 6 + 3 x^4 / 40 + 5 x^6 / 112 + ... stays below 1 + x^2 / 6 + 0.0755 x^4 up to x = 0.1.
        if (x < 0.1) return chord_metres * (1.0 + x * x * (1.0 / 6.0 + 0.0755 * x * x)) * (1.0 + 1e-12) + 1e-3;
        return long_surface_bound(x);
    }
    // The ellipsoidal distance of two fixes.
    double distance(std::size_t i, std::size_t j) const;
    // The distance of two fixes in whole 0.01 km, from the chord alone where
    // the bounds settle it.
    int64_t hundredths(std::size_t i, std::size_t j) const;
    // The closest pair a <= i, b >= j as far as the rules tell closings apart:
    // a pair that counts as many whole 0.01 km as the closest one and lies
    // below edge metres if any pair does, with its distance, searched among
    // the pairs below cap metres only (when there is none, metres is cap and
    // a, b mean nothing).
    FixPair closest_around(std::size_t i, std::size_t j, double cap, double edge = 0.0) const;

private:
    double long_surface_bound(double half_chord_over_radius) const;

    std::vector<GeoPosition> geo_;
    std::vector<std::vector<FixBox>> levels_;
    double radius_ = 0.0;  // no geodesic between two fixes curves more sharply than this
};

}  // namespace orlogix
