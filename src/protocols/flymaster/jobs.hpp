#pragma once
// The Flymaster job routines (F1 family, B1NAV): open at 57600 baud without
// flow control, identify, then one transfer or one set-data sentence.
#include "access/dispatch.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flymaster {

// PilotData::kind of the set-instrument-data job.
enum PilotDataKind : int { kPilotName = 1, kAltitudeAlarm = 2, kIds = 3 };

int read_waypoints_job(JobContext& ctx);
int read_track_log_job(JobContext& ctx);
int write_waypoints_job(JobContext& ctx);
int write_pilot_data_job(JobContext& ctx);

// Puts the routines above into the dispatch registry.
void register_flymaster_jobs(RoutineRegistry& registry);

}  // namespace orlogix::flymaster
