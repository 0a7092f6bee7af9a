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

MatrixPath free_distance_2(const DistanceTables& t);
MatrixPath free_distance_3(const DistanceTables& t);
MatrixPath free_distance_4(const DistanceTables& t);
MatrixPath free_distance_5(const DistanceTables& t);

}  // namespace orlogix
