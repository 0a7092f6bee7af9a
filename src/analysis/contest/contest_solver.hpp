#pragma once
// Exact contest scoring of a flight at full resolution: for each closed
// flight type of a rule set, branch and bound over blocks of fix indices for
// the turn points, best bound first, until the best score found equals the
// highest bound left (optimal) or the time runs out or the halt token is set
// (then the result says how far from optimal it can be at most); the free
// distance by exact stages (free_distance.hpp). Re-entrant: all state lives
// in the call.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/contest/contest_rules.hpp"
#include "analysis/contest/fix_tree.hpp"
#include "analysis/optimisation_results.hpp"
#include "core/records.hpp"

namespace orlogix {

struct ContestResult {
    const ContestType* type = nullptr;
    bool found = false;                   // a flight of this type exists in the track
    std::array<uint32_t, 3> turnpoints{};  // fix indices; an out-and-return uses the first two
    uint32_t start = 0, finish = 0;        // free distance: start and finish; closed types: the closing pair
    int64_t distance = 0;  // 0.01 km, after the rules' final rounding
    int64_t closing = 0;   // 0.01 km, the closing pair's distance (closed types)
    int64_t penalty = 0;   // 0.01 km
    int64_t score = 0;     // 0.01 points
    int64_t bound = 0;     // 0.01 points: no flight of this type scores more
    bool optimal = false;  // bound == score
    uint64_t nodes = 0;    // blocks examined
    double seconds = 0.0;  // time the search took
};

struct ContestOptions {
    double time_limit_seconds = 0.0;  // 0: no limit
    unsigned threads = 0;             // 0: one per core, at most 2
};

struct ContestScore {
    const ContestRules* rules = nullptr;
    std::vector<ContestResult> types;  // in the order of the rules' table
    int best = -1;                     // index of the best-scoring type found, -1 for none
    bool halted = false;
};

// One type over the tree's fixes. deadline_seconds counts from the call (0: none).
ContestResult solve_contest_type(const FixTree& tree, const ContestType& type, double deadline_seconds,
                                 const HaltToken& halt = {});

// Every type of the rules, the types shared among the worker threads. progress,
// when given, is called with a line as each type finishes (one call at a time,
// from any of the workers).
ContestScore score_contest(const std::vector<TrackPosition>& positions, const ContestRules& rules,
                           const ContestOptions& options = {}, const ProgressText& progress = {},
                           const HaltToken& halt = {});

// "%.2f" of a value in hundredths.
std::string hundredths_text(int64_t value);

}  // namespace orlogix
