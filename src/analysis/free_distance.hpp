#pragma once
// Free distance over 2..5 points on the distance tables; projected indices.
#include <array>
#include <cstdint>

#include "analysis/distance_tables.hpp"

namespace orlogix {

struct MatrixPath {
    std::array<uint32_t, 5> point{};
    int64_t length = -1;  // -1: too few points
};

// Over 2, 3, 4 and 5 points, in that order. Among equal lengths the last
// candidate in the plain loops' order wins (start, then each later point).
std::array<MatrixPath, 4> free_distances(const DistanceTables& t);

}  // namespace orlogix
