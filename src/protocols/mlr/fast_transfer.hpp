#pragma once
// The MLR fast binary transfers at 38400 baud: the track log, and the
// waypoints (kept, or only handed to the pilot identity check).
#include <vector>

#include "core/records.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/mlr/sentences.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::mlr {

// The positions, times moved back by the product's correction. 0 or -1.
int fast_track_download(JobContext& ctx, const MlrProduct& product, std::vector<TrackPosition>& positions);
// The waypoints into list (null: none kept); each also goes to identity
// when that is set. 0 or -1.
int fast_waypoint_download(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity);

}  // namespace orlogix::mlr
