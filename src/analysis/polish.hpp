#pragma once
// Refinement of a search result on the real positions: every combination of
// the neighbours p-2..p+2 of each chosen index is tried with the ellipsoidal
// distance, first index outermost, ascending, greater or equal wins.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/units.hpp"

namespace orlogix {

// Ellipsoidal distances between the candidates of two slots, computed once.
class WindowDistances {
public:
    WindowDistances(const std::vector<GeoPosition>& geo, const std::array<int64_t, 5>& base, std::size_t slots);
    // geodesic_distance(position of slot a, position of slot b), a < b; a failed distance is 0.
    double between(std::size_t a, int64_t ia, std::size_t b, int64_t ib);

private:
    const std::vector<GeoPosition>& geo_;
    std::array<int64_t, 5> base_;
    std::array<std::array<double, 25>, 25> cache_{};  // [slot pair][candidate pair]
    std::array<std::array<bool, 25>, 25> known_{};
};

enum class PolishRule {
    FreeDistance,      // sum of the legs
    OutAndReturn,      // 2 x start-turn - start-end, start-end <= limit
    OlcOutAndReturn,   // start-turn + turn-end, start-end < limit
    FlatTriangle,      // sides - gap, gap < limit
    FaiTriangle,       // as flat, each side >= 0.28 x sides
    OlcFlatTriangle,   // sides - gap, 5 x gap < sides
    OlcFaiTriangle,    // as OLC flat, each side >= 0.28 x sides
};

struct PolishOutcome {
    std::array<uint32_t, 5> index{};
    double score = 0.0;
    bool found = false;  // some combination met the rule's condition
};

// index holds `slots` position indices (ascending). limit is the gap limit in metres where the rule has one.
PolishOutcome polish(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& index, std::size_t slots,
                     PolishRule rule, double limit);

}  // namespace orlogix
