#pragma once
// The IQ Basic / Flytec 6015 job routines: open at 57600 baud without flow
// control, identify, then one transfer (tracks or waypoints).
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

int iq_read_waypoints_job(JobContext& ctx);
int iq_read_track_log_job(JobContext& ctx);
int iq_write_waypoints_job(JobContext& ctx);

// Puts the routines above into the dispatch registry.
void register_iq_basic_jobs(RoutineRegistry& registry);

}  // namespace orlogix::flytec
