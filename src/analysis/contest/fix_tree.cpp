#include "analysis/contest/fix_tree.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/contest/contest_rules.hpp"
#include "core/ellipsoid.hpp"
#include "core/geodesy.hpp"

namespace orlogix {
namespace {

constexpr double kSemiMajor = wgs84::kSemiMinor / wgs84::kOneMinusF;
// The radius of curvature of the meridian, the ellipsoid's smallest, at a latitude.
double meridian_radius(double latitude) {
    const double s = std::sin(latitude);
    const double w = 1.0 - wgs84::kE2 * s * s;
    return kSemiMajor * (1.0 - wgs84::kE2) / (w * std::sqrt(w));
}

void earth_centred(const GeoPosition& g, double p[3]) {
    const double s = std::sin(g.latitude), c = std::cos(g.latitude);
    const double n = kSemiMajor / std::sqrt(1.0 - wgs84::kE2 * s * s);
    p[0] = n * c * std::cos(g.longitude);
    p[1] = n * c * std::sin(g.longitude);
    p[2] = n * (1.0 - wgs84::kE2) * s;
}

FixBox join(const FixBox& a, const FixBox& b) {
    FixBox r;
    for (int k = 0; k < 3; ++k) {
        r.lo[k] = std::min(a.lo[k], b.lo[k]);
        r.hi[k] = std::max(a.hi[k], b.hi[k]);
    }
    return r;
}

}  // namespace

double min_chord(const FixBox& a, const FixBox& b) {
    double s = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double gap = std::max({0.0, a.lo[k] - b.hi[k], b.lo[k] - a.hi[k]});
        s += gap * gap;
    }
    return std::sqrt(s);
}

double max_chord(const FixBox& a, const FixBox& b) {
    double s = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double span = std::max(a.hi[k] - b.lo[k], b.hi[k] - a.lo[k]);
        s += span * span;
    }
    return std::sqrt(s);
}

FixTree::FixTree(std::vector<GeoPosition> geo) : geo_(std::move(geo)) {
    const std::size_t n = geo_.size();
    // East, north and up at the middle of the track: a rotation keeps every
    // chord, and boxes along the ground hug the fixes better than boxes along
    // the earth's axes.
    double mid[3] = {0, 0, 0};
    double south = 10.0, north = -10.0;
    for (const GeoPosition& g : geo_) {
        mid[0] += std::cos(g.latitude) * std::cos(g.longitude);
        mid[1] += std::cos(g.latitude) * std::sin(g.longitude);
        mid[2] += std::sin(g.latitude);
        south = std::min(south, g.latitude);
        north = std::max(north, g.latitude);
    }
    const double lon = std::atan2(mid[1], mid[0]);
    const double lat = std::atan2(mid[2], std::hypot(mid[0], mid[1]));
    const double axes[3][3] = {
        {-std::sin(lon), std::cos(lon), 0.0},
        {-std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat)},
        {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)},
    };
    double origin[3] = {0, 0, 0};
    if (n > 0) earth_centred(GeoPosition{lat, lon}, origin);
    levels_.emplace_back(n);
    for (std::size_t i = 0; i < n; ++i) {
        double p[3];
        earth_centred(geo_[i], p);
        for (int k = 0; k < 3; ++k) p[k] -= origin[k];
        FixBox& b = levels_[0][i];
        for (int k = 0; k < 3; ++k) b.lo[k] = b.hi[k] = axes[k][0] * p[0] + axes[k][1] * p[1] + axes[k][2] * p[2];
    }
    while (levels_.back().size() > 1) {
        const std::vector<FixBox>& below = levels_.back();
        std::vector<FixBox> up((below.size() + 1) / 2);
        for (std::size_t b = 0; b < up.size(); ++b) {
            up[b] = 2 * b + 1 < below.size() ? join(below[2 * b], below[2 * b + 1]) : below[2 * b];
        }
        levels_.push_back(std::move(up));
    }
    // A geodesic between two points on one side of the equator, shorter than
    // a quarter of the earth, keeps to latitudes at least as far from the
    // equator as the nearer of its ends, where the meridian curves no more
    // sharply than there; elsewhere the equator's meridian is the sharpest.
    const bool one_side = south > 0.0 || north < 0.0;
    const bool small = n == 0 || max_chord(levels_.back()[0], levels_.back()[0]) < 5e6;
    const double nearest = one_side ? std::min(std::fabs(south), std::fabs(north)) : 0.0;
    radius_ = meridian_radius(small ? nearest : 0.0) * (1.0 - 1e-9);
}

