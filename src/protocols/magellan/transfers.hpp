#pragma once
// The Magellan transfers: the track log, the waypoints (into a list, or in
// identity-check mode to the pilot-ID recogniser), and the waypoint upload.
// Each returns 0, or -1 after reporting.
#include <vector>

#include "core/records.hpp"
#include "protocols/identity_sink.hpp"
#include "protocols/magellan/sentences.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::magellan {

// Refuses the models whose track logs lack time or date.
int check_track_model(JobContext& ctx, const Version& version);
int download_track(JobContext& ctx, std::vector<TrackPosition>& out);

// With a list the waypoints go there and an empty download fails; without
// one each goes to identity (when set), a bad sentence is passed over and
// the step succeeds.
int download_waypoints(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity);

int upload_waypoints(JobContext& ctx, const std::vector<Waypoint>& waypoints);

}  // namespace orlogix::magellan
