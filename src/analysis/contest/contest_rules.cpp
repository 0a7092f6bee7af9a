#include "analysis/contest/contest_rules.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace orlogix {
namespace {

using S = ContestShape;

constexpr ContestType kXContest[] = {
    {"Free flight", "od", S::FreeDistance, 100, 0, 0, 0, 0, 1},
    {"Free triangle", "tri", S::Triangle, 120, 20, 0, 0, 0, 1},
    {"FAI triangle", "fai", S::Triangle, 140, 20, 0, 0, 28, 1},
    {"Closed free triangle", "tri", S::Triangle, 140, 5, 0, 0, 0, 1},
    {"Closed FAI triangle", "fai", S::Triangle, 160, 5, 0, 0, 28, 1},
};

constexpr ContestType kFfvl[] = {
    {"Free distance", "od", S::FreeDistance, 100, 0, 0, 0, 0, 1},
    {"Flat triangle", "tri", S::Triangle, 120, 5, 3000, 3000, 0, 1},
    {"FAI triangle", "fai", S::Triangle, 140, 5, 3000, 3000, 28, 1},
};

constexpr ContestType kFai[] = {
    {"Free distance", "od", S::FreeDistance, 100, 0, 0, 0, 0, 10},
    {"Free triangle", "tri", S::Triangle, 120, 0, 800, 800, 0, 10},
    {"FAI triangle", "fai", S::Triangle, 140, 0, 800, 800, 28, 10},
    {"Out and return", "oar", S::OutAndReturn, 100, 0, 800, 800, 0, 10},
};

constexpr std::array<ContestRules, 3> kRuleSets = {{
    {"XContest", kXContest},
    {"FFVL", kFfvl},
    {"FAI", kFai},
}};

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int64_t closing_allowance_mm(const ContestType& type, int64_t perimeter) {
    // pct % of the distance x 10 000 mm.
    return std::max<int64_t>(int64_t{type.closing_metres} * 1000,
                             type.closing_percent * rounded_distance(type, perimeter) * 100);
}

double closing_limit_metres(const ContestType& type, int64_t perimeter) {
    return (static_cast<double>(closing_allowance_mm(type, perimeter)) + 0.5) / 1000.0;
}

double free_closing_limit_metres(const ContestType& type) {
    return (static_cast<double>(type.free_closing_metres) * 1000.0 + 0.5) / 1000.0;
}

int64_t closed_flight_value(const ContestType& type, std::span<const int64_t> legs, double closing) {
    int64_t perimeter = 0;
    for (int64_t leg : legs) perimeter += leg;
    const int64_t distance = rounded_distance(type, perimeter);
    for (int64_t leg : legs) {
        if (leg * 100 < type.min_leg_percent * distance) return -1;
    }
    const int64_t closing_mm = millimetres(closing);
    if (closing_mm > closing_allowance_mm(type, perimeter)) return -1;
    const int64_t penalty = closing_mm > int64_t{type.free_closing_metres} * 1000 ? hundredths_of_km(closing) : 0;
    return perimeter - penalty;
}

int64_t closed_flight_value(const ContestType& type, std::span<const double> legs, double closing) {
    int64_t counted[3] = {0, 0, 0};
    const std::size_t n = std::min<std::size_t>(legs.size(), 3);
    for (std::size_t e = 0; e < n; ++e) counted[e] = hundredths_of_km(legs[e]);
    return closed_flight_value(type, std::span<const int64_t>(counted, n), closing);
}

int64_t rounded_distance(const ContestType& type, int64_t distance) {
    const int64_t r = type.result_rounding;
    return (distance + r / 2) / r * r;
}

int64_t contest_points(const ContestType& type, int64_t value) {
    // The points are rounded as the distance is.
    return rounded_distance(type, (rounded_distance(type, value) * type.multiplier_percent + 50) / 100);
}

std::span<const ContestRules> contest_rule_sets() { return kRuleSets; }

const ContestRules* find_contest_rules(std::string_view name) {
    for (const ContestRules& r : kRuleSets) {
        if (same_name(r.name, name)) return &r;
    }
    return nullptr;
}

}  // namespace orlogix
