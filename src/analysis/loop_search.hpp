#pragma once
// Out-and-return and triangle searches on the distance tables. The result of
// each search is the last candidate, in the order start, end, turn point
// ascending, whose score is the greatest; the searches here reach the same
// candidate with bounds and both cores instead of visiting every one.
#include <atomic>
#include <cstdint>

#include "analysis/distance_tables.hpp"

namespace orlogix {

struct LoopCandidate {
    bool found = false;
    int64_t score = -1;
    uint32_t k = 0, l = 0, m = 0;  // out-and-return: start, end, turn; triangle: TP1, TP3, TP2
};

// Start i, end j with D(i,j) < gap, turn k: score 2 D(i,k) - D(i,j).
LoopCandidate search_out_and_return(const DistanceTables& t, uint32_t gap, const HaltToken& halt, bool& halted);
// Start i, end j with D(i,j) < limit, turn k: score D(i,k) + D(k,j), only when above 0.
LoopCandidate search_olc_out_and_return(const DistanceTables& t, int32_t limit, const HaltToken& halt,
                                        bool& halted);

enum class ClosingRule {
    GapLimit,    // G(k,l) below a fixed gap
    OneFifth,    // 5 x G(k,l) below the perimeter
};

struct TriangleSearch {
    LoopCandidate flat, fai;
    bool halted = false;
};

// triples_done, when given, grows by the number of (k, m, l) triples each finished k stands for.
TriangleSearch search_triangles(const DistanceTables& t, ClosingRule rule, uint32_t gap, unsigned threads,
                                const HaltToken& halt, std::atomic<uint64_t>* triples_done = nullptr);

}  // namespace orlogix
