#pragma once
// The Magellan job routines: open at 9600 baud without flow control,
// identify with the version request, then one transfer.
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::magellan {

int read_waypoints_job(JobContext& ctx);
int read_track_log_job(JobContext& ctx);
int write_waypoints_job(JobContext& ctx);

// Puts the routines above into the dispatch registry.
void register_magellan_jobs(RoutineRegistry& registry);

}  // namespace orlogix::magellan