std::size_t FixTree::block_last(int level, std::size_t block) const {
    return std::min(geo_.size(), (block + 1) << level) - 1;
}

double FixTree::long_surface_bound(double x) const {
    return 2.0 * radius_ * std::asin(std::min(1.0, x)) * (1.0 + 1e-12) + 1e-3;
}

double FixTree::distance(std::size_t i, std::size_t j) const { return distance_or_zero(geo_[i], geo_[j]); }

int64_t FixTree::hundredths(std::size_t i, std::size_t j) const {
    const double c = chord(point(i), point(j));
    // Far apart, the inverse formula may give up (and count 0): ask it.
    if (c < 1e6) {
        const int64_t lo = hundredths_of_km(std::max(0.0, c - 1e-3));
        if (lo == hundredths_of_km(surface_bound(c))) return lo;
    }
    return hundredths_of_km(distance(i, j));
}

FixPair FixTree::closest_around(std::size_t i, std::size_t j, double cap, double edge) const {
    FixPair best{cap, 0, 0};
    int64_t counted = INT64_MAX;  // of the best pair found
    // Pairs are looked at only where they may count fewer hundredths than the
    // best one found, or lie below the edge where it does not: nearer than this.
    auto reach = [&] {
        const double fewer = counted == INT64_MAX ? cap : std::min(cap, 10.0 * static_cast<double>(counted) - 5.0);
        return best.metres >= edge ? std::max(fewer, std::min(cap, edge)) : fewer;
    };
    double near = reach();
    struct Item {
        int level;
        uint32_t a, b;
    };
    std::vector<Item> stack;
    stack.push_back({top_level(), 0, 0});
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        if (block_first(it.level, it.a) > i || block_last(it.level, it.b) < j) continue;
        if (min_chord(box(it.level, it.a), box(it.level, it.b)) >= near) continue;
        if (it.level == 0) {
            // The count from the chord where it settles it; the distance itself only for a new best.
            const int64_t h = hundredths(it.a, it.b);
            if (h >= counted && !(best.metres >= edge && chord(point(it.a), point(it.b)) < edge)) continue;
            const double d = distance(it.a, it.b);
            if (d >= cap) continue;
            if (h < counted || (best.metres >= edge && d < edge)) {
                best = {d, it.a, it.b};
                counted = h;
                near = reach();
            }
            continue;
        }
        const int l = it.level - 1;
        Item kids[4];
        double lb[4];
        int count = 0;
        for (uint32_t x = 0; x < 2; ++x) {
            const uint32_t a = 2 * it.a + x;
            if (a >= blocks(l) || block_first(l, a) > i) continue;
            for (uint32_t y = 0; y < 2; ++y) {
                const uint32_t b = 2 * it.b + y;
                if (b >= blocks(l) || block_last(l, b) < j) continue;
                kids[count] = {l, a, b};
                lb[count] = min_chord(box(l, a), box(l, b));
                ++count;
            }
        }
        // The nearest pair of boxes is searched first: pushed last.
        int order[4] = {0, 1, 2, 3};
        for (int x = 1; x < count; ++x) {
            for (int y = x; y > 0 && lb[order[y - 1]] < lb[order[y]]; --y) std::swap(order[y - 1], order[y]);
        }
        for (int k = 0; k < count; ++k) {
            if (lb[order[k]] < near) stack.push_back(kids[order[k]]);
        }
    }
    return best;
}

}  // namespace orlogix
