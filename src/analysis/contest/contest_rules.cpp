#include "analysis/contest/contest_rules.hpp"

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

std::span<const ContestRules> contest_rule_sets() { return kRuleSets; }

const ContestRules* find_contest_rules(std::string_view name) {
    for (const ContestRules& r : kRuleSets) {
        if (same_name(r.name, name)) return &r;
    }
    return nullptr;
}

}  // namespace orlogix
