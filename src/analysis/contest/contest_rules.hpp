#pragma once
// The scoring rules of the online contests as data: each league is a list of
// flight types with their parameters, so that a league is one more table.
#include <cstdint>
#include <span>
#include <string_view>

namespace orlogix {

enum class ContestShape {
    FreeDistance,  // start, three turn points, finish
    Triangle,      // three turn points and a closing pair around them
    OutAndReturn,  // two turn points and back: twice the leg, with a closing pair
};

struct ContestType {
    std::string_view name;      // "Free flight", "FAI triangle", ...
    std::string_view code;      // od, tri, fai, oar
    ContestShape shape = ContestShape::FreeDistance;
    int multiplier_percent = 100;
    // The closing pair may be apart at most the larger of these two.
    int closing_percent = 0;          // of the perimeter
    int32_t closing_metres = 0;       // absolute
    int32_t free_closing_metres = 0;  // closings up to this cost no penalty; above it all of it counts
    int min_leg_percent = 0;          // every leg at least this share of the perimeter (FAI triangles)
    int32_t result_rounding = 1;      // distance and points are rounded to this many 0.01 at the end
};

struct ContestRules {
    std::string_view name;  // XContest, FFVL, FAI
    std::span<const ContestType> types;
};

// The checks and the arithmetic of a type, on distances in metres. Each leg
// counts rounded to 0.01 km; the closing pair's distance is compared with
// its allowance to the millimetre and, where it costs a penalty, counts
// rounded to 0.01 km. The share of a leg and the closing allowance are taken
// of the flight's distance as the rules state it: the sum of the rounded legs
// after the rules' final rounding (to 0.1 km under the FAI rules, so that a
// leg of 0.91 km is short in a triangle of 3.25 km, which counts as 3.3 km).
// The farthest the closing pair may be apart around a perimeter (0.01 km,
// before the final rounding), in mm; it never shrinks as the perimeter grows.
int64_t closing_allowance_mm(const ContestType& type, int64_t perimeter);
// The same as a bound: closing pairs less than this many metres apart are allowed.
double closing_limit_metres(const ContestType& type, int64_t perimeter);
// Closing pairs less than this many metres apart cost no penalty.
double free_closing_limit_metres(const ContestType& type);
// The value (0.01 km, before the final rounding: perimeter less penalty) of a
// closed flight over these legs and closing distance, or -1 where the rules
// do not allow it.
int64_t closed_flight_value(const ContestType& type, std::span<const double> legs, double closing);
// The same with the legs already in whole 0.01 km.
int64_t closed_flight_value(const ContestType& type, std::span<const int64_t> legs, double closing);
// The final rounding of a distance, and the points (0.01) of a value.
int64_t rounded_distance(const ContestType& type, int64_t distance);
int64_t contest_points(const ContestType& type, int64_t value);
inline int64_t hundredths_of_km(double metres) { return static_cast<int64_t>(metres / 10.0 + 0.5); }
inline int64_t millimetres(double metres) { return static_cast<int64_t>(metres * 1000.0 + 0.5); }

std::span<const ContestRules> contest_rule_sets();
// The rules of that name (case-insensitive), or nullptr.
const ContestRules* find_contest_rules(std::string_view name);

}  // namespace orlogix
