#pragma once
// The Flytec/Brauniger job routines (IQ-Compeo, Competino, Galileo, Flytec
// 50xx/60xx): open at 57600 baud with XON/XOFF, identify, then one transfer
// (tracks, waypoints or airspaces).
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

int read_waypoints_job(JobContext& ctx);
int read_track_log_job(JobContext& ctx);
int write_waypoints_job(JobContext& ctx);
int write_ctr_job(JobContext& ctx);
int read_ctr_job(JobContext& ctx);

// Puts the routines above into the dispatch registry.
void register_flytec_jobs(RoutineRegistry& registry);

}  // namespace orlogix::flytec
