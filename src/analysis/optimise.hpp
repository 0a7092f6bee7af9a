#pragma once
// The distance optimisation of a flight: free distance over 2-5 points,
// out-and-return, flat and FAI triangles. Re-entrant: settings come in as
// parameters and cancellation through a token, so it can run on any thread.
#include <vector>

#include "analysis/optimisation_results.hpp"
#include "core/records.hpp"
#include "core/units.hpp"

namespace orlogix {

// 0 with every result filled (zeros where a search is off or found nothing),
// kOptimiseNoMemory when the tables cannot be had, kOptimiseHalted when the
// halt token was set (results then stay cleared). progress may be empty.
int optimise_track(const std::vector<TrackPosition>& positions, const OptimisationSettings& settings,
                   OptimisationResults& results, const ProgressText& progress = {}, const HaltToken& halt = {});

// Position indices and ellipsoidal legs of a free-distance result over
// `slots` matrix points, after the +-2 refinement.
PathResult finish_path(const std::vector<GeoPosition>& geo, const std::array<uint32_t, 5>& position_index,
                       std::size_t slots);

std::vector<GeoPosition> positions_in_radians(const std::vector<TrackPosition>& positions);

}  // namespace orlogix
