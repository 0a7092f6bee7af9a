#pragma once
// The MLR / Digifly job routines (protocol types MLR and MLRC): the track
// log and waypoints by the fast binary transfer, the waypoints also by
// listening to "$GPWPL" sentences (mode value 1), and the waypoint upload.
// Every job identifies the receiver first.
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::mlr {

// The mode value of the "$GPWPL" listener.
inline constexpr int kListenerMode = 1;

int read_track_log_job(JobContext& ctx);
int read_waypoints_job(JobContext& ctx);
int write_waypoints_job(JobContext& ctx);

void register_mlr_jobs(RoutineRegistry& registry);

}  // namespace orlogix::mlr
