#include "analysis/contest/fix_tree.hpp"

#include <algorithm>
#include <cmath>

#include "core/ellipsoid.hpp"
#include "core/geodesy.hpp"

namespace orlogix {
namespace {

constexpr double kSemiMajor = wgs84::kSemiMinor / wgs84::kOneMinusF;
// The smallest radius of curvature of the ellipsoid (of the meridian at the equator).
constexpr double kSharpestRadius = wgs84::kSemiMinor * wgs84::kSemiMinor / kSemiMajor;

FixBox point_box(const GeoPosition& g) {
    const double s = std::sin(g.latitude), c = std::cos(g.latitude);
    const double n = kSemiMajor / std::sqrt(1.0 - wgs84::kE2 * s * s);
    const double p[3] = {n * c * std::cos(g.longitude), n * c * std::sin(g.longitude), n * (1.0 - wgs84::kE2) * s};
    FixBox b;
    for (int k = 0; k < 3; ++k) b.lo[k] = b.hi[k] = p[k];
    return b;
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

double surface_upper_bound(double chord_metres) {
    // A curve whose curvature never exceeds 1/r is at most as long as the arc of radius r
    // over the same chord; 1 mm more covers the inverse formula's own error and rounding.
    const double x = chord_metres / (2.0 * kSharpestRadius);
    // asin(x) / x = 1 + x^2 / 6 + 3 x^4 / 40 + ... stays below 1 + 0.175 x^2 up to x = 0.1.
    if (x < 0.1) return chord_metres * (1.0 + 0.175 * x * x) * (1.0 + 1e-12) + 1e-3;
    return 2.0 * kSharpestRadius * std::asin(std::min(1.0, x)) * (1.0 + 1e-12) + 1e-3;
}

FixTree::FixTree(std::vector<GeoPosition> geo) : geo_(std::move(geo)) {
    const std::size_t n = geo_.size();
    levels_.emplace_back();
    levels_[0].reserve(n);
    for (const GeoPosition& g : geo_) levels_[0].push_back(point_box(g));
    while (levels_.back().size() > 1) {
        const std::vector<FixBox>& below = levels_.back();
        std::vector<FixBox> up((below.size() + 1) / 2);
        for (std::size_t b = 0; b < up.size(); ++b) {
            up[b] = 2 * b + 1 < below.size() ? join(below[2 * b], below[2 * b + 1]) : below[2 * b];
        }
        levels_.push_back(std::move(up));
    }
    prefix_.resize(n);
    suffix_.resize(n);
    for (std::size_t i = 0; i < n; ++i) prefix_[i] = i == 0 ? levels_[0][0] : join(prefix_[i - 1], levels_[0][i]);
    for (std::size_t j = n; j-- > 0;) suffix_[j] = j + 1 == n ? levels_[0][j] : join(suffix_[j + 1], levels_[0][j]);
}

std::size_t FixTree::block_last(int level, std::size_t block) const {
    return std::min(geo_.size(), (block + 1) << level) - 1;
}

double FixTree::distance(std::size_t i, std::size_t j) const { return distance_or_zero(geo_[i], geo_[j]); }

FixPair FixTree::closest_around(std::size_t i, std::size_t j, double cap) const {
    FixPair best{cap, 0, 0};
    struct Item {
        int level;
        uint32_t a, b;
    };
    std::vector<Item> stack;
    const int top = top_level();
    stack.push_back({top, 0, 0});
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        if (block_first(it.level, it.a) > i || block_last(it.level, it.b) < j) continue;
        if (min_chord(box(it.level, it.a), box(it.level, it.b)) >= best.metres) continue;
        if (it.level == 0) {
            const double d = distance(it.a, it.b);
            if (d < best.metres) best = {d, it.a, it.b};
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
            if (lb[order[k]] < best.metres) stack.push_back(kids[order[k]]);
        }
    }
    return best;
}

FixPair FixTree::farthest(std::size_t from, bool before, const std::vector<std::vector<double>>* weight_max,
                          double grain, std::size_t hint, double floor) const {
    FixPair best{floor, static_cast<uint32_t>(from), static_cast<uint32_t>(from)};
    const FixBox& p = levels_[0][from];
    auto weight = [&](int level, std::size_t block) { return weight_max ? (*weight_max)[level][block] : 0.0; };
    auto counted = [grain](double metres) { return grain > 0.0 ? grain * std::floor(metres / grain + 0.5) : metres; };
    if (hint != kNoHint && (before ? hint <= from : hint >= from)) {
        const double d = weight(0, hint) + counted(distance(hint, from));
        if (d > best.metres) {
            best.metres = d;
            (before ? best.a : best.b) = static_cast<uint32_t>(hint);
        }
    }
    struct Item {
        int level;
        uint32_t block;
        double ub;
    };
    std::vector<Item> stack;
    stack.push_back({top_level(), 0, 1e300});
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        if (it.ub <= best.metres) continue;
        if (it.level == 0) {
            const double d = weight(0, it.block) + counted(distance(it.block, from));
            if (d > best.metres) {
                best.metres = d;
                (before ? best.a : best.b) = it.block;
            }
            continue;
        }
        const int l = it.level - 1;
        Item kids[2];
        int count = 0;
        for (uint32_t x = 0; x < 2; ++x) {
            const uint32_t b = 2 * it.block + x;
            if (b >= blocks(l)) continue;
            if (before ? block_first(l, b) > from : block_last(l, b) < from) continue;
            kids[count++] = {l, b, weight(l, b) + counted(surface_upper_bound(max_chord(box(l, b), p)))};
        }
        if (count == 2 && kids[0].ub > kids[1].ub) std::swap(kids[0], kids[1]);
        for (int k = 0; k < count; ++k) {
            if (kids[k].ub > best.metres) stack.push_back(kids[k]);
        }
    }
    return best;
}

}  // namespace orlogix
