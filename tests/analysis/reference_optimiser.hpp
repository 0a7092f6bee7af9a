#pragma once
// The optimisation written as the plain nested loops, with no bound and no
// threads: the yardstick the fast searches must match index for index.
#include <vector>

#include "analysis/optimisation_results.hpp"
#include "core/records.hpp"

namespace orlogix::test {

int reference_optimise(const std::vector<TrackPosition>& positions, uint32_t loop_flight_gap,
                       OptimisationResults& results);

}  // namespace orlogix::test
